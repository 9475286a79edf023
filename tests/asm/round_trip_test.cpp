// Code files in and out: the reader against the ROM loader, the disassembler
// against the assembler.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>

#include "asm/assembler.h"
#include "asm/code_file_reader.h"
#include "asm/disassembler.h"
#include "asm/output_files.h"
#include "chips/code_file.h"

namespace tallivo::assembler {
namespace {

using ::testing::HasSubstr;

// What the five ROMs hold after loading `text`, as one image (absent = 0).
std::array<std::uint8_t, kRomEnd> loadedByRoms(const std::string& text) {
    std::array<std::uint8_t, kRomEnd> all{};
    for (int chip = 0; chip < 5; ++chip) {
        RomPage page{};
        std::istringstream in(text);
        loadCodeStream(in, chip, page);
        std::copy(page.begin(), page.end(), all.begin() + chip * kPageSize);
    }
    return all;
}

TEST(CodeFileReader, ReadsEveryTextAsTheRomsLoadIt) {
    // Random texts built from the pieces that matter to the format: address
    // lines, signs, prefixes, comments, blanks, NULs and over-long lines.
    const std::vector<std::string> pieces = {"@",
                                             "@ ",
                                             " @",
                                             "0x",
                                             "-",
                                             "+",
                                             "/",
                                             " ",
                                             "\t",
                                             "\n",
                                             "\n",
                                             "\n",
                                             "1",
                                             "4",
                                             "ff",
                                             "1FF",
                                             "3C",
                                             "g",
                                             "x",
                                             std::string(1, '\0'),
                                             "add",
                                             "123",
                                             std::string(250, ' '),
                                             "80000000",
                                             "FFFFFFFFF"};
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        const int count = static_cast<int>(random() % 60);
        for (int i = 0; i < count; ++i) text += pieces[random() % pieces.size()];
        const CodeFileContents contents = readCodeFile(text, "t.code");
        const auto roms = loadedByRoms(text);
        for (int a = 0; a < kRomEnd; ++a) {
            ASSERT_EQ(contents.image.has(a) ? contents.image.at(a) : 0,
                      roms[static_cast<std::size_t>(a)])
                << "address " << a << " of text " << ::testing::PrintToString(text);
        }
    }
}

TEST(CodeFileReader, WarnsAboutWhatTheLoaderDropsOrReplaces) {
    const CodeFileContents c = readCodeFile("@4FF\n11\n22\n@010\n33\n@010\n44\n", "t.code");
    EXPECT_EQ(c.image.at(0x4FF), 0x11);
    EXPECT_EQ(c.image.at(0x010), 0x44);  // the later byte counts
    ASSERT_EQ(c.diagnostics.size(), 2u);
    EXPECT_EQ(formatDiagnostic(c.diagnostics[0]),
              "t.code:3: warning: byte at address 0x500 is outside the ROMs (0x000 to 0x4FF) and "
              "is left out");
    EXPECT_EQ(
        formatDiagnostic(c.diagnostics[1]),
        "t.code:7: warning: address 0x010 was given before, at line 5; the later byte counts");
    std::string many = "@600\n";
    for (int i = 0; i < 50; ++i) many += "00\n";
    const CodeFileContents m = readCodeFile(many, "t.code");
    ASSERT_EQ(m.diagnostics.size(), 21u);
    EXPECT_EQ(m.diagnostics.back().message, "30 more bytes outside the ROMs were left out");
}

TEST(CodeFileWriter, FormatWithAddressLinesAndComments) {
    const FileReader reader = [](const std::string&) {
        return std::optional<std::string>("lib: BBL 0\n");
    };
    const Assembly a = assemble("start: FIM P0, 0x3C\n org 0x10\n include \"lib.asm\"\n db 7\n",
                                "main.asm", reader);
    ASSERT_TRUE(a.ok());
    EXPECT_EQ(formatCodeFile(a),
              "/ assembled from main.asm\n"
              "@000\n"
              "20 / 000 line 1 start\n"
              "3C / 001 line 1\n"
              "@010\n"
              "C0 / 010 lib.asm line 1 lib\n"
              "07 / 011 line 4\n");
    EXPECT_EQ(formatListing(a),
              "000  20 3C           1  start: FIM P0, 0x3C\n"
              "                     2   org 0x10\n"
              "                     3   include \"lib.asm\"\n"
              "; file lib.asm\n"
              "010  C0              1  lib: BBL 0\n"
              "; file main.asm\n"
              "011  07              4   db 7\n");
    EXPECT_EQ(formatSymbols(assemble("b = -2\na: NOP\n", "m.asm", {})), "a 0x000\nb -0x002\n");
}

TEST(CodeFileWriter, TheRomsLoadExactlyTheAssembledBytes) {
    // Bytes on every page, gaps between them, and labels so long that an
    // uncut comment line would be split by the loader into a piece starting
    // with a hex digit.
    const std::string longName(300, 'a');
    const Assembly a = assemble(" LDM 1\n org 0x1FF\n" + longName +
                                    ": db 0xAB, 0xCD\n org 0x4F0\n" + longName + "b: JUN 0x4F0\n",
                                "main.asm", {});
    ASSERT_TRUE(a.ok());
    const std::string text = formatCodeFile(a);
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) EXPECT_LT(line.size(), 255u);
    const auto roms = loadedByRoms(text);
    for (int address = 0; address < kRomEnd; ++address) {
        ASSERT_EQ(roms[static_cast<std::size_t>(address)], a.image.at(address)) << address;
    }
    EXPECT_EQ(roms[0x200], 0xCD);
}

