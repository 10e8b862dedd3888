// Camera-facing sprites: the vertex layout the "vsBillboard" program relies on,
// the setters' bounds, and sprites drawn where their centres project.
#include "effects/Billboards.h"
#include "core/Demo.h"
#include "platform/EngineError.h"
#include "platform/Gl.h"
#include "platform/GlState.h"
#include "platform/Texture.h"
#include "resources/CgProgram.h"
#include "resources/Geometry.h"
#include "support/GlTest.h"

#include <vector>

namespace {

class BillboardsTest : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        demo.window = &window();
        demo.verbose = false;
        sprites = new Billboards(&demo);
    }

    const float* vertex(int i) const { return sprites->vertices->data + 11 * i; }

    Demo demo;
    Billboards* sprites = nullptr;
};

TEST_F(BillboardsTest, ResizeLaysOutEveryQuadAtTheOriginWithThreeByFourCorners) {
    sprites->resize(3, 2.0f);
    sprites->setPosition(1, 5, 6, 7);
    sprites->resize(2, 0.5f); // resets what was set before
    ASSERT_EQ(sprites->vertices->vertexCount, 8);
    const float expected[4][4] = {
        {-1.5f, -2.0f, 0, 1}, {1.5f, -2.0f, 1, 1}, {1.5f, 2.0f, 1, 0}, {-1.5f, 2.0f, 0, 0}};
    for (int b = 0; b < 2; ++b) {
        for (int k = 0; k < 4; ++k) {
            const float* v = vertex(4 * b + k);
            EXPECT_EQ(std::vector<float>(v, v + 3), std::vector<float>(3, 0.0f));
            EXPECT_EQ(std::vector<float>(v + 3, v + 7),
                      std::vector<float>(expected[k], expected[k] + 4))
                << "billboard " << b << " corner " << k;
            EXPECT_EQ(std::vector<float>(v + 7, v + 11), std::vector<float>(4, 1.0f));
        }
    }
}

TEST_F(BillboardsTest, SettersChangeOnlyTheirBillboardAndTheirAttribute) {
    sprites->resize(3, 1.0f);
    sprites->setPosition(1, 1, 2, 3);
    sprites->setColour(1, 0.1f, 0.2f, 0.3f, 0.4f);
    sprites->setSize(1, 10.0f);
    for (int k = 0; k < 4; ++k) {
        const float* v = vertex(4 + k);
        EXPECT_EQ(std::vector<float>(v, v + 3), (std::vector<float>{1, 2, 3}));
        EXPECT_FLOAT_EQ(v[3], k == 0 || k == 3 ? -30.0f : 30.0f);
        EXPECT_FLOAT_EQ(v[4], k < 2 ? -40.0f : 40.0f);
        EXPECT_EQ(std::vector<float>(v + 7, v + 11), (std::vector<float>{0.1f, 0.2f, 0.3f, 0.4f}));
    }
    // Neighbours keep the values of the resize.
    for (int i : {0, 1, 2, 3, 8, 9, 10, 11}) {
        EXPECT_EQ(vertex(i)[0], 0.0f);
        EXPECT_EQ(std::abs(vertex(i)[3]), 3.0f);
        EXPECT_EQ(vertex(i)[10], 1.0f);
    }
}

TEST_F(BillboardsTest, AnIndexOutsideTheSetIsAnEngineErrorAndWritesNothing) {
    sprites->resize(2, 1.0f);
    const std::vector<float> before(sprites->vertices->data, sprites->vertices->data + 88);
    EXPECT_THROW(sprites->setPosition(2, 1, 1, 1), EngineError);
    EXPECT_THROW(sprites->setSize(-1, 3), EngineError);
    EXPECT_THROW(sprites->setColour(100, 1, 1, 1, 1), EngineError);
    EXPECT_EQ(std::vector<float>(sprites->vertices->data, sprites->vertices->data + 88), before);
}

TEST_F(BillboardsTest, SpritesFaceTheCameraWhereTheirCentresProject) {
    std::vector<unsigned char> white(4 * 4 * 4, 255);
    Texture texture(4, 4, white.data(), PixelKind::Rgba8, TextureFilter::Linear);
    sprites->resize(2, 0.25f);
    sprites->setPosition(0, -2, 0, 0);
    sprites->setColour(0, 1, 0, 0, 1);
    sprites->setPosition(1, 2, 0, 0);
    sprites->setColour(1, 0, 1, 0, 1);

    // Looking down -z from z = 10 with y up: x grows to the right on screen.
    demo.controllerValues[0] = Vec3(0, 0, 10);
    demo.controllerValues[1] = Vec3(0, 0, 0);
    demo.controllerValues[2] = Vec3(0, 1, 0);
    perspective(60.0f, 1.33333f, 1.0f, 100.0f);
    demo.applyCamera();
    sprites->program->bind();
    sprites->program->setTexture("tex0", &texture);
    sprites->render();
    sprites->program->disableTexture("tex0");
    sprites->program->unbind();
    expectNoGlError();

    // x = +-2 at distance 10 under 60 degrees lands 0.2598 of the half width
    // from the centre: pixel 400 -+ 104. The corners (0.75, 1) are added in clip
    // space and divided by w = 10 with the centre: half extents of 30 pixels.
    EXPECT_EQ(pixel(296, 300)[0], 255);
    EXPECT_EQ(pixel(296, 300)[1], 0);
    EXPECT_EQ(pixel(504, 300)[1], 255);
    EXPECT_EQ(pixel(504, 300)[0], 0);
    EXPECT_EQ(pixel(296 + 18, 300 + 18)[0], 255);
    EXPECT_EQ(pixel(296 + 35, 300)[0], 0);
    EXPECT_EQ(pixel(504, 300 + 35)[1], 0);
    EXPECT_EQ(pixel(400, 300)[1], 0);
}

} // namespace
