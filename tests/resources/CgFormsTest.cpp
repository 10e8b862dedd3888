// The forms Cg programs of the ARB-profile era are written in, drawn: each
// test reads back the colour Cg gives the program.
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
#include <limits>
#include <string>

namespace {

using CgForms = CgDrawTest;

void writeFile(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path) << text;
}

TEST_F(CgForms, UntypedSamplersTakeTheTypeTheirLookupsRead) {
    auto texture = solidTexture(200, 100, 50);
    // Read directly, and through helpers whose parameters are untyped or typed.
    const char* source = "sampler scene : register(s0);\n"
                         "float4 blurTap(sampler s, float2 uv) { return tex2D(s, uv); }\n"
                         "float4 plainTap(sampler2D s, float2 uv) { return tex2D(s, uv); }\n"
                         "float4 psTest(float2 uv : TEXCOORD0) : COLOR {\n"
                         "    return (tex2D(scene, uv) + blurTap(scene, uv)) * 0.25 +\n"
                         "           plainTap(scene, uv) * 0.5;\n"
                         "}\n";
    std::string text = std::string(passThroughVertex) + source;
    CgProgramPair pair(text.c_str(), "vsPass", "psTest");
    pair.bind();
    pair.setTexture("scene", texture.get());
    drawQuad();
    pair.disableTexture("scene");
    pair.unbind();
    expectColor(pixel(400, 300), 200 / 255.0f, 100 / 255.0f, 50 / 255.0f, 1.0f);
}

