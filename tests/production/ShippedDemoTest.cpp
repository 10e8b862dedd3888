// The shipped production, loaded once for the whole program from the generated
// data folder on the shared context: its timeline, its load order, the random
// layouts that order gives, and the frames where slots meet.
#include "production/MeridianDemo.h"

#include "camera/Camrig.h"
#include "camera/TrackTube.h"
#include "core/Demo.h"
#include "core/FullscreenPass.h"
#include "effects/Billboards.h"
#include "effects/City.h"
#include "effects/Clouds.h"
#include "effects/Greetings.h"
#include "effects/MetaStuff.h"
#include "effects/Ocean.h"
#include "effects/Ocean2.h"
#include "effects/Ravize.h"
#include "platform/Gl.h"
#include "platform/Random.h"
#include "resources/Geometry.h"
#include "support/GlTest.h"

#include <cmath>
#include <string>
#include <vector>

namespace {

class ShippedDemoTest : public GlTest {
protected:
    static void SetUpTestSuite() {
        // The generator as a fresh process has it: nothing has drawn yet.
        Random::seed(1);
        demo = new MeridianDemo();
        demo->window = &testWindow();
        demo->verbose = false;
        demo->copyProgram = new FullscreenPass();
        demo->loadEffects();
    }

    // The effects one frame at `time` renders, in order.
    std::vector<const Effect*> renderedAt(float time) {
        struct Recorder : EffectObserver {
            void beforeEffect(const Effect& effect) override { rendered.push_back(&effect); }
            void afterEffect(const Effect&) override {}
            std::vector<const Effect*> rendered;
        } recorder;
        demo->effectObserver = &recorder;
        demo->renderFrame(time, 1.0f / 30.0f);
        demo->effectObserver = nullptr;
        return recorder.rendered;
    }

    std::vector<unsigned char> framePixels() {
        std::vector<unsigned char> rgb(800 * 600 * 3);
        glReadPixels(0, 0, 800, 600, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
        return rgb;
    }

    template <typename T> T* entry(int i) { return dynamic_cast<T*>(demo->timeline[i].effect); }

    static MeridianDemo* demo;
};
MeridianDemo* ShippedDemoTest::demo = nullptr;

TEST_F(ShippedDemoTest, NineEntriesInTheOrderTheyPlayWithTheirExactTimes) {
    ASSERT_EQ(demo->timeline.count, 9);
    const float slots[9][2] = {{0.0f, 25.55f},   {25.55f, 24.23f}, {49.78f, 32.77f},
                               {82.55f, 24.0f},  {106.55f, 24.0f}, {130.55f, 24.0f},
                               {154.55f, 24.0f}, {178.0f, 13.0f},  {0.0f, 1000.0f}};
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(demo->timeline[i].start, slots[i][0]) << "entry " << i + 1;
        EXPECT_EQ(demo->timeline[i].duration, slots[i][1]) << "entry " << i + 1;
    }
    ASSERT_TRUE(entry<Ocean>(0) && !entry<Ocean>(0)->closing);
    ASSERT_TRUE(entry<City>(1));
    EXPECT_EQ(entry<City>(1)->name, "Untitled effect");
    ASSERT_TRUE(entry<Clouds>(2));
    ASSERT_TRUE(entry<Ocean2>(3));
    EXPECT_EQ(entry<Ocean2>(3)->flower, entry<Clouds>(2)->flower);
    EXPECT_TRUE(entry<Greetings>(4));
    EXPECT_TRUE(entry<Ravize>(5));
    EXPECT_TRUE(entry<MetaStuff>(6));
    ASSERT_TRUE(entry<Ocean>(7) && entry<Ocean>(7)->closing);
    ASSERT_TRUE(entry<Camrig>(8));
    EXPECT_GT(entry<Camrig>(8)->tracks[0].count, 1);

