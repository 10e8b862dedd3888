// The translator alone: small Cg programs with the listing, parameter table or
// GLSL shape they must give. What they draw is checked in CgRenderTest.
#include "platform/ShaderContext.h"
#include "resources/CgProgram.h"
#include "resources/cg/Translator.h"
#include "tests/support/GlTest.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

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

// Included files come from a map instead of the file system.
cg::SourceOptions filesFrom(const std::map<std::string, std::string>& files) {
    cg::SourceOptions options;
    options.readFile = [files](const std::string& path, std::string& text, std::string& reason) {
        auto found = files.find(path);
        if (found == files.end()) {
            reason = "no such file";
            return false;
        }
        text = found->second;
        return true;
    };
    return options;
}

TEST(CgTranslator, IncludeProblemsStandAtTheIncludeLine) {
    auto listing = [](const std::map<std::string, std::string>& files, const std::string& main) {
        CgTranslation t = translateCg(main, "psMain", fragment, "dir/main.cg", filesFrom(files));
        EXPECT_FALSE(t.ok);
        return t.listing;
    };
    const std::string entry = "float4 psMain() : COLOR { return 1; }\n";
    EXPECT_EQ(listing({}, "\n#include \"missing.cg\"\n" + entry),
              "dir/main.cg(2) : error: cannot open #include \"missing.cg\": no such file\n");
    // In an included file, the line is that file's.
    EXPECT_EQ(listing({{"dir/a.cg", "// a\n#include \"b.cg\"\n"}}, "#include \"a.cg\"\n" + entry),
              "dir/a.cg(2) : error: cannot open #include \"b.cg\": no such file\n");
    // Without a guard, a file that includes itself again is a cycle.
    EXPECT_EQ(
        listing({{"dir/a.cg", "#include \"b.cg\"\n"}, {"dir/b.cg", "\n\n#include \"a.cg\"\n"}},
                "#include \"a.cg\"\n" + entry),
        "dir/b.cg(3) : error: #include \"a.cg\" is a cycle: dir/main.cg includes dir/a.cg, "
        "which includes dir/b.cg, which includes dir/a.cg\n");
    EXPECT_NE(listing({}, "#include missing.cg\n" + entry).find("dir/main.cg(1) : error: #include"),
              std::string::npos);
    // An error in an included file names it.
    EXPECT_EQ(listing({{"dir/a.cg", "float f() {\n  return nothing;\n}\n"}},
                      "#include \"a.cg\"\nfloat4 psMain() : COLOR { return f(); }\n"),
              "dir/a.cg(2) : error: undeclared identifier 'nothing'\n");
    // The file's own folder before the -I folders, which are searched in order;
    // a guarded or #pragma once file is read once.
    cg::SourceOptions options =
        filesFrom({{"dir/a.cg", "#ifndef A\n#define A\nfloat a() { "
                                "return 0.25; }\n#endif\n"},
                   {"inc/a.cg", "#error the wrong a.cg\n"},
                   {"inc/b.cg", "#pragma once\nfloat b() { return 0.5; }\n"},
                   {"more/b.cg", "#error the wrong b.cg\n"},
                   {"other/c.cg", "#include \"b.cg\"\n"}});
    options.includeFolders = {"inc", "more", "other"};
    CgTranslation t =
        translateCg("#include \"a.cg\"\n#include <b.cg>\n#include <c.cg>\n"
                    "#include \"a.cg\"\nfloat4 psMain() : COLOR { return a() + b(); }\n",
                    "psMain", fragment, "dir/main.cg", options);
    ASSERT_TRUE(t.ok) << t.listing;
    EXPECT_EQ(t.files,
              (std::vector<std::string>{"dir/main.cg", "dir/a.cg", "inc/b.cg", "other/c.cg"}));
}

