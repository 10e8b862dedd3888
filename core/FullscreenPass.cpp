#include "core/FullscreenPass.h"

#include "platform/GlState.h"
#include "platform/RenderTarget.h"
#include "platform/Texture.h"
#include "resources/CgProgram.h"

#include "platform/Gl.h"

#include <algorithm>
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

void FullscreenPass::draw(const Texture* texture, const PictureArea& area) {
    program->bind();
    program->setTexture("texxx", texture);
    disableState(StateCap::DepthTest);
    // Texture coordinates stand in the same relation to clip space as in quad().
    const float corners[4][2] = {
        {area.u0, area.v0}, {area.u1, area.v0}, {area.u1, area.v1}, {area.u0, area.v1}};
    glBegin(GL_QUADS);
    for (const auto& c : corners) {
        glTexCoord4f(c[0], c[1], 0.0f, 1.0f);
        glVertex4f(c[0] * 2.0f - 1.0f, c[1] * 2.0f - 1.0f, 0.0f, 1.0f);
    }
    glEnd();
    program->disableTexture("texxx");
    program->unbind();
}

PictureArea visibleArea(const PixelSource& picture) {
    const int width = picture.width(), height = picture.height();
    if (picture.pixelKind() != PixelKind::Rgba8 || width <= 0 || height <= 0) {
        return {};
    }
    int left = width, right = -1, bottom = height, top = -1;
    const unsigned char* pixels = picture.pixels();
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (pixels[(static_cast<size_t>(y) * width + x) * 4 + 3] != 0) {
                left = std::min(left, x);
                right = std::max(right, x);
                bottom = std::min(bottom, y);
                top = std::max(top, y);
            }
        }
    }
    if (right < 0) {
        return {0.0f, 0.0f, 0.0f, 0.0f};
    }
    // A texel three levels down spans 8 of the picture's; a bilinear sample
    // there reaches one of them further.
    const int margin = 16;
    PictureArea area;
    area.u0 = static_cast<float>(std::max(0, left - margin)) / width;
    area.u1 = static_cast<float>(std::min(width, right + 1 + margin)) / width;
    area.v0 = static_cast<float>(std::max(0, bottom - margin)) / height;
    area.v1 = static_cast<float>(std::min(height, top + 1 + margin)) / height;
    return area;
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
