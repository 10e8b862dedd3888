#include "effects/Clouds.h"

#include "core/Demo.h"
#include "effects/Flower.h"
#include "effects/LensFlare.h"
#include "platform/Gl.h"
#include "platform/GlState.h"
#include "platform/Random.h"
#include "platform/Texture.h"
#include "resources/CgProgram.h"

#include <cmath>

Clouds::Clouds(Demo* demo) : Billboards(demo) {
    // Loaded in this order: the clouds, their flare, their flower.
    flare = new LensFlare(this);
    flower = new Flower(this);
    name = "Clouds";
}

void Clouds::load() {
    cloudTexture = demo->getTexture("data/cloud.png");
    lightPosition = Vec3(-300.0f, -300.0f, -100.0f);
    resize(250, 5.0f);

    // The same sky in every run; the flower's load goes on drawing from here.
    Random::seed(1);
    for (int i = 0; i < 250; ++i) {
        const float r1 = Random::signedUnit();
        const float r2 = Random::signedUnit();
        const float r3 = Random::signedUnit();
        const Vec3 centre(400.0f * r2, 400.0f * r1, 100.0f * r3);
        const float dist = length(centre - lightPosition);

        const float l = std::fabs(Random::signedUnit());
        setSize(i, (l + 1.0f) * 20.0f);

        // Clouds near the sun thin out; large ones are denser.
        const float q = 0.2f * std::fabs(Random::signedUnit());
        const float g = 1.0f - q * q;
        const float alpha = dist * l * 0.001f;
        setColour(i, g, g, 1.0f, alpha);
        setPosition(i, centre.x, centre.y, centre.z);
    }
}

void Clouds::render() {
    clear(0.0f, 0.0f, 0.0f, 1.0f, true, true, false);
    perspective(60.0f, 1.33333f, 1.0f, 10000.0f);
    demo->applyCamera();

    flare->followOwnerTime();
    flare->setLightPosition(lightPosition.x, lightPosition.y, lightPosition.z);
    flare->drawGlow();

    pushMatrix();
    disableState(StateCap::Blend);
    enableState(StateCap::DepthTest);
    scale(10.0f, 10.0f, 10.0f);
    flower->renderSpan(0.0f, 1.0f);
    popMatrix();

    // The sprites test against the flower's depth but write none of their own.
    disableState(StateCap::CullFace);
    enableState(StateCap::Blend);
    depthMask(false);
    blendFunction(BlendFactor::SrcAlpha, BlendFactor::OneMinusSrcAlpha);
    program->bind();
    program->setTexture("tex0", cloudTexture);
    // A software rasteriser pays for every sprite pixel, ten screens of them a
    // frame. The sprites are nearly always larger on screen than their picture,
    // where its first level alone gives the same colour: sampled without the
    // mipmap chain they cost a third less. The other users of the picture keep it.
    cloudTexture->setMinification(GL_LINEAR);
    Billboards::render();
    cloudTexture->setMinification(GL_LINEAR_MIPMAP_LINEAR);
    program->disableTexture("tex0");
    program->unbind();
    depthMask(true);

    flare->renderSpan(0.0f, 1.0f);
    disableState(StateCap::Blend);
}
