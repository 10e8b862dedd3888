#include "platform/WindowPass.h"

#include "platform/Gl.h"

#include <initializer_list>

KeptGlState::KeptGlState() {
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &readBound);
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &drawBound);
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &vertexArray);
    glGetIntegerv(GL_ACTIVE_TEXTURE, &activeTexture);
    glActiveTexture(GL_TEXTURE0);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
}

KeptGlState::~KeptGlState() {
    // The framebuffers first: the read and draw buffers put back below belong
    // to the framebuffers bound then.
    glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(readBound));
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(drawBound));
    glPopAttrib();
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture));
    glActiveTexture(static_cast<GLenum>(activeTexture));
    glBindVertexArray(static_cast<GLuint>(vertexArray));
    glUseProgram(static_cast<GLuint>(program));
}

void plainPassState() {
    for (GLenum capability :
         {GL_DEPTH_TEST, GL_STENCIL_TEST, GL_BLEND, GL_ALPHA_TEST, GL_CULL_FACE, GL_COLOR_LOGIC_OP,
          GL_POLYGON_STIPPLE, GL_SAMPLE_ALPHA_TO_COVERAGE, GL_SAMPLE_ALPHA_TO_ONE,
          GL_SAMPLE_COVERAGE, GL_FRAMEBUFFER_SRGB, GL_RASTERIZER_DISCARD, GL_SCISSOR_TEST}) {
        glDisable(capability);
    }
    for (int plane = 0; plane < 6; ++plane) {
        glDisable(GL_CLIP_DISTANCE0 + plane);
    }
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
}

namespace {

// Vertices come from their index, so no arrays are read whatever the
// fixed-function state.
const char* const passVertexShader = R"(#version 130
out vec2 place;
void main() {
    place = vec2(gl_VertexID & 1, gl_VertexID >> 1);
    gl_Position = vec4(place * 2.0 - 1.0, 0.0, 1.0);
}
)";

GLuint compile(GLenum stage, const char* text) {
    GLuint shader = glCreateShader(stage);
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    return shader;
}

} // namespace

unsigned int linkPassProgram(const char* fragmentShader) {
    if (epoxy_gl_version() < 30) {
        return 0;
    }
    GLuint vertex = compile(GL_VERTEX_SHADER, passVertexShader);
    GLuint fragment = compile(GL_FRAGMENT_SHADER, fragmentShader);
    GLuint program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glLinkProgram(program);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (linked != GL_TRUE) {
        glDeleteProgram(program);
        return 0;
    }
    return program;
}
