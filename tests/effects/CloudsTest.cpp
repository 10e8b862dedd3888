// The clouds with their flare and flower, loaded and rendered through the demo
// on the shared context with the generated data folder: the load order, the
// sprite layout from seed 1, the flower continuing the generator, and the state
// a frame leaves behind.
#include "effects/Clouds.h"
#include "core/Demo.h"
#include "effects/Flower.h"
#include "effects/LensFlare.h"
#include "effects/Ocean2.h"
#include "platform/Gl.h"
#include "platform/GlState.h"
#include "platform/Random.h"
#include "platform/Texture.h"
#include "production/MeridianDemo.h"
#include "resources/Geometry.h"
#include "support/GlTest.h"

#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

class CloudsTest : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        demo.window = &window();
        demo.verbose = false;
        clouds = new Clouds(&demo);
        // Something the generator would otherwise start from.
        Random::seed(99);
        demo.loadEffects();
    }

    Demo demo;
    Clouds* clouds = nullptr;
};

TEST_F(CloudsTest, LoadsTheCloudsThenTheirFlareThenTheirFlowerAndLastTheHeads) {
    std::vector<std::string> names;
    for (int i = 0; i < demo.effects.count; ++i) {
        names.push_back(demo.effects[i]->name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Clouds", "LensFlare", "Flower", "FlowerHeads"}));
    EXPECT_EQ(demo.effects[1], clouds->flare);
    EXPECT_EQ(demo.effects[2], clouds->flower);
    // Both nested effects run on the clouds' time.
    EXPECT_EQ(clouds->flare->timeSource, &clouds->localTime);
    EXPECT_EQ(clouds->flower->timeSource, &clouds->localTime);
    EXPECT_EQ(demo.effects[3], clouds->flower->heads);
}

TEST_F(CloudsTest, TwoHundredFiftySpritesFromSeedOneAndTheFlowerGoesOnFromThere) {
    ASSERT_EQ(clouds->count(), 250);
    // Replay the draws: y, x, z of the centre, then the size, then the tint.
    Random::seed(1);
    const Vec3 sun(-300.0f, -300.0f, -100.0f);
    float densest = 0.0f;
    for (int i = 0; i < 250; ++i) {
        const float r1 = Random::signedUnit(), r2 = Random::signedUnit();
        const float r3 = Random::signedUnit();
        const Vec3 centre(400.0f * r2, 400.0f * r1, 100.0f * r3);
        const float l = std::fabs(Random::signedUnit());
        const float q = 0.2f * std::fabs(Random::signedUnit());
        const float alpha = length(centre - sun) * l * 0.001f;
        densest = std::max(densest, alpha);
        for (int k = 0; k < 4; ++k) {
            const float* v = clouds->vertices->data + (4 * i + k) * 11;
            ASSERT_EQ(v[0], centre.x) << i;
            ASSERT_EQ(v[1], centre.y) << i;
            ASSERT_EQ(v[2], centre.z) << i;
            ASSERT_FLOAT_EQ(std::fabs(v[3]), 3.0f * (l + 1.0f) * 20.0f) << i;
            ASSERT_FLOAT_EQ(std::fabs(v[4]), 4.0f * (l + 1.0f) * 20.0f) << i;
            ASSERT_FLOAT_EQ(v[7], 1.0f - q * q) << i;
            ASSERT_EQ(v[9], 1.0f) << i;
            ASSERT_FLOAT_EQ(v[10], alpha) << i;
        }
    }
    // Far from the sun and large is dense; the field spans the whole box.
    EXPECT_GT(densest, 0.6f);

    // The replay stands where the clouds left the generator: the flower grew from there.
    std::unique_ptr<Branch> expected(growPlant(clouds->flower->heads));
    const Branch& plant = *clouds->flower->plant;
    EXPECT_EQ(plant.shade, expected->shade);
    EXPECT_EQ(plant.children[29]->children[1]->data[9].x,
              expected->children[29]->children[1]->data[9].x);
    EXPECT_EQ(markedTipCount(plant), markedTipCount(*expected));
}

TEST_F(CloudsTest, FrameShowsSpritesAndLeavesDepthWritesOnAndThePictureMipmapped) {
    // Outside the field, level with it, looking across its middle.
    demo.controllerValues[0] = Vec3(900.0f, 0.0f, 0.0f);
    demo.controllerValues[1] = Vec3(0.0f, 0.0f, 0.0f);
    demo.controllerValues[2] = Vec3(0.0f, 0.0f, -1.0f);
    demo.addEntry(0.0f, 100.0f, clouds);
    demo.renderFrame(20.0f, 0.016f);
    expectNoGlError();

    EXPECT_EQ(clouds->localTime, 20.0f);
    EXPECT_EQ(clouds->flower->localTime, 20.0f);
    EXPECT_GT(clouds->flower->frame.ranges.count, 100);

    // The clouds cover most of the view across the field, not the sky above it.
    int cloudy = 0, samples = 0;
    for (int x = 20; x < 800; x += 40) {
        for (int y = 250; y < 350; y += 20) {
            const auto p = pixel(x, y);
            cloudy += p[0] > 60 && p[2] >= p[0];
            ++samples;
        }
    }
    EXPECT_GT(cloudy, samples / 2);

    // The next effect finds depth writes on (a depth clear needs them) and
    // blending off; the other users of the cloud picture still find it mipmapped.
    GLboolean depthWrites = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
    EXPECT_TRUE(depthWrites);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    GLint filter = 0;
    glBindTexture(GL_TEXTURE_2D, clouds->cloudTexture->textureName);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
    glBindTexture(GL_TEXTURE_2D, 0);
    EXPECT_EQ(filter, GL_LINEAR_MIPMAP_LINEAR);
}

TEST_F(CloudsTest, FlowerDrawsItsStemsAndTipModelsWhereTheCameraLooks) {
    // Close to the plant, looking at it from the side; nothing else drawn.
    demo.controllerValues[0] = Vec3(30.0f, 450.0f, -50.0f);
    demo.controllerValues[1] = Vec3(30.0f, -150.0f, 20.0f);
    demo.controllerValues[2] = Vec3(0.0f, 0.0f, -1.0f);
    clear(0.0f, 0.0f, 0.0f, 1.0f, true, true, false);
    perspective(60.0f, 1.33333f, 1.0f, 10000.0f);
    demo.applyCamera();
    scale(10.0f, 10.0f, 10.0f);
    clouds->localTime = 25.0f;
    clouds->flower->renderSpan(0.0f, 1.0f);
    expectNoGlError();

    const PlantFrame& frame = clouds->flower->frame;
    EXPECT_GT(frame.heads.count + frame.leaves.count, 10);
    int lit = 0, green = 0;
    for (int x = 0; x < 800; x += 4) {
        for (int y = 0; y < 600; y += 4) {
            const auto p = pixel(x, y);
            lit += p[0] + p[1] + p[2] > 30;
            green += p[1] > p[0] + 20 && p[1] > p[2] + 20;
        }
    }
    EXPECT_GT(lit, 200);
    EXPECT_GT(green, 10);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
}

} // namespace

namespace {

class ShippedTimelineTest : public GlTest {};

TEST_F(ShippedTimelineTest, CloudsThenTheSecondSeaWithTheCloudsFlower) {
    MeridianDemo demo;
    demo.window = &window();
    demo.verbose = false;
    demo.buildTimeline();

    int cloudsAt = -1;
    for (int i = 0; i < demo.effects.count; ++i) {
        if (demo.effects[i]->name == "Clouds") {
            cloudsAt = i;
        }
    }
    ASSERT_GE(cloudsAt, 0);
    ASSERT_LT(cloudsAt + 3, demo.effects.count);
    EXPECT_EQ(demo.effects[cloudsAt + 1]->name, "LensFlare");
    EXPECT_EQ(demo.effects[cloudsAt + 2]->name, "Flower");
    EXPECT_EQ(demo.effects[cloudsAt + 3]->name, "Ocean2");
    auto* clouds = static_cast<Clouds*>(demo.effects[cloudsAt]);
    auto* sea = static_cast<Ocean2*>(demo.effects[cloudsAt + 3]);
    EXPECT_EQ(sea->flower, clouds->flower);

    // The slots follow each other without a gap, in the arithmetic of the active test.
    const TimelineEntry* cloudsEntry = nullptr;
    const TimelineEntry* seaEntry = nullptr;
    for (int i = 0; i < demo.timeline.count; ++i) {
        if (demo.timeline[i].effect == clouds) {
            cloudsEntry = &demo.timeline[i];
        }
        if (demo.timeline[i].effect == sea) {
            seaEntry = &demo.timeline[i];
        }
    }
    ASSERT_NE(cloudsEntry, nullptr);
    ASSERT_NE(seaEntry, nullptr);
    EXPECT_EQ(cloudsEntry->start, 49.78f);
    EXPECT_EQ(cloudsEntry->duration, 32.77f);
    EXPECT_EQ(seaEntry->start, 82.55f);
    EXPECT_EQ(seaEntry->duration, 24.0f);
    EXPECT_EQ(cloudsEntry->start + cloudsEntry->duration, seaEntry->start);
    EXPECT_EQ(seaEntry - cloudsEntry, 1);
}

} // namespace
