#include "effects/BlurFilter.h"

#include "core/FullscreenPass.h"
#include "platform/EngineError.h"
#include "platform/RenderTarget.h"
#include "platform/Texture.h"
#include "resources/CgProgram.h"

#include <sstream>

std::string BlurFilter::programSource() {
    const std::string tabs(4, '\t');
    std::ostringstream text;
    text << tabs << "sampler2D tex; float2 direction = { 0, 1 }; float alpha; float gamma; " << tabs
         << "struct v2f { float4 pos: POSITION; float2 tc: TEXCOORD; };" << tabs
         << "v2f vsMain(float4 pos: POSITION, float2 tc: TEXCOORD) { v2f o; o.pos = pos; o.tc = "
            "tc; return o; }"
         << tabs << "float4 psMain(float2 tc: TEXCOORD): COLOR { float4 acc = float4(0,0,0,0);";
    for (int i = 1; i <= 4; ++i) {
        text << "acc += tex2D(tex, tc+direction*" << i << ");";
        text << "acc += tex2D(tex, tc-direction*" << i << ");";
    }
    text << "acc *= gamma * " << 0.125f << "; return acc; }";
    return text.str();
}

BlurFilter::BlurFilter(int width, int height) {
    const std::string source = programSource();
    program = std::make_unique<CgProgramPair>(source.c_str(), "vsMain", "psMain", "blur filter");
    gamma = 1.0f;
    scratch = std::make_unique<RenderTarget>(width, height, true, false);
}

void BlurFilter::resize(int width, int height) {
    scratch = std::make_unique<RenderTarget>(width, height, true, false);
}

BlurFilter::~BlurFilter() = default;

void BlurFilter::pass(RenderTarget& source, RenderTarget& destination, float dx, float dy) {
    const Texture* texture = source.colourTexture();
    const float direction[4] = {dx / static_cast<float>(texture->width),
                                dy / static_cast<float>(texture->height), 0.0f, 0.0f};
    destination.bind();
    program->bind();
    program->setTexture("tex", texture);
    program->set4fv("direction", direction);
    program->set1f("gamma", gamma);
    fullscreen.quad();
    program->disableTexture("tex");
    program->unbind();
    destination.unbind();
}

void BlurFilter::blurAxis(int passes, RenderTarget& target, RenderTarget& scratch_, float dx,
                          float dy, float growth) {
    for (int i = 0; i < passes; i += 2) {
        const float f = static_cast<float>(i) * growth + 1.0f;
        pass(target, scratch_, dx * f, dy * f);
        // An odd count ends on a pass that stands still: eight taps at one point,
        // gamma once more.
        if (i + 1 >= passes) {
            pass(scratch_, target, 0.0f, 0.0f);
        } else {
            pass(scratch_, target, dx * f, dy * f);
        }
    }
}

void BlurFilter::blur(RenderTarget& target, int passes, float step, float growth) {
    // Every pass samples one target and renders into the other across the whole
    // viewport: a target of another size would be cut or only partly covered.
    if (target.width != scratch->width || target.height != scratch->height) {
        throw EngineError("blur of a " + std::to_string(target.width) + " x " +
                          std::to_string(target.height) + " target with a filter built for " +
                          std::to_string(scratch->width) + " x " + std::to_string(scratch->height));
    }
    blurAxis(passes, target, *scratch, step, 0.0f, growth);
    blurAxis(passes, target, *scratch, 0.0f, step, growth);
}
