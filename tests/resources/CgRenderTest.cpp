// Cg programs translated, compiled by the driver and drawn: each test reads back
// the colour Cg's meaning of the program gives.
#include "tests/support/CgDrawing.h"

#include "platform/Gl.h"
#include "platform/GlState.h"
#include "platform/ShaderContext.h"
#include "platform/Texture.h"
#include "resources/CgProgram.h"

#include "resources/cg/Translator.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
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

using CgRender = CgDrawTest;

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

// The Cg matrix the tests multiply with: rows as written.
const char* matrixHeader = "static const float4x4 M = float4x4(0.1, 0.2, 0.0, 0.0,\n"
                           "                                   0.0, 0.0, 0.3, 0.0,\n"
                           "                                   0.0, 0.5, 0.0, 0.0,\n"
                           "                                   0.0, 0.0, 0.0, 1.0);\n"
                           "static const float4 v = float4(1.0, 0.5, 0.25, 1.0);\n";

std::string matrixTest(const std::string& body) {
    return std::string(matrixHeader) + "float4 psTest() : COLOR { " + body + " }\n";
}

TEST_F(CgRender, MatrixProductsKeepTheirRowMajorMeaning) {
    // mul(M, v) takes dot products with the rows; mul(v, M) sums the rows.
    expectColor(shade(matrixTest("return mul(M, v);")), 0.2f, 0.075f, 0.25f, 1.0f);
    expectColor(shade(matrixTest("return mul(v, M);")), 0.1f, 0.325f, 0.15f, 1.0f);
    // M[i] is a row and M[i][j] an element of it, as are _m01 and _12 (one-based).
    expectColor(shade(matrixTest("return M[1] + float4(0, 0, 0, 1);")), 0.0f, 0.0f, 0.3f, 1.0f);
    expectColor(shade(matrixTest("return float4(M[2][1], M._m01, M._12, M._44);")), 0.5f, 0.2f,
                0.2f, 1.0f);
    // mul(A, B) is the product in that order: row 0 of M.S differs from row 0 of S.M.
    const char* swapYz =
        "float4x4 S = float4x4(1, 0, 0, 0,  0, 0, 1, 0,  0, 1, 0, 0,  0, 0, 0, 1);";
    expectColor(
        shade(matrixTest(std::string(swapYz) + "return mul(M, S)[0] + float4(0, 0, 0, 1);")), 0.1f,
        0.0f, 0.2f, 1.0f);
    expectColor(
        shade(matrixTest(std::string(swapYz) + "return mul(S, M)[2] + float4(0, 0, 0, 1);")), 0.0f,
        0.0f, 0.3f, 1.0f);
}

TEST_F(CgRender, MatrixCastsConstructorsAndNonSquareShapes) {
    expectColor(shade(matrixTest("return float4(mul((float3x3)M, float3(1, 0.5, 0.25)), 1);")),
                0.2f, 0.075f, 0.25f, 1.0f);
    // Two rows of three: mul(N, x) has two components, mul(y, N) three.
    const char* n = "float2x3 N = float2x3(0.1, 0.2, 0.3,  0.4, 0.5, 0.6);";
    expectColor(shade(matrixTest(std::string(n) + "return float4(mul(N, float3(1, 0, 1)), 0, 1);")),
                0.4f, 1.0f, 0.0f, 1.0f);
    expectColor(shade(matrixTest(std::string(n) + "return float4(mul(float2(1, 1), N), 1);")), 0.5f,
                0.7f, 0.9f, 1.0f);
    // Rows given as vectors, a brace list and transpose.
    expectColor(shade(matrixTest("float2x2 R = float2x2(float2(0.1, 0.2), float2(0.3, 0.4));"
                                 "float2x2 B = { 0.1, 0.2, 0.3, 0.4 };"
                                 "float2x2 T = transpose(R);"
                                 "return float4(R[1], T[0][1], B[0][1]);")),
                0.3f, 0.4f, 0.3f, 0.2f);
    // Matrices multiply per element with *; a scalar fills every element.
    expectColor(shade(matrixTest("float2x2 R = float2x2(0.5, 0.6, 0.7, 0.8);"
                                 "float2x2 H = 0.5;"
                                 "float2x2 P = R * H;"
                                 "return float4(P[0], P[1]);")),
                0.25f, 0.3f, 0.35f, 0.4f);
}

