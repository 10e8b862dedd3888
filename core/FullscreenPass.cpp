#include "core/FullscreenPass.h"

#include "platform/GlState.h"
#include "platform/RenderTarget.h"
#include "platform/Texture.h"
#include "resources/CgProgram.h"

#include "platform/Gl.h"

#include <string>

namespace {

// One program for every pass in the process, built on first use and kept.
CgProgramPair* sharedProgram = nullptr;

std::string passSource() {
    const std::string tabs(10, '\t');
    return "struct v2f { float4 pos: POSITION; float2 tc: TEXCOORD; }; " + tabs +
           "sampler2D texxx; " + tabs +
           "v2f vsMain(float4 pos: POSITION, float2 tc: TEXCOORD) { v2f o; o.pos "
           "= pos; o.tc = "
           "tc; return o; }" +
           tabs + "float4 psMain(v2f i): COLOR { return tex2D(texxx, i.tc); }";
}

} // namespace

FullscreenPass::FullscreenPass() {
    if (sharedProgram == nullptr) {
        static const std::string source = passSource();
        sharedProgram = new CgProgramPair(source.c_str(), "vsMain", "psMain", "fullscreen pass");
    }
    program = sharedProgram;
}

void FullscreenPass::quad() {
    disableState(StateCap::DepthTest);
    // Clip-space corners: the vertex program passes them through untransformed.
    glBegin(GL_QUADS);
    glTexCoord4f(0.0f, 0.0f, 0.0f, 1.0f);
    glVertex4f(-1.0f, -1.0f, 0.0f, 1.0f);
    glTexCoord4f(1.0f, 0.0f, 0.0f, 1.0f);
    glVertex4f(1.0f, -1.0f, 0.0f, 1.0f);
    glTexCoord4f(1.0f, 1.0f, 0.0f, 1.0f);
    glVertex4f(1.0f, 1.0f, 0.0f, 1.0f);
    glTexCoord4f(0.0f, 1.0f, 0.0f, 1.0f);
    glVertex4f(-1.0f, 1.0f, 0.0f, 1.0f);
    glEnd();
}

void FullscreenPass::draw(const Texture* texture) {
    program->bind();
    program->setTexture("texxx", texture);
    quad();
    program->disableTexture("texxx");
    program->unbind();
}

void FullscreenPass::drawAdditive(const Texture* texture) {
    enableState(StateCap::Blend);
    blendFunction(BlendFactor::One, BlendFactor::One);
    draw(texture);
    disableState(StateCap::Blend);
}

void FullscreenPass::copy(RenderTarget& source, RenderTarget& destination) {
    destination.bind();
    draw(source.colourTexture());
    destination.unbind();
}
