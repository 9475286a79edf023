#include "chips/code_file.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tallivo {
namespace {

RomPage load(const std::string& text, int chip) {
    RomPage page{};
    std::istringstream in(text);
    loadCodeStream(in, chip, page);
    return page;
}

TEST(CodeFile, TheFirstByteAfterAnAddressLineGoesToThatAddressAndPagesSplitAcrossChips) {
    const std::string text = "@0FE\n11\n22\n33\n";
    EXPECT_EQ(load(text, 0)[0xFE], 0x11);
    EXPECT_EQ(load(text, 0)[0xFF], 0x22);
    EXPECT_EQ(load(text, 1)[0x00], 0x33);
    EXPECT_EQ(load(text, 2), RomPage{});
}

TEST(CodeFile, CommentsBlankLinesAndAddressLineForms) {
    const RomPage chip1 = load("@123\n45 / the byte\n", 1);
    EXPECT_EQ(chip1[0x23], 0x45);
    EXPECT_EQ(load("@123\n45 / the byte\n", 0), RomPage{});

    // Blank and comment-only lines do not advance the address.
    const RomPage p = load("@010\n\n   \n  / note\nAB\n", 0);
    EXPECT_EQ(p[0x10], 0xAB);

    // Blanks after the @ are allowed; a blank before it makes the line no address line.
    EXPECT_EQ(load("@  200\n77\n", 2)[0x00], 0x77);
    EXPECT_EQ(load("@010\n @200\n77\n", 0)[0x10], 0x77);
    // "@" with no number is ignored.
    EXPECT_EQ(load("@010\n@\n66\n", 0)[0x10], 0x66);
    // A comment may cut an address line.
    EXPECT_EQ(load("@0/20\n55\n", 0)[0x00], 0x55);
}

TEST(CodeFile, NumbersKeepTheirLowByteAndAcceptSignsPrefixesAndLetterWords) {
    EXPECT_EQ(load("1FF\n", 0)[0], 0xFF);
    EXPECT_EQ(load("-1\n", 0)[0], 0xFF);
    EXPECT_EQ(load("0x2a\n", 0)[0], 0x2A);
    EXPECT_EQ(load("+0X3B trailing words\n", 0)[0], 0x3B);
    EXPECT_EQ(load("add r1\n", 0)[0], 0xDD);  // "add" reads as hex digits
    // Only the first number of a line counts.
    const RomPage p = load("12 34\n56\n", 0);
    EXPECT_EQ(p[0], 0x12);
    EXPECT_EQ(p[1], 0x56);
    // A line starting with a non-hex character is ignored.
    EXPECT_EQ(load("xyz\n77\n", 0)[0], 0x77);
}

TEST(CodeFile, BytesBeforeTheFirstAddressLineStartAtZero) {
    const RomPage p = load("AA\nBB\n@005\nCC\n", 0);
    EXPECT_EQ(p[0], 0xAA);
    EXPECT_EQ(p[1], 0xBB);
    EXPECT_EQ(p[5], 0xCC);
}

TEST(CodeFile, AddressesOutsideTheChipsStoreNothingButStillAdvance) {
    // 0x4FF is chip 4; the next byte, at 0x500, goes nowhere.
    const RomPage p = load("@4FF\n11\n22\n", 4);
    EXPECT_EQ(p[0xFF], 0x11);
    EXPECT_EQ(load("@-1\n11\n22\n", 0)[0], 0x22);  // -1 stores nothing, then 0
}

TEST(CodeFile, HugeNumbersSaturateInsteadOfWrappingToAnotherAddress) {
    // 0x100000010 would wrap to 0x10 in 32 bits; saturated it names no chip.
    EXPECT_EQ(load("@100000010\n99\n", 0), RomPage{});
    // The byte value saturates too: 0x7FFFFFFF keeps the low byte FF.
    EXPECT_EQ(load("123456789ABC\n", 0)[0], 0xFF);
    EXPECT_EQ(load("-123456789ABC\n", 0)[0], 0x00);
    // The load address itself wraps as a 32-bit value: 7FFFFFFF + 1 is negative.
    EXPECT_EQ(load("@7FFFFFFF\n11\n22\n", 0), RomPage{});
}

TEST(CodeFile, LongLinesAreTakenInPiecesOf255Characters) {
    // 255 blanks then "AB": the second piece is a byte line of its own.
    const RomPage p = load(std::string(255, ' ') + "AB\n", 0);
    EXPECT_EQ(p[0], 0xAB);
    // A byte followed by a long comment: the rest of the comment is a new
    // piece that starts with text, ignored unless it begins with a hex digit.
    const RomPage q = load("12 /" + std::string(251, 'x') + "C3\n34\n", 0);
    EXPECT_EQ(q[0], 0x12);
    EXPECT_EQ(q[1], 0xC3);
    EXPECT_EQ(q[2], 0x34);
}

TEST(CodeFile, ALaterByteOnTheSameAddressWins) {
    EXPECT_EQ(load("@000\n11\n@000\n22\n", 0)[0], 0x22);
}

TEST(CodeFile, AMissingFileFailsAndLeavesTheImage) {
    RomPage page{};
    page[3] = 9;
    EXPECT_FALSE(loadCodeFile("/nonexistent/4001.code", 0, page));
    EXPECT_EQ(page[3], 9);
}

}  // namespace
}  // namespace tallivo