TEST_F(CgRender, SwizzlesAndWriteMasks) {
    expectColor(shade("float4 psTest() : COLOR {\n"
                      "    float4 c = float4(0.1, 0.2, 0.3, 0.4);\n"
                      "    float4 d = 0;\n"
                      "    d.wx = c.yz;\n"
                      "    d.yz = c.xx * 2;\n"
                      "    d.z += c.a;\n"
                      "    return d.xyzw.rgba;\n"
                      "}\n"),
                0.3f, 0.2f, 0.6f, 0.2f);
    expectColor(shade("float4 psTest() : COLOR {\n"
                      "    float s = 0.5;\n"
                      "    float3 t = s.xxx;\n"
                      "    float4 u = float4(0.9, 0.8, 0.7, 0.6);\n"
                      "    u.rg = u.gr;\n"
                      "    return float4(t.x, u.wzy);\n"
                      "}\n"),
                0.5f, 0.6f, 0.7f, 0.9f);
}

TEST_F(CgRender, LanguageBreadthInOneProgram) {
    // Macros, static arrays, overloads, out and inout parameters, loops, struct
    // locals, per-component ?:, bool vectors with any/all, int division, half.
    expectColor(
        shade(
            "#define SCALE(x) ((x) * 0.5)\n"
            "#define USE_WEIGHTS\n"
            "static const float weights[3] = { 0.25, 0.5, 0.25 };\n"
            "struct Pair { float a; float2 b; };\n"
            "float twice(float x) { return x * 2; }\n"
            "float2 twice(float2 x) { return x * 3; }\n"
            "void split(float4 v, out float first, inout float2 rest) { first = v.x; rest += "
            "v.yz; }\n"
            "float4 psTest(float4 t : TEXCOORD0) : COLOR {\n"
            "    float sum = 0;\n"
            "#ifdef USE_WEIGHTS\n"
            "    for (int i = 0; i < 3; i++) sum += weights[i];\n"
            "#else\n"
            "    sum = 7;\n"
            "#endif\n"
            "    Pair p;\n"
            "    p.a = SCALE(sum);\n"
            "    p.b = twice(float2(0.1, 0.05));\n"
            "    float first;\n"
            "    float2 rest = float2(0.1, 0.1);\n"
            "    split(float4(0.2, 0.1, 0.2, 0), first, rest);\n"
            "    float3 m = float3(1, 2, 3) > float3(2, 2, 2) ? float3(0.1, 0.1, 0.1) : "
            "float3(0.2, 0.2, 0.2);\n"
            "    bool3 cmp = float3(1, 2, 3) == float3(1, 0, 3);\n"
            "    float anyAll = (any(cmp) ? 0.5 : 0) + (all(cmp) ? 0.25 : 0);\n"
            "    int k = 7;\n"
            "    k = k / 2;\n"
            "    float fk = k;\n"
            "    half h = (half)twice(0.125h);\n"
            "    int n = 0;\n"
            "    while (true) { n++; if (n >= 4) break; }\n"
            "    do { n += 1; } while (n < 6);\n"
            "    return float4(p.a * m.z + first, p.b.x + p.b.y + rest.x, anyAll * fk / 6.0 + h,\n"
            "                  m.x + m.y + (n - 6));\n"
            "}\n"),
        0.25f, 0.65f, 0.5f, 0.4f);
}