// The program of the monitor's worked example.
RomImage workedExample() {
    RomImage image;
    const int code[] = {0x20, 0x3C, 0x21, 0xD5, 0xE2, 0xA3, 0x40, 0x10};
    for (int i = 0; i < 8; ++i) image.set(i, static_cast<std::uint8_t>(code[i]));
    image.set(0x10, 0x32);
    image.set(0x11, 0xF0);
    image.set(0x3C, 0x7F);
    return image;
}

TEST(Disassembler, WorkedExample) {
    const std::string source = disassemble(workedExample(), "4001.code");
    EXPECT_EQ(source,
              "; disassembly of 4001.code\n"
              "\n"
              "        org 0x000\n"
              "        FIM P0, 0x3C             ; 000: 20 3C\n"
              "        SRC P0                   ; 002: 21\n"
              "        LDM 5                    ; 003: D5\n"
              "        WRR                      ; 004: E2\n"
              "        LD R3                    ; 005: A3\n"
              "        JUN L010                 ; 006: 40 10\n"
              "\n"
              "        org 0x010\n"
              "L010:   FIN P1                   ; 010: 32\n"
              "        CLB                      ; 011: F0\n"
              "\n"
              "        org 0x03C\n"
              "        db 0x7F                  ; 03C: 7F\n");
    const Assembly back = assemble(source, "x.asm", {});
    EXPECT_TRUE(back.ok());
    EXPECT_EQ(back.image, workedExample());
}

TEST(Disassembler, EdgesOfPagesAndOfTheImage) {
    RomImage image;
    image.set(0x1FE, 0x14);  // JCN Z whose second word ends page 1: target in page 2
    image.set(0x1FF, 0x05);
    image.set(0x205, 0xF0);
    image.set(0x4FF, 0x40);  // JUN without its second word
    image.set(0x300, 0x71);  // ISZ cut short by a gap
    image.set(0x302, 0x22);
    const std::string source = disassemble(image, "t");
    EXPECT_THAT(source, HasSubstr("JCN Z, L205"));
    EXPECT_THAT(source, HasSubstr("L205:   CLB"));
    EXPECT_THAT(source, HasSubstr("db 0x40                  ; 4FF: 40"));
    EXPECT_THAT(source, HasSubstr("db 0x71                  ; 300: 71"));
    const Assembly back = assemble(source, "x.asm", {});
    EXPECT_TRUE(back.ok());
    EXPECT_EQ(back.image, image);
}

TEST(Disassembler, RandomImagesAssembleBackToTheSameBytes) {
    std::mt19937 random(1971);
    for (int round = 0; round < 10000; ++round) {
        RomImage image;
        const int runs = 1 + static_cast<int>(random() % 5);
        for (int r = 0; r < runs; ++r) {
            // Every third run starts just before a page end, where the page
            // rules of JCN, ISZ, FIN and JIN bite.
            int start = static_cast<int>(random() % kRomEnd);
            if (r % 3 == 0) start = (start | 0xFF) - static_cast<int>(random() % 3);
            const int length = 1 + static_cast<int>(random() % 48);
            for (int a = start; a < start + length && a < kRomEnd; ++a) {
                image.set(a, static_cast<std::uint8_t>(random()));
            }
        }
        const std::string source = disassemble(image, "random");
        const Assembly back = assemble(source, "random.asm", {});
        ASSERT_TRUE(back.ok()) << formatDiagnostic(back.diagnostics.front()) << "\n" << source;
        ASSERT_EQ(back.image, image) << source;
    }
}

}  // namespace
}  // namespace tallivo::assembler
