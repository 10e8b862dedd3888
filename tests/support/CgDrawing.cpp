#include "CgDrawing.h"

#include "platform/Gl.h"
#include "platform/GlState.h"
#include "platform/ShaderContext.h"
#include "resources/CgProgram.h"

#include <vector>

const char* const passThroughVertex =
    "void vsPass(float4 p : POSITION, float4 t : TEXCOORD0, float4 c : COLOR0,\n"
    "            out float4 op : POSITION, out float4 ot : TEXCOORD0, out float4 oc : COLOR0)\n"
    "{ op = p; ot = t; oc = c; }\n";

void CgDrawTest::drawQuad() {
    clear(0.0f, 0.0f, 0.0f, 0.0f, true, true, false);
    static const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    glBegin(GL_QUADS);
    for (const auto& c : corners) {
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
        glMultiTexCoord4f(GL_TEXTURE0, (c[0] + 1) * 0.5f, (c[1] + 1) * 0.5f, 0.0f, 1.0f);
        glVertex4f(c[0], c[1], 0.0f, 1.0f);
    }
    glEnd();
}

std::array<int, 4> CgDrawTest::shade(const std::string& fragmentSource, const char* const* args) {
    std::string source = std::string(passThroughVertex) + fragmentSource;
    CgProgramPair pair(source.c_str(), "vsPass", "psTest", "test.cg", args);
    pair.bind();
    drawQuad();
    pair.unbind();
    disableFragmentPrograms();
    disableVertexPrograms();
    return pixel(400, 300);
}

std::unique_ptr<Texture> CgDrawTest::solidTexture(unsigned char r, unsigned char g, unsigned char b,
                                                  unsigned char a) {
    std::vector<unsigned char> pixels;
    for (int i = 0; i < 4; ++i) {
        pixels.insert(pixels.end(), {r, g, b, a});
    }
    return std::make_unique<Texture>(2, 2, pixels.data(), PixelKind::Rgba8, TextureFilter::Nearest);
}

void expectColor(const std::array<int, 4>& got, float r, float g, float b, float a) {
    const float want[4] = {r, g, b, a};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(got[static_cast<size_t>(i)], want[i] * 255.0f, 2.0f)
            << "component " << i << " of (" << got[0] << ", " << got[1] << ", " << got[2] << ", "
            << got[3] << ")";
    }
}

bool driverAccepts(const std::string& glsl, int profile, std::string* log) {
    GLuint shader =
        glCreateShader(profile == ShaderProfile::Vertex ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER);
    const char* text = glsl.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLuint program = glCreateProgram();
    glProgramParameteri(program, GL_PROGRAM_SEPARABLE, GL_TRUE);
    glAttachShader(program, shader);
    glLinkProgram(program);
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    char buffer[4096] = {0};
    glGetShaderInfoLog(shader, sizeof buffer, nullptr, buffer);
    *log = buffer;
    glGetProgramInfoLog(program, sizeof buffer, nullptr, buffer);
    *log += buffer;
    glDeleteProgram(program);
    glDeleteShader(shader);
    return linked == GL_TRUE;
}