TEST_F(CgRender, FmodKeepsTheSignOfItsDividendAndFracIsXMinusFloor) {
    std::string source =
        std::string(passThroughVertex) +
        "uniform float x;\n"
        "float4 psTest() : COLOR {\n"
        "    return float4(-fmod(x, 1.0), frac(x), fmod(-x * 0.4, -0.3), -(x % 0.5));\n"
        "}\n";
    CgProgramPair pair(source.c_str(), "vsPass", "psTest");
    pair.bind();
    pair.set1f("x", -1.25f);
    drawQuad();
    pair.unbind();
    // C's fmod(-1.25, 1) is -0.25 (GLSL's mod would give 0.75); frac(-1.25) is 0.75.
    expectColor(pixel(400, 300), 0.25f, 0.75f, 0.2f, 0.25f);
}

TEST_F(CgRender, LibraryFunctionsKeepTheirCgMeaning) {
    // round takes halves to the even neighbour; lit gives (1, diffuse, specular, 1);
    // saturate clamps to 0..1; modf splits toward zero; log10, ldexp and lerp as named.
    expectColor(shade("uniform float h = 0.5;\n"
                      "float4 psTest() : COLOR {\n"
                      "    float r = round(2 + h) / 4 + round(1 + h) / 8;\n"
                      "    float g = (round(-1 - h) + 3) / 4;\n"
                      "    float b = lit(h, h, 2).z + saturate(-4) + lit(-h, h, 2).z;\n"
                      "    float whole;\n"
                      "    float part = modf(-2.75 + h * 0, whole);\n"
                      "    b += (part + 0.75) + (whole + 2) + ldexp(h, 2) - 2;\n"
                      "    return float4(r, g, b, lerp(0.2, log10(100) / 4, h) + 0.15);\n"
                      "}\n"),
                0.75f, 0.25f, 0.25f, 0.5f);
}

TEST_F(CgRender, CompoundAssignmentsAndGlobalsFollowCg) {
    // %= keeps C's sign, an int target truncates the float result, a matrix *=
    // multiplies per element; a static global may start from a parameter, and an
    // entry parameter may share a global's name.
    expectColor(shade("uniform float start = 0.2;\n"
                      "static float twiceStart = start * 2;\n"
                      "float4 psTest(uniform float start) : COLOR {\n"
                      "    int n = 7;\n"
                      "    n %= 4;\n"
                      "    n += 1.5;\n"
                      "    float f = -5.5;\n"
                      "    f %= 2;\n"
                      "    float2x2 k = float2x2(0.5, 0.5, 0.5, 0.5);\n"
                      "    k *= float2x2(0.2, 0.4, 0.6, 0.8);\n"
                      "    return float4(n / 8.0, -f / 3, k[1][0], twiceStart);\n"
                      "}\n"),
                0.5f, 0.5f, 0.3f, 0.4f);
}

TEST_F(CgRender, ClipDiscardsWhereAnyComponentIsNegative) {
    expectColor(shade("float4 psTest(float4 t : TEXCOORD0) : COLOR {\n"
                      "    clip(float2(1, t.x - 0.5));\n"
                      "    if (t.y > 0.75) discard;\n"
                      "    return float4(1, 1, 0, 1);\n"
                      "}\n"),
                1.0f, 1.0f, 0.0f, 1.0f);
    expectColor(pixel(600, 300), 1.0f, 1.0f, 0.0f, 1.0f);
    expectColor(pixel(200, 300), 0.0f, 0.0f, 0.0f, 0.0f);
    expectColor(pixel(600, 590), 0.0f, 0.0f, 0.0f, 0.0f);
}

TEST_F(CgRender, ProjectiveLookupsDivideByTheLastComponent) {
    // Left texel red, right texel blue: the divided coordinate picks the texel.
    const unsigned char pixels[] = {255, 0, 0, 255, 0, 0, 255, 255};
    Texture texture(2, 1, pixels, PixelKind::Rgba8, TextureFilter::Nearest);
    std::string source = std::string(passThroughVertex) +
                         "sampler2D tex;\n"
                         "float4 psTest() : COLOR {\n"
                         "    return tex2Dproj(tex, float4(1.5, 1.0, 0.0, 2.0)) * 0.5 +\n"
                         "           tex2Dproj(tex, float3(0.5, 0.5, 2.0)) * 0.5;\n"
                         "}\n";
    CgProgramPair pair(source.c_str(), "vsPass", "psTest");
    pair.bind();
    pair.setTexture("tex", &texture);
    drawQuad();
    pair.disableTexture("tex");
    pair.unbind();
    expectColor(pixel(400, 300), 0.5f, 0.0f, 0.5f, 1.0f);
}

