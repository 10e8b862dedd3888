// A long load moves the loading bar on by itself: from its effect's share
// towards the next one's, at most thirty times a second, only while loading.
#include "core/Demo.h"
#include "platform/Gl.h"
#include "platform/RenderTarget.h"
#include "support/GlTest.h"

#include <SDL.h>

#include <vector>

namespace {

class LoadProgressTest : public GlTest {
public:
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

// Reports progress while it loads and reads the bar after each report.
class LongLoad : public Effect {
public:
    LongLoad(Demo* demo, std::vector<float> steps_, LoadProgressTest* test_)
        : Effect(demo), steps(std::move(steps_)), test(test_) {}
    void load() override {
        for (float done : steps) {
            SDL_Delay(40);
            demo->showLoadProgress(done);
            bars.push_back(test->whiteUntil());
        }
        // At once again: too soon to draw.
        demo->showLoadProgress(1.0f);
        bars.push_back(test->whiteUntil());
    }
    std::vector<float> steps;
    LoadProgressTest* test;
    std::vector<int> bars;
};

int barFor(float progress) {
    return static_cast<int>(80.0f + progress * 640.0f) - 1;
}

TEST_F(LoadProgressTest, BarMovesFromTheEffectsShareTowardsTheNextOnes) {
    Demo demo;
    demo.window = &window();
    demo.verbose = false;
    LongLoad first(&demo, {0.5f, 1.0f, 7.0f}, this);
    LongLoad second(&demo, {-3.0f}, this);
    LongLoad third(&demo, {}, this);

    RenderTarget target(800, 600, true, false);
    target.bind();
    demo.loadEffects();
    target.unbind();

    // Three effects: the first loads under 1/3 and moves on to 1.5/3 and 2/3,
    // and no further; the second starts at 2/3 and never moves back.
    ASSERT_EQ(first.bars.size(), 4u);
    EXPECT_NEAR(first.bars[0], barFor(0.5f), 1);
    EXPECT_NEAR(first.bars[1], barFor(2.0f / 3.0f), 1);
    EXPECT_NEAR(first.bars[2], barFor(2.0f / 3.0f), 1);
    EXPECT_NEAR(second.bars[0], barFor(2.0f / 3.0f), 1);
    EXPECT_NEAR(third.bars[0], barFor(1.0f), 1);
    EXPECT_EQ(demo.loadingEffect, -1);
}

TEST_F(LoadProgressTest, DrawsNothingTooSoonOrOutsideTheLoadingPass) {
    Demo demo;
    demo.window = &window();
    demo.verbose = false;
    LongLoad effect(&demo, {0.0f}, this);

    RenderTarget target(800, 600, true, false);
    target.bind();
    demo.loadEffects();
    // The report right after the one before was not drawn: still the effect's share.
    ASSERT_EQ(effect.bars.size(), 2u);
    EXPECT_NEAR(effect.bars[1], barFor(1.0f), 1);

    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    SDL_Delay(40);
    demo.showLoadProgress(0.5f);
    EXPECT_EQ(whiteUntil(), -1);
    target.unbind();
}

} // namespace
