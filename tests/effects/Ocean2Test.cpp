// The wide-screen second sea: its band between black bars, the waves that
// scroll with the camera, and the clouds' flower drawn on the sea's own clock.
#include "effects/Ocean2.h"
#include "core/Demo.h"
#include "effects/Clouds.h"
#include "effects/Flower.h"
#include "effects/OceanWaves.h"
#include "platform/Gl.h"
#include "platform/GlWindow.h"
#include "resources/Geometry.h"
#include "support/GlTest.h"

#include <cmath>
#include <limits>
#include <vector>

namespace {

// The loop the clock stands for, for times where it ends.
float clockByLoop(float t) {
    float x = 6.6f * t;
    while (x > 30.0f) {
        x = x - 30.0f;
    }
    return x + 10.0f;
}

TEST(SeaBandTest, SixteenByNineBandWithTheWindowsBarsInIntegerArithmetic) {
    const Band band = seaBand(800, 600);
    EXPECT_EQ(band.x, 0);
    EXPECT_EQ(band.y, 75);
    EXPECT_EQ(band.width, 800);
    EXPECT_EQ(band.height, 450);
    const Band odd = seaBand(1000, 333);
    EXPECT_EQ(odd.y, 41);
    EXPECT_EQ(odd.height, 333 - 83);
}

TEST(FlowerClockTest, ReplaysTenToFortySecondsAndEndsForAnyTime) {
    EXPECT_EQ(flowerClock(0.0f), 10.0f);
    EXPECT_NEAR(flowerClock(30.0f / 6.6f), 40.0f, 1e-4f);
    EXPECT_NEAR(flowerClock(4.6f), 10.0f + 6.6f * 4.6f - 30.0f, 1e-4f);
    for (float t = 0.0f; t < 24.0f; t += 0.01f) {
        ASSERT_EQ(flowerClock(t), clockByLoop(t)) << t;
    }
    // Where the loop would never end it still gives a time in the stretch.
    for (float t :
         {1e6f, 3e9f, std::numeric_limits<float>::max(), std::numeric_limits<float>::infinity()}) {
        const float clock = flowerClock(t);
        EXPECT_GT(clock, 10.0f) << t;
        EXPECT_LE(clock, 40.0f) << t;
    }
}

class Ocean2Test : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        demo.window = &window();
        demo.verbose = false;
        clouds = new Clouds(&demo);
        sea = new Ocean2(&demo, clouds->flower);
        demo.loadEffects();
        // Over the water, looking across it and at the flower.
        demo.controllerValues[0] = Vec3(12.0f, 135.0f, -30.0f);
        demo.controllerValues[1] = Vec3(-40.0f, 0.0f, -55.0f);
    }

    void render(float t) {
        demo.timeline.count = 0;
        demo.addEntry(0.0f, 100.0f, sea);
        demo.renderFrame(t, 0.016f);
    }

    std::vector<float> heights() {
        const float* v = sea->grid->map(true, false);
        std::vector<float> z;
        for (int k = 0; k < oceanGridSize * oceanGridSize; ++k) {
            z.push_back(v[k * oceanFloatsPerVertex + 2]);
        }
        sea->grid->unmap();
        return z;
    }

    Demo demo;
    Clouds* clouds = nullptr;
    Ocean2* sea = nullptr;
};

