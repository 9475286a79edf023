// The ends of pages: JCN, ISZ and JIN keep the page of the word after them
// and FIN reads from it, so an instruction whose next word lies in the next
// page works there. Checked from every page of the address space, the last
// one wrapping to page 0, on a board with a ROM chip in every page. And the
// RAM arithmetic when no RAM answers.
#include <gtest/gtest.h>

#include "tests/support/test_board.h"

namespace tallivo::testing {
namespace {

constexpr std::uint8_t LDM(int n) {
    return static_cast<std::uint8_t>(0xD0 | n);
}

struct CornerCase {
    const char* name;
    int offset;                       // where the instruction sits in its page: 0xFE or 0xFF
    std::vector<std::uint8_t> bytes;  // a second word is 0x20 here or in the next page
    int cycles;                       // instruction cycles it takes
    int pcPage;                       // 0: the instruction's own page, 1: the next one
    int pcLow;                        // low byte of the PC once it has executed
    int finPair;                      // -1, or the pair that FIN loaded from R0R1 = 0x3A
};

// Each page holds a byte of its own at 0x3A for FIN to find.
std::uint8_t finByte(int page) {
    return static_cast<std::uint8_t>(page << 4 | (15 - page));
}

TEST(PageCorners, TheWordAfterTheInstructionChoosesThePageFromEveryPage) {
    // R2 = 0 makes ISZ R2 jump; R4 = 15 makes ISZ R4 fall through.
    const CornerCase cases[] = {
        {"JCN always, second word last in the page", 0xFE, {0x18, 0x20}, 2, 1, 0x20, -1},
        {"JCN always, second word first in the next page", 0xFF, {0x18}, 2, 1, 0x20, -1},
        {"JCN never, second word last in the page", 0xFE, {0x10, 0x20}, 2, 1, 0x00, -1},
        {"ISZ jumping, second word last in the page", 0xFE, {0x72, 0x20}, 2, 1, 0x20, -1},
        {"ISZ jumping, second word first in the next page", 0xFF, {0x72}, 2, 1, 0x20, -1},
        {"ISZ falling through, second word last in the page", 0xFE, {0x74, 0x20}, 2, 1, 0x00, -1},
        {"ISZ falling through, second word first in the next page", 0xFF, {0x74}, 2, 1, 0x01, -1},
        {"JIN last in the page", 0xFF, {0x31}, 1, 1, 0x3A, -1},
        {"FIN last in the page", 0xFF, {0x36}, 2, 1, 0x00, 3},
        {"FIN before the last word", 0xFE, {0x36}, 2, 0, 0xFF, 3},
    };
    for (int page = 0; page < 16; ++page) {
        const int base = page << 8;
        const int next = ((page + 1) & 15) << 8;
        for (const CornerCase& c : cases) {
            // 000: FIM P0,3A; FIM P1,00; FIM P2,F0; JUN to the instruction. A
            // second word in the next page is 0x20, the opcode of FIM P0 that
            // also begins page 0.
            const int at = base + c.offset;
            Blocks program = {
                {0x000,
                 {0x20, 0x3A, 0x22, 0x00, 0x24, 0xF0, static_cast<std::uint8_t>(0x40 | at >> 8),
                  static_cast<std::uint8_t>(at & 0xFF)}},
                {static_cast<std::uint16_t>(at), c.bytes}};
            if (next != 0) program.push_back({static_cast<std::uint16_t>(next), {0x20}});
            for (int p = 0; p < 16; ++p)
                program.push_back({static_cast<std::uint16_t>(p << 8 | 0x3A), {finByte(p)}});
            TestBoard t(program, BoardSettings{}, BoardExtras{{}, true});
            t.cycles(8 + static_cast<std::uint64_t>(c.cycles));
            const int expectedPc = (c.pcPage == 0 ? base : next) | c.pcLow;
            const std::string where = std::string(c.name) + " in page " + std::to_string(page);
            EXPECT_EQ(t.board.cpu.pc(), expectedPc) << where;
            if (c.finPair >= 0) {
                const int from = c.pcPage == 0 ? page : (page + 1) & 15;
                const auto& r = t.board.cpu.indexRegisters;
                EXPECT_EQ(r[static_cast<std::size_t>(2 * c.finPair)] << 4 |
                              r[static_cast<std::size_t>(2 * c.finPair + 1)],
                          finByte(from))
                    << where;
            }
        }
    }
}

// With no RAM answering an I/O read, nobody drives X2 and the bus still holds
// OPA from M2 (8 for SBM, B for ADM): the CPU, which leaves the bus alone for
// every read, takes that value as the operand.
TEST(PageCorners, SbmAndAdmWithNoRamSelectedTakeTheStaleBus) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> select;  // leaves no RAM answering
    } selections[] = {
        // Bits 3-2 of the SRC nibble name chip 2, which the board lacks.
        {"SRC to a missing chip", {0x20, 0x80, 0x21}},
        // RAM 0 keeps the address of SRC 00, but CM-RAM0 is off after DCL 1.
        {"another bank", {0x20, 0x00, 0x21, LDM(3), 0xE0, LDM(1), 0xFD}},
    };
    for (const Case& c : selections) {
        // LDM 5; CLC; ADM: 5 + 11 + 0 = 16, carry out.
        std::vector<std::uint8_t> adm = c.select;
        adm.insert(adm.end(), {LDM(5), 0xF1, 0xEB});
        TestBoard t(adm);
        t.cycles(adm.size());  // one cycle per byte
        EXPECT_EQ(t.board.cpu.accumulator, 0) << c.name;
        EXPECT_EQ(t.board.cpu.carry, 1) << c.name;
        // LDM 5; CLC; SBM: 5 + (15 - 8) + 1 = 13, a borrow.
        std::vector<std::uint8_t> sbm = c.select;
        sbm.insert(sbm.end(), {LDM(5), 0xF1, 0xE8});
        TestBoard u(sbm);
        u.cycles(sbm.size());
        EXPECT_EQ(u.board.cpu.accumulator, 13) << c.name;
        EXPECT_EQ(u.board.cpu.carry, 0) << c.name;
    }
}

}  // namespace
}  // namespace tallivo::testing