TEST_F(CgRender, ParametersAreFoundByTheirCgNames) {
    // "input" is a GLSL reserved word and "count" an int: both still set by name.
    std::string source = std::string(passThroughVertex) +
                         "float4 input;\n"
                         "int count;\n"
                         "float4 psTest() : COLOR { return float4(input.xy, count / 4.0, 1); }\n";
    CgProgramPair pair(source.c_str(), "vsPass", "psTest");
    const float values[4] = {0.25f, 0.75f, 0.0f, 0.0f};
    pair.bind();
    pair.set4fv("input", values);
    pair.set1f("count", 3.0f);
    drawQuad();
    pair.unbind();
    expectColor(pixel(400, 300), 0.25f, 0.75f, 0.75f, 1.0f);
}

TEST_F(CgRender, ADestroyedProgramLeavesItsStage) {
    ShaderContext* shaders = ShaderContext::current();
    ASSERT_NE(shaders, nullptr);
    {
        CgProgram red("float4 psRed() : COLOR { return float4(1, 0, 0, 1); }", "psRed",
                      ShaderProfile::Fragment);
        red.bind();
        EXPECT_EQ(shaders->activeProgram(ShaderProfile::Fragment), red.program);
    }
    EXPECT_EQ(shaders->activeProgram(ShaderProfile::Fragment), 0u);
    // The fixed-function stage draws again.
    glColor4f(0.0f, 1.0f, 0.0f, 1.0f);
    clear(0.0f, 0.0f, 0.0f, 0.0f, true, true, false);
    glBegin(GL_QUADS);
    glVertex2f(-1, -1);
    glVertex2f(1, -1);
    glVertex2f(1, 1);
    glVertex2f(-1, 1);
    glEnd();
    expectColor(pixel(400, 300), 0.0f, 1.0f, 0.0f, 1.0f);
    disableFragmentPrograms();
}

TEST_F(CgRender, SamplersOnSeveralUnits) {
    auto red = solidTexture(255, 0, 0);
    auto green = solidTexture(0, 255, 0);
    auto blue = solidTexture(0, 0, 255, 128);
    std::string source =
        std::string(passThroughVertex) +
        "sampler2D first; sampler2D second;\n"
        "float4 psTest(float2 t : TEXCOORD0, uniform sampler2D third) : COLOR {\n"
        "    return tex2D(first, t) * 0.5 + tex2D(second, t) * 0.25 + tex2D(third, t);\n"
        "}\n";
    CgProgramPair pair(source.c_str(), "vsPass", "psTest");
    pair.bind();
    pair.setTexture("first", red.get());
    pair.setTexture("second", green.get());
    pair.setTexture("third", blue.get());
    drawQuad();
    pair.disableTexture("first");
    pair.disableTexture("second");
    pair.disableTexture("third");
    pair.unbind();
    expectColor(pixel(400, 300), 0.5f, 0.25f, 1.0f, 1.0f);
    GLint active = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    EXPECT_EQ(active, GL_TEXTURE0);
}

