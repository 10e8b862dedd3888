#include "effects/Ocean.h"

#include "core/Demo.h"
#include "core/FullscreenPass.h"
#include "effects/LensFlare.h"
#include "effects/OceanWaves.h"
#include "effects/SeaGrid.h"
#include "platform/Gl.h"
#include "platform/GlState.h"
#include "resources/CgProgram.h"
#include "resources/Geometry.h"
#include "resources/Image.h"

Ocean::Ocean(Demo* demo, bool closing_) : Effect(demo), closing(closing_) {
    name = "Ocean";
}

void Ocean::load() {
    // Positions (j, i, 0); heights and normals are rewritten every frame. The
    // normals of the last row and column are never computed and stay zero.
    grid = createSeaGrid(BufferUsage::StaticDraw);
    gridIndices = createSeaGridIndices();
    mirroredGridIndices = createMirroredSeaGridIndices();
    program = demo->getProgramPair("data/meridian.cg", "vsOcean", "psOcean");
    envTexture = demo->getTexture("data/flare/bgenv.jpg");
    bumpTexture = demo->getBumpTexture("data/waterbump.jpg");
    flare = new LensFlare(this);
    titleTexture = demo->getTexture("data/meridiantypo/title.png");
    logoTexture = demo->getTexture("data/meridiantypo/logo.png");
    endTexture = demo->getTexture("data/meridiantypo/end.png");
    titleArea = visibleArea(*demo->getImage("data/meridiantypo/title.png"));
    logoArea = visibleArea(*demo->getImage("data/meridiantypo/logo.png"));
    endArea = visibleArea(*demo->getImage("data/meridiantypo/end.png"));
}

void Ocean::updateWaves() {
    float* vertices = grid->map(true, true);
    ::updateWaves(vertices, openingSea, localTime);
    grid->unmap();
}

void Ocean::render() {
    const float t = localTime;
    // The main loop cleared colour and depth already.
    clear(0.0f, 0.0f, 0.0f, 1.0f, true, false, false);

    perspective(45.0f, 1.3333f, 1.0f, 1000.0f);
    const Vec3& eye = demo->controllerValues[0];
    const Vec3& target = demo->controllerValues[1];
    lookAt(eye.x, eye.y, eye.z, target.x, target.y, target.z, 0.0f, 0.0f, -1.0f);
    disableState(StateCap::CullFace);

    // The sun glow is the background of the sea.
    flare->followOwnerTime();
    flare->setLightPosition(-100.0f, -100.0f, 0.0f);
    flare->drawGlow();

    disableState(StateCap::Blend);
    updateWaves();

    enableState(StateCap::DepthTest);
    enableState(StateCap::Blend);
    disableState(StateCap::CullFace);
    blendFunction(BlendFactor::SrcAlpha, BlendFactor::OneMinusSrcAlpha);

    program->bind();
    program->set1f("time", t);
    program->setTexture("tex0", envTexture);
    program->setTexture("tex1", bumpTexture);
    // The camera position followed by the target's x, as four floats.
    program->set4fv("camPos", demo->controllerValues[0].data());
    grid->enable(0, 0);
    grid->enable(1, 10);
    // Front to back, so that the depth test spares hidden faces their shading,
    // and only the cells within reach: the program thins the sea to nothing
    // beyond it (the margin covers the rounding of interpolated positions).
    SeaGridRun runs[2 * 199];
    const int runCount = nearSeaGridRuns(eye.x, eye.y, target.x - eye.x, reach + 1.0f, runs);
    for (int k = 0; k < runCount; ++k) {
        IndexBuffer* indices = runs[k].mirrored ? mirroredGridIndices : gridIndices;
        indices->drawIndexed(PrimitiveCode::Quads, runs[k].first, runs[k].count);
    }
    grid->disable(0);
    grid->disable(10);
    program->disableTexture("tex0");
    program->disableTexture("tex1");
    program->unbind();

    flare->followOwnerTime();
    flare->render();

    enableState(StateCap::Blend);
    blendFunction(BlendFactor::SrcAlpha, BlendFactor::OneMinusSrcAlpha);
    if (closing) {
        // Leaves depth testing off and blending on for whatever renders next.
        demo->copyProgram->draw(endTexture, endArea);
        if (t >= 8.5f && t <= 12.0f) {
            drawFade((t - 8.5f) * 0.2857143f);
        }
        return;
    }
    if (t < 13.5f) {
        demo->copyProgram->draw(logoTexture, logoArea);
    } else {
        demo->copyProgram->draw(titleTexture, titleArea);
    }
    disableState(StateCap::Blend);
    if (t >= 0.0f && t <= 5.0f) {
        drawFade(1.0f - 0.2f * t);
    }
    if (t >= 11.5f && t <= 13.5f) {
        drawFade((t - 11.5f) * 0.5f);
    }
    if (t >= 13.5f && t <= 15.5f) {
        drawFade(1.0f - (t - 13.5f) * 0.5f);
    }
}

void Ocean::drawFade(float alpha) {
    enableState(StateCap::Blend);
    blendFunction(BlendFactor::SrcAlpha, BlendFactor::OneMinusSrcAlpha);
    modelviewIdentity();
    projectionIdentity();
    disableFragmentPrograms();
    disableVertexPrograms();
    glDisable(GL_TEXTURE_2D);
    disableState(StateCap::DepthTest);
    glColor4f(0.0f, 0.0f, 0.0f, alpha);
    glBegin(GL_QUADS);
    glVertex3f(-1.0f, -1.0f, 0.0f);
    glVertex3f(1.0f, -1.0f, 0.0f);
    glVertex3f(1.0f, 1.0f, 0.0f);
    glVertex3f(-1.0f, 1.0f, 0.0f);
    glEnd();
    enableState(StateCap::DepthTest);
    disableState(StateCap::Blend);
}
