#include "effects/Ravize.h"

#include "core/Demo.h"
#include "effects/Billboards.h"
#include "effects/LensFlare.h"
#include "platform/Gl.h"
#include "platform/GlState.h"
#include "platform/Random.h"
#include "resources/CgProgram.h"
#include "resources/NmdScene.h"

#include <cmath>

namespace {

// The snow appears from this local time on.
constexpr float snowStart = 12.0f;

float rnd() {
    return Random::signedUnit();
}

// One sprite set drawn with soft edges over what is already there, leaving the
// depth buffer as it was.
void drawSprites(Billboards& sprites, Texture* texture) {
    enableState(StateCap::Blend);
    blendFunction(BlendFactor::SrcAlpha, BlendFactor::OneMinusSrcAlpha);
    depthMask(false);
    sprites.program->bind();
    sprites.program->setTexture("tex0", texture);
    sprites.render();
    sprites.program->disableTexture("tex0");
    sprites.program->unbind();
    depthMask(true);
    disableState(StateCap::Blend);
}

} // namespace

Ravize::Ravize(Demo* demo) : Effect(demo) {
    name = "Ravize";
}

void Ravize::load() {
    cloudSprites = new Billboards(demo);
    cloudSprites->resize(40, 1.0f);
    // The cloud layer continues the generator from the scenes loaded before it.
    for (int i = 0; i < 40; ++i) {
        const float a1 = rnd(), a2 = rnd(), a3 = rnd();
        cloudSprites->setSize(i, (std::fabs(rnd()) + 1.0f) * 12.0f);
        const float q = 0.2f * std::fabs(rnd());
        const float alpha = std::fabs(rnd());
        cloudSprites->setColour(i, 1.0f - q * q, 1.0f - q * q, 1.0f, alpha);
        cloudSprites->setPosition(i, 200.0f * a2, 200.0f * a1, 20.0f * a3);
    }
    cloudTexture = demo->getTexture("data/cloud.png");

    snowSprites = new Billboards(demo);
    snowSprites->resize(200, 1.0f);
    // Sizes and colours stay; render() moves every flake before the first one shows.
    Random::seed(1);
    for (int i = 0; i < 200; ++i) {
        const float b1 = rnd(), b2 = rnd(), b3 = rnd();
        snowSprites->setSize(i, (std::fabs(rnd()) + 1.0f) * 2.0f);
        const float q = 0.2f * std::fabs(rnd());
        const float alpha = std::fabs(rnd());
        snowSprites->setColour(i, 1.0f - q * q, 1.0f - q * q, 1.0f, alpha);
        snowSprites->setPosition(i, 80.0f * b3, 80.0f * b2, -120.0f * std::fabs(b1) - 120.0f);
    }
    snowTexture = demo->getTexture("data/snow.png");

    flare = new LensFlare(this);
    planet = new NmdScene("data/planet.nmd", true, "data/");
    planet->requireRead();
    waterSphere = new NmdScene("data/watersphere.nmd", false, "");
    waterSphere->requireRead();
    program = demo->getProgramPair("data/meridian.cg", "vsOcean", "psOcean");
    envTexture = demo->getTexture("data/flare/bgenv2.jpg");
    bumpTexture = demo->getBumpTexture("data/waterbump.jpg");
}

void Ravize::placeSnow(float t) {
    // The same sequence every frame: each flake keeps its column and speed.
    Random::seed(1);
    for (int i = 0; i < 200; ++i) {
        const float a1 = rnd();
        const float a2 = std::fabs(rnd());
        const float a3 = rnd(), a4 = rnd();
        snowSprites->setPosition(i, 50.0f * a4, 50.0f * a3,
                                 (t - snowStart) * a2 * 40.0f - (std::fabs(a1) + 1.0f) * 120.0f);
    }
}

void Ravize::render() {
    const float t = localTime;
    clear(0.55f, 0.6f, 0.7f, 0.0f, true, true, true);

    const Vec3& eye = demo->controllerValues[0];
    const Vec3& target = demo->controllerValues[1];
    planet->setCamera(eye.x, eye.y, eye.z, target.x, target.y, target.z, 45.0f, 4.0f / 3.0f, 1.0f,
                      1000.0f);

    // The sun stays put while the world turns below it. The sea program finds
    // this sun in the turning frame from the time: the two keep in step.
    flare->setLightPosition(500.0f, 500.0f, -200.0f);
    flare->drawGlow();
    rotate(10.0f * t, 0.0f, 0.0f, 1.0f);

    // Planet, moon and water are closed and seen from outside: their far sides
    // never show, and culling them spares the software rasteriser a good part
    // of the frame, the sea program's included.
    enableState(StateCap::DepthTest);
    const bool culling = glIsEnabled(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glEnable(GL_CULL_FACE);
    planet->render(0.0f);

    // The sea program shades the sphere's own normals when camPos is exactly zero.
    const float origin[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    waterSphere->useShaders = 0;
    program->bind();
    program->set1f("time", t);
    program->setTexture("tex0", envTexture);
    program->setTexture("tex1", bumpTexture);
    program->set4fv("camPos", origin);
    waterSphere->render(0.0f);
    program->disableTexture("tex0");
    program->disableTexture("tex1");
    program->unbind();
    // The engine culls front faces wherever it culls.
    glCullFace(GL_FRONT);
    if (!culling) {
        glDisable(GL_CULL_FACE);
    }

    drawSprites(*cloudSprites, cloudTexture);

    if (t > snowStart) {
        placeSnow(t);
        drawSprites(*snowSprites, snowTexture);
    }

    flare->render();
}
