// The source language and the checks of the assembler.
#include "asm/assembler.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace tallivo::assembler {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// Included files come from this table instead of the disk.
FileReader tableReader(std::map<std::string, std::string> files) {
    return [files](const std::string& path) -> std::optional<std::string> {
        const auto found = files.find(path);
        if (found == files.end()) return std::nullopt;
        return found->second;
    };
}

Assembly run(const std::string& source, const FileReader& reader = {}) {
    return assemble(source, "main.asm", reader);
}

// The bytes placed from `from` on, up to the first gap.
std::vector<int> bytes(const Assembly& a, int from = 0) {
    std::vector<int> out;
    for (int address = from; address < kRomEnd && a.image.has(address); ++address)
        out.push_back(a.image.at(address));
    return out;
}

std::vector<int> bytesOf(const std::string& source) {
    const Assembly a = run(source);
    EXPECT_TRUE(a.ok()) << (a.diagnostics.empty() ? "" : formatDiagnostic(a.diagnostics.front()));
    return bytes(a);
}

// The only diagnostic of a source, formatted as the command prints it.
std::string onlyMessage(const std::string& source, const FileReader& reader = {}) {
    const Assembly a = run(source, reader);
    EXPECT_EQ(a.diagnostics.size(), 1u);
    return a.diagnostics.empty() ? "" : formatDiagnostic(a.diagnostics.front());
}

TEST(AssemblerSyntax, NumbersCharactersAndExpressions) {
    EXPECT_THAT(bytesOf(" db 10, 0x1f, 0FFh, 0b101, 'A', '\\n', ';'"),
                ElementsAre(10, 0x1F, 0xFF, 5, 'A', '\n', ';'));
    EXPECT_THAT(bytesOf(" db 2+3*4, (2+3)*4, 20/6, 0x0F&0x3C, 1|6, 1<<4, 0x80>>3, -1, -(2-5)"),
                ElementsAre(14, 20, 3, 0x0C, 7, 16, 16, 0xFF, 3));
    // | binds less than &, & less than shifts, shifts less than + and -.
    EXPECT_THAT(bytesOf(" db 1 | 2 & 3, 1 << 1 + 1, 6 & 3 << 1"), ElementsAre(3, 4, 6));
    // "*" and "$" are the address of the statement; "* * 2" multiplies it.
    const Assembly a = run(" org 4\n db $, *, * * 2, $+1");
    EXPECT_THAT(bytes(a, 4), ElementsAre(4, 4, 8, 5));
}

TEST(AssemblerSyntax, LabelsOperandsAndCase) {
    const Assembly a =
        run("start: nop\n"
            "loop   Jun loop\n"  // a name in the first column is a label
            "NOP\n"              // ... unless it is a mnemonic
            "  fim 1P 0x12\n"    // blanks separate operands too
            "  src p1\n"
            "  FIM 4, 0x34\n"  // the even register number names the pair
            "  FIN R6\n"
            "  jcn nz, loop\n"
            "  JCN 9 start\n"
            "  isz 15, start\n"
            "  LD 3\n"
            "  XCH R12\n");
    ASSERT_TRUE(a.ok()) << formatDiagnostic(a.diagnostics.front());
    EXPECT_THAT(bytes(a), ElementsAre(0x00, 0x40, 0x01, 0x00, 0x22, 0x12, 0x23, 0x24, 0x34, 0x36,
                                      0x1C, 0x01, 0x19, 0x00, 0x7F, 0x00, 0xA3, 0xBC));
    ASSERT_EQ(a.symbols.size(), 2u);
    EXPECT_EQ(a.symbols[0].name, "loop");
    EXPECT_EQ(a.symbols[0].value, 1);
    EXPECT_EQ(a.symbols[1].name, "start");
}

TEST(AssemblerSyntax, DirectivesOrgEquAlignAndForwardReferences) {
    const Assembly a =
        run("size = finish - begin\n"  // refers to labels further down
            "base equ 0x20\n"
            "twice: equ size * 2\n"
            "  org base + 0x10\n"
            "begin: LDM size\n"
            "  JMS finish\n"
            "finish: BBL twice\n"
            "  align page\n"
            "page1: align page\n"  // already aligned: stays
            "  db size, 1\n");
    ASSERT_TRUE(a.ok()) << formatDiagnostic(a.diagnostics.front());
    EXPECT_THAT(bytes(a, 0x30), ElementsAre(0xD3, 0x50, 0x33, 0xC6));
    EXPECT_THAT(bytes(a, 0x100), ElementsAre(3, 1));
    EXPECT_FALSE(a.image.has(0x34));
}