TEST_F(CgForms, UntypedSamplerReadAsACubeMap) {
    // One texel per face, red on +X and green on -X.
    GLuint cube = 0;
    glGenTextures(1, &cube);
    glBindTexture(GL_TEXTURE_CUBE_MAP, cube);
    for (int face = 0; face < 6; ++face) {
        const unsigned char texel[4] = {static_cast<unsigned char>(face == 0 ? 255 : 0),
                                        static_cast<unsigned char>(face == 1 ? 255 : 0), 0, 255};
        glTexImage2D(static_cast<GLenum>(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face), 0, GL_RGBA, 1, 1,
                     0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
    }
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    // texCUBEproj divides by w, so a negative w turns the direction round.
    std::string text = std::string(passThroughVertex) +
                       "sampler sky;\n"
                       "float4 psTest() : COLOR {\n"
                       "    return texCUBE(sky, float3(1, 0.1, 0.2)) * 0.5 +\n"
                       "           texCUBEproj(sky, float4(2, 0.1, 0.2, -2)) * 0.25;\n"
                       "}\n";
    CgProgramPair pair(text.c_str(), "vsPass", "psTest");
    pair.bind();
    drawQuad(); // the only sampler has unit 0, where the cube map is bound
    pair.unbind();
    glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
    glDeleteTextures(1, &cube);
    expectColor(pixel(400, 300), 0.5f, 0.25f, 0.0f, 0.75f);
}

TEST_F(CgForms, FlatInitialiserListsFillElementAfterElement) {
    // Eight scalars for four float2: element after element, as C fills them.
    expectColor(shade("static const float2 offsets[4] = { 0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8 "
                      "};\n"
                      "float4 psTest() : COLOR { return float4(offsets[1], offsets[3]); }\n"),
                0.3f, 0.4f, 0.7f, 0.8f);
    // A uniform's initial value, matrices and structs the same way.
    expectColor(shade("float2 taps[2] = { 0.125, 0.25, 0.375, 0.5 };\n"
                      "struct Light { float3 colour; float power; };\n"
                      "static const Light lights[2] = { 0.1, 0.2, 0.3, 0.4,  0.5, 0.6, 0.7, 0.8 "
                      "};\n"
                      "static const float2x2 m[2] = { 0.1, 0.2, 0.3, 0.4,  0.5, 0.6, 0.7, 0.8 "
                      "};\n"
                      "float4 psTest() : COLOR {\n"
                      "    return float4(taps[1].y, lights[1].colour.y, lights[0].power, "
                      "m[1][1][0]);\n"
                      "}\n"),
                0.5f, 0.6f, 0.4f, 0.7f);
    // Braced elements and whole values mix with flat ones.
    expectColor(shade("static const float3 c[3] = { {0.1, 0.2, 0.3}, float3(0.4, 0.5, 0.6), 0.7, "
                      "0.8, 0.9 };\n"
                      "float4 psTest() : COLOR { return float4(c[0].x, c[1].y, c[2].z, 1); }\n"),
                0.1f, 0.5f, 0.9f, 1.0f);
}

TEST_F(CgForms, AShortInitialiserListLeavesZeroes) {
    // The two scalars make the first float2; the second is zero (not 0.25 and
    // 0.75 spread over both).
    const char* source = "static const float2 o[2] = { 0.25, 0.75 };\n"
                         "float4 psTest() : COLOR { return float4(o[0], o[1] + 1); }\n";
    expectColor(shade(source), 0.25f, 0.75f, 1.0f, 1.0f);
    CgTranslation t = translateCg(std::string(passThroughVertex) + source, "psTest",
                                  ShaderProfile::Fragment, "test.cg");
    EXPECT_NE(t.listing.find("test.cg(4) : warning: the initializer of this float2[2] is short"),
              std::string::npos)
        << t.listing;
    expectColor(shade("float weights[4] = { 0.5, 0.25 };\n"
                      "float4 psTest() : COLOR { return float4(weights[0], weights[1], "
                      "weights[2], weights[3] + 1); }\n"),
                0.5f, 0.25f, 0.0f, 1.0f);
}

TEST_F(CgForms, IncludesResolveBesideTheFileAndAlongFolders) {
    TempDir dir;
    // Beside the including file (even from a folder's file), along -I, and a
    // guarded header included twice counts once.
    writeFile(dir.file("shaders/tone.cg"), "#ifndef TONE_CG\n"
                                           "#define TONE_CG\n"
                                           "#include \"parts/gain.cg\"\n"
                                           "float3 tone(float3 c) { return c * GAIN; }\n"
                                           "#endif\n");
    writeFile(dir.file("shaders/parts/gain.cg"), "#pragma once\n#define GAIN 0.5\n");
    writeFile(dir.file("library/colours.cg"), "static const float3 base = { 0.2, 0.4, 0.8 };\n");
    writeFile(dir.file("shaders/main.cg"), std::string(passThroughVertex) +
                                               "#include \"tone.cg\"\n"
                                               "#include <colours.cg>\n"
                                               "#include \"tone.cg\"\n"
                                               "float4 psTest() : COLOR {\n"
                                               "    return float4(tone(base), BIAS);\n"
                                               "}\n");
    std::ifstream in(dir.file("shaders/main.cg"));
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string folder = dir.file("library");
    const char* args[] = {"-I", folder.c_str(), "-DBIAS=0.75", nullptr};
    std::string name = dir.file("shaders/main.cg");
    CgProgramPair pair(text.c_str(), "vsPass", "psTest", name.c_str(), args);
    pair.bind();
    drawQuad();
    pair.unbind();
    expectColor(pixel(400, 300), 0.1f, 0.2f, 0.4f, 0.75f);
}

TEST_F(CgForms, DefinesFromTheCompilerArguments) {
    const char* source = "float4 psTest() : COLOR {\n"
                         "#ifdef RED\n"
                         "    return float4(RED, 0, LEVEL * 0.25, 1);\n"
                         "#else\n"
                         "    return float4(0, 1, 0, 1);\n"
                         "#endif\n"
                         "}\n";
    const char* red[] = {"-DRED=0.5", "-D", "LEVEL", nullptr};
    expectColor(shade(source, red), 0.5f, 0.0f, 0.25f, 1.0f);
    expectColor(shade(source), 0.0f, 1.0f, 0.0f, 1.0f);
}

TEST_F(CgForms, BlendWeightsAndIndicesAreGenericAttributes) {
    // Two bones blend a position-independent colour: 0.25 of bone 1 and 0.75
    // of bone 3, picked by the indices.
    const char* source = "uniform float4x4 bones[4];\n"
                         "void vsSkin(float4 p : POSITION, float4 weights : BLENDWEIGHT,\n"
                         "            float4 indices : BLENDINDICES, out float4 op : POSITION,\n"
                         "            out float4 colour : COLOR0) {\n"
                         "    float4 v = float4(0.2, 0.4, 0.8, 1);\n"
                         "    colour = mul(bones[(int)indices.x], v) * weights.x +\n"
                         "             mul(bones[(int)indices.y], v) * weights.y;\n"
                         "    op = p;\n"
                         "}\n"
                         "float4 psColor(float4 c : COLOR0) : COLOR { return c; }\n";
    CgProgramPair pair(source, "vsSkin", "psColor");
    CgTranslation t = translateCg(source, "vsSkin", ShaderProfile::Vertex, "skin.cg");
    ASSERT_TRUE(t.ok) << t.listing;
    GLuint program = pair.vertex->program;
    // Bone n scales by n + 1 (row-major, as Cg sees it), set element by element.
    for (int n = 0; n < 4; ++n) {
        float m[16] = {0};
        for (int i = 0; i < 4; ++i) {
            m[i * 5] = i == 3 ? 1.0f : 0.25f * static_cast<float>(n + 1);
        }
        std::string name;
        for (const cg::Parameter& p : t.parameters) {
            if (p.cgName == "bones[" + std::to_string(n) + "]") {
                name = p.glslName;
            }
        }
        GLint location = glGetUniformLocation(program, name.c_str());
        ASSERT_GE(location, 0) << name;
        glProgramUniformMatrix4fv(program, location, 1, GL_TRUE, m);
    }
    pair.bind();
    static const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    clear(0.0f, 0.0f, 0.0f, 0.0f, true, true, false);
    glBegin(GL_QUADS);
    for (const auto& c : corners) {
        glVertexAttrib4f(1, 0.25f, 0.75f, 0.0f, 0.0f);
        glVertexAttrib4f(7, 1.0f, 3.0f, 0.0f, 0.0f);
        glVertex4f(c[0], c[1], 0.0f, 1.0f);
    }
    glEnd();
    pair.unbind();
    // Scale 0.5 and 1.0 weighted 0.25 and 0.75: 0.875 of v; w stays 1.
    expectColor(pixel(400, 300), 0.2f * 0.875f, 0.4f * 0.875f, 0.8f * 0.875f, 1.0f);
}

TEST_F(CgForms, UniformsBoundToTrackedStateReadTheFixedFunctionMatrices) {
    const float* v = stateVector;
    const std::array<float, 4> mv = rowTimesVector(stateModelview, v);
    expectShade(shadeState("uniform float4x4 mvp : state.matrix.mvp;\n", "mul(mvp, v)"),
                rowTimesVector(stateProjection, mv.data()));
    expectShade(shadeState("uniform float4x4 mv : state.matrix.modelview;\n"
                           "uniform float4x4 mvi : state.matrix.modelview[0].inverse;\n",
                           "mul(mvi, mul(mv, v))"),
                {v[0], v[1], v[2], v[3]});
    // transpose: mul(v, M^T) is M v; invtrans undoes mul(v, M).
    expectShade(shadeState("uniform float4x4 mvt : state.matrix.modelview.transpose;\n"
                           "uniform float4x4 mvit : state.matrix.modelview.invtrans;\n"
                           "uniform float4x4 mv : state.matrix.modelview;\n",
                           "mul(v, mvt) * 0.5 + mul(mvit, mul(v, mv)) * 0.5"),
                {(mv[0] + v[0]) * 0.5f, (mv[1] + v[1]) * 0.5f, (mv[2] + v[2]) * 0.5f,
                 (mv[3] + v[3]) * 0.5f});
    // A float3x3 takes the upper left.
    expectShade(
        shadeState("uniform float3x3 upper : state.matrix.modelview;\n",
                   "float4(mul(upper, v.xyz), 0)"),
        {mv[0] - stateModelview[3], mv[1] - stateModelview[7], mv[2] - stateModelview[11], 0.0f});
}

TEST_F(CgForms, StateUniformOfAnEntryParameter) {
    const float translation[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0.5f, 0.25f, 0, 1};
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(translation);
    const char* source = "void vsMove(float4 p : POSITION, uniform float4x4 mv : "
                         "state.matrix.modelview[0],\n"
                         "            out float4 op : POSITION, out float4 oc : COLOR0) {\n"
                         "    op = p;\n"
                         "    oc = float4(mul(mv, float4(0, 0, 0, 1)).xy, 0, 1);\n"
                         "}\n"
                         "float4 psColor(float4 c : COLOR0) : COLOR { return c; }\n";
    CgProgramPair pair(source, "vsMove", "psColor");
    pair.bind();
    drawQuad();
    pair.unbind();
    expectColor(pixel(400, 300), 0.5f, 0.25f, 0.0f, 1.0f);
}

TEST_F(CgForms, OtherStagesInTheTextNeedOnlyParse) {
    // A geometry program, a helper for it, and a function using what only later
    // profiles have stand beside the pair; none is reached, so none matters,
    // and the warning in the unused function is not listed.
    std::string source = std::string(passThroughVertex) +
                         "void emitCorner(float4 p, float2 t) {\n"
                         "    emitVertex(p : POSITION, t : TEXCOORD0);\n"
                         "}\n"
                         "TRIANGLE void gsExpand(AttribArray<float4> position : POSITION) {\n"
                         "    for (int i = 0; i < position.length; i++)\n"
                         "        emitCorner(position[i], float2(0, 0));\n"
                         "}\n"
                         "int packBits(int a, int b) { return (a << 8) | b; }\n"
                         "float3 narrowing(float4 x) { float3 y = x; return y; }\n"
                         "float4 psTest() : COLOR { return float4(0.25, 0.5, 0.75, 1); }\n";
    CgTranslation t = translateCg(source, "psTest", ShaderProfile::Fragment, "test.cg");
    ASSERT_TRUE(t.ok) << t.listing;
    EXPECT_EQ(t.listing, "");
    expectColor(shade(source.substr(std::string(passThroughVertex).size())), 0.25f, 0.5f, 0.75f,
                1.0f);
}

TEST_F(CgForms, LibraryFunctionsGlsl120Lacks) {
    // trunc and frexp written out, debug dropped.
    expectColor(shade("float4 psTest() : COLOR {\n"
                      "    float e;\n"
                      "    float m = frexp(-12.0, e);\n"
                      "    float2 e2;\n"
                      "    float2 m2 = frexp(float2(0.5, 0), e2);\n"
                      "    debug(float4(1, 1, 1, 1));\n"
                      "    return float4(trunc(1.75) * 0.5 + trunc(-1.75) * 0.25,\n"
                      "                  -m, e / 8 + e2.y, m2.x + m2.y + e2.x);\n"
                      "}\n"),
                0.25f, 0.75f, 0.5f, 0.5f);
}

TEST_F(CgForms, NanAndInfinityTests) {
    std::string source = std::string(passThroughVertex) +
                         "uniform float x;\n"
                         "float4 psTest() : COLOR {\n"
                         "    bool2 n = isnan(float2(x, 1));\n"
                         "    return float4(n.x ? 1 : 0, isinf(x) ? 1 : 0, isfinite(x) ? 1 : 0,\n"
                         "                  n.y ? 0 : 1);\n"
                         "}\n";
    CgProgramPair pair(source.c_str(), "vsPass", "psTest");
    auto draw = [&](float x) {
        pair.bind();
        pair.set1f("x", x);
        drawQuad();
        pair.unbind();
        return pixel(400, 300);
    };
    expectColor(draw(std::numeric_limits<float>::quiet_NaN()), 1.0f, 0.0f, 0.0f, 1.0f);
    expectColor(draw(-std::numeric_limits<float>::infinity()), 0.0f, 1.0f, 0.0f, 1.0f);
    expectColor(draw(std::numeric_limits<float>::max()), 0.0f, 0.0f, 1.0f, 1.0f);
    expectColor(draw(0.0f), 0.0f, 0.0f, 1.0f, 1.0f);
}

TEST_F(CgForms, BiasedLookupsPickAnotherMipLevel) {
    // Level 0 red, level 1 blue: a bias of 12 reaches level 1 even though the
    // quad magnifies the texture.
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    const unsigned char red[16] = {255, 0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255};
    const unsigned char blue[4] = {0, 0, 255, 255};
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, red);
    glTexImage2D(GL_TEXTURE_2D, 1, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, blue);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST_MIPMAP_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 1);
    std::string source = std::string(passThroughVertex) +
                         "sampler2D tex;\n"
                         "float4 psTest(float2 uv : TEXCOORD0) : COLOR {\n"
                         "    return tex2Dbias(tex, float4(uv, 0, 12)) * 0.5 +\n"
                         "           tex2Dbias(tex, float4(uv, 0, 0)) * 0.25;\n"
                         "}\n";
    CgProgramPair pair(source.c_str(), "vsPass", "psTest");
    pair.bind();
    drawQuad();
    pair.unbind();
    glBindTexture(GL_TEXTURE_2D, 0);
    glDeleteTextures(1, &texture);
    expectColor(pixel(400, 300), 0.25f, 0.0f, 0.5f, 0.75f);
}

