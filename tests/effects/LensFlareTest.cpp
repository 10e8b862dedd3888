// The lens flare's sprites drawn only where their pictures are lit, and large
// ones read without mip levels: the same pixels as whole quads of the
// mipmapped pictures, wherever the sun stands and whatever the viewport.
#include "effects/LensFlare.h"
#include "core/Demo.h"
#include "core/FullscreenPass.h"
#include "effects/Ocean.h"
#include "platform/Gl.h"
#include "platform/GlState.h"
#include "platform/Texture.h"
#include "resources/Image.h"
#include "support/GlTest.h"

#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

Image pictureWithLit(int width, int height, int x, int y) {
    std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * 3, 0);
    if (x >= 0) {
        pixels[(static_cast<size_t>(y) * width + x) * 3 + 2] = 1;
    }
    return Image(width, height, PixelKind::Rgb8, pixels);
}

TEST(LitRadiusTest, ReachesTheFarCornerOfTheOutermostLitTexel) {
    EXPECT_EQ(litRadius(pictureWithLit(8, 8, -1, 0)), 0.0f);
    // The texel right of the centre of an 8 x 8 picture: its far corner lies
    // at (0.5, 0.25) in half-widths.
    EXPECT_NEAR(litRadius(pictureWithLit(8, 8, 5, 3)),
                std::sqrt(0.375f * 0.375f + 0.125f * 0.125f) + std::sqrt(2.0f) / 8, 1e-5f);
    EXPECT_GT(litRadius(pictureWithLit(8, 8, 0, 7)), 1.0f);
    const Image floats(2, 2, PixelKind::Rgba32F, std::vector<unsigned char>(2 * 2 * 16, 0));
    EXPECT_EQ(litRadius(floats), 2.0f);
}

class LensFlareTest : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        demo.window = &window();
        demo.verbose = false;
        copyProgram = std::make_unique<FullscreenPass>();
        demo.copyProgram = copyProgram.get();
        ocean = new Ocean(&demo, false);
        demo.loadEffects();
    }

    // Glow and ghosts for a light at (x, y, z) seen from the origin along +y.
    std::vector<unsigned char> flareFor(float x, float y, float z) {
        LensFlare& flare = *ocean->flare;
        perspective(45.0f, 1.3333f, 1.0f, 1000.0f);
        lookAt(0, 0, 0, 0, 10, 0, 0, 0, -1);
        flare.localTime = 1.7f;
        flare.setLightPosition(x, y, z);
        clear(0, 0, 0, 1, true, true, false);
        flare.drawGlow();
        flare.render();
        disableFragmentPrograms();
        disableVertexPrograms();
        std::vector<unsigned char> pixels(800 * 600 * 4);
        glReadPixels(0, 0, 800, 600, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    }

    Demo demo;
    std::unique_ptr<FullscreenPass> copyProgram;
    Ocean* ocean = nullptr;
};

TEST_F(LensFlareTest, SpritesLightTheSamePixelsAsWholeQuadsOfTheMipmappedPictures) {
    LensFlare& flare = *ocean->flare;
    const char* const files[6] = {"data/flare/flare0.jpg", "data/flare/flare1.jpg",
                                  "data/flare/flare2.jpg", "data/flare/flare3.jpg",
                                  "data/flare/flare4.jpg", "data/flare/bg.jpg"};
    // Textures load did not fetch are drawn whole, as they are.
    std::vector<std::unique_ptr<Texture>> plain;
    for (const char* file : files) {
        plain.push_back(std::make_unique<Texture>(Image(file), TextureFilter::Mipmapped));
    }
    Texture* loaded[6];
    std::copy(flare.flareTextures, flare.flareTextures + 5, loaded);
    loaded[5] = flare.glowTexture;

    // Near the centre, off to a side, in a corner; in the window and in the
    // second sea's letterbox.
    const float lights[3][3] = {{3, 100, -2}, {-30, 100, 12}, {38, 100, -30}};
    const int viewports[2][4] = {{0, 0, 800, 600}, {0, 75, 800, 450}};
    for (const auto& viewport : viewports) {
        glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
        for (const auto& light : lights) {
            SCOPED_TRACE(testing::Message() << "light at " << light[0] << ", " << light[2]
                                            << " in a viewport " << viewport[3] << " high");
            std::copy(loaded, loaded + 5, flare.flareTextures);
            flare.glowTexture = loaded[5];
            const std::vector<unsigned char> fast = flareFor(light[0], light[1], light[2]);
            for (int i = 0; i < 5; ++i) {
                flare.flareTextures[i] = plain[i].get();
            }
            flare.glowTexture = plain[5].get();
            const std::vector<unsigned char> whole = flareFor(light[0], light[1], light[2]);

            long lit = 0;
            int differing = 0, worst = 0;
            for (size_t i = 0; i < whole.size(); ++i) {
                lit += whole[i] != 0;
                const int d = std::abs(whole[i] - fast[i]);
                differing += d != 0;
                worst = std::max(worst, d);
            }
            EXPECT_GT(lit, 100000) << "the flare should light much of the frame";
            // Texture coordinates interpolated over other triangles may round
            // apart by a level here and there.
            EXPECT_LE(worst, 1);
            EXPECT_LT(differing, 200);
        }
    }
    glViewport(0, 0, 800, 600);
    std::copy(loaded, loaded + 5, flare.flareTextures);
    flare.glowTexture = loaded[5];
}

} // namespace
