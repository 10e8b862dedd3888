// The fullscreen pass drawing only the part of a picture that is not fully
// transparent: the same frame as the whole picture over the whole screen.
#include "core/FullscreenPass.h"
#include "platform/Gl.h"
#include "platform/GlState.h"
#include "platform/Texture.h"
#include "resources/Image.h"
#include "support/GlTest.h"

#include <cstdlib>
#include <vector>

namespace {

TEST(VisibleAreaTest, BoundsTheTexelsWithAlphaByAMarginWithinThePicture) {
    std::vector<unsigned char> pixels(64 * 32 * 4, 0);
    const Image clear(64, 32, PixelKind::Rgba8, pixels);
    const PictureArea none = visibleArea(clear);
    EXPECT_EQ(none.u0, none.u1);
    EXPECT_EQ(none.v0, none.v1);

    // One faint texel in column 40, row 10; its colour does not matter.
    pixels[(10 * 64 + 40) * 4 + 3] = 1;
    const PictureArea one = visibleArea(Image(64, 32, PixelKind::Rgba8, pixels));
    EXPECT_FLOAT_EQ(one.u0, 24.0f / 64);
    EXPECT_FLOAT_EQ(one.u1, 57.0f / 64);
    EXPECT_FLOAT_EQ(one.v0, 0.0f);
    EXPECT_FLOAT_EQ(one.v1, 27.0f / 32);

    // Without alpha every texel counts.
    const Image opaque(4, 4, PixelKind::Rgb8, std::vector<unsigned char>(4 * 4 * 3, 0));
    const PictureArea whole = visibleArea(opaque);
    EXPECT_EQ(whole.u0, 0.0f);
    EXPECT_EQ(whole.v0, 0.0f);
    EXPECT_EQ(whole.u1, 1.0f);
    EXPECT_EQ(whole.v1, 1.0f);
}

class FullscreenPassTest : public GlTest {
protected:
    std::vector<unsigned char> frame() {
        std::vector<unsigned char> pixels(800 * 600 * 4);
        glReadPixels(0, 0, 800, 600, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    }
};

TEST_F(FullscreenPassTest, TheVisibleAreaOfTheLogoBlendsAsTheWholePicture) {
    const Image logo("data/meridiantypo/logo.png");
    const Texture texture(logo, TextureFilter::Mipmapped);
    const PictureArea area = visibleArea(logo);
    // The lettering is a band across the picture, not all of it.
    ASSERT_LT((area.u1 - area.u0) * (area.v1 - area.v0), 0.5f);
    FullscreenPass pass;

    auto overBackground = [&](bool whole) {
        clear(0.2f, 0.45f, 0.7f, 1.0f, true, true, false);
        enableState(StateCap::Blend);
        blendFunction(BlendFactor::SrcAlpha, BlendFactor::OneMinusSrcAlpha);
        if (whole) {
            pass.draw(&texture);
        } else {
            pass.draw(&texture, area);
        }
        disableState(StateCap::Blend);
        return frame();
    };
    const std::vector<unsigned char> full = overBackground(true);
    const std::vector<unsigned char> part = overBackground(false);
    int differing = 0, worst = 0;
    for (size_t i = 0; i < full.size(); ++i) {
        const int d = std::abs(full[i] - part[i]);
        differing += d != 0;
        worst = std::max(worst, d);
    }
    // Texture coordinates interpolated over another quad may round apart.
    EXPECT_LE(worst, 1);
    EXPECT_LT(differing, 100);
    expectNoGlError();
}

// The pass covers whatever the depth buffer holds and leaves the depth test off
// for whatever draws next (callers that test depth enable it again); only the
// additive draw changes blending, and turns it off.
TEST_F(FullscreenPassTest, DrawsThroughTheDepthBufferAndLeaveTheDepthTestOff) {
    std::vector<unsigned char> white(4 * 4 * 4, 255);
    const Texture texture(4, 4, white.data(), PixelKind::Rgba8, TextureFilter::Linear);
    const PictureArea area{0.25f, 0.25f, 0.75f, 0.75f};
    FullscreenPass pass;
    enum Draw { Plain, Area, Additive };
    for (Draw how : {Plain, Area, Additive}) {
        // Everything already drawn is nearer than the quad could be.
        glClearDepth(0.0);
        clear(0.0f, 0.0f, 0.0f, 1.0f, true, true, false);
        glClearDepth(1.0);
        enableState(StateCap::DepthTest);
        enableState(StateCap::Blend);
        blendFunction(BlendFactor::One, BlendFactor::Zero);
        if (how == Plain) {
            pass.draw(&texture);
        } else if (how == Area) {
            pass.draw(&texture, area);
        } else {
            pass.drawAdditive(&texture);
        }
        EXPECT_EQ(pixel(400, 300)[0], 255) << how;
        EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST)) << how;
        EXPECT_EQ(glIsEnabled(GL_BLEND) == GL_TRUE, how != Additive) << how;
    }
    expectNoGlError();
}

} // namespace
