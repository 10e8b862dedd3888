#pragma once

#include "core/FullscreenPass.h"

#include <memory>
#include <string>

class CgProgramPair;
class RenderTarget;

// Blurs the colour texture of a render target in place: a separable box of eight
// taps per pass (the centre texel is left out) that also scales brightness by
// gamma. The program is written at construction with the tap loop unrolled.
class BlurFilter {
public:
    // Builds the program and a scratch target of width x height.
    BlurFilter(int width, int height);
    // A scratch target of another size, for targets of that size.
    void resize(int width, int height);
    BlurFilter(const BlurFilter&) = delete;
    BlurFilter& operator=(const BlurFilter&) = delete;

    // One filtering of source into destination along (dx, dy) texels of the source.
    virtual void pass(RenderTarget& source, RenderTarget& destination, float dx, float dy);

    // passes filterings along (dx, dy), there and back through scratch, widening by
    // growth every second pass; the result always ends in target.
    void blurAxis(int passes, RenderTarget& target, RenderTarget& scratch, float dx, float dy,
                  float growth);
    // Horizontal, then vertical. The target must have the scratch's size: another
    // size raises an EngineError.
    void blur(RenderTarget& target, int passes, float step, float growth);

    // The program text: what construction compiles.
    static std::string programSource();

    ~BlurFilter();

    std::unique_ptr<CgProgramPair> program;
    float gamma = 1.0f;
    std::unique_ptr<RenderTarget> scratch;
    FullscreenPass fullscreen; // its quad only
};
