#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "kernel/component_registry.h"
#include "kernel/platform.h"

namespace tallivo {
namespace {

// Records every call in one shared log, and follows SYNC like a bus chip.
class Probe final : public Component {
  public:
    Probe(std::vector<std::string>& log, std::string name) : log_(log), name_(std::move(name)) {}
    int clockPhase1() override {
        if (syncIn) Component::clockPhase1();
        log_.push_back(name_ + "1");
        return 0;
    }
    int clockPhase2() override {
        if (syncIn) Component::clockPhase2();
        log_.push_back(name_ + "2");
        return 0;
    }
    int shutdown() override {
        ++shutdowns;
        return 0;
    }
    int shutdowns = 0;

  private:
    std::vector<std::string>& log_;
    std::string name_;
};

TEST(ComponentRegistry, EveryPhaseOneRunsBeforeAnyPhaseTwoInRegistrationOrder) {
    std::vector<std::string> log;
    ComponentRegistry registry;
    registry.stepClock();  // empty: nothing happens
    Probe a(log, "a"), b(log, "b"), c(log, "c");
    registry.registerComponent(&a);
    registry.registerComponent(&b);
    registry.registerComponent(&c);
    registry.stepClock();
    EXPECT_EQ(log, (std::vector<std::string>{"a1", "b1", "c1", "a2", "b2", "c2"}));
}

TEST(ComponentRegistry, RefusesTheSixtyFifthComponentWhichIsNeverClocked) {
    std::vector<std::string> log;
    ComponentRegistry registry;
    std::vector<std::unique_ptr<Probe>> probes;
    for (int i = 0; i < 65; ++i) probes.push_back(std::make_unique<Probe>(log, std::to_string(i)));
    for (int i = 0; i < 64; ++i) EXPECT_EQ(registry.registerComponent(probes[i].get()), 0);
    EXPECT_EQ(registry.registerComponent(probes[64].get()), 1);
    EXPECT_EQ(registry.count(), 64);
    registry.stepClock();
    EXPECT_EQ(log.size(), 128u);
    EXPECT_EQ(std::count(log.begin(), log.end(), "641"), 0);
}

TEST(ComponentRegistry, ShutdownAllWalksEveryComponentAndReturnsTheToolkitResult) {
    std::vector<std::string> log;
    ComponentRegistry registry;
    Probe a(log, "a"), b(log, "b");
    registry.registerComponent(&a);
    registry.registerComponent(&b);
    platform().toolkitExit = [] { return 7; };
    EXPECT_EQ(registry.shutdownAll(), 7);
    EXPECT_EQ(registry.shutdownAll(), 7);
    resetPlatform();
    EXPECT_EQ(a.shutdowns, 2);
    EXPECT_EQ(b.shutdowns, 2);
}

TEST(CycleTracking, FollowsSyncAndStopsAtEightWithoutIt) {
    std::vector<std::string> log;
    Net sync = 0;
    Probe chip(log, "x");
    chip.syncIn = &sync;
    ComponentRegistry registry;
    registry.registerComponent(&chip);
    for (int i = 0; i < 5; ++i) registry.stepClock();
    EXPECT_EQ(chip.phase, kNotSynchronised);

    sync = 1;
    registry.stepClock();
    EXPECT_EQ(chip.phase, kA1);
    registry.stepClock();  // SYNC high twice in a row: A1 again
    EXPECT_EQ(chip.phase, kA1);
    sync = 0;
    for (int i = 0; i < 7; ++i) registry.stepClock();
    EXPECT_EQ(chip.phase, kX3);
    registry.stepClock();
    EXPECT_EQ(chip.phase, kNotSynchronised);
    registry.stepClock();
    EXPECT_EQ(chip.phase, kNotSynchronised);
}

// A writer in phase 1 is seen the same period by a later reader and one
// period late by an earlier one.
TEST(ComponentRegistry, RegistrationOrderDecidesWhenASamePhaseWriteIsSeen) {
    struct Writer final : Component {
        Net* net = nullptr;
        Net value = 0;
        int clockPhase1() override {
            *net = ++value;
            return 0;
        }
        int clockPhase2() override { return 0; }
        int shutdown() override { return 0; }
    };
    struct Reader final : Component {
        Net* net = nullptr;
        Net seen = 0;
        int clockPhase1() override {
            seen = *net;
            return 0;
        }
        int clockPhase2() override { return 0; }
        int shutdown() override { return 0; }
    };
    Net wire = 0;
    Reader before, after;
    Writer writer;
    before.net = after.net = writer.net = &wire;
    ComponentRegistry registry;
    registry.registerComponent(&before);
    registry.registerComponent(&writer);
    registry.registerComponent(&after);
    registry.stepClock();
    EXPECT_EQ(before.seen, 0);
    EXPECT_EQ(after.seen, 1);
    registry.stepClock();
    EXPECT_EQ(before.seen, 1);
    EXPECT_EQ(after.seen, 2);
}

}  // namespace
}  // namespace tallivo
