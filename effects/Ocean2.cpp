#include "effects/Ocean2.h"

#include "core/Demo.h"
#include "effects/Flower.h"
#include "effects/LensFlare.h"
#include "effects/OceanWaves.h"
#include "effects/SeaGrid.h"
#include "platform/GlState.h"
#include "platform/GlWindow.h"
#include "resources/CgProgram.h"
#include "resources/Geometry.h"

#include <cmath>

Band seaBand(int width, int height) {
    return {0, 125 * height / 1000, width, height - 250 * height / 1000};
}

float flowerClock(float t) {
    float x = 6.6f * t;
    if (x > 30.0f) {
        if (!std::isfinite(x)) {
            // No phase to keep: the end of the stretch.
            x = 30.0f;
        } else {
            // As many whole 30s off as bring x into (0, 30]; below 2^24 every
            // one of those subtractions is exact, so this is their sum at once.
            double turns = std::ceil((static_cast<double>(x) - 30.0) / 30.0);
            x = static_cast<float>(static_cast<double>(x) - 30.0 * turns);
        }
    }
    return x + 10.0f;
}

Ocean2::Ocean2(Demo* demo, Flower* flower_) : Effect(demo), flower(flower_) {
    name = "Ocean2";
}

void Ocean2::load() {
    flare = new LensFlare(this);
    grid = createSeaGrid(BufferUsage::DynamicDraw);
    gridIndices = createSeaGridIndices();
    program = demo->getProgramPair("data/meridian.cg", "vsOcean", "psOcean");
    envTexture = demo->getTexture("data/flare/bgenv2.jpg");
    bumpTexture = demo->getBumpTexture("data/waterbump.jpg");
}

void Ocean2::updateWaves(float ox, float oy) {
    float* vertices = grid->map(true, true);
    ::updateWaves(vertices, secondSea, localTime, ox, oy);
    grid->unmap();
}

void Ocean2::render() {
    const float t = localTime;
    clear(0.0f, 0.0f, 0.0f, 1.0f, true, true, true);

    // The band is the picture's, wherever the picture lies in the window.
    const Band band = seaBand(currentWindow->width, currentWindow->height);
    viewport(currentWindow->x + band.x, currentWindow->y + band.y, band.width, band.height);
    perspective(80.0f, 1.7777778f, 1.0f, 10000.0f);
    const Vec3 eye = demo->controllerValues[0];
    const Vec3 target = demo->controllerValues[1];
    lookAt(eye.x, eye.y, eye.z, target.x, target.y, target.z, 0.0f, 0.0f, -1.0f);
    resetState();

    flare->followOwnerTime();
    flare->setLightPosition(-3000.0f, -2000.0f, 0.0f);
    flare->drawGlow();

    // The flower grows on the sea's clock, not the clouds'.
    *flower->timeSource = flowerClock(t);
    pushMatrix();
    disableState(StateCap::Blend);
    enableState(StateCap::DepthTest);
    scale(3.0f, 3.0f, 3.0f);
    rotate(90.0f, 1.0f, 0.0f, 0.0f);
    translate(0.0f, -10.0f, 0.0f);
    flower->renderSpan(0.0f, 1.0f);
    popMatrix();

    // The sea is seen from grid point (50, 50) at the camera's height and in its
    // direction; the waves under it follow the real camera, so the sea scrolls.
    lookAt(50.0f, 50.0f, eye.z, target.x - eye.x + 50.0f, target.y - eye.y + 50.0f, target.z, 0.0f,
           0.0f, -1.0f);
    disableState(StateCap::CullFace);
    disableState(StateCap::Blend);
    updateWaves(eye.x, eye.y);

    enableState(StateCap::DepthTest);
    enableState(StateCap::Blend);
    disableState(StateCap::CullFace);
    blendFunction(BlendFactor::SrcAlpha, BlendFactor::OneMinusSrcAlpha);

    program->bind();
    program->set1f("time", t);
    program->setTexture("tex0", envTexture);
    program->setTexture("tex1", bumpTexture);
    // The real camera, not the moved one, followed by the target's x.
    const float camPos[4] = {eye.x, eye.y, eye.z, target.x};
    program->set4fv("camPos", camPos);
    grid->enable(0, 0);
    grid->enable(1, 10);
    gridIndices->drawIndexed(PrimitiveCode::Quads, 0, -1);
    grid->disable(0);
    grid->disable(10);
    program->disableTexture("tex0");
    program->disableTexture("tex1");
    program->unbind();

    disableState(StateCap::Blend);
    flare->render();

    disableState(StateCap::Blend);
    enableState(StateCap::CullFace);
    resetState();
    pictureViewport();
}