TEST(AssemblerSyntax, IncludeReadsRelativeToTheIncludingFile) {
    const FileReader reader = tableReader({{"lib/defs.asm", "seven = 7\n include \"more.asm\"\n"},
                                           {"lib/more.asm", "eight: LDM 8\n"}});
    const Assembly a =
        assemble(" include \"defs.asm\"\n LDM seven\n JUN eight\n", "lib/main.asm", reader);
    ASSERT_TRUE(a.ok()) << formatDiagnostic(a.diagnostics.front());
    EXPECT_THAT(bytes(a), ElementsAre(0xD8, 0xD7, 0x40, 0x00));
    EXPECT_THAT(a.files, ElementsAre("lib/main.asm", "lib/defs.asm", "lib/more.asm"));
    // Messages name the included file and its own line.
    const FileReader bad = tableReader({{"bad.asm", "NOP\n FOO\n"}});
    EXPECT_EQ(onlyMessage(" include \"bad.asm\"", bad), "bad.asm:2: error: unknown mnemonic 'FOO'");
}

struct MessageCase {
    const char* source;
    const char* message;
};

template <std::size_t N>
void checkMessages(const MessageCase (&cases)[N]) {
    for (const MessageCase& c : cases) EXPECT_EQ(onlyMessage(c.source), c.message) << c.source;
}

TEST(AssemblerChecks, MessagesNameTheFileAndLine) {
    const MessageCase cases[] = {
        {" NOP\n frob R1", "main.asm:2: error: unknown mnemonic 'frob'"},
        {" JUN nowhere", "main.asm:1: error: undefined label 'nowhere'"},
        {"a: NOP\na: NOP", "main.asm:2: error: label 'a' is already defined at main.asm:1"},
        {"x = 1\nx: NOP", "main.asm:2: error: label 'x' is already defined at main.asm:1"},
        {"R3: NOP", "main.asm:1: error: 'R3' names a register and can't be a label"},
        {"p7 = 1", "main.asm:1: error: 'p7' names a register and can't be a label"},
        {" equ 5", "main.asm:1: error: equ needs a name in front of it"},
        {" db 1 ?", "main.asm:1: error: unexpected '?'"},
        {" db 'ab'", "main.asm:1: error: a character constant holds one character and ends with '"},
        {" db 12ab", "main.asm:1: error: malformed number '12ab'"},
        {" db 0x1FFFFFFFF", "main.asm:1: error: number '0x1FFFFFFFF' is too large"},
        {" db (1", "main.asm:1: error: missing ')'"},
        {" db 1/0", "main.asm:1: error: division by zero"},
        {" db 1<<64", "main.asm:1: error: shift count 64 out of range (0 to 63)"},
        {" db 1,", "main.asm:1: error: missing operand after ','"},
    };
    checkMessages(cases);
}

TEST(AssemblerChecks, OperandsOutOfRangeOrOfTheWrongKind) {
    const MessageCase cases[] = {
        {" LDM 16", "main.asm:1: error: value 16 out of range for LDM (0 to 15)"},
        {" ADD 16", "main.asm:1: error: register 16 out of range for ADD (0 to 15)"},
        {" INC R16", "main.asm:1: error: 'R16' is no register (R0 to R15)"},
        {" SRC P8", "main.asm:1: error: 'P8' is no register pair (P0 to P7)"},
        {" ADD P1", "main.asm:1: error: ADD takes a register, not the pair 'P1'"},
        {" LDM R1", "main.asm:1: error: LDM takes a value, not the register name 'R1'"},
        {" JCN 16, 0", "main.asm:1: error: condition 16 out of range for JCN (0 to 15)"},
        {" JUN 0x1000", "main.asm:1: error: address 4096 out of range for JUN (0 to 4095)"},
        {" db 256", "main.asm:1: error: byte 256 out of range for db (-128 to 255)"},
        {" FIM P0", "main.asm:1: error: FIM takes 2 operands, found 1"},
        {" CLB 1", "main.asm:1: error: CLB takes 0 operands, found 1"},
        {" LDM R1+1", "main.asm:1: error: register name 'R1' can't be used in an expression"},
        {" db \"x\"", "main.asm:1: error: a quoted string is only allowed after include"},
    };
    checkMessages(cases);
    EXPECT_THAT(onlyMessage(" FIM 3, 0"), HasSubstr("register 3 names no register pair"));
    EXPECT_THAT(onlyMessage(" FIN R5"), HasSubstr("'R5' names no register pair"));
}

