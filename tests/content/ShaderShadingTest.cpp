#include "GeneratedFolder.h"

#include "platform/Gl.h"
#include "platform/GlWindow.h"
#include "platform/ShaderContext.h"
#include "platform/Texture.h"
#include "resources/CgProgram.h"
#include "resources/Image.h"
#include "support/GlTest.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Draws with the generated shader files and looks at where and what they draw.
class ShaderShading : public GlTest {
protected:
    std::string source(const char* file) {
        const std::vector<unsigned char> bytes = readFileBytes(generatedFolder().path + "/" + file);
        return std::string(bytes.begin(), bytes.end());
    }
    void TearDown() override {
        ShaderContext::current()->disableProfile(ShaderProfile::Fragment);
        ShaderContext::current()->disableProfile(ShaderProfile::Vertex);
        GlTest::TearDown();
    }
    // Lit pixels' bounding box, in window pixels.
    struct Box {
        int left = 1 << 30, right = -1, bottom = 1 << 30, top = -1;
    };
    Box litBox() {
        Box box;
        for (int y = 0; y < window().height; y += 2)
            for (int x = 0; x < window().width; x += 2)
                if (pixel(x, y)[1] > 128) {
                    box.left = std::min(box.left, x);
                    box.right = std::max(box.right, x);
                    box.bottom = std::min(box.bottom, y);
                    box.top = std::max(box.top, y);
                }
        return box;
    }
};

const unsigned char kWhite[4] = {255, 255, 255, 255};

// Billboards add their corners (3 s, 4 s) after projection: on a 4:3 screen the
// sprite is square and centred on its centre's projection, whatever the view.
TEST_F(ShaderShading, BillboardIsSquareAndCentredOnScreen) {
    ASSERT_EQ(generatedFolder().exitStatus, 0);
    const std::string text = source("data/LumoraShaders.cg");
    CgProgramPair program(text.c_str(), "vsBillboard", "psPlainColored", "data/LumoraShaders.cg");
    Texture white(1, 1, kWhite, PixelKind::Rgba8, TextureFilter::Nearest);

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(60.0, 4.0 / 3.0, 1.0, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(30, -40, -20, 0, 0, 0, 0, 0, -1);
    program.bind();
    program.setTexture("tex0", &white);
    const float s = 5.0f;
    const float corners[4][3] = {
        {-3 * s, -4 * s, 0}, {3 * s, -4 * s, 1}, {3 * s, 4 * s, 1}, {-3 * s, 4 * s, 0}};
    glBegin(GL_QUADS);
    for (const auto& c : corners) {
        glColor4f(1, 1, 1, 1);
        glMultiTexCoord2f(GL_TEXTURE0, c[2], c[1] > 0 ? 0.0f : 1.0f);
        glNormal3f(c[0], c[1], c[2]);
        glVertex3f(0, 0, 0);
    }
    glEnd();
    program.disableTexture("tex0");
    program.unbind();
    expectNoGlError();

    const Box box = litBox();
    ASSERT_GE(box.right, 0) << "nothing drawn";
    const int width = box.right - box.left, height = box.top - box.bottom;
    EXPECT_NEAR(width, height, 4 + width / 20);
    EXPECT_NEAR((box.left + box.right) / 2, window().width / 2, 4);
    EXPECT_NEAR((box.bottom + box.top) / 2, window().height / 2, 4);
}

// Flare sprites arrive in normalised device coordinates and must land there.
TEST_F(ShaderShading, FlareSpritesStayWhereTheyArePlaced) {
    ASSERT_EQ(generatedFolder().exitStatus, 0);
    const std::string text = source("data/lensFlare.cg");
    CgProgramPair program(text.c_str(), "vsMain", "psMain", "data/lensFlare.cg");
    Texture white(1, 1, kWhite, PixelKind::Rgba8, TextureFilter::Nearest);

    // Whatever the owner left loaded must not move them.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, 4.0 / 3.0, 1.0, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(10, 10, -10, 0, 0, 0, 0, 0, -1);
    program.bind();
    program.setTexture("tex", &white);
    glBegin(GL_QUADS);
    glColor4f(1, 1, 1, 1);
    const float quad[4][2] = {{0.4f, 0.4f}, {0.6f, 0.4f}, {0.6f, 0.6f}, {0.4f, 0.6f}};
    for (const auto& q : quad) {
        glMultiTexCoord2f(GL_TEXTURE0, q[0], q[1]);
        glVertex4f(q[0], q[1], 0, 1);
    }
    glEnd();
    program.disableTexture("tex");
    program.unbind();
    expectNoGlError();

    const Box box = litBox();
    ASSERT_GE(box.right, 0) << "nothing drawn";
    EXPECT_NEAR(box.left, window().width * 0.7, 3);
    EXPECT_NEAR(box.right, window().width * 0.8, 3);
    EXPECT_NEAR(box.bottom, window().height * 0.7, 3);
    EXPECT_NEAR(box.top, window().height * 0.8, 3);
}

// The sea reflects its sky more at grazing angles than straight down, and
// looks like water (blue over red) under the camera.
TEST_F(ShaderShading, SeaReflectsMoreTowardsTheHorizon) {
    ASSERT_EQ(generatedFolder().exitStatus, 0);
    const std::string text = source("data/meridian.cg");
    CgProgramPair program(text.c_str(), "vsOcean", "psOcean", "data/meridian.cg");
    Image sky(generatedFolder().path + "/data/flare/bgenv.jpg");
    Image waves(generatedFolder().path + "/data/waterbump.jpg");
    makeNormalMap(waves);
    Texture skyTexture(sky, TextureFilter::Mipmapped);
    Texture waveTexture(waves, TextureFilter::Mipmapped);

    const float eye[4] = {100, 190, -20, 100};
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, 4.0 / 3.0, 1.0, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(eye[0], eye[1], eye[2], 100, 60, -2, 0, 0, -1);
    glEnable(GL_DEPTH_TEST);
    program.bind();
    program.set1f("time", 3.0f);
    program.setTexture("tex0", &skyTexture);
    program.setTexture("tex1", &waveTexture);
    program.set4fv("camPos", eye);
    // A calm sea as the ocean hands it over: normals (dx, dy, 1) of a flat grid.
    glBegin(GL_QUADS);
    for (int i = 0; i < 199; i += 3)
        for (int j = 0; j < 199; j += 3) {
            const int corners[4][2] = {{j, i}, {j + 3, i}, {j + 3, i + 3}, {j, i + 3}};
            for (const auto& c : corners) {
                glNormal3f(0, 0, 1);
                glVertex3f(c[0], c[1], 0);
            }
        }
    glEnd();
    program.disableTexture("tex0");
    program.disableTexture("tex1");
    program.unbind();
    expectNoGlError();

    const auto near = pixel(window().width / 2, 2);
    // Find the horizon: the highest row the sea covers in the middle column.
    int horizon = 0;
    for (int y = 0; y < window().height; ++y) {
        const auto p = pixel(window().width / 2, y);
        if (p[0] + p[1] + p[2] > 0)
            horizon = y;
    }
    ASSERT_GT(horizon, window().height / 4);
    const auto far = pixel(window().width / 2, horizon - 6);
    EXPECT_GT(near[2], near[0]) << "deep water is blue";
    EXPECT_GT(near[2], 10) << "the sea is not black";
    EXPECT_GT(far[0] + far[1] + far[2], near[0] + near[1] + near[2] + 30)
        << "no stronger reflection towards the horizon";
}

} // namespace
