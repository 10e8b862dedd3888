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

const float stateModelview[16] = {0.5f, 0.1f, 0.0f, 0.1f, 0.0f, 0.4f, 0.2f, -0.2f,
                                  0.1f, 0.0f, 0.6f, 0.3f, 0.0f, 0.0f, 0.0f, 1.0f};
const float stateProjection[16] = {0.8f, 0.0f, 0.1f, 0.0f, 0.0f, 0.9f, 0.0f, 0.1f,
                                   0.0f, 0.2f, 0.7f, 0.0f, 0.1f, 0.0f, 0.0f, 1.0f};
const float stateVector[4] = {0.2f, 0.4f, 0.6f, 1.0f};

std::array<float, 4> rowTimesVector(const float m[16], const float v[4]) {
    std::array<float, 4> r{};
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            r[static_cast<size_t>(i)] += m[i * 4 + j] * v[j];
        }
    }
    return r;
}

std::array<float, 4> vectorTimesRow(const float v[4], const float m[16]) {
    std::array<float, 4> r{};
    for (int j = 0; j < 4; ++j) {
        for (int i = 0; i < 4; ++i) {
            r[static_cast<size_t>(j)] += v[i] * m[i * 4 + j];
        }
    }
    return r;
}

std::array<int, 4> CgDrawTest::shadeState(const std::string& declarations,
                                          const std::string& value) {
    const std::string source = declarations +
                               "void vsState(float4 p : POSITION, out float4 op : POSITION,\n"
                               "             out float4 oc : COLOR0) {\n"
                               "    float4 v = float4(0.2, 0.4, 0.6, 1.0);\n"
                               "    op = p;\n"
                               "    oc = 0.5 + 0.25 * (" +
                               value +
                               ");\n"
                               "}\n"
                               "float4 psColor(float4 c : COLOR0) : COLOR { return c; }\n";
    CgProgramPair pair(source.c_str(), "vsState", "psColor");
    // GL takes the columns.
    float columns[16];
    for (int i = 0; i < 16; ++i) {
        columns[i] = stateModelview[(i % 4) * 4 + i / 4];
    }
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(columns);
    for (int i = 0; i < 16; ++i) {
        columns[i] = stateProjection[(i % 4) * 4 + i / 4];
    }
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(columns);
    glMatrixMode(GL_MODELVIEW);
    pair.bind();
    drawQuad();
    pair.unbind();
    return pixel(400, 300);
}

void expectShade(const std::array<int, 4>& got, const std::array<float, 4>& r) {
    expectColor(got, 0.5f + 0.25f * r[0], 0.5f + 0.25f * r[1], 0.5f + 0.25f * r[2],
                0.5f + 0.25f * r[3]);
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
