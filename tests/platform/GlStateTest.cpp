// The GL helpers: what state each leaves behind, read back from GL.
#include "platform/GlState.h"
#include "platform/EngineError.h"
#include "platform/Gl.h"
#include "platform/GlWindow.h"
#include "platform/RenderTarget.h"
#include "platform/ShaderContext.h"
#include "platform/Texture.h"
#include "support/GlTest.h"

#include <array>
#include <cmath>
#include <vector>

namespace {

class GlStateTest : public GlTest {
protected:
    GLint integer(GLenum name) {
        GLint value = 0;
        glGetIntegerv(name, &value);
        return value;
    }
    GLfloat real(GLenum name) {
        GLfloat value = 0;
        glGetFloatv(name, &value);
        return value;
    }
    void drawQuad(bool counterClockwise) {
        glBegin(GL_QUADS);
        if (counterClockwise) {
            glVertex2f(-1, -1), glVertex2f(1, -1), glVertex2f(1, 1), glVertex2f(-1, 1);
        } else {
            glVertex2f(-1, -1), glVertex2f(-1, 1), glVertex2f(1, 1), glVertex2f(1, -1);
        }
        glEnd();
    }
};

const GLenum listedCaps[] = {GL_BLEND,     GL_DEPTH_TEST, GL_ALPHA_TEST,  GL_STENCIL_TEST,
                             GL_CULL_FACE, GL_NORMALIZE,  GL_LINE_SMOOTH, GL_POINT_SMOOTH};

TEST_F(GlStateTest, StateCodesMapToTheirCapabilitiesAndUnknownCodesDoNothing) {
    const int codes[] = {0, 1, 2, 3, 5, 6, 7, 8};
    for (int i = 0; i < 8; ++i) {
        disableState(codes[i]);
        EXPECT_FALSE(glIsEnabled(listedCaps[i])) << "code " << codes[i];
        enableState(codes[i]);
        EXPECT_TRUE(glIsEnabled(listedCaps[i])) << "code " << codes[i];
    }
    for (int code : {4, 9, -1, 100}) {
        for (GLenum cap : listedCaps) {
            disableState(0), disableState(1);
            bool before = glIsEnabled(cap);
            enableState(code);
            disableState(code == 4 ? 9 : code);
            EXPECT_EQ(glIsEnabled(cap), before);
        }
    }
}

TEST_F(GlStateTest, CodeTablesRejectUnknownCodes) {
    blendFunction(BlendFactor::DstAlpha, BlendFactor::OneMinusDstColor);
    EXPECT_EQ(integer(GL_BLEND_SRC), GL_DST_ALPHA);
    EXPECT_EQ(integer(GL_BLEND_DST), GL_ONE_MINUS_DST_COLOR);
    depthFunction(CompareFunc::GreaterEqual);
    EXPECT_EQ(integer(GL_DEPTH_FUNC), GL_GEQUAL);
    alphaFunction(CompareFunc::Never, 0.25f);
    EXPECT_EQ(integer(GL_ALPHA_TEST_FUNC), GL_NEVER);
    EXPECT_FLOAT_EQ(real(GL_ALPHA_TEST_REF), 0.25f);

    EXPECT_THROW(blendFunction(10, 0), EngineError);
    EXPECT_THROW(depthFunction(7), EngineError);
    EXPECT_THROW(glStencilAction(5), EngineError);
    EXPECT_THROW(beginPrimitive(4), EngineError);
    EXPECT_THROW(glCompareFunc(-1), EngineError);
    EXPECT_EQ(glStencilAction(StencilAction::Decrement), static_cast<unsigned>(GL_DECR));
}

TEST_F(GlStateTest, EveryCullCodeCullsFrontFaces) {
    for (int code : {0, 1, 2}) {
        glCullFace(GL_BACK);
        cullFace(code);
        EXPECT_EQ(integer(GL_CULL_FACE_MODE), GL_FRONT);
    }
    glCullFace(GL_BACK);
    cullFace(3);
    EXPECT_EQ(integer(GL_CULL_FACE_MODE), GL_BACK);

    // Code 1 then a draw: the counter-clockwise (front-facing) quad disappears.
    cullFace(1);
    enableState(StateCap::CullFace);
    disableState(StateCap::DepthTest);
    drawQuad(true);
    EXPECT_EQ(pixel(400, 300)[0], 0);
    drawQuad(false);
    EXPECT_EQ(pixel(400, 300)[0], 255);
}

TEST_F(GlStateTest, ResetStatePutsTheEngineDefaultsBack) {
    for (GLenum cap : listedCaps) {
        glEnable(cap);
    }
    glDisable(GL_DEPTH_TEST);
    glBlendFunc(GL_ONE, GL_ONE);
    glAlphaFunc(GL_ALWAYS, 0.0f);
    glStencilFunc(GL_ALWAYS, 3, 1);
    glStencilOp(GL_ZERO, GL_ZERO, GL_ZERO);
    glColorMask(GL_FALSE, GL_FALSE, GL_TRUE, GL_FALSE);
    glDepthMask(GL_FALSE);
    glPointSize(4.0f);
    glLineWidth(3.0f);
    glCullFace(GL_BACK);
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);

