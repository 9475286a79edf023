#include <gtest/gtest.h>

#include "chips/shift_register4003.h"
#include "kernel/component_registry.h"

namespace tallivo {
namespace {

struct Chain {
    Net clock = 0, data = 0, carry = 0, out[20] = {};
    ShiftRegister4003 first, second;
    ComponentRegistry registry;
    Chain() {
        first.connect(&clock, &data, &carry, &out[0]);
        second.connect(&clock, &carry, nullptr, &out[10]);
        registry.registerComponent(&first);
        registry.registerComponent(&second);
    }
    void period() { registry.stepClock(); }
    // One pulse: clock high for a period, then low for a period, data held.
    void pulse(Net bit) {
        data = bit;
        clock = 1;
        period();
        clock = 0;
        period();
    }
};

TEST(ShiftRegister, ShiftsThePeriodAfterTheRisingEdgeTakingThatPeriodsData) {
    Chain c;
    c.period();  // clock sampled low
    c.clock = 1;
    c.data = 0;
    c.period();  // edge seen here
    EXPECT_EQ(c.out[0], 0);
    c.data = 1;  // the data of the next period is what shifts in
    c.period();
    EXPECT_EQ(c.out[0], 1);
    c.period();  // clock still high: no further shift
    EXPECT_EQ(c.out[1], 0);
}

TEST(ShiftRegister, AClockHighFromTheStartIsNoEdge) {
    Chain c;
    c.clock = 1;
    c.data = 1;
    for (int i = 0; i < 3; ++i) c.period();
    EXPECT_EQ(c.out[0], 0);
    c.pulse(1);
    c.pulse(1);
    EXPECT_EQ(c.out[0], 1);
}

TEST(ShiftRegister, TenOnesFillTheOutputsAndTheSerialOutputFollowsStageNine) {
    Chain c;
    c.period();
    for (int i = 0; i < 9; ++i) c.pulse(1);
    EXPECT_EQ(c.carry, 0);
    c.pulse(1);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(c.out[i], 1) << i;
    EXPECT_EQ(c.carry, 1);
    c.pulse(0);
    EXPECT_EQ(c.out[0], 0);
    EXPECT_EQ(c.out[1], 1);
    EXPECT_EQ(c.carry, 1);
}

TEST(ShiftRegister, TheChainedPairActsAsOneTwentyStageRegister) {
    Chain c;
    c.period();
    c.pulse(1);
    for (int i = 0; i < 19; ++i) c.pulse(0);
    for (int i = 0; i < 19; ++i) EXPECT_EQ(c.out[i], 0) << i;
    EXPECT_EQ(c.out[19], 1);
}

TEST(ShiftRegister, ChainOrderDoesNotMatter) {
    // The second register clocked before the first still takes the bit that
    // the first shifts out, not the one it shifts in.
    Net clock = 0, data = 0, carry = 0, out[20] = {};
    ShiftRegister4003 first, second;
    first.connect(&clock, &data, &carry, &out[0]);
    second.connect(&clock, &carry, nullptr, &out[10]);
    ComponentRegistry registry;
    registry.registerComponent(&second);
    registry.registerComponent(&first);
    registry.stepClock();
    auto pulse = [&](Net bit) {
        data = bit;
        clock = 1;
        registry.stepClock();
        clock = 0;
        registry.stepClock();
    };
    pulse(1);
    for (int i = 0; i < 10; ++i) pulse(0);
    EXPECT_EQ(out[9], 0);
    EXPECT_EQ(out[10], 1);
}

}  // namespace
}  // namespace tallivo
