#include "GeneratedFolder.h"

#include "platform/Gl.h"
#include "platform/ShaderContext.h"
#include "resources/cg/Translator.h"
#include "support/GlTest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// Every entry pair the effects compile, with the parameters they set by name
// that these shaders use.
struct EntryPair {
    const char* file;
    const char* vertex;
    const char* fragment;
    std::vector<std::string> parameters;
};

const EntryPair kPairs[] = {
    {"data/meridian.cg", "vsOcean", "psOcean", {"time", "tex0", "tex1", "camPos"}},
    {"data/meridian.cg", "vsPlain", "psPlainColor", {"tex0", "color"}},
    {"data/meridian.cg", "vsPlain", "psBlack", {}},
    {"data/meridian.cg", "vsPlain", "psColorLit", {"materialAmbient", "materialDiffuse"}},
    {"data/torus.cg", "vsPlain", "psPlainEnvmap", {"cc", "tex0", "tex1", "tex2"}},
    {"data/lensFlare.cg", "vsMain", "psMain", {"tex"}},
    {"data/LumoraShaders.cg", "vsBillboard", "psPlainColored", {"tex0"}},
    {"Lumora/LumoraShaders.cg", "vsPlain", "psPlain", {"tex0"}},
};

class ShaderFiles : public GlTest {};

// The driver must accept what the translator wrote, alone and as a pipeline.
GLuint compileStage(GLenum stage, const std::string& glsl, std::string& log) {
    const char* text = glsl.c_str();
    const GLuint program = glCreateShaderProgramv(stage, 1, &text);
    GLint linked = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (!linked) {
        char buffer[4096] = {};
        glGetProgramInfoLog(program, sizeof buffer, nullptr, buffer);
        log = buffer;
        glDeleteProgram(program);
        return 0;
    }
    return program;
}

TEST_F(ShaderFiles, EveryEntryCompilesWithTheParametersItsEffectSets) {
    const GeneratedFolder& run = generatedFolder();
    ASSERT_EQ(run.exitStatus, 0) << run.output;
    for (const EntryPair& pair : kPairs) {
        SCOPED_TRACE(std::string(pair.file) + " " + pair.vertex + "/" + pair.fragment);
        const std::vector<unsigned char> bytes = readFileBytes(run.path + "/" + pair.file);
        const std::string source(bytes.begin(), bytes.end());
        const CgTranslation vertex =
            translateCg(source, pair.vertex, ShaderProfile::Vertex, pair.file);
        const CgTranslation fragment =
            translateCg(source, pair.fragment, ShaderProfile::Fragment, pair.file);
        ASSERT_TRUE(vertex.ok) << vertex.listing;
        ASSERT_TRUE(fragment.ok) << fragment.listing;

        std::string log;
        const GLuint vs = compileStage(GL_VERTEX_SHADER, vertex.glsl, log);
        EXPECT_NE(vs, 0u) << log << "\n" << vertex.glsl;
        const GLuint fs = compileStage(GL_FRAGMENT_SHADER, fragment.glsl, log);
        EXPECT_NE(fs, 0u) << log << "\n" << fragment.glsl;

        for (const std::string& name : pair.parameters) {
            auto has = [&](const CgTranslation& t) {
                return std::any_of(t.parameters.begin(), t.parameters.end(),
                                   [&](const cg::Parameter& p) { return p.cgName == name; });
            };
            EXPECT_TRUE(has(vertex) || has(fragment)) << name << " is not a parameter";
        }
        glDeleteProgram(vs);
        glDeleteProgram(fs);
    }
    expectNoGlError();
}

} // namespace