TEST(CgTranslator, MacrosFromTheCommandLine) {
    cg::SourceOptions options;
    std::string error;
    ASSERT_TRUE(
        addCgArguments({"-DSCALE=0.5", "-D", "FAST", "-I", "inc", "-Imore"}, options, error));
    EXPECT_EQ(options.includeFolders, (std::vector<std::string>{"inc", "more"}));
    CgTranslation t =
        translateCg("#if FAST == 1\nfloat4 psMain() : COLOR { return SCALE; }\n#endif\n", "psMain",
                    fragment, "t.cg", options);
    ASSERT_TRUE(t.ok) << t.listing;
    EXPECT_NE(t.glsl.find("vec4(0.5)"), std::string::npos) << t.glsl;
    EXPECT_FALSE(addCgArguments({"-D3D=1"}, options, error));
    EXPECT_EQ(error, "-D3D=1: '3D' is not a macro name");
    EXPECT_FALSE(addCgArguments({"-O3"}, options, error));
    EXPECT_FALSE(addCgArguments({"-I"}, options, error));
}

TEST(CgTranslator, OnlyReachedFunctionsAreChecked) {
    const std::string others = "float3 narrow(float4 x) { float3 y = x; return y; }\n"
                               "float lost() { return missing; }\n"
                               "float4 psMain() : COLOR { return 1; }\n";
    // Unreached, their warnings and errors stay out of the listing...
    CgTranslation t = translate(others, "psMain", fragment);
    ASSERT_TRUE(t.ok) << t.listing;
    EXPECT_EQ(t.listing, "");
    // ...reached, they are listed, warnings first.
    EXPECT_EQ(errorOf(others + "float4 psBoth() : COLOR { return float4(narrow(1), lost()); }\n",
                      "psBoth"),
              "t.cg(1) : warning: initializer: implicit cast from float4 to float3 truncates\n"
              "t.cg(2) : error: undeclared identifier 'missing'\n");
    // So do declarations: a signature, a return type or a global these profiles lack.
    const std::string declarations = "uniform float4x4 palette[8] : state.matrix.palette[0];\n"
                                     "float4 scaled(float4 x, float k = 2) { return x * k; }\n"
                                     "half1x4 row() { return 0; }\n"
                                     "float4 skinned(float4 p) { return mul(palette[0], p); }\n";
    CgTranslation unused = translate(declarations + others, "psMain", fragment);
    ASSERT_TRUE(unused.ok) << unused.listing;
    EXPECT_EQ(unused.listing, "");
    EXPECT_EQ(errorOf(declarations + others +
                          "float4 vsMain(float4 p : POSITION) : POSITION { return skinned(p); }\n",
                      "vsMain", vertex),
              "t.cg(1) : error: state.matrix.palette[0] is not supported\n");
    EXPECT_EQ(errorOf(declarations + others, "scaled", vertex),
              "t.cg(2) : error: default parameter values are not supported\n");
    EXPECT_EQ(
        errorOf(declarations + others + "float4 psRow() : COLOR { return row()[0]; }\n", "psRow"),
        "t.cg(3) : error: half1x4: matrices with one row or column are not supported\n");
    // Defining a name twice is an error wherever it happens.
    EXPECT_NE(errorOf("float f() { return 1; }\nfloat f() { return 2; }\n" + others, "psMain")
                  .find("t.cg(2) : error: redefinition of function 'f'"),
              std::string::npos);
    // A syntax error counts wherever it stands.
    EXPECT_NE(errorOf("float unused() { return 1 }\n" + others, "psMain")
                  .find("t.cg(1) : error: syntax error: ';' expected"),
              std::string::npos);
    // A geometry program parses but is no entry for these profiles.
    const std::string geometry =
        "TRIANGLE void gsMain(AttribArray<float4> p : POSITION) { emitVertex(p[0] : POSITION); }\n";
    EXPECT_TRUE(translate(geometry + others, "psMain", fragment).ok);
    EXPECT_EQ(errorOf(geometry + others, "gsMain", vertex),
              "t.cg(1) : error: 'gsMain' is a geometry program, which arbvp1 and arbfp1 cannot "
              "run\n");
    // The primitive may stand before a parameter too, in either case; where it
    // qualifies nothing its name is free for types, functions and variables.
    for (const char* form : {"void gsMain(TRIANGLE AttribArray<float4> p : POSITION) {}\n",
                             "void gsMain(uniform float k, in line_adj float4 p[4]) {}\n",
                             "point void gsMain(AttribArray<float4> p : POSITION) {}\n"}) {
        EXPECT_TRUE(translate(form + others, "psMain", fragment).ok) << form;
        EXPECT_NE(errorOf(form + others, "gsMain").find("'gsMain' is a geometry program"),
                  std::string::npos)
            << form;
    }
    EXPECT_TRUE(translate("struct point { float4 p; };\n"
                          "float4 line(point triangle) { return triangle.p; }\n"
                          "float4 psMain(float4 c : COLOR0) : COLOR {\n"
                          "    point q; q.p = c; return line(q);\n"
                          "}\n",
                          "psMain", fragment)
                    .ok);
    EXPECT_NE(errorOf("void corner(float4 p) { emitVertex(p : POSITION); }\n"
                      "float4 vsMain(float4 p : POSITION) : POSITION { corner(p); return p; }\n",
                      "vsMain", vertex)
                  .find("t.cg(1) : error: emitVertex is only available in geometry programs"),
              std::string::npos);
}

