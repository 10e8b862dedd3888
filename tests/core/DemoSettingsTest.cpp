// The engine's defaults, the production's settings and timeline, and the ways
// the main loop ends before or between frames.
#include "camera/Camrig.h"
#include "camera/TrackBank.h"
#include "effects/Ocean.h"
#include "platform/GlWindow.h"
#include "production/MeridianDemo.h"
#include "support/GlTest.h"

#include <SDL.h>

#include <cstring>
#include <vector>

namespace {

TEST(DemoDefaultsTest, AFreshDemoHasTheEngineDefaultsAndNamedControllers) {
    Demo demo;
    EXPECT_EQ(demo.effects.capacity, 100);
    EXPECT_EQ(demo.effects.count, 0);
    EXPECT_EQ(demo.timeline.capacity, 100);
    EXPECT_EQ(demo.timeline.count, 0);
    EXPECT_EQ(demo.clockStart, 0.0f);
    EXPECT_EQ(demo.length, 600.0f);
    EXPECT_EQ(demo.wrapLength, 500.0f);
    EXPECT_EQ(demo.volume, 1.0f);
    EXPECT_EQ(demo.musicFile, nullptr);
    EXPECT_EQ(demo.width, 800);
    EXPECT_EQ(demo.height, 600);
    EXPECT_EQ(demo.fullscreen, 0);
    EXPECT_FALSE(demo.quitRequested);
    EXPECT_TRUE(demo.verbose);
    EXPECT_FALSE(demo.paused);
    EXPECT_EQ(demo.window, nullptr);
    EXPECT_TRUE(demo.fileCache.empty());
    EXPECT_TRUE(demo.gpuCache.empty());

    EXPECT_EQ(demo.controllerNames[0], "Camera Position");
    EXPECT_EQ(demo.controllerNames[1], "Camera Target");
    EXPECT_EQ(demo.controllerNames[2], "Camera Up Vector");
    for (int k = 3; k < Demo::controllerCount; ++k) {
        EXPECT_EQ(demo.controllerNames[k], "Untitled controller") << k;
    }
    for (const Vec3& value : demo.controllerValues) {
        EXPECT_EQ(value.x, 0.0f);
        EXPECT_EQ(value.y, 0.0f);
        EXPECT_EQ(value.z, 0.0f);
    }
}

class ProductionTest : public GlTest {};

TEST_F(ProductionTest, SettingsAreThoseOfTheShippedDemoAndTheEditorPlaysWindowed) {
    MeridianDemo demo;
    EXPECT_EQ(demo.length, 189.9f);
    EXPECT_EQ(demo.wrapLength, 189.9f);
    EXPECT_EQ(demo.volume, 1.0f);
    ASSERT_NE(demo.musicFile, nullptr);
    EXPECT_STREQ(demo.musicFile, "data/music.mp3");
    EXPECT_EQ(demo.width, 800);
    EXPECT_EQ(demo.height, 600);
    EXPECT_EQ(demo.fullscreen, 1);
    EXPECT_EQ(demo.clockStart, 0.0f);
    // The rest keeps the engine's defaults.
    EXPECT_TRUE(demo.verbose);
    EXPECT_FALSE(demo.quitRequested);
    EXPECT_EQ(demo.controllerNames[5], "Untitled controller");

    MeridianDemo editor(true);
    EXPECT_EQ(editor.fullscreen, 0);
    EXPECT_EQ(editor.length, 189.9f);
}

// The shipped table, in the order its entries are added. Scenes may still be
// missing from the production; those present keep their row's place and times.
struct ShippedEntry {
    float start, duration;
};
const ShippedEntry shippedTable[] = {{0.0f, 25.55f},   {25.55f, 24.23f}, {49.78f, 32.77f},
                                     {82.55f, 24.0f},  {106.55f, 24.0f}, {130.55f, 24.0f},
                                     {154.55f, 24.0f}, {178.0f, 13.0f},  {0.0f, 1000.0f}};
constexpr int shippedRows = sizeof shippedTable / sizeof shippedTable[0];

TEST_F(ProductionTest, EntriesStandInTheShippedOrderWithTheirTimesAndTheCameraComesLast) {
    MeridianDemo demo;
    demo.buildTimeline();
    const GrowArray<TimelineEntry>& timeline = demo.timeline;
    ASSERT_GE(timeline.count, 3);

    int row = 0;
    for (int i = 0; i < timeline.count; ++i) {
        const TimelineEntry& entry = timeline[i];
        while (row < shippedRows && !(shippedTable[row].start == entry.start &&
                                      shippedTable[row].duration == entry.duration)) {
            ++row;
        }
        ASSERT_LT(row, shippedRows) << "entry " << i << " at " << entry.start << " for "
                                    << entry.duration << " is not in the shipped order";
        ++row;
    }

    // The seas open and close the demo; the opening one ends exactly where the
    // next slot starts.
    auto* opening = dynamic_cast<Ocean*>(timeline[0].effect);
    ASSERT_NE(opening, nullptr);
    EXPECT_FALSE(opening->closing);
    EXPECT_EQ(timeline[0].start, 0.0f);
    EXPECT_FALSE(25.55f < timeline[0].start + timeline[0].duration);
    const TimelineEntry& closingEntry = timeline[timeline.count - 2];
    auto* closing = dynamic_cast<Ocean*>(closingEntry.effect);
    ASSERT_NE(closing, nullptr);
    EXPECT_TRUE(closing->closing);
    EXPECT_EQ(closingEntry.start, 178.0f);
    EXPECT_EQ(closingEntry.duration, 13.0f);

    // The camera plays the bank back, and the bank is already read when the
    // timeline is built: a playback camera loads nothing.
    const TimelineEntry& cameraEntry = timeline[timeline.count - 1];
    auto* camrig = dynamic_cast<Camrig*>(cameraEntry.effect);
    ASSERT_NE(camrig, nullptr);
    EXPECT_EQ(camrig->playbackOnly, 1);
    EXPECT_EQ(cameraEntry.start, 0.0f);
    EXPECT_EQ(cameraEntry.duration, 1000.0f);
    static CameraTrack bank[trackBankSize];
    ASSERT_TRUE(readTrackBank("data/tracks/1.crg", bank));
    ASSERT_GT(bank[0].count, 1);
    for (int k = 0; k < trackBankSize; ++k) {
        ASSERT_EQ(camrig->tracks[k].count, bank[k].count) << k;
        for (int j = 0; j < bank[k].count; ++j) {
            EXPECT_EQ(0, memcmp(&camrig->tracks[k][j], &bank[k][j], sizeof(CameraKey))) << k;
        }
    }
    // Each scene is constructed once and registered for loading in that order.
    EXPECT_EQ(demo.effects[0], timeline[0].effect);
    EXPECT_EQ(demo.effects[demo.effects.count - 1], camrig);
}

TEST_F(ProductionTest, TheEditorsCameraRecords) {
    MeridianDemo editor(true);
    editor.buildTimeline();
    auto* camrig = dynamic_cast<Camrig*>(editor.timeline[editor.timeline.count - 1].effect);
    ASSERT_NE(camrig, nullptr);
    EXPECT_EQ(camrig->playbackOnly, 0);
}

// Records the frames the main loop renders.
class FrameProbe : public Effect {
public:
    explicit FrameProbe(Demo* demo) : Effect(demo) {}
    void render() override { times.push_back(demo->time); }
    std::vector<float> times;
};

class LoopDemo : public Demo {
public:
    LoopDemo() {
        verbose = false;
        width = 320;
        height = 240;
    }
    void buildTimeline() override {
        probe = new FrameProbe(this);
        addEntry(0.0f, 1000.0f, probe);
    }
    FrameProbe* probe = nullptr;
};

class MainLoopTest : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        SDL_PumpEvents();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        escapePressed();
    }
};