    resetState();
    for (GLenum cap : listedCaps) {
        EXPECT_EQ(glIsEnabled(cap), cap == GL_DEPTH_TEST) << cap;
    }
    EXPECT_EQ(integer(GL_BLEND_SRC), GL_SRC_ALPHA);
    EXPECT_EQ(integer(GL_BLEND_DST), GL_ONE_MINUS_SRC_ALPHA);
    EXPECT_EQ(integer(GL_ALPHA_TEST_FUNC), GL_LESS);
    EXPECT_FLOAT_EQ(real(GL_ALPHA_TEST_REF), 0.5f);
    EXPECT_EQ(integer(GL_STENCIL_FUNC), GL_LESS);
    EXPECT_EQ(integer(GL_STENCIL_REF), 0);
    EXPECT_EQ(integer(GL_STENCIL_VALUE_MASK) & 0xff, 0xff);
    EXPECT_EQ(integer(GL_STENCIL_FAIL), GL_KEEP);
    EXPECT_EQ(integer(GL_STENCIL_PASS_DEPTH_FAIL), GL_KEEP);
    EXPECT_EQ(integer(GL_STENCIL_PASS_DEPTH_PASS), GL_REPLACE);
    GLboolean mask[4];
    glGetBooleanv(GL_COLOR_WRITEMASK, mask);
    EXPECT_TRUE(mask[0] && mask[1] && mask[2] && mask[3]);
    EXPECT_EQ(integer(GL_DEPTH_WRITEMASK), GL_TRUE);
    EXPECT_FLOAT_EQ(real(GL_POINT_SIZE), 1.0f);
    EXPECT_FLOAT_EQ(real(GL_LINE_WIDTH), 1.0f);
    EXPECT_EQ(integer(GL_CULL_FACE_MODE), GL_FRONT);
    GLint modes[2];
    glGetIntegerv(GL_POLYGON_MODE, modes);
    EXPECT_EQ(modes[0], GL_FILL);
    EXPECT_EQ(modes[1], GL_FILL);
}

TEST_F(GlStateTest, MatrixHelpersLeaveTheirModeCurrent) {
    perspective(45.0f, 1.3333f, 1.0f, 1000.0f);
    EXPECT_EQ(integer(GL_MATRIX_MODE), GL_PROJECTION);
    float p[16];
    glGetFloatv(GL_PROJECTION_MATRIX, p);
    EXPECT_NEAR(p[5], 1.0 / std::tan(22.5 * M_PI / 180.0), 1e-5);

    lookAt(0, 0, 10, 0, 0, 0, 0, 1, 0);
    EXPECT_EQ(integer(GL_MATRIX_MODE), GL_MODELVIEW);
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_FLOAT_EQ(m[14], -10.0f);

    projectionIdentity();
    EXPECT_EQ(integer(GL_MATRIX_MODE), GL_PROJECTION);
    translate(1, 2, 3);
    EXPECT_EQ(integer(GL_MATRIX_MODE), GL_MODELVIEW);
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_FLOAT_EQ(m[12], 1.0f);
    EXPECT_FLOAT_EQ(m[14], -7.0f);

    pushMatrix();
    scale(2, 2, 2);
    rotate(90, 0, 0, 1);
    popMatrix();
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_FLOAT_EQ(m[0], 1.0f);
    EXPECT_EQ(integer(GL_MATRIX_MODE), GL_MODELVIEW);
}

