#include "effects/Flower.h"

#include "core/Demo.h"
#include "platform/Gl.h"
#include "platform/GlState.h"
#include "platform/Lifetime.h"
#include "platform/Texture.h"
#include "resources/CgProgram.h"
#include "resources/EbrMesh.h"
#include "resources/Geometry.h"
#include "resources/Image.h"
#include "resources/TextFile.h"

FlowerHeads::FlowerHeads(Demo* demo) : Effect(demo) {
    name = "FlowerHeads";
}

void FlowerHeads::load() {
    leafMesh = new EbrMesh("data/leaf.ebr", BufferUsage::Client, BufferUsage::Client);
    headMesh = new EbrMesh("data/flowerhead.ebr", BufferUsage::Client, BufferUsage::Client);
    keepForLifetime(leafMesh);
    keepForLifetime(headMesh);
    leafTexture = demo->getTexture("data/leaf.jpg");
    headTexture = new Texture(Image("data/flowerhead.png"), TextureFilter::Mipmapped);
    keepForLifetime(headTexture);
    program = demo->getProgramPair("Lumora/LumoraShaders.cg", "vsPlain", "psPlain");
}

void FlowerHeads::drawHeads(const GrowArray<Matrix4>& placements) {
    for (int i = 0; i < placements.count; ++i) {
        glMatrixMode(GL_MODELVIEW);
        glLoadMatrixf(placements.data[i].m);
        enableState(StateCap::AlphaTest);
        alphaFunction(CompareFunc::Greater, 0.5f);
        program->bind();
        program->setTexture("tex0", headTexture);
        headMesh->part(0)->draw();
        program->disableTexture("tex0");
        program->unbind();
        disableState(StateCap::AlphaTest);
    }
}

void FlowerHeads::drawLeaves(const GrowArray<Matrix4>& placements) {
    for (int i = 0; i < placements.count; ++i) {
        glMatrixMode(GL_MODELVIEW);
        glLoadMatrixf(placements.data[i].m);
        program->bind();
        program->setTexture("tex0", leafTexture);
        leafMesh->part(0)->draw();
        program->disableTexture("tex0");
    }
}

Flower::Flower(Effect* parent) : Effect(parent) {
    name = "Flower";
}

void Flower::load() {
    // Registered with the demo: its own load runs later in the loading pass.
    heads = new FlowerHeads(demo);

    // The biggest step of the whole loading pass: the bar moves on meanwhile.
    plant = growPlant(heads, [this](float done) { demo->showLoadProgress(done); });
    keepForLifetime(plant);
    frame.reserveFor(*plant);

    leafTexture = new Texture(Image("data/leaf.jpg"), TextureFilter::Mipmapped);
    keepForLifetime(leafTexture);

    TextFile source("data/meridian.cg");
    program = new CgProgramPair(source.text(), "vsPlain", "psColorLit", "data/meridian.cg");
    keepForLifetime(program);
}

void Flower::render() {
    const float t = localTime;
    frame.clear();

    resetState();
    translate(0.0f, 0.0f, 3.5f * t);

    program->bind();
    const float ambient[4] = {0.3f, 0.4f, 0.3f, 1.0f};
    const float diffuse[4] = {0.8f, 0.9f, 0.6f, 1.0f};
    program->set4fv("materialAmbient", ambient);
    program->set4fv("materialDiffuse", diffuse);

    // The window of growth: two of the stem's keys, sliding outward.
    const float g = 0.25f * t;
    Matrix4 modelview;
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview.m);
    walkPlant(*plant, g - 2.0f, g, modelview, frame);
    for (int i = 0; i < frame.ranges.count; ++i) {
        const DrawnRange& range = frame.ranges.data[i];
        range.branch->drawRange(range.from, range.to);
    }

    enableState(StateCap::Blend);
    blendFunction(BlendFactor::SrcAlpha, BlendFactor::OneMinusSrcAlpha);
    heads->drawHeads(frame.heads);
    heads->drawLeaves(frame.leaves);
    disableState(StateCap::Blend);
}