TEST(AssemblerChecks, JcnAndIszStayOnThePageOfTheFollowingWord) {
    // At 0x1FD the following word is 0x1FF: page 1.
    EXPECT_TRUE(run(" org 0x1FD\n JCN Z, 0x180").ok());
    // At 0x1FE the second word ends page 1, so the jump lands in page 2.
    const Assembly next = run(" org 0x1FE\n JCN Z, 0x234");
    ASSERT_TRUE(next.ok());
    EXPECT_THAT(bytes(next, 0x1FE), ElementsAre(0x14, 0x34));
    EXPECT_EQ(
        onlyMessage(" org 0x1FE\n ISZ R2, 0x180"),
        "main.asm:2: error: ISZ target 0x180 is not on page 0x200, the page of the word after the "
        "instruction (its second word ends page 0x100, so it jumps within the next page)");
    EXPECT_EQ(
        onlyMessage(" org 0x0F0\n JCN C, 0x123"),
        "main.asm:2: error: JCN target 0x123 is not on page 0x000, the page of the word after the "
        "instruction");
}

TEST(AssemblerChecks, FinAndJinAtTheEndOfAPageWarn) {
    const Assembly a = run(" org 0x2FF\n FIN P1\n org 0x3FF\n JIN P2\n org 0x100\n FIN P0");
    EXPECT_TRUE(a.ok());
    ASSERT_EQ(a.diagnostics.size(), 2u);
    EXPECT_EQ(formatDiagnostic(a.diagnostics[0]),
              "main.asm:2: warning: FIN at 0x2FF ends its page, so it reads its byte from page "
              "0x300, not page "
              "0x200");
    EXPECT_THAT(a.diagnostics[1].message,
                HasSubstr("JIN at 0x3FF ends its page, so it jumps within page 0x400"));
    EXPECT_EQ(a.image.at(0x2FF), 0x32);
}

TEST(AssemblerChecks, CodeThatOverlapsOrPassesTheLastRom) {
    EXPECT_EQ(onlyMessage(" org 0x10\n JUN 0\n org 0x11\n NOP"),
              "main.asm:4: error: code at 0x011 overlaps the code placed there by main.asm:2");
    EXPECT_EQ(onlyMessage(" org 0x4FF\n JUN 0"),
              "main.asm:2: error: code at 0x4FF passes 0x4FF, the last ROM address");
    EXPECT_EQ(onlyMessage(" org 0x4FF\n NOP\n end: NOP"),
              "main.asm:3: error: code at 0x500 passes 0x4FF, the last ROM address");
    EXPECT_EQ(onlyMessage(" org 0x500"),
              "main.asm:1: error: org 1280 is outside the ROMs (0x000 to 0x4FF)");
    EXPECT_EQ(onlyMessage(" org later\nlater: NOP"),
              "main.asm:1: error: org needs a value known at this point, but 'later' is defined "
              "further down "
              "or not at all");
    // A label may sit just past the last byte; only bytes are refused there.
    EXPECT_TRUE(run(" org 0x4FF\n NOP\nend:").ok());
}

TEST(AssemblerChecks, ConstantsThatCannotBeResolved) {
    const Assembly circle = run("a = b\nb = a");
    ASSERT_EQ(circle.diagnostics.size(), 2u);
    EXPECT_EQ(formatDiagnostic(circle.diagnostics[0]),
              "main.asm:1: error: 'a' is defined in terms of itself");
    EXPECT_EQ(formatDiagnostic(circle.diagnostics[1]),
              "main.asm:2: error: 'b' is defined in terms of itself");
    const Assembly a = run("a = b + 1\nb = c\n");
    ASSERT_EQ(a.diagnostics.size(), 2u);
    EXPECT_EQ(a.diagnostics[0].message, "can't give 'a' a value: 'b' has no value");
    EXPECT_EQ(a.diagnostics[1].message, "can't give 'b' a value: undefined label 'c'");
}

TEST(AssemblerChecks, IncludeProblems) {
    EXPECT_EQ(onlyMessage(" include \"gone.asm\""),
              "main.asm:1: error: can't read included file 'gone.asm'");
    EXPECT_EQ(onlyMessage(" include gone.asm"),
              "main.asm:1: error: include takes one file name in double quotes");
    const FileReader loop =
        tableReader({{"a.asm", " include \"b.asm\"\n"}, {"b.asm", " include \"a.asm\"\n"}});
    EXPECT_EQ(onlyMessage(" include \"a.asm\"", loop), "b.asm:1: error: 'a.asm' includes itself");
}

TEST(AssemblerChecks, ErrorsStopAfterAHundred) {
    std::string source;
    for (int i = 0; i < 500; ++i) source += " bogus\n";
    const Assembly a = run(source);
    ASSERT_EQ(a.diagnostics.size(), 101u);
    EXPECT_EQ(a.diagnostics.back().message, "too many errors; giving up");
}

}  // namespace
}  // namespace tallivo::assembler