// Vertex and fragment programs from different texts, compiled and bound apart:
// the varyings meet through the built-ins their semantics name.
TEST_F(CgRender, VaryingsMeetAcrossSeparatelyCompiledPrograms) {
    const char* structVertex =
        "struct Out { float4 pos : POSITION; float4 col : COLOR0; float3 t3 : TEXCOORD3; };\n"
        "Out vsStruct(float4 p : POSITION) {\n"
        "    Out o; o.pos = p; o.col = float4(0.2, 0.4, 0.6, 1); o.t3 = float3(0.8, 0.1, 0.3);\n"
        "    return o;\n"
        "}\n";
    const char* outFragment =
        "void psOut(float4 c : COLOR0, float3 t : TEXCOORD3, out float4 result : COLOR) {\n"
        "    result = float4(c.r, t.x, t.z, c.a);\n"
        "}\n";
    const char* outVertex =
        "void vsOut(float4 p : POSITION, out float4 o : POSITION, out float2 t : TEXCOORD1,\n"
        "           out float4 c : COLOR1) {\n"
        "    o = p; t = float2(0.7, 0.35); c = float4(0.15, 0.25, 0.45, 1);\n"
        "}\n";
    const char* structFragment =
        "struct In { float4 pos : POSITION; float2 t : TEXCOORD1; float4 spec : COLOR1; };\n"
        "float4 psStruct(In i) : COLOR { return float4(i.t, i.spec.z, 1); }\n";

    CgProgram v1(structVertex, "vsStruct", ShaderProfile::Vertex);
    CgProgram f1(outFragment, "psOut", ShaderProfile::Fragment);
    v1.bind();
    f1.bind();
    drawQuad();
    expectColor(pixel(400, 300), 0.2f, 0.8f, 0.3f, 1.0f);

    CgProgram v2(outVertex, "vsOut", ShaderProfile::Vertex);
    CgProgram f2(structFragment, "psStruct", ShaderProfile::Fragment);
    v2.bind();
    f2.bind();
    drawQuad();
    expectColor(pixel(400, 300), 0.7f, 0.35f, 0.45f, 1.0f);

    // A vertex program alone feeds the fixed-function fragment stage.
    disableFragmentPrograms();
    v1.bind();
    drawQuad();
    expectColor(pixel(400, 300), 0.2f, 0.4f, 0.6f, 1.0f);
    disableVertexPrograms();
}

TEST_F(CgRender, VertexInputsBindToTheirSemantics) {
    const char* vertex =
        "void vsInputs(float4 p : POSITION, float3 n : NORMAL, float2 t1 : TEXCOORD1,\n"
        "              float4 a6 : ATTR6, float4 c : COLOR, out float4 op : POSITION,\n"
        "              out float4 oc : COLOR0) {\n"
        "    op = p;\n"
        "    oc = float4(n.y + t1.x, a6.z, c.g, 1);\n"
        "}\n"
        "float4 psColor(float4 c : COLOR0) : COLOR { return c; }\n";
    CgProgramPair pair(vertex, "vsInputs", "psColor");
    pair.bind();
    static const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    clear(0.0f, 0.0f, 0.0f, 0.0f, true, true, false);
    glBegin(GL_QUADS);
    for (const auto& c : corners) {
        glNormal3f(0.1f, 0.2f, 0.3f);
        glMultiTexCoord2f(GL_TEXTURE1, 0.3f, 0.9f);
        glVertexAttrib4f(6, 0.1f, 0.2f, 0.6f, 1.0f);
        glColor4f(0.0f, 0.8f, 0.0f, 1.0f);
        glVertex4f(c[0], c[1], 0.0f, 1.0f);
    }
    glEnd();
    pair.unbind();
    expectColor(pixel(400, 300), 0.5f, 0.6f, 0.8f, 1.0f);
}

// Row-major 4x4 products as Cg defines them, for the expected colours.
TEST_F(CgRender, GlstateMatricesFollowTheFixedFunctionMatrices) {
    const float* v = stateVector;
    expectShade(shadeState("", "mul(glstate.matrix.modelview[0], v)"),
                rowTimesVector(stateModelview, v));
    expectShade(shadeState("", "mul(glstate.matrix.transpose.modelview[0], v)"),
                vectorTimesRow(v, stateModelview));
    expectShade(
        shadeState("",
                   "mul(glstate.matrix.inverse.modelview[0], mul(glstate.matrix.modelview[0], v))"),
        {v[0], v[1], v[2], v[3]});
    expectShade(
        shadeState(
            "", "mul(glstate.matrix.invtrans.modelview[0], mul(v, glstate.matrix.modelview[0]))"),
        {v[0], v[1], v[2], v[3]});
    expectShade(shadeState("", "mul(glstate.matrix.projection, v)"),
                rowTimesVector(stateProjection, v));
    const std::array<float, 4> mv = rowTimesVector(stateModelview, v);
    expectShade(shadeState("", "mul(glstate.matrix.mvp, v)"),
                rowTimesVector(stateProjection, mv.data()));
}

