#pragma once

#include "core/Effect.h"
#include "effects/FlowerPlant.h"

class CgProgramPair;
class EbrMesh;
class Texture;

// The tip models of the flower: heads and leaves with their pictures and their
// program. An effect of the demo in its own right, so the loading pass loads it;
// the flower draws it.
class FlowerHeads : public Effect {
public:
    explicit FlowerHeads(Demo* demo);

    void load() override;

    // One model per matrix, each loaded as the model-view matrix. Heads are cut
    // out of their picture by the alpha test; the leaves leave the program bound.
    void drawHeads(const GrowArray<Matrix4>& placements);
    void drawLeaves(const GrowArray<Matrix4>& placements);

    EbrMesh* leafMesh = nullptr;
    EbrMesh* headMesh = nullptr;
    Texture* leafTexture = nullptr;
    Texture* headTexture = nullptr;
    CgProgramPair* program = nullptr;
};

// A plant that grows: 1201 curling branches, each a tube built at load, drawn as
// a window of their length that slides outward with the owner's time, with
// heads and leaves opening where the growth passes the tips. Nested in the
// clouds, which draw it with their time; the second sea draws the same flower
// and sets that time itself.
class Flower : public Effect {
public:
    explicit Flower(Effect* parent);

    void load() override;
    void render() override;

    Branch* plant = nullptr;
    Texture* leafTexture = nullptr;
    CgProgramPair* program = nullptr;
    FlowerHeads* heads = nullptr;
    // What the last frame showed; room for the whole plant is made at load.
    PlantFrame frame;
};