TEST_F(Ocean2Test, SeaFillsTheBandBetweenBlackBarsAndTheWindowViewportComesBack) {
    render(3.0f);
    expectNoGlError();
    int lit = 0;
    for (int x = 0; x < 800; x += 10) {
        for (int y : {0, 40, 74, 525, 560, 599}) {
            const auto p = pixel(x, y);
            ASSERT_EQ(p[0] + p[1] + p[2], 0) << x << ", " << y;
        }
        for (int y : {80, 200, 300, 420, 520}) {
            const auto p = pixel(x, y);
            lit += p[0] + p[1] + p[2] > 30;
        }
    }
    EXPECT_GT(lit, 80 * 5 * 3 / 4);

    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(std::vector<GLint>(viewport, viewport + 4), (std::vector<GLint>{0, 0, 800, 600}));

    // The band and the viewport left behind follow the window's size.
    const int width = currentWindow->width, height = currentWindow->height;
    currentWindow->width = 640;
    currentWindow->height = 480;
    render(3.0f);
    glGetIntegerv(GL_VIEWPORT, viewport);
    currentWindow->width = width;
    currentWindow->height = height;
    EXPECT_EQ(std::vector<GLint>(viewport, viewport + 4), (std::vector<GLint>{0, 0, 640, 480}));
    EXPECT_EQ(pixel(300, 59)[0] + pixel(300, 59)[1] + pixel(300, 59)[2], 0);
}

TEST_F(Ocean2Test, DrawsTheCloudsFlowerOnTheSeasClock) {
    for (float t : {0.0f, 1.0f, 4.0f, 4.7f}) {
        render(t);
        EXPECT_EQ(clouds->localTime, flowerClock(t)) << t;
        EXPECT_EQ(clouds->flower->localTime, flowerClock(t)) << t;
        // What the flower drew is its plant's window at that time.
        PlantFrame expected;
        expected.reserveFor(*clouds->flower->plant);
        const float g = 0.25f * flowerClock(t);
        const Matrix4 any = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
        walkPlant(*clouds->flower->plant, g - 2.0f, g, any, expected);
        EXPECT_EQ(clouds->flower->frame.ranges.count, expected.ranges.count) << t;
        EXPECT_GT(expected.ranges.count, 50) << t;
    }
}

TEST_F(Ocean2Test, WavesScrollWithTheCameraAndTheLastNormalsStayZero) {
    sea->localTime = 2.5f;
    sea->updateWaves(0.0f, 0.0f);
    const std::vector<float> still = heights();
    // With the camera at the origin the inputs are the plain column and row.
    const double plain = 1.5 * std::sin(0.07 * 7 + 2.5 + 0.088 * 3) +
                         std::sin(0.09 * 7 + 0.227 * 3 + 2.1 * 2.5) +
                         0.65 * std::sin(0.011 * 7 + 0.587 * 3 + 3.3 * 2.5) +
                         0.25 * std::sin(0.015 * 7 + 0.987 * 3 + 4.4 * 2.5);
    EXPECT_NEAR(still[3 * oceanGridSize + 7], plain, 1e-5);

    // One unit of camera in x moves the pattern by one column, in y by one row.
    sea->updateWaves(1.0f, 0.0f);
    const std::vector<float> east = heights();
    sea->updateWaves(0.0f, 1.0f);
    const std::vector<float> north = heights();
    for (int i = 0; i + 1 < oceanGridSize; i += 7) {
        for (int j = 0; j + 1 < oceanGridSize; j += 5) {
            ASSERT_NEAR(east[i * oceanGridSize + j], still[i * oceanGridSize + j + 1], 1e-5);
            ASSERT_NEAR(north[i * oceanGridSize + j], still[(i + 1) * oceanGridSize + j], 1e-5);
        }
    }

    // The last row and column get no normals from the waves: they stay the zeros
    // the grid was made with.
    render(2.0f);
    const float* v = sea->grid->map(true, false);
    for (int k = 0; k < oceanGridSize; ++k) {
        const float* lastRow = v + ((oceanGridSize - 1) * oceanGridSize + k) * oceanFloatsPerVertex;
        const float* lastColumn =
            v + (k * oceanGridSize + oceanGridSize - 1) * oceanFloatsPerVertex;
        ASSERT_EQ(lastRow[3] * lastRow[3] + lastRow[4] * lastRow[4] + lastRow[5] * lastRow[5],
                  0.0f);
        ASSERT_EQ(lastColumn[3], 0.0f);
        ASSERT_EQ(lastColumn[5], 0.0f);
    }
    sea->grid->unmap();
}

} // namespace
