#include "effects/FullscreenPass.h"

// Placeholder until the shader runtime lands: the pass has no program yet.
FullscreenPass::FullscreenPass() {}
void FullscreenPass::quad() {}
void FullscreenPass::draw(const Texture*) {}
void FullscreenPass::drawAdditive(const Texture*) {}
void FullscreenPass::copy(RenderTarget&, RenderTarget&) {}
