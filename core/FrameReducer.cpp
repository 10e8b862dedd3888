#include "core/FrameReducer.h"

#include "platform/EngineError.h"
#include "platform/Gl.h"
#include "platform/WindowPass.h"

#include <string>

namespace {

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

} // namespace

FrameReducer::FrameReducer(int factor_, int width_, int height_)
    : factor(factor_), width(width_), height(height_) {
    KeptGlState kept;
    makeTarget(width * factor, height * factor, frameTexture, frameFramebuffer);
    makeTarget(width, height, reducedTexture, reducedFramebuffer);
    program = linkPassProgram(fragmentShader);
    if (program == 0) {
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
    KeptGlState kept;
    // The window's buffer may be multisampled; the blit resolves it.
    glDisable(GL_SCISSOR_TEST);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glReadBuffer(GL_BACK);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, frameFramebuffer);
    const int large[2] = {width * factor, height * factor};
    glBlitFramebuffer(0, 0, large[0], large[1], 0, 0, large[0], large[1], GL_COLOR_BUFFER_BIT,
                      GL_NEAREST);

    glBindFramebuffer(GL_FRAMEBUFFER, reducedFramebuffer);
    plainPassState();
    glDisable(GL_MULTISAMPLE);
    glViewport(0, 0, width, height);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, frameTexture);
    glUseProgram(program);
    glBindVertexArray(vertexArray);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
}
