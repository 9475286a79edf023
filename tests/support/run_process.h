#pragma once
// Runs one of the built programs in a fresh working folder and collects what
// it printed, so tests drive the executables exactly as a user's script does.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/files.h"

namespace tallivo::testing {

struct ProcessResult {
    int exitCode = -1;
    std::string out;
    std::string err;
    std::filesystem::path dir;  // the working folder it ran in
    std::string file(const std::string& name) const { return readText((dir / name).string()); }
};

inline std::string shellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// `program` is a name in the build's bin folder; `args` are passed unchanged.
inline ProcessResult runProgram(const std::string& program, const std::vector<std::string>& args,
                                const std::string& folder) {
    ProcessResult r;
    r.dir = std::filesystem::temp_directory_path() /
            ("tallivo_run_tests_" + std::to_string(::getpid())) / folder;
    std::filesystem::remove_all(r.dir);
    std::filesystem::create_directories(r.dir);
    std::string cmd = "cd " + shellQuote(r.dir.string()) + " && " +
                      shellQuote(std::string(TALLIVO_BIN_DIR) + "/" + program);
    for (const auto& a : args) cmd += " " + shellQuote(a);
    cmd += " >stdout.txt 2>stderr.txt";
    const int status = std::system(cmd.c_str());
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = r.file("stdout.txt");
    r.err = r.file("stderr.txt");
    return r;
}

inline std::string testData(const std::string& relative) {
    return std::string(TALLIVO_TEST_DATA) + "/" + relative;
}

}  // namespace tallivo::testing
