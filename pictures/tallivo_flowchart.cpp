// tallivo-flowchart: draws the flowchart window's pictures, Flowchart.bmp and
// types.bmp, from the listing and the symbol table of the firmware (the
// build runs it whenever the firmware changes). The boxes and arrows come
// from the @box and @next tags of the source; pictures/flowchart_chart.h says
// how they are read and pictures/flowchart_pictures.h how they are drawn.
#include <QGuiApplication>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "asm/listing_reader.h"
#include "pictures/flowchart_chart.h"
#include "pictures/flowchart_pictures.h"

namespace {

constexpr const char* kUsage =
    "usage: tallivo-flowchart --listing FILE --symbols FILE [--output DIR]\n"
    "  --listing FILE   the firmware's listing (4001.lst)\n"
    "  --symbols FILE   its symbol table (4001.sym)\n"
    "  --output DIR     where Flowchart.bmp and types.bmp are written (default .)\n";

bool readFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    text = s.str();
    return !in.bad();
}

// Written beside the final name and renamed onto it, so that a failed run
// never leaves half a picture for the calculator to open.
bool writeFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    const std::filesystem::path partial = path.string() + ".part";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        if (!out) return false;
    }
    std::error_code failed;
    std::filesystem::rename(partial, path, failed);
    return !failed;
}

int fail(const std::string& message) {
    std::fprintf(stderr, "tallivo-flowchart: %s\n", message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::string listingPath, symbolsPath, output = ".";
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (i + 1 >= argc || (name != "--listing" && name != "--symbols" && name != "--output")) {
            std::fprintf(stderr, "tallivo-flowchart: bad argument '%s'\n%s", name.c_str(), kUsage);
            return 2;
        }
        (name == "--listing"   ? listingPath
         : name == "--symbols" ? symbolsPath
                               : output) = argv[++i];
    }
    if (listingPath.empty() || symbolsPath.empty()) {
        std::fprintf(stderr, "tallivo-flowchart: --listing and --symbols are needed\n%s", kUsage);
        return 2;
    }

    std::string listingText, symbolsText, error;
    if (!readFile(listingPath, listingText)) return fail("cannot read '" + listingPath + "'");
    if (!readFile(symbolsPath, symbolsText)) return fail("cannot read '" + symbolsPath + "'");
    tallivo::assembler::Listing listing;
    std::map<std::string, std::int64_t> symbols;
    if (!tallivo::assembler::readListing(listingText, listing, error))
        return fail(listingPath + ": " + error);
    if (!tallivo::assembler::readSymbols(symbolsText, symbols, error))
        return fail(symbolsPath + ": " + error);

    tallivo::Chart chart;
    tallivo::ChartMessages messages;
    const bool ok = tallivo::readChart(listing, symbols, chart, messages);
    for (const std::string& w : messages.warnings) std::fprintf(stderr, "%s\n", w.c_str());
    for (const std::string& e : messages.errors) std::fprintf(stderr, "%s\n", e.c_str());
    if (!ok) return 1;

    // Text needs the toolkit's fonts, which need no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const tallivo::FlowchartDrawing drawing = tallivo::drawFlowchart(chart);
    if (!drawing.fits)
        std::fprintf(
            stderr,
            "tallivo-flowchart: warning: the picture is %d x %d, larger than the %d x %d that fit "
            "under the panels on a 1280 x 800 screen\n",
            drawing.picture.width, drawing.picture.height, tallivo::kFlowchartMaxWidth,
            tallivo::kFlowchartMaxHeight);

    const std::filesystem::path folder(output);
    if (!writeFile(folder / "Flowchart.bmp", tallivo::pictureFile(drawing.picture)) ||
        !writeFile(folder / "types.bmp", tallivo::typesFile(drawing.picture)))
        return fail("cannot write the pictures into '" + output + "'");
    return 0;
}
