// The demonstration that ships as demo.code: it is the assembled demo.asm,
// it prints counting digits with the red mark on odd lines, and it lights the
// flowchart's boxes.
#include <gtest/gtest.h>

#include "tests/support/run_process.h"

namespace tallivo::testing {
namespace {

const std::string kSource = std::string(TALLIVO_SOURCE_DIR) + "/examples/";
const std::string kShipped = std::string(TALLIVO_BIN_DIR) + "/demo.code";

TEST(Demo, TheShippedCodeFileIsTheAssembledSource) {
    const auto r = runProgram("tallivo-asm", {kSource + "demo.asm", "-o", "demo.code"}, "demo_asm");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.file("demo.code"), readText(kShipped));
}

TEST(Demo, PrintsCountingDigitsAndLightsTheFlowchart) {
    const auto r = runProgram("tallivo-run",
                              {"--code", kShipped, "--periods", "1500000", "--flowchart", "512",
                               "--flowchart-png", "flow.png"},
                              "demo_run");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string digits = "0123456789";
    std::string expected;
    for (char d : digits.substr(0, 6)) {
        // Odd digits carry the red mark in the first free column left of the digits.
        expected +=
            std::string(d % 2 ? " -" : "  ") + std::string(16, d) + std::string(6, ' ') + "\n";
    }
    EXPECT_EQ(r.out.substr(0, expected.size()), expected);
    EXPECT_FALSE(r.file("flow.png").empty());
}

}  // namespace
}  // namespace tallivo::testing
