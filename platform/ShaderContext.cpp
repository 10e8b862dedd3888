#include "platform/ShaderContext.h"

#include "platform/EngineError.h"
#include "platform/GlWindow.h"

#include <string>

ShaderContext::ShaderContext() {
    glGenProgramPipelines(1, &pipeline);
}

ShaderContext::~ShaderContext() {
    glBindProgramPipeline(0);
    glDeleteProgramPipelines(1, &pipeline);
}

ShaderContext* ShaderContext::current() {
    return currentWindow != nullptr ? currentWindow->shaderContext : nullptr;
}

ShaderContext::Stage& ShaderContext::stage(int profile) {
    return const_cast<Stage&>(static_cast<const ShaderContext*>(this)->stage(profile));
}

const ShaderContext::Stage& ShaderContext::stage(int profile) const {
    if (profile == ShaderProfile::Vertex) {
        return vertex;
    }
    if (profile == ShaderProfile::Fragment) {
        return fragment;
    }
    throw EngineError("unknown shader profile " + std::to_string(profile));
}

void ShaderContext::enableProfile(int profile) {
    stage(profile).enabled = true;
    apply();
}

void ShaderContext::disableProfile(int profile) {
    stage(profile).enabled = false;
    apply();
}

void ShaderContext::bindProgram(int profile, GLuint program) {
    stage(profile).bound = program;
    apply();
}

void ShaderContext::unbindProgram(int profile) {
    stage(profile).bound = 0;
    apply();
}

bool ShaderContext::profileEnabled(int profile) const {
    return stage(profile).enabled;
}
GLuint ShaderContext::boundProgram(int profile) const {
    return stage(profile).bound;
}
GLuint ShaderContext::activeProgram(int profile) const {
    return stage(profile).active;
}

void ShaderContext::apply() {
    GLuint wantVertex = vertex.enabled ? vertex.bound : 0;
    GLuint wantFragment = fragment.enabled ? fragment.bound : 0;
    if (wantVertex != vertex.active) {
        glUseProgramStages(pipeline, GL_VERTEX_SHADER_BIT, wantVertex);
        vertex.active = wantVertex;
    }
    if (wantFragment != fragment.active) {
        glUseProgramStages(pipeline, GL_FRAGMENT_SHADER_BIT, wantFragment);
        fragment.active = wantFragment;
    }
    // A pipeline with no stage must not stay bound (it is an invalid operation
    // to draw with one); with no stage the fixed-function pipeline draws.
    glUseProgram(0);
    glBindProgramPipeline(wantVertex != 0 || wantFragment != 0 ? pipeline : 0);
}
