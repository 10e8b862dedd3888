// The demo's timeline, load pass and main loop, driven through the same frame
// code the player runs.
#include "core/Demo.h"
#include "core/LoadingScreen.h"
#include "platform/Gl.h"
#include "platform/GlWindow.h"
#include "platform/RenderTarget.h"
#include "support/GlTest.h"

#include <SDL.h>

#include <cmath>
#include <functional>
#include <vector>

namespace {

// Records when it renders and what the main loop told it.
class ProbeEffect : public Effect {
public:
    explicit ProbeEffect(Demo* demo) : Effect(demo) {}
    void load() override { ++loads; }
    void render() override {
        times.push_back(demo->time);
        fractions.push_back(fraction);
    }
    int loads = 0;
    std::vector<float> times;
    std::vector<float> fractions;
};

// Fills the screen with one colour, to see which entry draws last.
class FillEffect : public Effect {
public:
    FillEffect(Demo* demo, float r, float g, float b) : Effect(demo), colour{r, g, b} {}
    void render() override {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_DEPTH_TEST);
        glColor3f(colour[0], colour[1], colour[2]);
        glBegin(GL_QUADS);
        glVertex2f(-1, -1);
        glVertex2f(1, -1);
        glVertex2f(1, 1);
        glVertex2f(-1, 1);
        glEnd();
        glEnable(GL_DEPTH_TEST);
    }
    float colour[3];
};

class TimelineTest : public GlTest {};

TEST(GrowArrayTest, GrowsToCountPlusTenAndChecksEveryIndex) {
    GrowArray<int> items;
    items.reserve(2);
    items.append(1);
    items.append(2);
    EXPECT_EQ(items.capacity, 2);
    items.append(3);
    EXPECT_EQ(items.capacity, 12);
    EXPECT_EQ(items[2], 3);
    EXPECT_THROW(items[3], EngineError);
    EXPECT_THROW(items[-1], EngineError);

    // Shrinking keeps the first items and the count; a request below 1 becomes 1.
    items.resize(0);
    EXPECT_EQ(items.capacity, 1);
    EXPECT_EQ(items.data[0], 1);
}

TEST_F(TimelineTest, EntryIsActiveFromItsStartUpToButExcludingItsEnd) {
    Demo demo;
    ProbeEffect effect(&demo);
    demo.addEntry(5.0f, 2.0f, &effect);

    for (float t : {4.999f, 5.0f, 6.0f, 6.999f, 7.0f, 8.0f}) {
        demo.renderFrame(t, 0.016f);
    }
    ASSERT_EQ(effect.times.size(), 3u);
    EXPECT_EQ(effect.times[0], 5.0f);
    EXPECT_EQ(effect.times[2], 6.999f);
    EXPECT_FLOAT_EQ(effect.fractions[0], 0.0f);
    EXPECT_FLOAT_EQ(effect.fractions[1], 0.5f);
    EXPECT_LT(effect.fractions[2], 1.0f);
    EXPECT_EQ(effect.localTime, 6.999f - 5.0f);
}

TEST_F(TimelineTest, LaterEntriesDrawOverEarlierOnes) {
    Demo demo;
    FillEffect red(&demo, 1, 0, 0);
    FillEffect green(&demo, 0, 1, 0);
    demo.addEntry(0.0f, 10.0f, &red);
    demo.addEntry(1.0f, 10.0f, &green);

    demo.renderFrame(0.5f, 0.0f);
    EXPECT_EQ(pixel(400, 300)[0], 255);
    demo.renderFrame(2.0f, 0.0f);
    EXPECT_EQ(pixel(400, 300)[0], 0);
    EXPECT_EQ(pixel(400, 300)[1], 255);
}

TEST_F(TimelineTest, EffectInTwoEntriesLoadsOnceAndRendersInEach) {
    Demo demo;
    demo.window = &window();
    demo.verbose = false;
    ProbeEffect effect(&demo);
    demo.addEntry(0.0f, 10.0f, &effect);
    demo.addEntry(5.0f, 10.0f, &effect);

    demo.loadEffects();
    demo.renderFrame(6.0f, 0.0f);
    EXPECT_EQ(effect.loads, 1);
    EXPECT_EQ(effect.times.size(), 2u);
}

class LoadingTest : public GlTest {
protected:
    // The last pixel column of the white part of the loading bar (-1 for none).
    int whiteUntil() {
        int end = -1;
        for (int x = 0; x < 800; ++x) {
            if (pixel(x, 330)[0] == 255) {
                end = x;
            }
        }
        return end;
    }
};

TEST_F(LoadingTest, BarCoversItsShareOfTheGreyBar) {
    Demo demo;
    // Drawn into a target, so the window's buffer swaps leave the picture alone.
    RenderTarget target(800, 600, true, false);
    target.bind();
    showProgress(demo, 0.0f, window());
    EXPECT_EQ(whiteUntil(), -1);
    EXPECT_EQ(pixel(85, 330)[0], 128);
    EXPECT_EQ(pixel(85, 290)[0], 0);

    showProgress(demo, 0.5f, window());
    EXPECT_NEAR(whiteUntil(), 399, 1);
    EXPECT_EQ(pixel(500, 330)[0], 128);
    // Both parts span device y 0 to 0.2: rows 300 to 359 of 600.
    for (int x : {200, 500}) {
        EXPECT_EQ(pixel(x, 299)[0], 0) << x;
        EXPECT_GT(pixel(x, 300)[0], 100) << x;
        EXPECT_GT(pixel(x, 359)[0], 100) << x;
        EXPECT_EQ(pixel(x, 360)[0], 0) << x;
    }

    showProgress(demo, 1.0f, window());
    EXPECT_NEAR(whiteUntil(), 719, 1);
    EXPECT_EQ(pixel(79, 330)[0], 0);
    EXPECT_EQ(pixel(721, 330)[0], 0);
    target.unbind();
}