// Matrices worked out by hand, column-major as GL stores them.
TEST_F(GlStateTest, MatrixHelpersBuildTheMatricesTheirArgumentsName) {
    auto modelview = [] {
        std::array<float, 16> m;
        glGetFloatv(GL_MODELVIEW_MATRIX, m.data());
        return m;
    };
    auto expectMatrix = [](const std::array<float, 16>& got, const std::array<float, 16>& want) {
        for (int k = 0; k < 16; ++k) {
            EXPECT_NEAR(got[k], want[k], 1e-6f) << "entry " << k;
        }
    };

    // A quarter turn about z takes x to y and y to -x.
    modelviewIdentity();
    rotate(90, 0, 0, 1);
    expectMatrix(modelview(), {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
    // About x: y to z and z to -y.
    modelviewIdentity();
    rotate(90, 1, 0, 0);
    expectMatrix(modelview(), {1, 0, 0, 0, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1});
    // Scale, then a quarter turn about z: x goes to y, then grows by 3.
    modelviewIdentity();
    scale(2, 3, 4);
    rotate(90, 0, 0, 1);
    expectMatrix(modelview(), {0, 3, 0, 0, -2, 0, 0, 0, 0, 0, 4, 0, 0, 0, 0, 1});

    // 60 degrees, aspect 2, near 1, far 11: f = 1 / tan(30 degrees) = 1.7320508.
    perspective(60.0f, 2.0f, 1.0f, 11.0f);
    std::array<float, 16> p;
    glGetFloatv(GL_PROJECTION_MATRIX, p.data());
    expectMatrix(p, {0.8660254f, 0, 0, 0, 0, 1.7320508f, 0, 0, 0, 0, -1.2f, -1, 0, 0, -2.2f, 0});
}

TEST_F(GlStateTest, ClearClearsOnlyTheBuffersAsked) {
    clear(1.0f, 0.0f, 0.0f, 1.0f, true, false, false);
    EXPECT_EQ(pixel(0, 0)[0], 255);
    clear(0.0f, 1.0f, 0.0f, 1.0f, false, true, true);
    EXPECT_EQ(pixel(0, 0)[0], 255);
    EXPECT_EQ(pixel(0, 0)[1], 0);
}

TEST_F(GlStateTest, VertexAttributesReachTheirArrays) {
    vertexAttribute(AttributeCode::Normal, 0.25f, 0.5f, 0.75f, 9.0f);
    float normal[4] = {0, 0, 0, 0};
    glGetFloatv(GL_CURRENT_NORMAL, normal);
    EXPECT_FLOAT_EQ(normal[0], 0.25f);
    EXPECT_FLOAT_EQ(normal[2], 0.75f);

    vertexAttribute(AttributeCode::Color, 0.1f, 0.2f, 0.3f, 0.4f);
    float colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[3], 0.4f);

    // Codes 2 to 9 are the texture units 0 to 7.
    glActiveTexture(GL_TEXTURE3);
    vertexAttribute(5, 0.5f, 0.25f, 0.0f, 1.0f);
    float coords[4];
    glGetFloatv(GL_CURRENT_TEXTURE_COORDS, coords);
    EXPECT_FLOAT_EQ(coords[0], 0.5f);
    glActiveTexture(GL_TEXTURE0);

    // Codes outside the table change nothing.
    vertexAttribute(12, 9.0f, 9.0f, 9.0f, 9.0f);
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[0], 0.1f);
}

