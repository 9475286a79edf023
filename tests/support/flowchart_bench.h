#pragma once
// A flowchart view on a test bench: a fresh working folder (where the view
// looks for its pictures first), the message boxes captured, and the view's
// Nets driven the way the CPU and the printer drum drive them.
#include <gtest/gtest.h>

#include <QColor>
#include <filesystem>
#include <string>
#include <vector>

#include "kernel/platform.h"
#include "tools/flowchart_view.h"

namespace tallivo::testing {

class FlowchartBench : public ::testing::Test {
  protected:
    void SetUp() override {
        previousDir = std::filesystem::current_path();
        dir = std::filesystem::temp_directory_path() /
              ("tallivo_flowchart_" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        std::filesystem::current_path(dir);
        platform().showMessage = [this](const std::string& text) { messages.push_back(text); };
    }
    void TearDown() override {
        view.shutdown();
        resetPlatform();
        std::filesystem::current_path(previousDir);
        std::filesystem::remove_all(dir);
    }

    int open(int hitValue) { return view.connect(hitValue, &bus, &sync, &test, &reset); }

    void period(Net syncLevel, int busValue) {
        sync = syncLevel;
        bus = static_cast<Net>(busValue);
        view.clockPhase1();
        view.clockPhase2();
    }

    // One instruction cycle: SYNC in the X3 before it, then the address in
    // A1 to A3, the byte in M1 and M2, and X1, X2.
    void cycle(int address, int byte = 0) {
        period(1, 0);
        period(0, address & 0xF);
        period(0, (address >> 4) & 0xF);
        period(0, (address >> 8) & 0xF);
        period(0, (byte >> 4) & 0xF);
        period(0, byte & 0xF);
        period(0, 0);
        period(0, 0);
    }

    // Records a page-3 address: a cycle at 0x300 makes the next one count.
    void record(int low, int byte = 0) {
        cycle(0x300);
        cycle(0x300 | low, byte);
    }

    // One drum sector: a rising edge of Test.
    void tick() {
        test = 1;
        period(0, 0);
        test = 0;
        period(0, 0);
    }

    void holdReset() {
        reset = 1;
        for (int i = 0; i < 12; ++i) period(0, 0);
        reset = 0;
    }

    QColor pixel(int x, int y) const { return view.displayedImage().pixelColor(x, y); }

    std::filesystem::path previousDir, dir;
    std::vector<std::string> messages;
    Net bus = 0, sync = 0, test = 0, reset = 0;
    FlowchartView view;
};

}  // namespace tallivo::testing
