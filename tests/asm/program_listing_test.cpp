// The listing and symbol table the build writes beside the firmware, as the
// inspector reads them: source lines and labels by address.
#include "asm/program_listing.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "tests/support/test_board.h"

namespace tallivo::assembler {
namespace {

const std::string kListing = std::string(TALLIVO_BIN_DIR) + "/4001.lst";
const std::string kSymbols = std::string(TALLIVO_BIN_DIR) + "/4001.sym";

TEST(ProgramListing, TheFirmwaresLinesAndLabelsByAddress) {
    ProgramListing listing;
    std::string error;
    ASSERT_TRUE(listing.load(kListing, kSymbols, error)) << error;
    std::int64_t at = -1;
    ASSERT_TRUE(listing.symbol("adds", at));
    const int a = static_cast<int>(at);
    const ProgramListing::Line* adds = listing.lineAt(a);
    ASSERT_NE(adds, nullptr);
    EXPECT_EQ(adds->file, "adds.asm");
    EXPECT_EQ(adds->address, a);
    EXPECT_EQ(adds->byteCount, 2);
    EXPECT_FALSE(adds->data);
    // The second byte of the JMS belongs to the same line.
    EXPECT_EQ(listing.lineAt(a + 1), adds);
    ASSERT_FALSE(listing.labelsAt(a).empty());
    EXPECT_EQ(listing.labelsAt(a).front(), "adds");
    EXPECT_EQ(listing.placeOf(a), "adds");
    EXPECT_EQ(listing.placeOf(a + 3), "adds+3");
    // A label on a line of its own names the next byte.
    EXPECT_FALSE(listing.labelsAt(0x000).empty());
    // The key table is data; constants are not labels.
    const ProgramListing::Line* table = listing.lineAt(0x3C8);
    ASSERT_NE(table, nullptr);
    EXPECT_TRUE(table->data);
    std::int64_t entry = -1;
    EXPECT_TRUE(listing.symbol("ENTRY", entry));
    EXPECT_EQ(entry, 2);
    for (const std::string& name : listing.labelsAt(2)) EXPECT_NE(name, "ENTRY");
    // Outside the program nothing is found, and nothing is read out of range.
    EXPECT_EQ(listing.lineAt(-1), nullptr);
    EXPECT_EQ(listing.lineAt(4096), nullptr);
    EXPECT_EQ(listing.placeOf(0x100 - 1).find("adds"), std::string::npos);
}

TEST(ProgramListing, MissingOrBrokenFilesAreRefusedWithTheReason) {
    ProgramListing listing;
    std::string error;
    EXPECT_FALSE(listing.load("/nonexistent/4001.lst", kSymbols, error));
    EXPECT_NE(error.find("/nonexistent/4001.lst"), std::string::npos) << error;
    EXPECT_TRUE(listing.empty());

    const std::string broken =
        testing::writeTextFile("broken.lst", "0x12 this is no listing row\n");
    EXPECT_FALSE(listing.load(broken, kSymbols, error));
    EXPECT_NE(error.find("listing row 1"), std::string::npos) << error;
    const std::string badSymbols = testing::writeTextFile("broken.sym", "adds\n");
    EXPECT_FALSE(listing.load(kListing, badSymbols, error));
    EXPECT_TRUE(listing.empty());
    EXPECT_EQ(listing.lineAt(0x2A6), nullptr);
}

}  // namespace
}  // namespace tallivo::assembler
