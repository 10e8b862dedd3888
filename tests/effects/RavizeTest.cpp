// The planet scene with the generated data folder: the snow column from 12 s on,
// the planet's turn, and the cloud layer drawn from the process-wide generator.
#include "effects/Ravize.h"
#include "core/Demo.h"
#include "core/FullscreenPass.h"
#include "effects/Billboards.h"
#include "platform/Gl.h"
#include "platform/Random.h"
#include "platform/Texture.h"
#include "resources/Geometry.h"
#include "support/GlTest.h"

#include <cmath>
#include <memory>
#include <vector>

namespace {

// The generator as the shipped timeline hands it to the planet: the greetings
// seed it with 23 and draw 14 numbers for each of their 74 letters.
void leaveGeneratorAsTheGreetingsDo() {
    Random::seed(23);
    for (int i = 0; i < 74 * 14; ++i) {
        Random::next();
    }
}

struct Sprite {
    float x, y, z, size, r, g, b, a;
};

// Billboard i as its first vertex holds it: centre, size from the corner,
// colour.
Sprite sprite(const Billboards& sprites, int i) {
    const float* v = sprites.vertices->data + 4 * i * 11;
    return {v[0], v[1], v[2], -v[3] / 3.0f, v[7], v[8], v[9], v[10]};
}

std::vector<Sprite> allSprites(const Billboards& sprites) {
    std::vector<Sprite> all;
    for (int i = 0; i < sprites.count(); ++i) {
        all.push_back(sprite(sprites, i));
    }
    return all;
}

class RavizeTest : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        demo.window = &window();
        demo.verbose = false;
        copyProgram = std::make_unique<FullscreenPass>();
        demo.copyProgram = copyProgram.get();
    }

    void load() {
        ravize = new Ravize(&demo);
        demo.loadEffects();
    }

    // Renders the scene alone at local time t, as the timeline does.
    void render(float t) {
        demo.timeline.count = 0;
        demo.addEntry(0.0f, 1000.0f, ravize);
        demo.renderFrame(t, 0.016f);
    }

    // Pixels where pure green sprites cover the grey-blue sky.
    int greenPixels() {
        int green = 0;
        for (int y = 0; y < 600; y += 3) {
            for (int x = 0; x < 800; x += 3) {
                auto p = pixel(x, y);
                green += p[1] - p[0] > 50 && p[1] - p[2] > 50;
            }
        }
        return green;
    }

    Demo demo;
    std::unique_ptr<FullscreenPass> copyProgram;
    Ravize* ravize = nullptr;
};

TEST_F(RavizeTest, SnowTravelsDownItsColumnFromTwelveSeconds) {
    load();
    const std::vector<Sprite> loaded = allSprites(*ravize->snowSprites);
    // From the side, level with where the flakes start, the planet under the picture.
    demo.controllerValues[0] = Vec3(0.0f, -300.0f, -210.0f);
    demo.controllerValues[1] = Vec3(0.0f, 0.0f, -210.0f);
    std::vector<unsigned char> greenTexels;
    for (int i = 0; i < 16; ++i) {
        greenTexels.insert(greenTexels.end(), {0, 255, 0, 255});
    }
    Texture green(4, 4, greenTexels.data(), PixelKind::Rgba8, TextureFilter::Linear);
    ravize->snowTexture = &green;

    // At 12 s exactly the flakes are neither moved nor drawn.
    render(12.0f);
    EXPECT_EQ(greenPixels(), 0);
    const std::vector<Sprite> atTwelve = allSprites(*ravize->snowSprites);
    for (size_t i = 0; i < loaded.size(); ++i) {
        ASSERT_EQ(atTwelve[i].x, loaded[i].x) << "flake " << i;
        ASSERT_EQ(atTwelve[i].z, loaded[i].z) << "flake " << i;
    }

    // Just after, every flake stands at its start in the column.
    render(12.001f);
    const std::vector<Sprite> start = allSprites(*ravize->snowSprites);
    ASSERT_EQ(start.size(), 200u);
    for (const Sprite& flake : start) {
        EXPECT_LE(std::fabs(flake.x), 50.0f);
        EXPECT_LE(std::fabs(flake.y), 50.0f);
        EXPECT_GE(flake.z, -240.0f);
        EXPECT_LE(flake.z, -119.9f);
    }
    // The load's layout, 80 wide, is not the column's.
    float widest = 0.0f;
    for (const Sprite& flake : loaded) {
        widest = std::max(widest, std::fabs(flake.x));
    }
    EXPECT_GT(widest, 50.0f);

    // Eight seconds on, each flake has moved at its own speed of 0 to 40 a
    // second straight along +z (down on screen: up is -z), and keeps the size
    // and colour of the load. None stands still: the speed's factor |rnd| is
    // at least 1 - 16383 x 6.103702e-5, about 3e-5, so every flake is moved.
    render(20.001f);
    EXPECT_GT(greenPixels(), 20);
    const std::vector<Sprite> later = allSprites(*ravize->snowSprites);
    float slowest = 1000.0f, fastest = 0.0f;
    for (size_t i = 0; i < later.size(); ++i) {
        EXPECT_EQ(later[i].x, start[i].x);
        EXPECT_EQ(later[i].y, start[i].y);
        const float speed = (later[i].z - start[i].z) / 8.0f;
        EXPECT_GT(speed, 0.0f) << "flake " << i;
        EXPECT_LE(speed, 40.0f);
        slowest = std::min(slowest, speed);
        fastest = std::max(fastest, speed);
        EXPECT_EQ(later[i].size, loaded[i].size);
        EXPECT_EQ(later[i].a, loaded[i].a);
    }
    EXPECT_LT(slowest, 5.0f);
    EXPECT_GT(fastest, 35.0f);
}

