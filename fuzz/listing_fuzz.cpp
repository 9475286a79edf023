// libFuzzer target for the readers of the assembler's listing and symbol
// table, for the inspector's view of them by address and for the flowchart
// chart read from them: any text gives a result,
// never a crash or a read outside a buffer; the listing and symbol table of
// any source read back line for line, and give a chart or its messages.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>

#include "asm/assembler.h"
#include "asm/listing_reader.h"
#include "asm/output_files.h"
#include "asm/program_listing.h"
#include "pictures/flowchart_chart.h"

using namespace tallivo;
using namespace tallivo::assembler;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string error;
    Chart chart;
    ChartMessages messages;

    // The input itself as a listing and as a symbol table.
    Listing listing;
    std::map<std::string, std::int64_t> symbols;
    readListing(text, listing, error);
    readSymbols(text, symbols, error);
    readChart(listing, symbols, chart, messages);

    // The input as a source: its listing and symbol table read back.
    const Assembly assembly = assemble(text, "fuzz.asm", {});
    Listing back;
    std::map<std::string, std::int64_t> backSymbols;
    if (!readListing(formatListing(assembly), back, error)) std::abort();
    if (!readSymbols(formatSymbols(assembly), backSymbols, error)) std::abort();
    if (back.lines.size() != assembly.lines.size()) std::abort();
    for (std::size_t i = 0; i < back.lines.size(); ++i)
        if (back.lines[i].bytes != assembly.lines[i].bytes ||
            back.lines[i].number != assembly.lines[i].number)
            std::abort();
    ChartMessages backMessages;
    readChart(back, backSymbols, chart, backMessages);

    // By address, as the inspector asks: every address answers, and a line
    // found holds the byte asked for. The names are asked where there is
    // code and at the ends of the range: building a name for each of the
    // 1282 addresses of every input cost more than all the reading above.
    ProgramListing byAddress;
    byAddress.read(text, text, error);
    if (!byAddress.read(formatListing(assembly), formatSymbols(assembly), error)) std::abort();
    for (int address = -1; address <= ProgramListing::kAddresses; ++address) {
        const ProgramListing::Line* line = byAddress.lineAt(address);
        if (line != nullptr &&
            (address < line->address || address >= line->address + line->byteCount))
            std::abort();
        if (line != nullptr || address <= 0 || address >= ProgramListing::kAddresses - 1) {
            (void)byAddress.placeOf(address);
            (void)byAddress.labelsAt(address);
        }
    }
    return 0;
}
