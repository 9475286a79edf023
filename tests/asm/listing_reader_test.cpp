// The listing and the symbol table read back as the assembler wrote them.
#include "asm/listing_reader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "asm/lexer.h"
#include "asm/output_files.h"

namespace tallivo::assembler {
namespace {

using ::testing::HasSubstr;

TEST(ListingReader, ReadsBackEveryLineTheAssemblerListed) {
    // Rows of one, four, five and nine bytes (the last two go on in rows of
    // bytes only), lines without bytes, an include and the way back from it,
    // a ";" inside a character, and line numbers up to three digits.
    std::string main = "start: FIM P0, 0x3C   ; the pair\n\n org 0x0F0\n include \"lib.asm\"\n";
    main += "four: db 1, 2, 3, 4\nfive: db 5, 6, 7, 8, 9\n db ';', 0   ; a semicolon\n";
    for (int i = 0; i < 100; ++i) main += "; filler\n";
    main += "nine: db 1, 2, 3, 4, 5, 6, 7, 8, 0xFF\n";
    const FileReader reader = [](const std::string&) {
        return std::optional<std::string>("lib: BBL 0\n");
    };
    const Assembly a = assemble(main, "main.asm", reader);
    ASSERT_TRUE(a.ok());

    Listing listing;
    std::string error;
    ASSERT_TRUE(readListing(formatListing(a), listing, error)) << error;
    ASSERT_EQ(listing.lines.size(), a.lines.size());
    for (std::size_t i = 0; i < a.lines.size(); ++i) {
        const SourceLine& written = a.lines[i];
        const SourceLine& read = listing.lines[i];
        EXPECT_EQ(read.number, written.number) << i;
        EXPECT_EQ(read.address, written.bytes.empty() ? -1 : written.address) << i;
        EXPECT_EQ(read.bytes, written.bytes) << i;
        std::string text = written.text;
        while (!text.empty() && text.back() == ' ') text.pop_back();  // the listing trims rows
        EXPECT_EQ(read.text, text) << i;
        EXPECT_EQ(listing.files[static_cast<std::size_t>(read.file)],
                  written.file == 0 ? (read.file == 0 ? "" : "main.asm") : "lib.asm")
            << i;
    }
    EXPECT_EQ(listing.lines.back().bytes.size(), 9u);
    EXPECT_EQ(listing.lines.back().address, 0x0F0 + 1 + 4 + 5 + 2);
}

TEST(ListingReader, RefusesRowsOutOfForm) {
    const std::vector<std::pair<std::string, std::string>> broken = {
        {"3G0  12              1  x\n", "hex digits"},
        {"300 12               1  x\n", "two blanks"},
        {"300  1Z              1  x\n", "bytes"},
        {"300  12 34\n", "line number"},                        // bytes with nothing before them
        {"300  12 34 56 78     1  x\n308  9A\n", "follow on"},  // a gap in the bytes
        {"300  12              1x\n", "two blanks"},
        {"300  12                 \n", "line number"},
        {"                     1  a\n\n", "empty row"},
    };
    for (const auto& [text, why] : broken) {
        Listing listing;
        std::string error;
        EXPECT_FALSE(readListing(text, listing, error)) << text;
        EXPECT_THAT(error, HasSubstr(why)) << text;
        EXPECT_THAT(error, HasSubstr("listing row ")) << text;
    }
}

TEST(ListingReader, ReadsTheSymbolTable) {
    const Assembly a = assemble("b = -2\na: NOP\nc equ 0xFFF\n", "m.asm", {});
    std::map<std::string, std::int64_t> symbols;
    std::string error;
    ASSERT_TRUE(readSymbols(formatSymbols(a), symbols, error)) << error;
    EXPECT_EQ(symbols, (std::map<std::string, std::int64_t>{{"a", 0}, {"b", -2}, {"c", 0xFFF}}));
    for (const char* bad :
         {"a\n", "a 12\n", " 0x12\n", "a 0x\n", "a 0x1G\n", "a 0x1234567890123\n"}) {
        EXPECT_FALSE(readSymbols(bad, symbols, error)) << bad;
        EXPECT_THAT(error, HasSubstr("line 1")) << bad;
    }
}

TEST(Lexer, FindsTheCommentOutsideQuotes) {
    EXPECT_EQ(lexLine(" db ';', 1 ; @skip here").commentColumn, 11u);
    EXPECT_EQ(lexLine(" include \"a;b.asm\"").commentColumn, std::string_view::npos);
    EXPECT_EQ(lexLine("; @box Title").commentColumn, 0u);
    EXPECT_EQ(lexLine("nop").commentColumn, std::string_view::npos);
}

}  // namespace
}  // namespace tallivo::assembler
