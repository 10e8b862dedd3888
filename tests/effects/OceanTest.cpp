// The opening and closing seas, rendered through the demo's frame code on the
// shared context with the generated data folder. The typography is swapped for
// solid pictures so the overlay and its fades can be read off single pixels.
#include "effects/Ocean.h"
#include "core/Demo.h"
#include "core/FullscreenPass.h"
#include "effects/LensFlare.h"
#include "platform/Gl.h"
#include "platform/GlState.h"
#include "platform/Texture.h"
#include "resources/Geometry.h"
#include "support/GlTest.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace {

std::unique_ptr<Texture> solid(unsigned char r, unsigned char g, unsigned char b) {
    std::vector<unsigned char> pixels(4 * 4 * 4);
    for (size_t i = 0; i < pixels.size(); i += 4) {
        pixels[i] = r, pixels[i + 1] = g, pixels[i + 2] = b, pixels[i + 3] = 255;
    }
    return std::make_unique<Texture>(4, 4, pixels.data(), PixelKind::Rgba8, TextureFilter::Linear);
}

class OceanTest : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        demo.window = &window();
        demo.verbose = false;
        copyProgram = std::make_unique<FullscreenPass>();
        demo.copyProgram = copyProgram.get();
        opening = new Ocean(&demo, false);
        closing = new Ocean(&demo, true);
        demo.loadEffects();
        // A camera above the grid looking across it.
        demo.controllerValues[0] = Vec3(100.0f, 20.0f, -25.0f);
        demo.controllerValues[1] = Vec3(100.0f, 150.0f, -5.0f);
    }

    // Renders one scene alone at its local time t; returns the pixel at (x, y).
    std::array<int, 4> render(Ocean* ocean, float t, int x = 400, int y = 300) {
        demo.timeline.count = 0;
        demo.addEntry(0.0f, 1000.0f, ocean);
        demo.renderFrame(t, 0.016f);
        return pixel(x, y);
    }

    // The whole window, RGBA.
    std::vector<unsigned char> frame() {
        std::vector<unsigned char> pixels(800 * 600 * 4);
        glReadPixels(0, 0, 800, 600, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    }

    Demo demo;
    std::unique_ptr<FullscreenPass> copyProgram;
    Ocean* opening = nullptr;
    Ocean* closing = nullptr;
};

TEST_F(OceanTest, OpeningOverlaysLogoThenTitleUnderItsFades) {
    auto logo = solid(255, 0, 0), title = solid(0, 255, 0);
    opening->logoTexture = logo.get();
    opening->titleTexture = title.get();
    // Solid pictures cover the whole screen.
    opening->logoArea = opening->titleArea = PictureArea();

    EXPECT_EQ(render(opening, 0.0f), (std::array<int, 4>{0, 0, 0, 255}));
    EXPECT_NEAR(render(opening, 2.5f)[0], 128, 2);
    EXPECT_EQ(render(opening, 5.0f)[0], 255);
    EXPECT_EQ(render(opening, 10.0f)[0], 255);
    EXPECT_NEAR(render(opening, 12.5f)[0], 128, 2);
    // Logo gives way to title at 13.5, under two fades of alpha 1.
    auto at135 = render(opening, 13.5f);
    EXPECT_EQ(at135[0], 0);
    EXPECT_EQ(at135[1], 0);
    // A tenth of a second either side, under fades of alpha 0.95: the logo's
    // red, then the title's green, at 255 x 0.05.
    auto at134 = render(opening, 13.4f), at136 = render(opening, 13.6f);
    EXPECT_NEAR(at134[0], 13, 1);
    EXPECT_EQ(at134[1], 0);
    EXPECT_EQ(at136[0], 0);
    EXPECT_NEAR(at136[1], 13, 1);
    EXPECT_NEAR(render(opening, 14.5f)[1], 128, 2);
    auto at20 = render(opening, 20.0f);
    EXPECT_EQ(at20[0], 0);
    EXPECT_EQ(at20[1], 255);
    // The opening leaves blending off behind it.
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
}

TEST_F(OceanTest, ClosingFadesToBlackFromEightAndAHalfSeconds) {
    auto end = solid(0, 0, 255);
    closing->endTexture = end.get();
    closing->endArea = PictureArea();

    EXPECT_EQ(render(closing, 8.4f)[2], 255);
    // The closing overlay leaves blending on and depth testing off.
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    // Half a second into the fade its alpha is 1/7: 255 x 6/7 is left.
    EXPECT_NEAR(render(closing, 9.0f)[2], 219, 1);
    EXPECT_NEAR(render(closing, 10.25f)[2], 128, 2);
    EXPECT_LE(render(closing, 12.0f)[2], 1);
    EXPECT_EQ(render(closing, 12.5f)[2], 255);
}

TEST_F(OceanTest, SeaShowsUnderTheTypography) {
    // With the real, mostly transparent pictures the sea and the sun glow show.
    render(opening, 10.0f);
    int lit = 0;
    for (int y = 0; y < 600; y += 20) {
        for (int x = 0; x < 800; x += 20) {
            auto p = pixel(x, y);
            lit += p[0] + p[1] + p[2] > 60;
        }
    }
    EXPECT_GT(lit, 40 * 30 / 3);
    // The sea's lower half is water, not black.
    auto water = pixel(400, 60);
    EXPECT_GT(water[0] + water[1] + water[2], 30);
}