// Reads the loading bar drawn for it when it loads; may create nested effects
// in its load, as scenes create their lens flares.
class BarProbe : public Effect {
public:
    BarProbe(Demo* demo, std::function<int()> readBar_, int children_)
        : Effect(demo), readBar(std::move(readBar_)), children(children_) {}
    BarProbe(Effect* parent, std::function<int()> readBar_)
        : Effect(parent), readBar(std::move(readBar_)) {}
    void load() override {
        bar = readBar();
        for (int i = 0; i < children; ++i) {
            nested.push_back(new BarProbe(this, readBar));
        }
    }
    std::function<int()> readBar;
    int children = 0;
    int bar = -2;
    std::vector<BarProbe*> nested;
};

TEST_F(LoadingTest, EffectsMadeDuringALoadLoadInTheSamePassAndTheBarMovesBack) {
    Demo demo;
    demo.window = &window();
    demo.verbose = false;
    auto readBar = [this] { return whiteUntil(); };
    BarProbe parent(&demo, readBar, 3);
    BarProbe sibling(&demo, readBar, 0);

    RenderTarget target(800, 600, true, false);
    target.bind();
    demo.loadEffects();
    target.unbind();

    // Loaded in registration order: the parent, its sibling, then what the parent made.
    ASSERT_EQ(demo.effects.count, 5);
    EXPECT_EQ(demo.effects[1], &sibling);
    ASSERT_EQ(parent.nested.size(), 3u);
    EXPECT_EQ(demo.effects[2], parent.nested[0]);
    EXPECT_EQ(parent.nested[0]->timeSource, &parent.localTime);
    EXPECT_TRUE(parent.nested[0]->name.empty());

    // 1/2 for the parent; then 2/5 once its three children joined the list: back.
    EXPECT_NEAR(parent.bar, 399, 1);
    EXPECT_NEAR(sibling.bar, 80 + 0.4 * 640 - 1, 1);
    EXPECT_LT(sibling.bar, parent.bar);
    EXPECT_NEAR(parent.nested[2]->bar, 719, 1);
}

TEST_F(LoadingTest, QuitRequestDuringLoadingIsDropped) {
    Demo demo;
    demo.window = &window();
    demo.verbose = false;
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);

    demo.loadEffects();
    EXPECT_FALSE(SDL_HasEvent(SDL_QUIT));
    // Taken and dropped, not kept for the main loop.
    EXPECT_FALSE(demo.quitRequested);
}

// A demo whose only effect runs a scripted action in its first frames.
class ScriptedDemo : public Demo {
public:
    ScriptedDemo() {
        verbose = false;
        width = 320;
        height = 240;
    }
    void buildTimeline() override {
        probe = new ProbeEffect(this);
        addEntry(0.0f, 1000.0f, probe);
    }
    ProbeEffect* probe = nullptr;
};

TEST_F(TimelineTest, QuitEventEndsTheMainLoop) {
    class QuitDemo : public ScriptedDemo {
    public:
        void buildTimeline() override {
            ScriptedDemo::buildTimeline();
            // The first frame asks to quit; the next update takes the request.
            class Quitter : public Effect {
            public:
                explicit Quitter(Demo* demo) : Effect(demo) {}
                void render() override {
                    if (!pushed) {
                        SDL_Event quit{};
                        quit.type = SDL_QUIT;
                        SDL_PushEvent(&quit);
                        pushed = true;
                    }
                }
                bool pushed = false;
            };
            addEntry(0.0f, 1000.0f, new Quitter(this));
        }
    };
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    QuitDemo demo;
    demo.run();
    // Window events of the new window may come first, one per frame.
    ASSERT_GE(demo.probe->times.size(), 1u);
    EXPECT_LT(demo.probe->times.size(), 10u);
}

TEST_F(TimelineTest, FrameThatReachesTheLengthIsTheLastOneDrawn) {
    ScriptedDemo demo;
    demo.length = 0.25f;
    demo.run();
    const std::vector<float>& times = demo.probe->times;
    ASSERT_GE(times.size(), 2u);
    for (size_t i = 0; i + 1 < times.size(); ++i) {
        EXPECT_LT(times[i], demo.length);
    }
    EXPECT_GE(times.back(), demo.length);
}

TEST_F(TimelineTest, QuitRequestedByAnEffectEndsTheLoopAfterItsFrame) {
    class Stopper : public ScriptedDemo {
    public:
        void buildTimeline() override {
            ScriptedDemo::buildTimeline();
            class Stop : public Effect {
            public:
                explicit Stop(Demo* demo) : Effect(demo) {}
                void render() override { demo->quitRequested = true; }
            };
            addEntry(0.0f, 1000.0f, new Stop(this));
        }
    };
    Stopper demo;
    demo.run();
    EXPECT_EQ(demo.probe->times.size(), 1u);
}

TEST_F(TimelineTest, NotANumberTimeLeavesTheLoop) {
    ScriptedDemo demo;
    demo.clockStart = NAN;
    demo.run();
    // The first iteration starts from time 0 and reads NaN from the clock: no
    // entry is active at NaN, and the next test of the time leaves.
    EXPECT_TRUE(demo.probe->times.empty());
    EXPECT_TRUE(std::isnan(demo.time));
}

} // namespace
