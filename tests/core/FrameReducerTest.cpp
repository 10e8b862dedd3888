// Supersampled frames reduced with a box filter on the GL side, the state the
// demo's frames inherit left as it was.
#include "core/FrameReducer.h"
#include "platform/Gl.h"
#include "support/GlTest.h"

#include <vector>

namespace {

class FrameReducerTest : public GlTest {
protected:
    // Columns x = 0, 3, 6, ... white, the others black, over the whole window.
    static void drawEveryThirdColumn() {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glEnable(GL_SCISSOR_TEST);
        glClearColor(1, 1, 1, 1);
        for (int x = 0; x < 800; x += 3) {
            glScissor(x, 0, 1, 600);
            glClear(GL_COLOR_BUFFER_BIT);
        }
        glDisable(GL_SCISSOR_TEST);
    }
    static std::vector<unsigned char> reduced(const FrameReducer& reducer) {
        std::vector<unsigned char> rgba(static_cast<size_t>(reducer.width) * reducer.height * 4);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, reducer.framebuffer());
        glReadBuffer(GL_COLOR_ATTACHMENT0);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, reducer.width, reducer.height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
        glReadBuffer(GL_BACK);
        return rgba;
    }
};

TEST_F(FrameReducerTest, EachPixelIsTheAverageOfTheSquareItCovers) {
    drawEveryThirdColumn();
    // Three by three: one white column in every square, a third of white; a
    // filter that took fewer samples would see all or nothing of it somewhere.
    FrameReducer third(3, 266, 200);
    third.reduce();
    const std::vector<unsigned char> thirds = reduced(third);
    for (size_t i = 0; i < thirds.size(); i += 4) {
        ASSERT_EQ(thirds[i], 85) << "pixel " << i / 4;
        ASSERT_EQ(thirds[i + 3], 255);
    }
    // Two by two: squares that hold one white column and squares that hold none
    // or two, in turn (columns 0, 3, 6: squares 0-1, 2-3, 4-5, 6-7 hold 1, 1, 0, 1).
    FrameReducer half(2, 400, 300);
    half.reduce();
    const std::vector<unsigned char> halves = reduced(half);
    const int expected[6] = {128, 128, 0, 128, 128, 0};
    for (int x = 0; x < 6; ++x) {
        EXPECT_NEAR(halves[static_cast<size_t>(x) * 4], expected[x], 1) << "column " << x;
    }
}

TEST_F(FrameReducerTest, TheFramesStateIsLeftAsItWas) {
    FrameReducer reducer(2, 400, 300);
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glActiveTexture(GL_TEXTURE2);
    glBindTexture(GL_TEXTURE_2D, texture);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    glViewport(10, 20, 300, 200);
    glEnable(GL_SCISSOR_TEST);
    glScissor(1, 2, 3, 4);
    glClearColor(0.25f, 0.5f, 0.75f, 1.0f);
    reducer.reduce();

    GLint value = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &value);
    EXPECT_EQ(value, GL_TEXTURE2);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &value);
    EXPECT_EQ(static_cast<GLuint>(value), texture);
    glActiveTexture(GL_TEXTURE0);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &value);
    EXPECT_EQ(value, 0);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    glGetIntegerv(GL_BLEND_DST_RGB, &value);
    EXPECT_EQ(value, GL_ONE);
    EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    GLint box[4];
    glGetIntegerv(GL_VIEWPORT, box);
    EXPECT_EQ(box[0], 10);
    EXPECT_EQ(box[3], 200);
    glGetIntegerv(GL_SCISSOR_BOX, box);
    EXPECT_EQ(box[2], 3);
    glGetIntegerv(GL_CURRENT_PROGRAM, &value);
    EXPECT_EQ(value, 0);
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &value);
    EXPECT_EQ(value, 0);
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &value);
    EXPECT_EQ(value, 0);
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(clear[1], 0.5f);
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_BLEND);
    glDeleteTextures(1, &texture);
    expectNoGlError();
}

} // namespace