TEST(CgTranslator, WhatTheProfilesCannotRunIsRefusedWithTheReason) {
    struct Case {
        const char* source;
        const char* entry;
        const char* message;
    };
    const Case cases[] = {
        {"sampler2D s; float4 vsMain(float4 p : POSITION) : POSITION { return p + tex2D(s, p.xy); "
         "}",
         "vsMain", "t.cg(1) : error: tex2D is only available in fragment programs (arbfp1)"},
        {"sampler2D s; float4 psMain(float4 t : TEXCOORD0) : COLOR { return tex2Dlod(s, t); }",
         "psMain", "t.cg(1) : error: tex2Dlod needs a later profile than arbvp1 and arbfp1"},
        {"float4 psMain(float4 t : TEXCOORD0) : COLOR { return unpack_4ubyte(t.x); }", "psMain",
         "unpack_4ubyte needs a later profile"},
        {"sampler2D s; float4 psMain(float3 t : TEXCOORD0) : COLOR { return tex2D(s, t); }",
         "psMain", "(a shadow-map comparison) is not supported"},
        {"float4 psMain(float4 t : TEXCOORD0) : COLOR { return noise(t.x); }", "psMain",
         "noise has no form arbvp1 and arbfp1 can run"},
        {"sampler s; float4 psMain(float3 t : TEXCOORD0) : COLOR {\n"
         "  return tex2D(s, t.xy) + texCUBE(s, t); }",
         "psMain", "t.cg(2) : error: sampler 's' is read as sampler2D and as samplerCUBE"},
        {"uniform float4x4 m : state.matrix.palette[0];\n"
         "float4 vsMain(float4 p : POSITION) : POSITION { return mul(m, p); }",
         "vsMain", "t.cg(1) : error: state.matrix.palette[0] is not supported"},
        {"uniform float4 m : state.matrix.mvp;\n"
         "float4 vsMain(float4 p : POSITION) : POSITION { return m; }",
         "vsMain",
         "t.cg(1) : error: 'm' of type float4 cannot be bound to state.matrix.mvp, a float4x4"},
        {"float4 vsMain(float4 p : POSITION, float4x4 m : state.matrix.mvp) : POSITION {\n"
         "  return mul(m, p); }",
         "vsMain", "t.cg(1) : error: 'm' is bound to state.matrix.mvp but not uniform"},
        {"static const float2 o[2] = { 1, 2, 3, 4, 5 };\n"
         "float4 psMain() : COLOR { return o[0].xyxy; }",
         "psMain", "t.cg(1) : error: the initializer has more values than float2[2] holds"},
        {"static const float3 o[2] = { 1, 2, float2(3, 4) };\n"
         "float4 psMain() : COLOR { return o[0].xyzx; }",
         "psMain", "t.cg(1) : error: initializer values cross the end of a float3"},
    };
    for (const Case& c : cases) {
        std::string listing =
            errorOf(c.source, c.entry, std::string(c.entry)[0] == 'v' ? vertex : fragment);
        EXPECT_NE(listing.find(c.message), std::string::npos) << c.source << "\n" << listing;
    }
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
    EXPECT_EQ(runCommand(cgc + " -profile arbvp2 x.cg", &output), 2);
    EXPECT_EQ(runCommand(cgc + " -profile arbfp1 " + dir.file("missing.cg"), &output), 1);
    EXPECT_NE(output.find("missing.cg"), std::string::npos);
}

