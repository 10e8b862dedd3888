// The generated blur: its program text, the order and directions of its passes,
// what one pass samples, gamma, and the size its target must have.
#include "effects/BlurFilter.h"
#include "platform/EngineError.h"
#include "platform/GlState.h"
#include "platform/GlWindow.h"
#include "platform/RenderTarget.h"
#include "support/GlTest.h"

#include "platform/Gl.h"

#include <string>
#include <vector>

namespace {

// Records the passes a blur makes instead of drawing them.
class RecordingBlur : public BlurFilter {
public:
    struct Pass {
        const RenderTarget* from;
        const RenderTarget* to;
        float dx, dy;
        bool operator==(const Pass& o) const {
            return from == o.from && to == o.to && dx == o.dx && dy == o.dy;
        }
    };
    using BlurFilter::BlurFilter;
    void pass(RenderTarget& source, RenderTarget& destination, float dx, float dy) override {
        passes.push_back({&source, &destination, dx, dy});
    }
    std::vector<Pass> passes;
};

void paint(RenderTarget& target, float grey) {
    target.bind();
    clear(grey, grey, grey, 1.0f, true, false, false);
    target.unbind();
}

std::vector<unsigned char> pixelsOf(RenderTarget& target) {
    std::vector<unsigned char> pixels(static_cast<size_t>(target.width) * target.height * 4);
    glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, target.width, target.height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    return pixels;
}

class BlurFilterTest : public GlTest {
protected:
    void TearDown() override {
        disableFragmentPrograms();
        disableVertexPrograms();
        GlTest::TearDown();
    }
};

} // namespace

TEST(BlurProgram, TextUnrollsEightTapsAndScalesByGamma) {
    const std::string text = BlurFilter::programSource();
    EXPECT_EQ(text.size(), 622u);
    EXPECT_EQ(text.substr(0, 4), "\t\t\t\t");
    const std::string tail = "acc *= gamma * 0.125; return acc; }";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
    for (int i = 1; i <= 4; ++i) {
        const std::string taps = "acc += tex2D(tex, tc+direction*" + std::to_string(i) +
                                 ");acc += tex2D(tex, tc-direction*" + std::to_string(i) + ");";
        EXPECT_NE(text.find(taps), std::string::npos) << i;
    }
    // The centre texel is never sampled.
    EXPECT_EQ(text.find("tex2D(tex, tc)"), std::string::npos);
}

TEST_F(BlurFilterTest, PassesGoThereAndBackHorizontallyThenVertically) {
    RecordingBlur blur(16, 16);
    RenderTarget target(16, 16, true, false);
    RenderTarget* t = &target;
    RenderTarget* s = blur.scratch.get();
    using Pass = RecordingBlur::Pass;

    blur.blur(target, 2, 0.5f, 2.0f);
    EXPECT_EQ(blur.passes,
              (std::vector<Pass>{
                  {t, s, 0.5f, 0.0f}, {s, t, 0.5f, 0.0f}, {t, s, 0.0f, 0.5f}, {s, t, 0.0f, 0.5f}}));

    // An odd count ends each axis on a pass that stands still.
    blur.passes.clear();
    blur.blur(target, 1, 0.5f, 2.0f);
    EXPECT_EQ(blur.passes,
              (std::vector<Pass>{
                  {t, s, 0.5f, 0.0f}, {s, t, 0.0f, 0.0f}, {t, s, 0.0f, 0.5f}, {s, t, 0.0f, 0.0f}}));

    // The second pair of each axis reaches five times as far (i = 2, growth 2).
    blur.passes.clear();
    blur.blur(target, 4, 0.5f, 2.0f);
    ASSERT_EQ(blur.passes.size(), 8u);
    EXPECT_EQ(blur.passes[2], (Pass{t, s, 2.5f, 0.0f}));
    EXPECT_EQ(blur.passes[3], (Pass{s, t, 2.5f, 0.0f}));
    EXPECT_EQ(blur.passes[6], (Pass{t, s, 0.0f, 2.5f}));

    blur.passes.clear();
    blur.blur(target, 0, 0.5f, 2.0f);
    EXPECT_TRUE(blur.passes.empty());
}

TEST_F(BlurFilterTest, BlurOfATargetOfAnotherSizeIsRefused) {
    RecordingBlur blur(128, 128);
    RenderTarget wide(256, 128, true, false);
    EXPECT_THROW(blur.blur(wide, 2, 0.5f, 2.0f), EngineError);
    EXPECT_TRUE(blur.passes.empty());
}

// One pass along one texel: each pixel becomes the mean of the four texels on
// either side of it, never of itself.
TEST_F(BlurFilterTest, OnePassAveragesTheEightNeighboursAlongItsDirection) {
    BlurFilter blur(32, 32);
    RenderTarget source(32, 32, true, false);
    RenderTarget destination(32, 32, true, false);
    paint(source, 0.0f);
    // A white column at x = 16.
    source.bind();
    glEnable(GL_SCISSOR_TEST);
    glScissor(16, 0, 1, 32);
    clear(1.0f, 1.0f, 1.0f, 1.0f, true, false, false);
    glDisable(GL_SCISSOR_TEST);
    source.unbind();

    blur.pass(source, destination, 1.0f, 0.0f);
    std::vector<unsigned char> pixels = pixelsOf(destination);
    auto red = [&](int x, int y) { return static_cast<int>(pixels[(y * 32 + x) * 4]); };
    EXPECT_EQ(red(16, 10), 0);
    for (int x : {12, 13, 14, 15, 17, 18, 19, 20}) {
        EXPECT_NEAR(red(x, 10), 32, 1) << x;
    }
    EXPECT_EQ(red(11, 10), 0);
    EXPECT_EQ(red(21, 10), 0);
    expectNoGlError();
}

TEST_F(BlurFilterTest, GammaScalesEveryPassOfAUniformPicture) {
    BlurFilter blur(64, 64);
    RenderTarget target(64, 64, true, false);
    paint(target, 200.0f / 255.0f);
    blur.blur(target, 2, 0.5f, 2.0f);
    std::vector<unsigned char> pixels = pixelsOf(target);
    // Away from the edges, where the clamped texture lets the border in.
    for (int y = 8; y < 56; ++y) {
        for (int x = 8; x < 56; ++x) {
            ASSERT_NEAR(pixels[(y * 64 + x) * 4], 200, 1) << x << "," << y;
        }
    }

    // Four passes at gamma 0.5: a sixteenth.
    blur.gamma = 0.5f;
    paint(target, 200.0f / 255.0f);
    blur.blur(target, 2, 0.5f, 2.0f);
    pixels = pixelsOf(target);
    EXPECT_NEAR(pixels[(32 * 64 + 32) * 4], 13, 1);
    // The viewport is the window's again.
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], window().width);
    EXPECT_EQ(viewport[3], window().height);
}
