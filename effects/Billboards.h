#pragma once

#include "core/Effect.h"

class CgProgramPair;
class VertexBuffer;

// Camera-facing sprites: every billboard is a quad of four vertices in one
// client-memory buffer, drawn in one call. The "vsBillboard" program adds each
// corner after projection, so the quads always face the camera. The owner binds
// the program and the texture around render().
class Billboards : public Effect {
public:
    explicit Billboards(Demo* demo);

    void render() override;

    // count billboards at the origin, white and opaque, half extents 3 size by 4 size.
    void resize(int count, float size);
    // Each setter rewrites the four vertices of billboard i; an index outside the
    // last resize raises an EngineError.
    void setPosition(int i, float x, float y, float z);
    void setSize(int i, float size);
    void setColour(int i, float r, float g, float b, float a);

    int count() const;

    // Centre (3), corner (2), texture coordinate (2), colour (4).
    VertexBuffer* vertices = nullptr;
    CgProgramPair* program = nullptr;
};