TEST_F(GlStateTest, RenderTargetRestoresViewportAndWindowFramebuffer) {
    viewport(10, 20, 300, 200);
    RenderTarget target(64, 32, true, true);
    GLint view[4];
    glGetIntegerv(GL_VIEWPORT, view);
    EXPECT_EQ(view[2], 300);
    EXPECT_EQ(integer(GL_FRAMEBUFFER_BINDING), 0);
    ASSERT_NE(target.colour[0], nullptr);
    ASSERT_NE(target.depth, nullptr);
    EXPECT_EQ(target.colour[0]->pixelKind, PixelKind::Rgba8);

    target.bind();
    EXPECT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER),
              static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE));
    glGetIntegerv(GL_VIEWPORT, view);
    EXPECT_EQ(view[2], 64);
    EXPECT_EQ(view[3], 32);
    clear(0.0f, 0.0f, 1.0f, 1.0f, true, true, false);
    EXPECT_EQ(pixel(63, 31)[2], 255);
    target.unbind();

    glGetIntegerv(GL_VIEWPORT, view);
    EXPECT_EQ(view[0], 10);
    EXPECT_EQ(view[1], 20);
    EXPECT_EQ(view[2], 300);
    EXPECT_EQ(view[3], 200);
    EXPECT_EQ(integer(GL_FRAMEBUFFER_BINDING), 0);
    // The window's own picture was not touched.
    EXPECT_EQ(pixel(5, 5)[2], 0);

    target.bind();
    bindWindowTarget();
    glGetIntegerv(GL_VIEWPORT, view);
    EXPECT_EQ(view[2], 800);
    EXPECT_EQ(view[3], 600);
    EXPECT_EQ(integer(GL_FRAMEBUFFER_BINDING), 0);
}

TEST_F(GlStateTest, BillboardQuadFacesTheCamera) {
    perspective(60.0f, 800.0f / 600.0f, 0.1f, 100.0f);
    // Looking along -y from y = 10: a quad in the xz plane would be invisible;
    // the billboard turns to the camera.
    lookAt(0, 10, 0, 0, 0, 0, 0, 0, 1);
    disableState(StateCap::DepthTest);
    glColor3f(1, 1, 1);
    billboardQuad(0, 0, 0, 1.0f);
    EXPECT_EQ(pixel(400, 300)[0], 255);
    EXPECT_EQ(pixel(10, 10)[0], 0);
}

TEST_F(GlStateTest, DisablingProgramProfilesLeavesFixedFunction) {
    ShaderContext* context = ShaderContext::current();
    ASSERT_NE(context, nullptr);
    context->enableProfile(ShaderProfile::Vertex);
    context->enableProfile(ShaderProfile::Fragment);
    disableFragmentPrograms();
    disableVertexPrograms();
    EXPECT_FALSE(context->profileEnabled(ShaderProfile::Vertex));
    EXPECT_FALSE(context->profileEnabled(ShaderProfile::Fragment));
    EXPECT_EQ(integer(GL_PROGRAM_PIPELINE_BINDING), 0);
    EXPECT_EQ(integer(GL_CURRENT_PROGRAM), 0);
}

TEST_F(GlStateTest, TexturesFromSizeHoldZerosOrNothing) {
    Texture floats(4, 4, nullptr, PixelKind::Rgba32F, TextureFilter::Nearest);
    float texels[4 * 4 * 4];
    for (float& t : texels) {
        t = 1.0f;
    }
    glBindTexture(GL_TEXTURE_2D, floats.textureName);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_FLOAT, texels);
    for (float t : texels) {
        EXPECT_EQ(t, 0.0f);
    }
    GLint internal = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &internal);
    EXPECT_EQ(internal, GL_RGBA32F);

    // A 3-pixel-wide RGB row is 9 bytes: rows must be read as packed.
    const unsigned char rgb[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
    Texture narrow(3, 2, rgb, PixelKind::Rgb8, TextureFilter::Linear);
    unsigned char back[18] = {};
    glBindTexture(GL_TEXTURE_2D, narrow.textureName);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, back);
    EXPECT_EQ(std::vector<unsigned char>(back, back + 18),
              std::vector<unsigned char>(rgb, rgb + 18));

    GLint wrap = 0;
    narrow.setWrap(1);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap);
    EXPECT_EQ(wrap, GL_CLAMP);
    narrow.setWrap(2);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrap);
    EXPECT_EQ(wrap, GL_REPEAT);
    EXPECT_EQ(integer(GL_UNPACK_ALIGNMENT), 4);
}

} // namespace