TEST(CgCompiler, SaysWhatTheFileIsWhenItIsNoCgText) {
    TempDir dir;
    std::ofstream(dir.file("zeros.cg"), std::ios::binary) << std::string(64, '\0');
    std::filesystem::resize_file(dir.file("zeros.cg"), 200 << 20);
    std::ofstream(dir.file("binary.cg"), std::ios::binary)
        << std::string("float4 main() : COLOR { return 1; }\n\0\x01", 38);
    std::string cgc = "timeout 60 " + stageProgram("lumora-cgc") + " -profile arbfp1 ";
    struct Case {
        std::string arguments;
        std::string says;
    } cases[] = {
        {dir.path(), dir.path() + ": not a regular file: it is a folder"},
        {"/dev/urandom", "/dev/urandom: not a regular file: it is a character device"},
        {dir.file("zeros.cg"),
         "zeros.cg: too large: 209715200 bytes, the limit is 16777216 bytes (16 MiB)"},
        {dir.file("binary.cg"), "binary.cg: not text: contains a NUL byte at offset 36"},
        {"- < /dev/zero", "standard input: too large: more than the limit of 16777216 bytes"}};
    for (const Case& c : cases) {
        std::string output;
        EXPECT_EQ(runCommand(cgc + c.arguments, &output), 1) << c.arguments;
        EXPECT_NE(output.find("lumora-cgc: "), std::string::npos) << output;
        EXPECT_NE(output.find(c.says), std::string::npos) << output;
    }
}

TEST(CgCompiler, TakesMacrosAndIncludeFolders) {
    TempDir dir;
    std::filesystem::create_directories(dir.file("lib"));
    std::ofstream(dir.file("lib/tone.cg")) << "float3 tone(float3 c) { return c * EXPOSURE; }\n";
    std::ofstream(dir.file("main.cg")) << "#include <tone.cg>\n"
                                          "float4 psMain(float4 c : COLOR0) : COLOR {\n"
                                          "#ifdef GREY\n"
                                          "    c.rgb = dot(c.rgb, 0.333);\n"
                                          "#endif\n"
                                          "    return float4(tone(c.rgb), 1);\n"
                                          "}\n";
    std::string cgc = stageProgram("lumora-cgc") + " -profile arbfp1 -entry psMain ";
    std::string output;
    EXPECT_EQ(
        runCommand(cgc + "-I " + dir.file("lib") + " -DEXPOSURE=0.5 -DGREY " + dir.file("main.cg"),
                   &output),
        0)
        << output;
    EXPECT_NE(output.find("return (c * 0.5);"), std::string::npos) << output;
    EXPECT_NE(output.find("dot("), std::string::npos) << output;
    // Without -I the include is missing, reported at its line.
    EXPECT_EQ(runCommand(cgc + "-DEXPOSURE=0.5 " + dir.file("main.cg"), &output), 1);
    EXPECT_NE(output.find(dir.file("main.cg") + "(1) : error: cannot open #include <tone.cg>"),
              std::string::npos)
        << output;
    EXPECT_EQ(runCommand(cgc + "-D=1 " + dir.file("main.cg"), &output), 2);
    EXPECT_NE(output.find("not a macro name"), std::string::npos) << output;
}

} // namespace
