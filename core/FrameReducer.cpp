#include "core/FrameReducer.h"

#include "platform/EngineError.h"
#include "platform/Gl.h"

#include <string>

namespace {

// One triangle strip over the viewport; vertices from their index.
const char* const vertexShader = R"(#version 130
void main() {
    vec2 place = vec2(gl_VertexID & 1, gl_VertexID >> 1);
    gl_Position = vec4(place * 2.0 - 1.0, 0.0, 1.0);
}
)";

const char* const fragmentShader = R"(#version 130
uniform sampler2D frame;
uniform int factor;
void main() {
    ivec2 corner = ivec2(gl_FragCoord.xy) * factor;
    vec3 sum = vec3(0.0);
    for (int j = 0; j < factor; ++j) {
        for (int i = 0; i < factor; ++i) {
            sum += texelFetch(frame, corner + ivec2(i, j), 0).rgb;
        }
    }
    gl_FragColor = vec4(sum / float(factor * factor), 1.0);
}
)";

GLuint compile(GLenum stage, const char* text) {
    GLuint shader = glCreateShader(stage);
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    return shader;
}

// A colour texture of the size and a framebuffer drawing into it.
void makeTarget(int width, int height, GLuint& texture, GLuint& framebuffer) {
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        throw EngineError("a " + std::to_string(width) + " x " + std::to_string(height) +
                          " frame for supersampling cannot be made");
    }
}

// The bindings and state a reduction changes, as the frames left them.
class KeptState {
public:
    KeptState() {
        glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &readBound);
        glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &drawBound);
        glGetIntegerv(GL_CURRENT_PROGRAM, &program);
        glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &vertexArray);
        glGetIntegerv(GL_ACTIVE_TEXTURE, &activeTexture);
        glActiveTexture(GL_TEXTURE0);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture);
        glPushAttrib(GL_ALL_ATTRIB_BITS);
    }
    ~KeptState() {
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
    KeptState(const KeptState&) = delete;
    KeptState& operator=(const KeptState&) = delete;

private:
    GLint readBound = 0, drawBound = 0, program = 0, vertexArray = 0, activeTexture = 0,
          texture = 0;
};

} // namespace

FrameReducer::FrameReducer(int factor_, int width_, int height_)
    : factor(factor_), width(width_), height(height_) {
    KeptState kept;
    makeTarget(width * factor, height * factor, frameTexture, frameFramebuffer);
    makeTarget(width, height, reducedTexture, reducedFramebuffer);
    GLuint vertex = compile(GL_VERTEX_SHADER, vertexShader);
    GLuint fragment = compile(GL_FRAGMENT_SHADER, fragmentShader);
    program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glLinkProgram(program);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (linked != GL_TRUE) {
        throw EngineError("the supersampling program does not link on this driver");
    }
    glUseProgram(program);
    glUniform1i(glGetUniformLocation(program, "frame"), 0);
    glUniform1i(glGetUniformLocation(program, "factor"), factor);
    glGenVertexArrays(1, &vertexArray);
}

FrameReducer::~FrameReducer() {
    glDeleteFramebuffers(1, &frameFramebuffer);
    glDeleteFramebuffers(1, &reducedFramebuffer);
    glDeleteTextures(1, &frameTexture);
    glDeleteTextures(1, &reducedTexture);
    glDeleteProgram(program);
    glDeleteVertexArrays(1, &vertexArray);
}

void FrameReducer::reduce() {
    KeptState kept;
    // The window's buffer may be multisampled; the blit resolves it.
    glDisable(GL_SCISSOR_TEST);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glReadBuffer(GL_BACK);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, frameFramebuffer);
    const int large[2] = {width * factor, height * factor};
    glBlitFramebuffer(0, 0, large[0], large[1], 0, 0, large[0], large[1], GL_COLOR_BUFFER_BIT,
                      GL_NEAREST);

    glBindFramebuffer(GL_FRAMEBUFFER, reducedFramebuffer);
    for (GLenum capability :
         {GL_DEPTH_TEST, GL_STENCIL_TEST, GL_BLEND, GL_ALPHA_TEST, GL_CULL_FACE, GL_COLOR_LOGIC_OP,
          GL_POLYGON_STIPPLE, GL_SAMPLE_ALPHA_TO_COVERAGE, GL_SAMPLE_ALPHA_TO_ONE,
          GL_SAMPLE_COVERAGE, GL_FRAMEBUFFER_SRGB, GL_RASTERIZER_DISCARD, GL_MULTISAMPLE}) {
        glDisable(capability);
    }
    for (int plane = 0; plane < 6; ++plane) {
        glDisable(GL_CLIP_DISTANCE0 + plane);
    }
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glViewport(0, 0, width, height);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, frameTexture);
    glUseProgram(program);
    glBindVertexArray(vertexArray);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
}
