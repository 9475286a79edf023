// libFuzzer target for the assembler's source parser and the code-file
// reader: any input must give a result with messages, never a crash or a
// read outside a buffer. Whatever assembles cleanly must also survive the
// trip through the code file and the disassembler unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "asm/assembler.h"
#include "asm/code_file_reader.h"
#include "asm/disassembler.h"
#include "asm/output_files.h"

using namespace tallivo::assembler;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    // Every include reads the input again, so nesting and cycles get exercised.
    const FileReader reader = [&](const std::string&) { return std::optional<std::string>(text); };
    const Assembly assembly = assemble(text, "fuzz.asm", reader);
    formatListing(assembly);
    formatSymbols(assembly);
    if (assembly.ok()) {
        const CodeFileContents loaded = readCodeFile(formatCodeFile(assembly), "fuzz.code");
        if (!(loaded.image == assembly.image)) std::abort();
        const Assembly back = assemble(disassemble(loaded.image, "fuzz"), "back.asm", {});
        if (!back.ok() || !(back.image == assembly.image)) std::abort();
    }
    const CodeFileContents contents = readCodeFile(text, "fuzz.code");
    const Assembly again = assemble(disassemble(contents.image, "fuzz"), "again.asm", {});
    if (!again.ok() || !(again.image == contents.image)) std::abort();
    return 0;
}
