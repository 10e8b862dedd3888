// Seeking: frames on a fixed grid, and what a frame inherits from the frames
// before it brought to where playing from 0 leaves it.
#include "core/Seek.h"
#include "core/Demo.h"
#include "support/GlTest.h"

#include <cmath>
#include <vector>

namespace {

GrowArray<TimelineEntry> entries(std::initializer_list<std::pair<float, float>> slots) {
    GrowArray<TimelineEntry> timeline;
    for (const auto& [start, duration] : slots) {
        timeline.append(TimelineEntry{start, duration, nullptr});
    }
    return timeline;
}

// The frames before `target` that a seek from the start draws.
std::vector<long> drawnBefore(const SeekPlan& plan, const FrameGrid& grid, long target) {
    std::vector<long> drawn;
    for (long frame = grid.firstFrame(); frame < target; ++frame) {
        if (plan.draws(grid, frame, target)) {
            drawn.push_back(frame);
        }
    }
    return drawn;
}

TEST(FrameGridTest, TimesOnTheDemosGridAreItsFramesAndOthersGetAGridOfTheirOwn) {
    long frame = -1;
    FrameGrid grid = FrameGrid::through(10.1, 30.0, frame);
    EXPECT_EQ(grid.origin, 0.0);
    EXPECT_EQ(frame, 303);
    // A frame's time written with a few decimals is that frame.
    grid = FrameGrid::through(10.0333333, 30.0, frame);
    EXPECT_EQ(grid.origin, 0.0);
    EXPECT_EQ(frame, 301);

    // 106.55 s lies halfway between two frames at 30 a second.
    grid = FrameGrid::through(106.55, 30.0, frame);
    EXPECT_EQ(grid.origin, 106.55);
    EXPECT_EQ(frame, 0);
    const long first = grid.firstFrame();
    EXPECT_GE(grid.time(first), 0.0);
    EXPECT_LT(grid.time(first - 1), 0.0);
    EXPECT_EQ(first, -3196);
}

TEST(SeekPlanTest, DrawsTheLastFrameOfEveryEarlierStretchAndSkipsTheRest) {
    // The shipped cuts: the sea, the city, the clouds, and the camera throughout.
    const GrowArray<TimelineEntry> timeline =
        entries({{0.0f, 25.55f}, {25.55f, 24.23f}, {49.78f, 32.77f}, {0.0f, 1000.0f}});
    const SeekPlan plan(timeline);
    const FrameGrid grid{20.0, 0.0};

    // Into the first stretch nothing is drawn.
    EXPECT_TRUE(drawnBefore(plan, grid, 400).empty());
    // 40 s: the sea's last frame (25.5 s) only.
    EXPECT_EQ(drawnBefore(plan, grid, 800), (std::vector<long>{510}));
    // 60 s: the last frames of the sea and of the city (49.75 s).
    EXPECT_EQ(drawnBefore(plan, grid, 1200), (std::vector<long>{510, 995}));

    // 25.55 s, as the main loop compares it in floats, is the city's first frame:
    // the frame before it is the sea's last.
    EXPECT_EQ(plan.stretchOf(static_cast<float>(grid.time(511))), plan.stretchOf(30.0f));
    EXPECT_EQ(drawnBefore(plan, grid, 511), (std::vector<long>{510}));
}

TEST(SeekPlanTest, OverlappingSlotsMakeStretchesOfTheirOwn) {
    // The metaballs and the closing sea share half a second.
    const SeekPlan plan(entries({{154.55f, 24.0f}, {178.0f, 13.0f}, {0.0f, 1000.0f}}));
    const FrameGrid grid{2.0, 0.0};
    // Before the metaballs nothing plays: the empty stretch's last frame, then
    // the metaballs' last frame alone and the last of the two together.
    EXPECT_EQ(drawnBefore(plan, grid, 370), (std::vector<long>{309, 355, 357}));
}

// Keeps what the effects of the shipped demo keep: a sum over every frame it
// plays (as the metaballs' glow), and the camera one frame late.
class Accumulator : public Effect {
public:
    explicit Accumulator(Demo* demo) : Effect(demo) {}
    void render() override {
        ++draws;
        carry();
    }
    void skip() override { carry(); }
    void rewind() override {
        sum = 0.0;
        ++rewinds;
    }
    void carry() {
        seenCamera = demo->controllerValues[0].x;
        sum += localTime;
        demo->controllerValues[0].x = localTime;
    }
    double sum = 0.0;
    float seenCamera = -1.0f;
    int draws = 0, rewinds = 0;
};

class DemoSeekTest : public GlTest {
protected:
    // The sum and the camera the accumulator sees at `frame` when the demo plays
    // every frame of the grid from the start.
    static void played(const FrameGrid& grid, long frame, float start, double& sum, float& camera) {
        sum = 0.0;
        camera = 0.0f;
        for (long k = grid.firstFrame(); k <= frame; ++k) {
            const float time = static_cast<float>(grid.time(k));
            if (time >= start) {
                camera = k == frame ? camera : time - start;
                sum += time - start;
            }
        }
    }
};

TEST_F(DemoSeekTest, CarriesWhatFramesKeepAndGoesOnAlongTheGridAtNoCost) {
    Demo demo;
    demo.addEntry(0.0f, 4.0f, new Effect(&demo));
    auto* accumulator = new Accumulator(&demo);
    demo.addEntry(4.0f, 100.0f, accumulator);
    const FrameGrid grid{10.0, 0.0};

    ASSERT_TRUE(demo.seek(grid, 77));
    demo.playFrame(grid, 77);
    double sum = 0.0;
    float camera = 0.0f;
    played(grid, 77, 4.0f, sum, camera);
    EXPECT_NEAR(accumulator->sum, sum, 1e-4);
    EXPECT_FLOAT_EQ(accumulator->seenCamera, camera);
    // Only the frame itself was drawn of the accumulator's.
    EXPECT_EQ(accumulator->draws, 1);
    EXPECT_EQ(demo.seekFramesDrawn, 1); // the first stretch's last frame

    // Going on along the grid neither rewinds nor draws anything before.
    const int rewinds = accumulator->rewinds;
    ASSERT_TRUE(demo.seek(grid, 90));
    demo.playFrame(grid, 90);
    played(grid, 90, 4.0f, sum, camera);
    EXPECT_NEAR(accumulator->sum, sum, 1e-4);
    EXPECT_EQ(accumulator->rewinds, rewinds);
    EXPECT_EQ(accumulator->draws, 2);
    EXPECT_EQ(demo.seekFramesSkipped, 76 + 12);
}

TEST_F(DemoSeekTest, GoingBackOrOffTheGridStartsAgainFromZero) {
    Demo demo;
    auto* accumulator = new Accumulator(&demo);
    demo.addEntry(0.0f, 100.0f, accumulator);
    const FrameGrid grid{10.0, 0.0};
    ASSERT_TRUE(demo.seek(grid, 50));
    demo.playFrame(grid, 50);

    double sum = 0.0;
    float camera = 0.0f;
    ASSERT_TRUE(demo.seek(grid, 20));
    demo.playFrame(grid, 20);
    played(grid, 20, 0.0f, sum, camera);
    EXPECT_NEAR(accumulator->sum, sum, 1e-4);
    EXPECT_FLOAT_EQ(accumulator->seenCamera, camera);

    // A time off the grid gets frames of its own before it.
    long frame = 0;
    const FrameGrid own = FrameGrid::through(3.05, 10.0, frame);
    ASSERT_TRUE(demo.seek(own, frame));
    demo.playFrame(own, frame);
    played(own, frame, 0.0f, sum, camera);
    EXPECT_NEAR(accumulator->sum, sum, 1e-4);
    EXPECT_FLOAT_EQ(accumulator->seenCamera, 2.95f);
}

bool stopNow() {
    return true;
}

TEST_F(DemoSeekTest, AStopEndsTheSeekAfterTheFrameUnderWay) {
    Demo demo;
    auto* accumulator = new Accumulator(&demo);
    demo.addEntry(0.0f, 100.0f, accumulator);
    EXPECT_FALSE(demo.seek(FrameGrid{10.0, 0.0}, 500, stopNow));
    EXPECT_EQ(demo.seekFramesSkipped, 1);
}

} // namespace