TEST_F(CgRender, GlstateLightingAndMaterialReachTheProgram) {
    const char* source =
        "void vsLight(float4 p : POSITION, out float4 op : POSITION, out float4 oc : COLOR0) {\n"
        "    op = p;\n"
        "    oc = float4(glstate.light[1].diffuse.x, glstate.material.emission.y,\n"
        "                glstate.fog.params.y, glstate.light[1].attenuation.y);\n"
        "}\n"
        "float4 psColor(float4 c : COLOR0) : COLOR { return c; }\n";
    CgProgramPair pair(source, "vsLight", "psColor");
    const float diffuse[4] = {0.3f, 0.0f, 0.0f, 1.0f};
    const float emission[4] = {0.0f, 0.6f, 0.0f, 1.0f};
    glLightfv(GL_LIGHT1, GL_DIFFUSE, diffuse);
    glLightf(GL_LIGHT1, GL_LINEAR_ATTENUATION, 0.9f);
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, emission);
    glFogf(GL_FOG_START, 0.4f);
    pair.bind();
    drawQuad();
    pair.unbind();
    glLightf(GL_LIGHT1, GL_LINEAR_ATTENUATION, 0.0f);
    const float black[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, black);
    glFogf(GL_FOG_START, 0.0f);
    expectColor(pixel(400, 300), 0.3f, 0.6f, 0.4f, 0.9f);
}

TEST_F(CgRender, ParametersFollowTheirProgramsAndProfiles) {
    const char* source =
        "uniform float4 tint;\n"
        "void vsTint(float4 p : POSITION, uniform float shift, out float4 op : POSITION,\n"
        "            out float4 oc : COLOR0) { op = p; oc = float4(shift, 0, 0, 1); }\n"
        "float4 psTint(float4 c : COLOR0, uniform float2 pair) : COLOR {\n"
        "    return float4(c.r, tint.g, pair.y, 1);\n"
        "}\n";
    CgProgramPair pair(source, "vsTint", "psTint");
    const float tint[4] = {0.9f, 0.4f, 0.9f, 0.9f};
    const float two[4] = {0.1f, 0.7f, 0.5f, 0.5f};
    pair.bind();
    pair.set1f("shift", 0.6f);   // only the vertex program has it
    pair.set4fv("tint", tint);   // only the fragment program reaches it
    pair.set4fv("pair", two);    // a float2 takes the first two floats
    pair.set1f("nothing", 1.0f); // nobody has it
    pair.setTexture("tint", nullptr);
    drawQuad();
    expectColor(pixel(400, 300), 0.6f, 0.4f, 0.7f, 1.0f);
    expectNoGlError();

    // unbind takes the programs out but leaves both profiles enabled.
    pair.unbind();
    ShaderContext* shaders = ShaderContext::current();
    ASSERT_NE(shaders, nullptr);
    EXPECT_TRUE(shaders->profileEnabled(ShaderProfile::Vertex));
    EXPECT_TRUE(shaders->profileEnabled(ShaderProfile::Fragment));
    EXPECT_EQ(shaders->activeProgram(ShaderProfile::Vertex), 0u);
    EXPECT_EQ(shaders->activeProgram(ShaderProfile::Fragment), 0u);

    // Disabling the fragment profile hands that stage back to fixed function.
    pair.bind();
    disableFragmentPrograms();
    EXPECT_EQ(shaders->activeProgram(ShaderProfile::Vertex), pair.vertex->program);
    EXPECT_EQ(shaders->activeProgram(ShaderProfile::Fragment), 0u);
    drawQuad();
    expectColor(pixel(400, 300), 0.6f, 0.0f, 0.0f, 1.0f);
    pair.unbind();
    disableVertexPrograms();
}

