// Cg programs translated, compiled by the driver and drawn: each test reads back
// the colour Cg's meaning of the program gives.
#include "tests/support/GlTest.h"

#include "platform/Gl.h"
#include "platform/GlState.h"
#include "resources/CgProgram.h"
#include "resources/ShaderContext.h"
#include "resources/Texture.h"

#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

// The three program texts the engine holds itself, character for character.
std::string defaultMaterialSource() {
    return "sampler2D diffuseMap; struct v2f { float4 pos: POSITION; float2 tc: TEXCOORD; }; "
           "\t\t\tv2f vsMain(float4 pos: POSITION, float2 tc: TEXCOORD) { \t\t\tv2f o; o.pos = "
           "mul(glstate.matrix.mvp, pos); \t\t\to.tc = tc; return o; } \t\t\tfloat4 "
           "psMain(float2 tc: TEXCOORD): COLOR { return tex2D(diffuseMap, tc); }";
}

std::string blurSource() {
    std::string tabs(4, '\t');
    std::string s =
        tabs + "sampler2D tex; float2 direction = { 0, 1 }; float alpha; float gamma; " + tabs +
        "struct v2f { float4 pos: POSITION; float2 tc: TEXCOORD; };" + tabs +
        "v2f vsMain(float4 pos: POSITION, float2 tc: TEXCOORD) { v2f o; o.pos = pos; "
        "o.tc = tc; return o; }" +
        tabs + "float4 psMain(float2 tc: TEXCOORD): COLOR { float4 acc = float4(0,0,0,0);";
    for (int i = 1; i <= 4; ++i) {
        s += "acc += tex2D(tex, tc+direction*" + std::to_string(i) + ");";
        s += "acc += tex2D(tex, tc-direction*" + std::to_string(i) + ");";
    }
    s += "acc *= gamma * 0.125; return acc; }";
    return s;
}

std::string copySource() {
    std::string tabs(10, '\t');
    return "struct v2f { float4 pos: POSITION; float2 tc: TEXCOORD; }; " + tabs +
           "sampler2D texxx; " + tabs +
           "v2f vsMain(float4 pos: POSITION, float2 tc: TEXCOORD) { v2f o; o.pos = pos; o.tc = "
           "tc; return o; }" +
           tabs + "float4 psMain(v2f i): COLOR { return tex2D(texxx, i.tc); }";
}

// Passes clip-space positions and the first texture coordinate through.
const char* passThroughVertex =
    "void vsPass(float4 p : POSITION, float4 t : TEXCOORD0, float4 c : COLOR0,\n"
    "            out float4 op : POSITION, out float4 ot : TEXCOORD0, out float4 oc : COLOR0)\n"
    "{ op = p; ot = t; oc = c; }\n";

class CgRender : public GlTest {
protected:
    // One quad over the whole viewport in clip coordinates, texture coordinates
    // 0..1 on unit 0, white.
    void drawQuad() {
        static const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
        glBegin(GL_QUADS);
        for (const auto& c : corners) {
            glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
            glMultiTexCoord4f(GL_TEXTURE0, (c[0] + 1) * 0.5f, (c[1] + 1) * 0.5f, 0.0f, 1.0f);
            glVertex4f(c[0], c[1], 0.0f, 1.0f);
        }
        glEnd();
    }

    // Draws the quad with the pass-through vertex program and the fragment
    // entry psTest of the given text, returns the centre pixel.
    std::array<int, 4> shade(const std::string& fragmentSource) {
        std::string source = std::string(passThroughVertex) + fragmentSource;
        CgProgramPair pair(source.c_str(), "vsPass", "psTest", "test.cg");
        pair.bind();
        drawQuad();
        pair.unbind();
        disableFragmentPrograms();
        disableVertexPrograms();
        return pixel(400, 300);
    }

    std::unique_ptr<Texture> solidTexture(unsigned char r, unsigned char g, unsigned char b,
                                          unsigned char a = 255) {
        std::vector<unsigned char> pixels;
        for (int i = 0; i < 4; ++i) {
            pixels.insert(pixels.end(), {r, g, b, a});
        }
        return std::make_unique<Texture>(2, 2, pixels.data(), PixelKind::Rgba8,
                                         TextureFilter::Nearest);
    }
};

// Colours compared in 0..1 with a tolerance of two steps of eight bits.
void expectColor(const std::array<int, 4>& got, float r, float g, float b, float a) {
    const float want[4] = {r, g, b, a};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(got[static_cast<size_t>(i)], want[i] * 255.0f, 2.0f)
            << "component " << i << " of (" << got[0] << ", " << got[1] << ", " << got[2] << ", "
            << got[3] << ")";
    }
}

TEST_F(CgRender, BuiltInCopyProgramDrawsItsTexture) {
    auto texture = solidTexture(200, 100, 50);
    std::string source = copySource();
    CgProgramPair pair(source.c_str(), "vsMain", "psMain");
    pair.bind();
    pair.setTexture("texxx", texture.get());
    drawQuad();
    pair.disableTexture("texxx");
    pair.unbind();
    expectColor(pixel(400, 300), 200 / 255.0f, 100 / 255.0f, 50 / 255.0f, 1.0f);
    expectColor(pixel(2, 2), 200 / 255.0f, 100 / 255.0f, 50 / 255.0f, 1.0f);
}

TEST_F(CgRender, BuiltInMaterialProgramAppliesTheModelViewProjection) {
    auto texture = solidTexture(0, 255, 0);
    std::string source = defaultMaterialSource();
    CgProgramPair pair(source.c_str(), "vsMain", "psMain");
    // The quad shrinks to the right half's middle: x in [0.25, 0.75] of clip space.
    translate(0.5f, 0.0f, 0.0f);
    scale(0.25f, 0.25f, 1.0f);
    pair.bind();
    pair.setTexture("diffuseMap", texture.get());
    drawQuad();
    pair.disableTexture("diffuseMap");
    pair.unbind();
    expectColor(pixel(600, 300), 0, 1, 0, 1);
    expectColor(pixel(400, 300), 0, 0, 0, 0);
    expectColor(pixel(600, 450), 0, 0, 0, 0);
}

TEST_F(CgRender, BuiltInBlurProgramAveragesAndScalesByGamma) {
    ASSERT_EQ(blurSource().size(), 622u);
    auto texture = solidTexture(200, 100, 40);
    std::string source = blurSource();
    CgProgramPair pair(source.c_str(), "vsMain", "psMain");
    const float direction[4] = {0.01f, 0.0f, 0.0f, 0.0f};
    pair.bind();
    pair.setTexture("tex", texture.get());
    pair.set4fv("direction", direction);
    pair.set1f("gamma", 0.5f);
    pair.set1f("alpha", 1.0f); // declared, never read: skipped silently
    drawQuad();
    pair.disableTexture("tex");
    pair.unbind();
    expectColor(pixel(400, 300), 100 / 255.0f, 50 / 255.0f, 20 / 255.0f, 0.5f);
}

} // namespace
