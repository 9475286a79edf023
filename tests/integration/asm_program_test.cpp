// tallivo-asm as a command: a program assembled by it and run on the board
// by tallivo-run, and the command's handling of bad input and of its files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

const std::string kAsm = std::string(TALLIVO_BIN_DIR) + "/tallivo-asm";
const std::string kRun = std::string(TALLIVO_BIN_DIR) + "/tallivo-run";

class AsmCommand : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("tallivo_asm_" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    void write(const std::string& name, const std::string& text) const {
        std::ofstream(path(name), std::ios::binary) << text;
    }

    std::string read(const std::string& name) const {
        std::ifstream in(path(name), std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    // Runs a command in the test's folder; standard output and error go to
    // the files "out" and "err". Returns the exit status.
    int run(const std::string& command) const {
        const std::string line = "cd '" + dir_.string() + "' && " + command + " >out 2>err";
        const int status = std::system(line.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    fs::path dir_;
};

// The numbers of the JSON array that follows the first occurrence of `key`.
std::vector<int> jsonArray(const std::string& json, const std::string& key) {
    const std::size_t at = json.find("\"" + key + "\":[");
    if (at == std::string::npos) return {};
    std::istringstream in(
        json.substr(at + key.size() + 4, json.find(']', at) - at - key.size() - 4));
    std::vector<int> values;
    for (std::string item; std::getline(in, item, ',');) values.push_back(std::stoi(item));
    return values;
}

int jsonNumber(const std::string& json, const std::string& key) {
    const std::size_t at = json.find("\"" + key + "\":");
    return at == std::string::npos ? -1 : std::stoi(json.substr(at + key.size() + 3));
}

int symbolValue(const std::string& symbols, const std::string& name) {
    std::istringstream in(symbols);
    for (std::string n, value; in >> n >> value;) {
        if (n == name) return std::stoi(value, nullptr, 16);
    }
    return -1;
}

// Adds 1 to 5 in decimal, keeps the sum in RAM, calls a subroutine, reads a
// table with FIN and jumps with JIN, then waits in a loop.
const char* const kProgram = R"(; sum of 1 to 5, decimal
count   = 5
        org 0
start:  FIM P0, 0           ; RAM chip 0, register 0, character 0
        LDM 0
        DCL                 ; bank 0
        FIM 1P, 0           ; R2 = tens, R3 = units of the sum
        LDM 16 - count
        XCH R4              ; ISZ counts R4 up to 0: count rounds
        LDM 0
        XCH R5              ; R5 = the number added
loop:   INC R5
        CLC
        LD R3
        ADD R5
        DAA                 ; carry = a ten
        XCH R3
        TCC
        ADD R2
        XCH R2
        ISZ R4, loop
        SRC P0
        LD R2
        WRM                 ; character 0 = tens
        INC R1
        SRC P0
        LD R3
        WRM                 ; character 1 = units
        WR0                 ; status character 0 = units
        JMS sub
        XCH R6              ; R6 = what BBL returned
        FIM P0, table
        FIN P7              ; R14 R15 = the table byte
        FIM P5, done
        JIN P5
        LDM 1               ; jumped over
        XCH R6
done:   JUN done
sub:    CLB
        IAC
        CMA
        XCH R7              ; R7 = 14
        STC
        BBL 9
table:  db 0xA7
)";

TEST_F(AsmCommand, AssembledProgramRunsOnTheBoard) {
    write("sum.asm", kProgram);
    ASSERT_EQ(run("'" + kAsm + "' sum.asm -o sum.code --symbols sum.sym --listing sum.lst"), 0)
        << read("err");
    ASSERT_EQ(run("'" + kRun + "' --code sum.code --periods 20000 --dump-state -"), 0)
        << read("err");
    const std::string state = read("out");
    const std::string symbols = read("sum.sym");
    const int table = symbolValue(symbols, "table");
    const int done = symbolValue(symbols, "done");
    ASSERT_GT(table, 0);
    ASSERT_GT(done, 0);

    EXPECT_THAT(jsonArray(state, "indexRegisters"),
                ElementsAre(table >> 4, table & 15, 1, 5, 0, 5, 9, 14, 0, 0, done >> 4, done & 15,
                            0, 0, 0xA, 7));
    EXPECT_EQ(jsonNumber(state, "accumulator"), 0);
    EXPECT_EQ(jsonNumber(state, "carry"), 1);
    EXPECT_EQ(jsonNumber(state, "stackPointer"), 0);
    EXPECT_EQ(jsonNumber(state, "cmRamSelect"), 1);
    // The loop at done is fetched over and over: the PC is somewhere in it.
    const int pc = jsonNumber(state, "pc");
    EXPECT_GE(pc, done);
    EXPECT_LE(pc, done + 2);
    const std::vector<int> memory = jsonArray(state, "mainMemory");
    ASSERT_EQ(memory.size(), 64u);
    EXPECT_EQ(memory[0], 1);
    EXPECT_EQ(memory[1], 5);
    EXPECT_EQ(jsonArray(state, "statusMemory").at(0), 5);
}

TEST_F(AsmCommand, DisassembledCodeFileAssemblesToTheSameFile) {
    write("sum.asm", kProgram);
    ASSERT_EQ(run("'" + kAsm + "' sum.asm -o a.code"), 0) << read("err");
    ASSERT_EQ(run("'" + kAsm + "' --disassemble a.code -o back.asm"), 0) << read("err");
    ASSERT_EQ(run("'" + kAsm + "' back.asm -o b.code"), 0) << read("err");
    // The byte lines agree; only the comments differ.
    auto byteLines = [](const std::string& text) {
        std::istringstream in(text);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line.substr(0, line.find(" /")));
        lines.erase(lines.begin());  // the "assembled from" comment
        return lines;
    };
    EXPECT_EQ(byteLines(read("a.code")), byteLines(read("b.code")));
}

TEST_F(AsmCommand, ErrorsWriteNoFileAndKeepTheOldOne) {
    write("bad.asm", " NOP\n JUN missing\n LDM 99\n");
    write("out.code", "old\n");
    EXPECT_EQ(run("'" + kAsm + "' bad.asm -o out.code --listing out.lst --symbols out.sym"), 1);
    EXPECT_EQ(read("err"),
              "bad.asm:2: error: undefined label 'missing'\n"
              "bad.asm:3: error: value 99 out of range for LDM (0 to 15)\n");
    EXPECT_EQ(read("out.code"), "old\n");
    EXPECT_FALSE(fs::exists(path("out.lst")));
    EXPECT_FALSE(fs::exists(path("out.sym")));
}

TEST_F(AsmCommand, WarningsStillWriteTheFile) {
    write("fin.asm", " org 0xFF\n FIN P0\n");
    EXPECT_EQ(run("'" + kAsm + "' fin.asm -o fin.code"), 0);
    EXPECT_THAT(read("err"), HasSubstr("fin.asm:2: warning: FIN at 0x0FF ends its page"));
    EXPECT_THAT(read("fin.code"), HasSubstr("@0FF\n30 / 0FF line 2\n"));
}

TEST_F(AsmCommand, UsageMistakes) {
    write("a.asm", " NOP\n");
    EXPECT_EQ(run("'" + kAsm + "' a.asm"), 2);
    EXPECT_THAT(read("err"), HasSubstr("no code file named with -o"));
    EXPECT_EQ(run("'" + kAsm + "' a.asm -o a.asm"), 2);
    EXPECT_THAT(read("err"), HasSubstr("'a.asm' is the input file"));
    EXPECT_EQ(read("a.asm"), " NOP\n");
    EXPECT_EQ(run("'" + kAsm + "' a.asm -o x.code --frob"), 2);
    EXPECT_THAT(read("err"), HasSubstr("unknown option '--frob'"));
    EXPECT_EQ(run("'" + kAsm + "' missing.asm -o x.code"), 1);
    EXPECT_THAT(read("err"), HasSubstr("can't read 'missing.asm'"));
    EXPECT_FALSE(fs::exists(path("x.code")));
}

}  // namespace