// A driver error in the GLSL names the Cg line, and for text an #include
// brought in, the included file.
TEST_F(CgForms, DriverMessagesNameTheCgFileAndLine) {
    TempDir dir;
    writeFile(dir.file("helpers.cg"), "// helpers\n"
                                      "\n"
                                      "float4 brighten(float4 c) {\n"
                                      "    return c * 2;\n"
                                      "}\n");
    std::string source = "#include \"helpers.cg\"\n"
                         "float4 psMain(float4 c : COLOR0) : COLOR\n"
                         "{\n"
                         "    float4 d = brighten(c);\n"
                         "\n"
                         "    d.y = 2;\n"
                         "    return d;\n"
                         "}\n";
    std::string name = dir.file("main.cg");
    CgTranslation t = translateCg(source, "psMain", ShaderProfile::Fragment, name);
    ASSERT_TRUE(t.ok) << t.listing;
    // Break a statement of each file the way a driver would refuse it.
    auto broken = [&](const std::string& statement) {
        std::string glsl = t.glsl;
        size_t at = glsl.find(statement);
        EXPECT_NE(at, std::string::npos) << glsl;
        glsl.replace(at, statement.size(), "undefinedName;");
        std::string log;
        EXPECT_FALSE(driverAccepts(glsl, ShaderProfile::Fragment, &log));
        return driverListing(log, t.files);
    };
    EXPECT_EQ(broken("d.y = 2.0;").find(name + "(6) : error: "), 0u);
    EXPECT_EQ(broken("return (c * 2.0);").find(dir.file("helpers.cg") + "(4) : error: "), 0u);
}

} // namespace