TEST_F(RavizeTest, PlanetTurnsTenDegreesASecondAboutItsAxis) {
    load();
    demo.controllerValues[0] = Vec3(-300.0f, -80.0f, -60.0f);
    demo.controllerValues[1] = Vec3(0.0f, 0.0f, -20.0f);
    // What the scene leaves loaded is the planet's turning frame.
    auto turningFrame = [&](float t) {
        render(t);
        std::vector<float> m(16);
        glGetFloatv(GL_MODELVIEW_MATRIX, m.data());
        return m;
    };
    auto expected = [&](float degrees) {
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        gluLookAt(-300, -80, -60, 0, 0, -20, 0, 0, -1);
        glRotatef(degrees, 0, 0, 1);
        std::vector<float> m(16);
        glGetFloatv(GL_MODELVIEW_MATRIX, m.data());
        return m;
    };
    for (float t : {0.0f, 9.0f, 13.5f, 24.0f}) {
        const std::vector<float> frame = turningFrame(t), turned = expected(10.0f * t);
        for (int k = 0; k < 16; ++k) {
            EXPECT_NEAR(frame[k], turned[k], 1e-3f) << "t = " << t << ", element " << k;
        }
    }
    // 240 degrees over the slot: the frame at 24 s is not the one at 0 s.
    EXPECT_GT(std::fabs(turningFrame(24.0f)[0] - turningFrame(0.0f)[0]), 0.1f);
    expectNoGlError();
}

TEST_F(RavizeTest, CloudLayerContinuesTheGeneratorWhileTheSnowIsSeeded) {
    leaveGeneratorAsTheGreetingsDo();
    load();
    const std::vector<Sprite> clouds = allSprites(*ravize->cloudSprites);
    const std::vector<Sprite> snow = allSprites(*ravize->snowSprites);
    const int afterLoad = Random::next();

    // The same draws, replayed in the order the layer takes them.
    leaveGeneratorAsTheGreetingsDo();
    ASSERT_EQ(clouds.size(), 40u);
    for (const Sprite& cloud : clouds) {
        const float a1 = Random::signedUnit(), a2 = Random::signedUnit();
        const float a3 = Random::signedUnit();
        const float size = (std::fabs(Random::signedUnit()) + 1.0f) * 12.0f;
        const float q = 0.2f * std::fabs(Random::signedUnit());
        const float alpha = std::fabs(Random::signedUnit());
        EXPECT_FLOAT_EQ(cloud.x, 200.0f * a2);
        EXPECT_FLOAT_EQ(cloud.y, 200.0f * a1);
        EXPECT_FLOAT_EQ(cloud.z, 20.0f * a3);
        EXPECT_FLOAT_EQ(cloud.size, size);
        EXPECT_FLOAT_EQ(cloud.r, 1.0f - q * q);
        EXPECT_FLOAT_EQ(cloud.b, 1.0f);
        EXPECT_FLOAT_EQ(cloud.a, alpha);
        // A flat layer around the planet.
        EXPECT_LE(std::fabs(cloud.z), 20.0f);
        EXPECT_LE(std::fabs(cloud.x), 200.0f);
        EXPECT_GE(cloud.size, 12.0f);
        EXPECT_LE(cloud.size, 24.0f);
    }

    // The snow seeds 1 and draws 1200 numbers; whatever comes next continues
    // from there.
    Random::seed(1);
    for (int i = 0; i < 1200; ++i) {
        Random::next();
    }
    EXPECT_EQ(afterLoad, Random::next());

    // Loaded after other draws, the layer moves and the snow does not.
    Demo other;
    other.window = &window();
    other.verbose = false;
    other.copyProgram = copyProgram.get();
    Random::seed(7);
    Ravize* again = new Ravize(&other);
    other.loadEffects();
    const std::vector<Sprite> otherClouds = allSprites(*again->cloudSprites);
    const std::vector<Sprite> otherSnow = allSprites(*again->snowSprites);
    EXPECT_NE(otherClouds[0].x, clouds[0].x);
    for (size_t i = 0; i < snow.size(); ++i) {
        ASSERT_EQ(otherSnow[i].z, snow[i].z) << "flake " << i;
        ASSERT_EQ(otherSnow[i].size, snow[i].size) << "flake " << i;
    }
}

} // namespace