void pushEscape(Uint32 type) {
    SDL_Event event{};
    event.type = type;
    event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.scancode = SDL_SCANCODE_ESCAPE;
    event.key.keysym.sym = SDLK_ESCAPE;
    SDL_PushEvent(&event);
}

TEST_F(MainLoopTest, QuitRequestedWhileLoadingEndsTheRunBeforeAnyFrame) {
    class QuitWhileLoading : public LoopDemo {
    public:
        void buildTimeline() override {
            LoopDemo::buildTimeline();
            class Quitter : public Effect {
            public:
                explicit Quitter(Demo* demo) : Effect(demo) {}
                void load() override { demo->quitRequested = true; }
            };
            new Quitter(this);
        }
    };
    QuitWhileLoading demo;
    demo.run();
    EXPECT_TRUE(demo.probe->times.empty());
    EXPECT_EQ(demo.window, nullptr);
}

TEST_F(MainLoopTest, AnEscTapBetweenTwoFramesEndsTheLoop) {
    // The key goes down and up again while a frame is drawn: the keyboard state
    // shows nothing by the next check, the press is still seen.
    class Tapper : public LoopDemo {
    public:
        void buildTimeline() override {
            LoopDemo::buildTimeline();
            class Tap : public Effect {
            public:
                explicit Tap(Demo* demo) : Effect(demo) {}
                void render() override {
                    if (++frames == 3) {
                        pushEscape(SDL_KEYDOWN);
                        pushEscape(SDL_KEYUP);
                    }
                    // Should the tap go unseen, the test still ends.
                    demo->quitRequested = frames == 10;
                }
                int frames = 0;
            };
            addEntry(0.0f, 1000.0f, new Tap(this));
        }
    };
    Tapper demo;
    demo.run();
    EXPECT_EQ(demo.probe->times.size(), 3u);
    EXPECT_FALSE(escapePressed());
}

} // namespace