// Pixels in which two frames differ.
int differingPixels(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b) {
    int count = 0;
    for (size_t i = 0; i + 3 < a.size(); i += 4) {
        count += a[i] != b[i] || a[i + 1] != b[i + 1] || a[i + 2] != b[i + 2];
    }
    return count;
}

TEST_F(OceanTest, SeaDrawnOnlyWithinReachLooksAsDrawnWhole) {
    // Low over the grid's corner, looking across it to the sun, as the shots do.
    demo.controllerValues[0] = Vec3(165.0f, 150.0f, -10.0f);
    demo.controllerValues[1] = Vec3(80.0f, 60.0f, -16.0f);
    for (float t : {3.0f, 8.0f}) {
        opening->reach = seaReach;
        render(opening, t);
        const std::vector<unsigned char> near = frame();
        opening->reach = 1e6f;
        render(opening, t);
        // The same frame. With a sample buffer a fragment covering some of a
        // pixel's samples is shaded at the pixel's centre, off its triangle,
        // where a face seen edge-on far out may take a nearer distance: a few
        // such pixels at the end of the sea may differ.
        GLint samples = 0;
        glGetIntegerv(GL_SAMPLES, &samples);
        EXPECT_LE(differingPixels(frame(), near), samples > 0 ? 8 : 0) << "at " << t;
    }
    opening->reach = seaReach;
    // The sea shows far enough that leaving out what lies beyond matters.
    demo.controllerValues[0] = Vec3(190.0f, 190.0f, -60.0f);
    demo.controllerValues[1] = Vec3(100.0f, 100.0f, 0.0f);
    render(opening, 8.0f);
    const std::vector<unsigned char> near = frame();
    opening->reach = seaReach * 0.5f;
    render(opening, 8.0f);
    EXPECT_GT(differingPixels(frame(), near), 1000);
    opening->reach = seaReach;
}

TEST_F(OceanTest, WavesAreAPureFunctionOfTime) {
    render(opening, 7.0f);
    float* first = opening->grid->map(true, false);
    std::vector<float> atSeven(first, first + 200 * 200 * 6);
    opening->grid->unmap();
    render(opening, 3.0f);
    render(opening, 7.0f);
    float* again = opening->grid->map(true, false);
    EXPECT_EQ(std::vector<float>(again, again + 200 * 200 * 6), atSeven);
    // Positions stay where load put them; the last row's normals stay zero.
    EXPECT_EQ(again[(200 * 57 + 31) * 6 + 0], 31.0f);
    EXPECT_EQ(again[(200 * 57 + 31) * 6 + 1], 57.0f);
    EXPECT_EQ(again[(200 * 199 + 10) * 6 + 5], 0.0f);
    opening->grid->unmap();
}

TEST_F(OceanTest, FlareHidesBehindTheNearPlaneAndMirrorsBehindTheCamera) {
    LensFlare& flare = *opening->flare;
    perspective(45.0f, 1.3333f, 1.0f, 1000.0f);
    lookAt(0, 0, 0, 0, 10, 0, 0, 0, -1);

    flare.setLightPosition(2.0f, 50.0f, 0.0f);
    EXPECT_TRUE(flare.visible);
    const float inFront = flare.screenX;
    EXPECT_NE(inFront, 0.0f);
    EXPECT_NEAR(flare.screenY, 0.0f, 1e-4f);

    // In front of the camera but nearer than the near plane.
    flare.setLightPosition(0.0f, 0.5f, 0.0f);
    EXPECT_FALSE(flare.visible);

    // Behind the camera: shown, at the mirrored place.
    flare.setLightPosition(2.0f, -50.0f, 0.0f);
    EXPECT_TRUE(flare.visible);
    EXPECT_NEAR(flare.screenX, -inFront, 1e-4f);
}

TEST_F(OceanTest, FlareSpritesAddLightWhereTheSunIs) {
    LensFlare& flare = *opening->flare;
    perspective(45.0f, 1.3333f, 1.0f, 1000.0f);
    lookAt(0, 0, 0, 0, 10, 0, 0, 0, -1);
    flare.setLightPosition(0.0f, 100.0f, 20.0f);
    ASSERT_TRUE(flare.visible);
    clear(0, 0, 0, 1, true, true, false);
    flare.drawGlow();
    // The sun sits below the centre on screen (z is down) and glows there.
    int sunY = static_cast<int>((flare.screenY + 1.0f) * 300.0f);
    auto sun = pixel(400, sunY);
    EXPECT_GT(sun[0], 200);
    auto corner = pixel(5, 595);
    EXPECT_LT(corner[0], sun[0]);
    flare.render();
    disableFragmentPrograms();
    disableVertexPrograms();
}

