#include "core/FullscreenPass.h"
#include "platform/GlState.h"
#include "platform/RenderTarget.h"
#include "platform/Texture.h"

#include "support/GlTest.h"

#include "platform/Gl.h"

class FullscreenPassTest : public GlTest {
protected:
    void TearDown() override {
        disableFragmentPrograms();
        disableVertexPrograms();
        GlTest::TearDown();
    }
};

TEST_F(FullscreenPassTest, EveryPassSharesOneProgram) {
    FullscreenPass first;
    FullscreenPass second;
    ASSERT_NE(first.program, nullptr);
    EXPECT_EQ(first.program, second.program);
}

TEST_F(FullscreenPassTest, CopyFillsASmallerTargetWhole) {
    RenderTarget large(1024, 1024, true, false);
    RenderTarget small(128, 128, true, false);
    large.bind();
    clear(0.0f, 1.0f, 0.0f, 1.0f, true, false, false);
    large.unbind();
    small.bind();
    clear(1.0f, 0.0f, 0.0f, 1.0f, true, false, false);
    small.unbind();

    FullscreenPass pass;
    pass.copy(large, small);

    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 800);
    EXPECT_EQ(viewport[3], 600);
    glBindFramebuffer(GL_FRAMEBUFFER, small.framebuffer);
    for (auto corner : {std::array<int, 2>{0, 0}, {127, 0}, {0, 127}, {127, 127}, {64, 64}}) {
        EXPECT_EQ(pixel(corner[0], corner[1]), (std::array<int, 4>{0, 255, 0, 255}))
            << corner[0] << "," << corner[1];
    }
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
}

TEST_F(FullscreenPassTest, AdditiveDrawAddsAndLeavesBlendingOff) {
    const unsigned char blue[4] = {0, 0, 200, 255};
    Texture texture(1, 1, blue, PixelKind::Rgba8, TextureFilter::Nearest);
    clear(0.5f, 0.0f, 0.0f, 1.0f, true, true, false);
    FullscreenPass pass;
    pass.drawAdditive(&texture);
    std::array<int, 4> added = pixel(10, 590);
    EXPECT_NEAR(added[0], 128, 1);
    EXPECT_EQ(added[2], 200);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));

    pass.draw(&texture);
    EXPECT_EQ(pixel(400, 300), (std::array<int, 4>{0, 0, 200, 255}));
}
