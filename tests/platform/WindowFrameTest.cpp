// The window as the player drives it: frames in flight, samples, the scaled
// presentation of fullscreen on a display without the mode, and what reaches
// the event queue.
#include "platform/GlState.h"
#include "platform/GlWindow.h"
#include "support/GlTest.h"

#include "platform/Gl.h"
#include <SDL.h>

namespace {

class WindowFrameTest : public GlTest {
protected:
    // Many blended full-window quads: a frame llvmpipe takes a while to draw.
    static void drawHeavyFrame() {
        glDisable(GL_DEPTH_TEST);
        glEnable(GL_BLEND);
        glBlendFunc(GL_ONE, GL_ONE);
        glColor4f(0.001f, 0.001f, 0.001f, 1.0f);
        glBegin(GL_QUADS);
        for (int i = 0; i < 150; ++i) {
            glVertex2f(-1, -1);
            glVertex2f(1, -1);
            glVertex2f(1, 1);
            glVertex2f(-1, 1);
        }
        glEnd();
        glDisable(GL_BLEND);
        glEnable(GL_DEPTH_TEST);
    }

    static void fill(int x, int y, int width, int height, float r, float g, float b) {
        glEnable(GL_SCISSOR_TEST);
        glScissor(x, y, width, height);
        glClearColor(r, g, b, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glDisable(GL_SCISSOR_TEST);
    }
};

TEST_F(WindowFrameTest, WhenUpdateReturnsTheFrameBeforeTheOnePresentedIsDrawn) {
    // Frame A, with a fence of our own at its end, then presented.
    drawHeavyFrame();
    GLsync endOfA = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    ASSERT_TRUE(window().update());
    // Frame B is drawn and presented: no more than B and the next may be in flight.
    drawHeavyFrame();
    ASSERT_TRUE(window().update());
    GLenum state = glClientWaitSync(endOfA, 0, 0);
    EXPECT_TRUE(state == GL_ALREADY_SIGNALED || state == GL_CONDITION_SATISFIED) << state;
    glDeleteSync(endOfA);
}

TEST_F(WindowFrameTest, SampleCountZeroGetsTheDriversSmallestMultisampleFormat) {
    // The shared window asks for 0 samples, as lumora-player does; llvmpipe's
    // formats have 0 or 4.
    GLint samples = 0, buffers = 0;
    glGetIntegerv(GL_SAMPLES, &samples);
    glGetIntegerv(GL_SAMPLE_BUFFERS, &buffers);
    EXPECT_EQ(buffers, 1);
    EXPECT_EQ(window().samples, samples);
    EXPECT_GE(samples, 2);
    EXPECT_TRUE(glIsEnabled(GL_MULTISAMPLE));

    // An explicit count is met; one the driver lacks is refused (the player's
    // pixel-format error) rather than quietly replaced by fewer samples.
    GlWindow four(320, 240, 16, 8, 4, 0, 0);
    glGetIntegerv(GL_SAMPLES, &samples);
    EXPECT_GE(samples, 4);
    EXPECT_EQ(four.samples, samples);
}

// A picture smaller than the window's buffer (fullscreen where the display has
// no mode of the picture's size) is stretched over the buffer, its aspect kept.
TEST_F(WindowFrameTest, APictureSmallerThanTheWindowIsScaledUpWithItsAspectKept) {
    GlWindow screen(800, 600, 16, 8, 0, 0, 0);
    auto pixelAt = [this](int x, int y) {
        std::array<int, 4> rgba = pixel(x, y);
        return std::array<int, 3>{rgba[0], rgba[1], rgba[2]};
    };
    using Rgb = std::array<int, 3>;

    // The picture: 400 x 300 in the bottom-left corner, four coloured quarters;
    // yellow around it must not show.
    screen.width = 400;
    screen.height = 300;
    fill(0, 0, 800, 600, 1, 1, 0);
    fill(0, 0, 200, 150, 1, 0, 0);
    fill(200, 0, 200, 150, 0, 1, 0);
    fill(0, 150, 200, 150, 0, 0, 1);
    fill(200, 150, 200, 150, 1, 1, 1);
    glViewport(0, 0, 320, 200);
    glEnable(GL_DEPTH_TEST);
    ASSERT_TRUE(screen.update());
    EXPECT_EQ(pixelAt(10, 10), (Rgb{255, 0, 0}));
    EXPECT_EQ(pixelAt(390, 290), (Rgb{255, 0, 0}));
    EXPECT_EQ(pixelAt(410, 290), (Rgb{0, 255, 0}));
    EXPECT_EQ(pixelAt(790, 10), (Rgb{0, 255, 0}));
    EXPECT_EQ(pixelAt(10, 590), (Rgb{0, 0, 255}));
    EXPECT_EQ(pixelAt(790, 590), (Rgb{255, 255, 255}));
    // What the engine had set is left as it was.
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 320);
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));

    // A wider picture: black bars above and below, the picture between them.
    screen.width = 400;
    screen.height = 200;
    fill(0, 0, 800, 600, 1, 1, 0);
    fill(0, 0, 400, 200, 0, 1, 0);
    ASSERT_TRUE(screen.update());
    EXPECT_EQ(pixelAt(400, 95), (Rgb{0, 0, 0}));
    EXPECT_EQ(pixelAt(400, 105), (Rgb{0, 255, 0}));
    EXPECT_EQ(pixelAt(790, 495), (Rgb{0, 255, 0}));
    EXPECT_EQ(pixelAt(400, 505), (Rgb{0, 0, 0}));
    expectNoGlError();
}