// Where the sun and two ghosts land, worked out by hand. The camera at the
// origin looks along +y with -z up, so world +x shows on the left: a light at
// (20, 100, -10) sits at x = -0.2 f / aspect and y = 0.1 f in device units,
// with f = 1 / tan(22.5 degrees) = 2.41421: (-0.36214, 0.24142). Ghosts lie on
// the line through the centre at their factors: 0.3 (texture 2) and -0.75
// (texture 4).
TEST_F(OceanTest, FlareSpritesLandWhereTheLightProjects) {
    LensFlare& flare = *opening->flare;
    perspective(45.0f, 1.3333f, 1.0f, 1000.0f);
    lookAt(0, 0, 0, 0, 10, 0, 0, 0, -1);
    flare.setLightPosition(20.0f, 100.0f, -10.0f);
    ASSERT_TRUE(flare.visible);
    EXPECT_NEAR(flare.screenX, -0.36214f, 2e-4f);
    EXPECT_NEAR(flare.screenY, 0.24142f, 2e-4f);

    auto white = solid(255, 255, 255), black = solid(0, 0, 0);
    auto red = solid(255, 0, 0), blue = solid(0, 0, 255);
    Texture* textures[5] = {white.get(), black.get(), red.get(), black.get(), blue.get()};
    std::copy(textures, textures + 5, flare.flareTextures);
    flare.glowTexture = black.get();
    auto toPixel = [](float x, float y) {
        return std::array<int, 2>{static_cast<int>(400 + 400 * x), static_cast<int>(300 + 300 * y)};
    };

    clear(0, 0, 0, 1, true, true, false);
    flare.drawGlow();
    const auto sun = toPixel(-0.36214f, 0.24142f), mirror = toPixel(0.36214f, -0.24142f);
    EXPECT_GT(pixel(sun[0], sun[1])[0], 200);
    EXPECT_EQ(pixel(mirror[0], mirror[1])[0], 0);

    clear(0, 0, 0, 1, true, true, false);
    flare.render();
    const auto near = toPixel(0.3f * -0.36214f, 0.3f * 0.24142f);
    const auto far = toPixel(-0.75f * -0.36214f, -0.75f * 0.24142f);
    EXPECT_GT(pixel(near[0], near[1])[0], 30);
    EXPECT_EQ(pixel(near[0], near[1])[2], 0);
    EXPECT_GT(pixel(far[0], far[1])[2], 30);
    EXPECT_EQ(pixel(far[0], far[1])[0], 0);
    // Mirrored through the centre, where a flipped sign would put them, is dark.
    const auto nearFlipped = toPixel(-0.3f * -0.36214f, -0.3f * 0.24142f);
    EXPECT_EQ(pixel(nearFlipped[0], nearFlipped[1])[0], 0);
    disableFragmentPrograms();
    disableVertexPrograms();
}

// The glints of the glow all turn with the flare's clock but the first. With a
// picture lit only in its top right quarter and the clock at 1.5 s, the first
// glint's quarter is the only light there; the turned ones put theirs at least
// a quarter turn away. The quarter's middle lies 0.75 of the half size 0.16
// right and up of the sun, three across and four up: (0.36, 0.48) in device
// units, 144 pixels right and up. Its colour (0.9, 0.8, 0.75) is dimmed by
// 1 - 0.2 |P| = 0.912953 for the sun at P = (-0.36214, 0.24142): 255 times
// that is (209.5, 186.2, 174.6).
TEST_F(OceanTest, TheUnturnedGlintShowsItsOwnColour) {
    LensFlare& flare = *opening->flare;
    perspective(45.0f, 1.3333f, 1.0f, 1000.0f);
    lookAt(0, 0, 0, 0, 10, 0, 0, 0, -1);
    flare.setLightPosition(20.0f, 100.0f, -10.0f);
    ASSERT_TRUE(flare.visible);

    std::vector<unsigned char> quarter(8 * 8 * 4, 0);
    for (int row = 0; row < 8; ++row) {
        for (int column = 0; column < 8; ++column) {
            const bool lit = row < 4 && column >= 4;
            for (int c = 0; c < 3; ++c) {
                quarter[(row * 8 + column) * 4 + c] = lit ? 255 : 0;
            }
            quarter[(row * 8 + column) * 4 + 3] = 255;
        }
    }
    Texture topRight(8, 8, quarter.data(), PixelKind::Rgba8, TextureFilter::Linear);
    auto black = solid(0, 0, 0);
    flare.flareTextures[0] = &topRight;
    flare.glowTexture = black.get();
    flare.localTime = 1.5f;

    clear(0, 0, 0, 1, true, true, false);
    flare.drawGlow();
    const int x = static_cast<int>(400 + 400 * -0.36214f) + 144;
    const int y = static_cast<int>(300 + 300 * 0.24142f) + 144;
    const auto glint = pixel(x, y);
    EXPECT_NEAR(glint[0], 209.5, 1.5);
    EXPECT_NEAR(glint[1], 186.2, 1.5);
    EXPECT_NEAR(glint[2], 174.6, 1.5);
    disableFragmentPrograms();
    disableVertexPrograms();
}

} // namespace