TEST_F(CgRender, FragmentPositionAndDepthOutputs) {
    std::string source =
        std::string(passThroughVertex) +
        "struct Result { float4 color : COLOR; float depth : DEPTH; };\n"
        "Result psTest(float4 w : WPOS) {\n"
        "    Result r; r.color = float4(w.x / 800, w.y / 600, 0, 1); r.depth = 0.25;\n"
        "    return r;\n"
        "}\n";
    CgProgramPair pair(source.c_str(), "vsPass", "psTest");
    enableState(StateCap::DepthTest);
    pair.bind();
    drawQuad();
    pair.unbind();
    disableState(StateCap::DepthTest);
    std::array<int, 4> got = pixel(400, 300);
    EXPECT_NEAR(got[0], 128, 2);
    EXPECT_NEAR(got[1], 128, 2);
    float depth = 0;
    glReadPixels(400, 300, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    EXPECT_NEAR(depth, 0.25f, 0.01f);
}

TEST(CgErrorReport, ATranslationErrorEndsTheProgramWithTheListing) {
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    EXPECT_EXIT(
        {
            CgProgram program("float4 psMain() : COLOR {\n  return float4(1, 2, 3);\n}\n", "psMain",
                              ShaderProfile::Fragment, "bad.cg");
        },
        testing::ExitedWithCode(1),
        "Portico::CGerror: The compile returned an error\\.\nbad\\.cg\\(2\\) : error: "
        "constructor float4 needs 4 components, 3 given");
}

// The fuzzer's seed programs cover the language widely; every one must give
// GLSL the driver takes.
TEST_F(CgRender, SeedProgramsCompileInTheDriver) {
    std::filesystem::path folder =
        std::filesystem::path(LUMORA_SOURCE_DIR) / "tests/fuzz/corpus-cg";
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::ifstream in(entry.path());
        std::string header;
        std::getline(in, header);
        std::stringstream rest;
        rest << in.rdbuf();
        int profile =
            header.compare(0, 6, "arbvp1") == 0 ? ShaderProfile::Vertex : ShaderProfile::Fragment;
        CgTranslation t = translateCg(rest.str(), header.substr(7), profile, entry.path().string());
        ASSERT_TRUE(t.ok) << t.listing;
        std::string log;
        EXPECT_TRUE(driverAccepts(t.glsl, profile, &log)) << entry.path() << "\n" << log << t.glsl;
        ++count;
    }
    EXPECT_GE(count, 8);
}
// Every entry the production compiles from its shader files, as the shader
// table of the data folder lists them.
TEST_F(CgRender, ShippedShaderFilesCompile) {
    struct Use {
        const char* file;
        const char* vertex;
        const char* fragment;
    };
    const Use uses[] = {
        {"data/meridian.cg", "vsOcean", "psOcean"},
        {"data/meridian.cg", "vsPlain", "psPlainColor"},
        {"data/meridian.cg", "vsPlain", "psBlack"},
        {"data/meridian.cg", "vsPlain", "psColorLit"},
        {"data/torus.cg", "vsPlain", "psPlainEnvmap"},
        {"data/lensFlare.cg", "vsMain", "psMain"},
        {"data/LumoraShaders.cg", "vsBillboard", "psPlainColored"},
        {"Lumora/LumoraShaders.cg", "vsPlain", "psPlain"},
    };
    for (const Use& use : uses) {
        std::ifstream in(std::string(LUMORA_STAGE_DIR) + "/" + use.file);
        ASSERT_TRUE(in.good()) << use.file << " is missing from the stage folder";
        std::stringstream text;
        text << in.rdbuf();
        for (int profile : {ShaderProfile::Vertex, ShaderProfile::Fragment}) {
            const char* entry = profile == ShaderProfile::Vertex ? use.vertex : use.fragment;
            CgTranslation t = translateCg(text.str(), entry, profile, use.file);
            ASSERT_TRUE(t.ok) << t.listing;
            std::string log;
            EXPECT_TRUE(driverAccepts(t.glsl, profile, &log)) << use.file << " " << entry << "\n"
                                                              << log;
        }
    }
}

} // namespace
