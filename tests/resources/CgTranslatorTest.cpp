// The translator alone: small Cg programs with the listing, parameter table or
// GLSL shape they must give. What they draw is checked in CgRenderTest.
#include "resources/CgProgram.h"
#include "resources/ShaderContext.h"
#include "resources/cg/Translator.h"
#include "tests/support/GlTest.h"

#include <fstream>
#include <string>

namespace {

constexpr int vertex = ShaderProfile::Vertex;
constexpr int fragment = ShaderProfile::Fragment;

CgTranslation translate(const std::string& source, const std::string& entry, int profile) {
    return translateCg(source, entry, profile, "t.cg");
}

// The listing of a program that must fail.
std::string errorOf(const std::string& source, const std::string& entry, int profile = fragment) {
    CgTranslation t = translate(source, entry, profile);
    EXPECT_FALSE(t.ok) << t.glsl;
    return t.listing;
}

const cg::Parameter* findParameter(const CgTranslation& t, const std::string& name) {
    for (const cg::Parameter& p : t.parameters) {
        if (p.cgName == name) {
            return &p;
        }
    }
    return nullptr;
}

TEST(CgTranslator, ErrorsNameTheirLine) {
    EXPECT_NE(errorOf("float4 psMain() : COLOR {\n"
                      "  float4 c = float4(1, 1, 1, 1)\n"
                      "  return c;\n"
                      "}\n",
                      "psMain")
                  .find("t.cg(3) : error: syntax error: ';' expected, found 'return'"),
              std::string::npos);
    EXPECT_NE(errorOf("float4 psMain() : COLOR {\n"
                      "\n"
                      "  return colour;\n"
                      "}\n",
                      "psMain")
                  .find("t.cg(3) : error: undeclared identifier 'colour'"),
              std::string::npos);
    EXPECT_NE(errorOf("float4 psMain() : COLOR { return 1; }\n", "psOther")
                  .find("t.cg(0) : error: entry function 'psOther' not found"),
              std::string::npos);
    EXPECT_NE(errorOf("float4 psMain() : COLOR {\n"
                      "  return float4(1, 2, 3);\n"
                      "}\n",
                      "psMain")
                  .find("t.cg(2) : error: constructor float4 needs 4 components, 3 given"),
              std::string::npos);
    EXPECT_NE(errorOf("\n\nfloat4 psMain() : COLOR { return shine(1); }\n", "psMain")
                  .find("t.cg(3) : error: unknown function 'shine'"),
              std::string::npos);
    EXPECT_NE(errorOf("float4 psMain() : COLOR {\n /* open\n\n", "psMain")
                  .find("t.cg(2) : error: unterminated comment"),
              std::string::npos);
}

TEST(CgTranslator, ConversionsAndTheirWarnings) {
    CgTranslation t = translate("float4 psMain(float4 c : COLOR0) : COLOR {\n"
                                "  float3 a = c;\n"
                                "  float2 b = 1;\n"
                                "  int i = 2.5;\n"
                                "  return float4(a, b.x + i);\n"
                                "}\n",
                                "psMain", fragment);
    ASSERT_TRUE(t.ok) << t.listing;
    EXPECT_NE(t.listing.find("t.cg(2) : warning: "), std::string::npos) << t.listing;
    EXPECT_EQ(t.listing.find("t.cg(3) : warning"), std::string::npos) << t.listing;
    // A shorter vector never silently becomes a longer one.
    EXPECT_NE(
        errorOf("float4 psMain(float2 c : TEXCOORD0) : COLOR {\n  float4 v = c;\n  return v; }\n",
                "psMain")
            .find("t.cg(2) : error: initializer: cannot convert float2 to float4"),
        std::string::npos);
    EXPECT_NE(errorOf("float4 psMain() : COLOR {\n  return (float4)float2(1, 2);\n}\n", "psMain")
                  .find("t.cg(2) : error: cannot cast float2 to float4"),
              std::string::npos);
    // Suffixes f, h and x and a half type compile to plain floats.
    EXPECT_TRUE(
        translate("half4 psMain() : COLOR { fixed a = 0.5x; return half4(1.0f, 2.5h, a, 1); }",
                  "psMain", fragment)
            .ok);
}

TEST(CgTranslator, OnlyWhatTheEntryReachesIsTranslated) {
    const char* both = "sampler2D tex;\n"
                       "float4 unused(float2 t) { return ddx(t).xyxy; }\n"
                       "float4 vsMain(float4 p : POSITION) : POSITION { return p; }\n"
                       "float4 psMain(float2 t : TEXCOORD0) : COLOR { return tex2D(tex, t); }\n";
    CgTranslation v = translate(both, "vsMain", vertex);
    ASSERT_TRUE(v.ok) << v.listing;
    EXPECT_EQ(v.glsl.find("texture2D"), std::string::npos);
    EXPECT_EQ(v.glsl.find("unused"), std::string::npos);
    EXPECT_TRUE(v.parameters.empty());
    // Reached from a vertex entry, a fragment-only function is an error on its line.
    EXPECT_NE(errorOf(both + std::string("float4 vsBad(float2 t : TEXCOORD0) : POSITION { return "
                                         "unused(t); }\n"),
                      "vsBad", vertex)
                  .find("t.cg(2) : error: ddx is only available in fragment programs"),
              std::string::npos);
}

TEST(CgTranslator, ParameterTable) {
    CgTranslation t =
        translate("sampler2D a;\n"
                  "samplerCUBE b;\n"
                  "sampler2D c : register(s3);\n"
                  "float4x4 labelled : WORLDVIEWPROJECTION;\n"
                  "sampler2D notReached;\n"
                  "float4 input;\n"
                  "float2 scale = { 2, 3 };\n"
                  "struct Light { float3 colour; float power; };\n"
                  "Light light;\n"
                  "float4 psMain(float3 n : TEXCOORD0, uniform float gain) : COLOR {\n"
                  "  return tex2D(a, n.xy) + texCUBE(b, n) + tex2D(c, n.xy) * gain +\n"
                  "         input * scale.x + light.colour.xyzz * light.power;\n"
                  "}\n",
                  "psMain", fragment);
    ASSERT_TRUE(t.ok) << t.listing;
    const cg::Parameter* a = findParameter(t, "a");
    const cg::Parameter* b = findParameter(t, "b");
    const cg::Parameter* c = findParameter(t, "c");
    ASSERT_TRUE(a && b && c);
    // Each sampler has its own unit, whatever its type or register.
    EXPECT_NE(a->samplerUnit, b->samplerUnit);
    EXPECT_NE(a->samplerUnit, c->samplerUnit);
    EXPECT_NE(b->samplerUnit, c->samplerUnit);
    EXPECT_EQ(findParameter(t, "notReached"), nullptr);
    // A GLSL reserved word is renamed but still found by its Cg name.
    const cg::Parameter* input = findParameter(t, "input");
    ASSERT_NE(input, nullptr);
    EXPECT_NE(input->glslName, "input");
    EXPECT_NE(t.glsl.find("uniform vec4 " + input->glslName + ";"), std::string::npos);
    // Entry parameters marked uniform are program parameters too.
    const cg::Parameter* gain = findParameter(t, "gain");
    ASSERT_NE(gain, nullptr);
    EXPECT_EQ(gain->type, cg::Type::scalar(cg::Base::Float));
    EXPECT_NE(findParameter(t, "light.power"), nullptr);
    EXPECT_NE(t.glsl.find("uniform vec2 scale = vec2(2, 3);"), std::string::npos) << t.glsl;
}

TEST(CgTranslator, Preprocessor) {
    const char* source = "#define LEVEL 2\n"
                         "#define MIX(a, b) ((a) * 0.5 + (b) * 0.5)\n"
                         "#if LEVEL > 1 && defined(LEVEL)\n"
                         "#  define VALUE MIX(0.25, 0.75)\n"
                         "#elif LEVEL == 1\n"
                         "#  define VALUE broken(\n"
                         "#else\n"
                         "#  error no level\n"
                         "#endif\n"
                         "#ifndef LEVEL\n"
                         "  this text is skipped\n"
                         "#endif\n"
                         "float4 psMain() : COLOR { return float4(VALUE, 0, 0, \\\n"
                         "  1); }\n";
    CgTranslation t = translate(source, "psMain", fragment);
    ASSERT_TRUE(t.ok) << t.listing;
    EXPECT_NE(t.glsl.find("((0.25 * 0.5) + (0.75 * 0.5))"), std::string::npos) << t.glsl;
    // Lines keep their numbers through directives and continued lines.
    EXPECT_NE(errorOf(source + std::string("float4 psLine() : COLOR { return undefinedName; }\n"),
                      "psLine")
                  .find("t.cg(15) : error: undeclared identifier"),
              std::string::npos);
    EXPECT_NE(errorOf("#if 1\n#error stop here\n#endif\n", "psMain")
                  .find("t.cg(2) : error: #error stop here"),
              std::string::npos);
    EXPECT_NE(errorOf("#ifdef X\nfloat4 psMain() : COLOR { return 1; }\n", "psMain")
                  .find("t.cg(1) : error: #if without #endif"),
              std::string::npos);
    EXPECT_NE(errorOf("#include \"other.cg\"\n", "psMain")
                  .find("t.cg(1) : error: cannot open #include \"other.cg\""),
              std::string::npos);
    // Pasted tokens form names, even a library function's.
    CgTranslation pasted = translate("#define CAT(a, b) a##b\n"
                                     "#define LOOKUP(x) CAT(tex, x)\n"
                                     "sampler2D tex0;\n"
                                     "float4 psMain(float2 t : TEXCOORD0) : COLOR {\n"
                                     "    float CAT(va, lue) = 2;\n"
                                     "    return LOOKUP(2D)(CAT(tex, 0), t) * value;\n"
                                     "}\n",
                                     "psMain", fragment);
    ASSERT_TRUE(pasted.ok) << pasted.listing;
    EXPECT_NE(pasted.glsl.find("return (texture2D(tex0, t) * value);"), std::string::npos)
        << pasted.glsl;
    // A macro that names itself stops expanding instead of looping.
    EXPECT_NE(errorOf("#define loop loop + 1\nfloat4 psMain() : COLOR { return loop; }\n", "psMain")
                  .find("t.cg(2) : error: undeclared identifier 'loop'"),
              std::string::npos);
}

// The Cg line a driver would report for the GLSL line holding text: GLSL 1.20
// numbers the line after "#line N" as N + 1.
int reportedLine(const std::string& glsl, const std::string& text) {
    int line = 1;
    size_t start = 0;
    while (start < glsl.size()) {
        size_t end = glsl.find('\n', start);
        std::string current = glsl.substr(start, end - start);
        if (current.compare(0, 6, "#line ") == 0) {
            line = std::stoi(current.substr(6)) + 1;
        } else {
            if (current.find(text) != std::string::npos) {
                return line;
            }
            ++line;
        }
        start = end == std::string::npos ? glsl.size() : end + 1;
    }
    return -1;
}

TEST(CgTranslator, GlslCarriesLineMarks) {
    CgTranslation t = translate("float4 psMain(float4 c : COLOR0) : COLOR\n"
                                "{\n"
                                "    float4 d = c * 2;\n"
                                "\n"
                                "    d.x = 1; d.y = 2;\n"
                                "\n"
                                "\n"
                                "    return d;\n"
                                "}\n",
                                "psMain", fragment);
    ASSERT_TRUE(t.ok) << t.listing;
    EXPECT_EQ(reportedLine(t.glsl, "vec4 d = (c * 2.0);"), 3) << t.glsl;
    EXPECT_EQ(reportedLine(t.glsl, "d.x = 1.0;"), 5) << t.glsl;
    EXPECT_EQ(reportedLine(t.glsl, "d.y = 2.0;"), 5) << t.glsl;
    EXPECT_EQ(reportedLine(t.glsl, "return d;"), 8) << t.glsl;
}

TEST(CgTranslator, WhatCannotBeTranslatedIsRejected) {
    struct Case {
        const char* source;
        const char* message;
    };
    const Case cases[] = {
        {"float4 psMain() : COLOR { int a = 3; return a & 1; }", "bitwise operator '&'"},
        {"float4 vsMain() : POSITION { return mul(glstate.matrix.modelview[1], 1); }",
         "only modelview[0]"},
        {"sampler2D s; float4 psMain(float3 t : TEXCOORD0) : COLOR { return tex2D(s, t); }",
         "tex2D with a 3-component coordinate"},
        {"float f(float x) { return f(x); }\nfloat4 psMain() : COLOR { return f(1); }",
         "recursive call of 'f'"},
        {"float4 psMain(float4 c : COLOR0) : COLOR { switch (1) { } return c; }", "'switch'"},
        {"float4 psMain(float4 c : SHINE) : COLOR { return c; }", "semantic SHINE"},
        {"float4 psMain(float4 c) : COLOR { return c; }", "has no semantic"},
        {"float4 g; float4 psMain() : COLOR { g = 1; return g; }",
         "cannot assign to program parameter 'g'"},
        {"float4 psMain() : COLOR { float4x4 m; return mul(m, float3(1, 2, 3)); }", "sizes differ"},
        {"float4 psMain() : COLOR { return 99999999999; }", "too large"},
        {"float4 psMain() : COLOR { float4 a; a.xx = 1; return a; }", "repeats a component"},
        {"float4 psMain(float4 c : COLOR0) : COLOR { c *= 2; }", "has no return statement"},
        {"float4 g : TEXCOORD1; float4 psMain() : COLOR { return g; }", "with semantic TEXCOORD1"},
    };
    for (const Case& c : cases) {
        std::string listing = errorOf(c.source, c.source[7] == 'v' ? "vsMain" : "psMain",
                                      c.source[7] == 'v' ? vertex : fragment);
        EXPECT_NE(listing.find(c.message), std::string::npos) << c.source << "\n" << listing;
        EXPECT_EQ(listing.find("t.cg("), 0u) << listing;
    }
}

TEST(CgTranslator, ReservedWordsAndEntryNamedMain) {
    CgTranslation t = translate("float sample(float texture) { return texture * 2; }\n"
                                "float4 main(float4 filter : COLOR0) : COLOR {\n"
                                "  float output = sample(filter.x);\n"
                                "  return float4(output, filter.yzw);\n"
                                "}\n",
                                "main", fragment);
    ASSERT_TRUE(t.ok) << t.listing;
    for (const char* word : {" sample(", " texture)", " output ", " filter)"}) {
        EXPECT_EQ(t.glsl.find(word), std::string::npos) << word << "\n" << t.glsl;
    }
    EXPECT_NE(t.glsl.find("void main()"), std::string::npos);
}

TEST(CgDriverLog, BecomesListingLinesNamingTheCgLine) {
    EXPECT_EQ(driverListing("0:12(5): error: `x' undeclared\n"
                            "0:14(1): warning: unused\n"
                            "error: linking failed\n"
                            "something else\n",
                            "data/a.cg"),
              "data/a.cg(12) : error: `x' undeclared\n"
              "data/a.cg(14) : warning: unused\n"
              "data/a.cg(0) : error: linking failed\n"
              "data/a.cg(0) : error: something else\n");
    EXPECT_EQ(driverListing("", "a.cg"), "");
}

TEST(CgCompiler, TranslatesAFileOrExitsOneWithTheListing) {
    TempDir dir;
    {
        std::ofstream good(dir.file("good.cg"));
        good << "float4 vsMain(float4 p : POSITION) : POSITION { return p; }\n";
        std::ofstream bad(dir.file("bad.cg"));
        bad << "float4 psMain() : COLOR {\n  return nothing;\n}\n";
    }
    std::string cgc = stageProgram("lumora-cgc");
    std::string output;
    EXPECT_EQ(runCommand(cgc + " -profile arbvp1 -entry vsMain -o " + dir.file("good.glsl") + " " +
                             dir.file("good.cg"),
                         &output),
              0)
        << output;
    std::ifstream written(dir.file("good.glsl"));
    std::string first;
    std::getline(written, first);
    EXPECT_EQ(first, "#version 120");

    EXPECT_EQ(runCommand(cgc + " -profile arbfp1 -entry psMain " + dir.file("bad.cg"), &output), 1);
    EXPECT_NE(output.find(dir.file("bad.cg") + "(2) : error: undeclared identifier 'nothing'"),
              std::string::npos)
        << output;

    EXPECT_EQ(
        runCommand("echo 'float4 main() : COLOR { return 1; }' | " + cgc + " -profile arbfp1 -",
                   &output),
        0)
        << output;
    EXPECT_NE(output.find("gl_FragColor"), std::string::npos);
    EXPECT_EQ(runCommand(cgc + " -profile arbvp2 x.cg", &output), 1);
    EXPECT_EQ(runCommand(cgc + " -profile arbfp1 " + dir.file("missing.cg"), &output), 1);
    EXPECT_NE(output.find("missing.cg"), std::string::npos);
}

} // namespace