TEST(WindowEventsTest, EscPressesAreNotedOnceAndNoInputWaitsInTheQueue) {
    testWindow();
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    escapePressed();
    EXPECT_FALSE(escapePressed());

    // A tap: down and up again before anybody looked.
    auto key = [](Uint32 type, SDL_Scancode code, int repeat) {
        SDL_Event event{};
        event.type = type;
        event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        event.key.repeat = static_cast<Uint8>(repeat);
        event.key.keysym.scancode = code;
        event.key.keysym.sym = SDL_GetKeyFromScancode(code);
        SDL_PushEvent(&event);
    };
    key(SDL_KEYDOWN, SDL_SCANCODE_ESCAPE, 0);
    key(SDL_KEYUP, SDL_SCANCODE_ESCAPE, 0);
    // A held key's repeats would pile up one per frame.
    for (int i = 0; i < 50; ++i) {
        key(SDL_KEYDOWN, SDL_SCANCODE_A, 1);
    }
    EXPECT_FALSE(SDL_HasEvents(SDL_KEYDOWN, SDL_KEYUP));
    EXPECT_TRUE(escapePressed());
    EXPECT_FALSE(escapePressed());

    // SDL does not merge mouse motion; input the loop never reads is not queued.
    for (Uint32 type :
         {SDL_WINDOWEVENT, SDL_MOUSEMOTION, SDL_MOUSEWHEEL, SDL_MOUSEBUTTONDOWN, SDL_FINGERMOTION,
          SDL_CONTROLLERAXISMOTION, SDL_JOYAXISMOTION, SDL_TEXTINPUT}) {
        EXPECT_EQ(SDL_EventState(type, SDL_QUERY), SDL_IGNORE) << type;
    }
    EXPECT_EQ(SDL_EventState(SDL_QUIT, SDL_QUERY), SDL_ENABLE);
}

} // namespace

namespace {

// A window the picture follows: resized, it keeps the picture centred at its
// own resolution, and the frame's bars are black whatever the frame drew there.
TEST_F(WindowFrameTest, APictureThatFollowsTheWindowStaysCentredWhenItIsResized) {
    WindowLayout layout;
    layout.resizable = true;
    GlWindow resizable(800, 600, 16, 8, 0, 0, 0, layout);
    EXPECT_EQ(resizable.x, 0);
    EXPECT_EQ(resizable.y, 0);
    EXPECT_EQ(resizable.width, 800);
    EXPECT_EQ(resizable.height, 600);

    auto viewportIs = [](int x, int y, int width, int height) {
        GLint viewport[4];
        glGetIntegerv(GL_VIEWPORT, viewport);
        EXPECT_EQ(viewport[0], x);
        EXPECT_EQ(viewport[1], y);
        EXPECT_EQ(viewport[2], width);
        EXPECT_EQ(viewport[3], height);
    };
    // Wider: bars left and right. The frame after the resize is laid out anew.
    SDL_SetWindowSize(resizable.window, 1000, 600);
    ASSERT_TRUE(resizable.update());
    EXPECT_EQ(resizable.bufferWidth, 1000);
    EXPECT_EQ(resizable.x, 100);
    EXPECT_EQ(resizable.width, 800);
    EXPECT_FLOAT_EQ(resizable.pictureScale(), 1.0f);
    viewportIs(100, 0, 800, 600);

    // Taller and larger: the picture grows to the width, bars above and below,
    // centred to an even pixel.
    SDL_SetWindowSize(resizable.window, 1200, 1300);
    ASSERT_TRUE(resizable.update());
    EXPECT_EQ(resizable.width, 1200);
    EXPECT_EQ(resizable.height, 900);
    EXPECT_EQ(resizable.x, 0);
    EXPECT_EQ(resizable.y, 200);
    EXPECT_FLOAT_EQ(resizable.pictureScale(), 1.5f);
    viewportIs(0, 200, 1200, 900);

    // Whatever a frame clears or draws beyond the picture goes black, and the
    // state the frame set stays.
    fill(0, 0, 1200, 1300, 1, 1, 0);
    glDisable(GL_DEPTH_TEST);
    glColor3f(0, 1, 0);
    glBegin(GL_QUADS);
    glVertex2f(-1.5f, -1.5f);
    glVertex2f(1.5f, -1.5f);
    glVertex2f(1.5f, 1.5f);
    glVertex2f(-1.5f, 1.5f);
    glEnd();
    glClearColor(0.2f, 0.3f, 0.4f, 1.0f);
    resizable.clearBars();
    using Rgb = std::array<int, 3>;
    auto pixelAt = [this](int x, int y) {
        std::array<int, 4> rgba = pixel(x, y);
        return Rgb{rgba[0], rgba[1], rgba[2]};
    };
    // (The offscreen driver keeps the buffer it was made with: the pixels
    // read stay within 800 x 600.)
    EXPECT_EQ(pixelAt(400, 199), (Rgb{0, 0, 0}));
    EXPECT_EQ(pixelAt(400, 200), (Rgb{0, 255, 0}));
    EXPECT_EQ(pixelAt(0, 599), (Rgb{0, 255, 0}));
    EXPECT_EQ(pixelAt(799, 200), (Rgb{0, 255, 0}));
    GLfloat clearColour[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColour);
    EXPECT_FLOAT_EQ(clearColour[2], 0.4f);
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
    glEnable(GL_DEPTH_TEST);
    expectNoGlError();
}

} // namespace