    // Up to the metaballs every slot starts where the one before ends, in the
    // arithmetic of the active test.
    for (int i = 1; i < 7; ++i) {
        EXPECT_EQ(demo->timeline[i - 1].start + demo->timeline[i - 1].duration,
                  demo->timeline[i].start)
            << "entry " << i + 1;
    }
}

// Constructors' nested effects stand right after their parent; effects made by
// a load are appended and loaded later in the same pass.
TEST_F(ShippedDemoTest, EveryEffectLoadsInRegistrationOrder) {
    const std::vector<std::string> expected = {
        "Ocean", "Untitled effect", "Clouds", "LensFlare", "Flower", "Ocean2", "Greetings",
        "Ravize", "MetaStuff", "Ocean", "Camrig",
        // made by the loads, in load order
        "LensFlare",                             // opening sea
        "Billboards", "Billboards", "LensFlare", // city: clouds, figures, flare
        "FlowerHeads",                           // the clouds' flower
        "LensFlare",                             // second sea
        "LensFlare",                             // greetings
        "Billboards", "Billboards", "LensFlare", // planet: clouds, snow, flare
        "LensFlare",                             // metaballs
        "LensFlare"};                            // closing sea
    std::vector<std::string> names;
    for (int i = 0; i < demo->effects.count; ++i) {
        names.push_back(demo->effects[i]->name);
    }
    EXPECT_EQ(names, expected);
}

// The loads draw from one generator in playing order: the city makes the first
// draws of the process, the planet's clouds follow the greetings' 1036 draws
// after seed 23, and the metaballs' tube follows the snow's 1200 after seed 1.
TEST_F(ShippedDemoTest, RandomLayoutsAreTheOnesThePlayingOrderGives) {
    auto centre = [](const Billboards& sprites, int i) {
        const float* v = sprites.vertices->data + 4 * i * 11;
        return Vec3(v[0], v[1], v[2]);
    };
    auto expectVec = [](const Vec3& got, const Vec3& want, const char* what, int i) {
        EXPECT_NEAR(got.x, want.x, 1e-3f) << what << " " << i;
        EXPECT_NEAR(got.y, want.y, 1e-3f) << what << " " << i;
        EXPECT_NEAR(got.z, want.z, 1e-3f) << what << " " << i;
    };

    Random::seed(1);
    for (int i = 0; i < 40; ++i) {
        const float a = 50 * Random::signedUnit(), b = std::fabs(400 * Random::signedUnit()),
                    c = std::fabs(400 * Random::signedUnit());
        Random::next(), Random::next(), Random::next();
        expectVec(centre(*entry<City>(1)->clouds, i), Vec3(-c, -b, -90 - std::fabs(a)),
                  "city cloud", i);
    }

    Random::seed(23);
    for (int i = 0; i < 1036; ++i) {
        Random::next();
    }
    for (int i = 0; i < 40; ++i) {
        const float a1 = Random::signedUnit(), a2 = Random::signedUnit(), a3 = Random::signedUnit();
        Random::next(), Random::next(), Random::next();
        expectVec(centre(*entry<Ravize>(5)->cloudSprites, i), Vec3(200 * a2, 200 * a1, 20 * a3),
                  "planet cloud", i);
    }

    Random::seed(1);
    for (int i = 0; i < 1200; ++i) {
        Random::next();
    }
    const TrackTube& tube = *entry<MetaStuff>(6)->tube;
    ASSERT_EQ(tube.count, 20);
    for (int n = 0; n < 20; ++n) {
        const float r0 = Random::signedUnit(), r1 = Random::signedUnit(), r2 = Random::signedUnit();
        const CameraKey& key = tube.key(n);
        expectVec(Vec3(key.x, key.y, key.z), Vec3(std::fabs(r1 * 5000), r0 * 1000, r2 * 1000),
                  "tube key", n);
    }
}

TEST_F(ShippedDemoTest, AtTheCityCutOnlyTheCityAndTheCameraRender) {
    const std::vector<const Effect*> rendered = renderedAt(25.55f);
    ASSERT_EQ(rendered.size(), 2u);
    EXPECT_EQ(rendered[0], demo->timeline[1].effect);
    EXPECT_EQ(rendered[1], demo->timeline[8].effect);
}

// The metaballs' last half second under the closing sea: both render, the
// metaballs first, and the sea's clear leaves nothing of their picture.
TEST_F(ShippedDemoTest, ClosingSeaReplacesTheMetaballsWhereTheyOverlap) {
    renderedAt(178.2f); // the camera of this time, for the frames below
    const std::vector<const Effect*> rendered = renderedAt(178.2f);
    ASSERT_EQ(rendered.size(), 3u);
    EXPECT_EQ(rendered[0], demo->timeline[6].effect);
    EXPECT_EQ(rendered[1], demo->timeline[7].effect);
    EXPECT_EQ(rendered[2], demo->timeline[8].effect);
    const std::vector<unsigned char> both = framePixels();

    const float duration = demo->timeline[6].duration;
    demo->timeline[6].duration = 0.0f;
    ASSERT_EQ(renderedAt(178.2f).size(), 2u);
    const std::vector<unsigned char> seaAlone = framePixels();
    demo->timeline[6].duration = duration;
    EXPECT_TRUE(both == seaAlone);
}

} // namespace
