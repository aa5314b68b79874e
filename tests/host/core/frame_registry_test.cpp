// Frame life: identifiers, pruning against the clock, take-and-remove, clear.

#include "host/actions/frame_registry.h"
#include "host/platform/fake/fake_clock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <regex>
#include <set>

namespace host {
namespace {

using platform::fake::FakeClock;
using platform::fake::FakeUuids;

TEST(FrameLivenessTest, LiveStrictlyBelowThirtySecondsNegativeLiveNanExpired) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        double capturedAt;
        double now;
        bool live;
    } cases[] = {
        {100.0, 129.9, true},  {100.0, 130.0, false},
        {100.0, 130.1, false}, {100.0, 100.0, true},
        {100.0, 50.0, true},   {nan, 100.0, false},
        {100.0, nan, false},   {100.0, std::numeric_limits<double>::infinity(), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isLive(Frame{1, 2, {}, c.capturedAt}, c.now), c.live)
            << c.capturedAt << " at " << c.now;
}

class FrameRegistryTest : public ::testing::Test {
protected:
    FakeClock clock{1000.0};
    FakeUuids uuids;
    FrameRegistry frames{clock, uuids};
};

TEST_F(FrameRegistryTest, StoresWhatWasCapturedWithTheTimeOfRegistration) {
    const platform::Rect bounds{10.5, -20, 300, 200.25};
    const auto id = frames.registerFrame(4000000000u, -5, bounds);
    clock.advance(3);
    const auto frame = frames.takeFrame(id);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->windowId, 4000000000u);
    EXPECT_EQ(frame->pid, -5);
    EXPECT_EQ(frame->bounds, bounds);
    EXPECT_EQ(frame->capturedAt, 1000.0);
}

TEST_F(FrameRegistryTest, TakeRemovesInOneStepAndComparesExactly) {
    FakeUuids random(FakeUuids::Mode::Random);
    FrameRegistry registry(clock, random);
    const auto id = registry.registerFrame(1, 2, {});
    std::string lower = id;
    for (auto& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    ASSERT_NE(lower, id);
    EXPECT_FALSE(registry.takeFrame(lower));
    EXPECT_FALSE(registry.takeFrame(id + " "));
    EXPECT_TRUE(registry.takeFrame(id));
    EXPECT_FALSE(registry.takeFrame(id));
    EXPECT_EQ(registry.size(), 0u);
}

TEST_F(FrameRegistryTest, IdentifiersAreFreshUpperCaseVersionFourUuids) {
    FakeUuids random(FakeUuids::Mode::Random);
    FrameRegistry registry(clock, random);
    const std::regex format("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
    std::set<std::string> seen;
    for (int i = 0; i < 200; ++i) {
        const auto id = registry.registerFrame(1, 2, {});
        EXPECT_TRUE(std::regex_match(id, format)) << id;
        EXPECT_TRUE(seen.insert(id).second) << id;
    }
    EXPECT_EQ(registry.size(), 200u); // no count limit
}

TEST_F(FrameRegistryTest, LowerCaseOrRepeatedSourceTextStillGivesFreshUpperCaseIdentifiers) {
    struct Repeating : platform::UuidSource {
        int calls = 0;
        std::string randomUuid() override {
            return ++calls < 3 ? "abcdef00-0000-4000-8000-000000000001"
                               : "abcdef00-0000-4000-8000-000000000002";
        }
    } source;
    FrameRegistry registry(clock, source);
    EXPECT_EQ(registry.registerFrame(1, 2, {}), "ABCDEF00-0000-4000-8000-000000000001");
    EXPECT_EQ(registry.registerFrame(1, 2, {}), "ABCDEF00-0000-4000-8000-000000000002");
}

TEST_F(FrameRegistryTest, RegisteringPrunesExpiredFramesOnly) {
    const auto old = frames.registerFrame(1, 1, {}); // at 1000.0
    clock.time = 1000.1;
    const auto young = frames.registerFrame(2, 2, {}); // at 1000.1
    clock.time = 1030.0;                               // old is 30.0 s, young 29.9 s
    const auto fresh = frames.registerFrame(3, 3, {});
    EXPECT_FALSE(frames.takeFrame(old));
    EXPECT_TRUE(frames.takeFrame(young));
    EXPECT_TRUE(frames.takeFrame(fresh));
}

TEST_F(FrameRegistryTest, ExpiredFramesStayUntilTheNextRegistration) {
    const auto id = frames.registerFrame(1, 1, {});
    clock.advance(3600);
    const auto frame = frames.takeFrame(id);
    ASSERT_TRUE(frame);
    EXPECT_FALSE(isLive(*frame, clock.now()));
}

TEST_F(FrameRegistryTest, FramesFromAClockSetBackSurvivePruning) {
    const auto id = frames.registerFrame(1, 1, {});
    clock.time = 10.0;
    frames.registerFrame(2, 2, {});
    EXPECT_TRUE(frames.takeFrame(id));
}

TEST_F(FrameRegistryTest, TheClockIsReadForEachFrameAndAfterPruning) {
    // A clock that moves by 10 s at every reading.
    struct Ticking : platform::Clock {
        double time = 0;
        double now() override { return time += 10; }
    } ticking;
    FrameRegistry registry(ticking, uuids);
    registry.registerFrame(1, 1, {}); // stored at 10 (no frame to prune)
    registry.registerFrame(2, 2, {}); // prune reads 20 (age 10, kept); stored at 30
    EXPECT_EQ(registry.size(), 2u);
    ticking.time = 35; // pruning reads 45 and 55: ages 35 (gone) and 25 (kept)
    const auto id = registry.registerFrame(3, 3, {});
    EXPECT_EQ(registry.size(), 2u);
    EXPECT_EQ(registry.takeFrame(id)->capturedAt, 65);
}

TEST_F(FrameRegistryTest, ClearForgetsEverything) {
    for (int i = 0; i < 5; ++i)
        frames.registerFrame(1, 1, {});
    frames.clearFrames();
    EXPECT_EQ(frames.size(), 0u);
    EXPECT_FALSE(frames.takeFrame("00000000-0000-4000-8000-000000000001"));
}

} // namespace
} // namespace host
