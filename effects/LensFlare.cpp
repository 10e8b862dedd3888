#include "effects/LensFlare.h"

#include "core/Demo.h"
#include "platform/Gl.h"
#include "platform/GlState.h"
#include "platform/Random.h"
#include "resources/CgProgram.h"

#include <cmath>

LensFlare::LensFlare(Effect* parent) : Effect(parent) {
    name = "LensFlare";
}

void LensFlare::load() {
    program = demo->getProgramPair("data/lensFlare.cg", "vsMain", "psMain");
    const char* const flares[5] = {"data/flare/flare0.jpg", "data/flare/flare1.jpg",
                                   "data/flare/flare2.jpg", "data/flare/flare3.jpg",
                                   "data/flare/flare4.jpg"};
    for (int i = 0; i < 5; ++i) {
        flareTextures[i] = demo->getTexture(flares[i]);
    }
    glowTexture = demo->getTexture("data/flare/bg.jpg");
}

void LensFlare::followOwnerTime() {
    start = 0.0f;
    duration = 1.0f;
    localTime = *timeSource;
    fraction = localTime;
}

void LensFlare::setLightPosition(float x, float y, float z) {
    double modelview[16], projection[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    // A fixed viewport keeps the result independent of the window size.
    const GLint viewport[4] = {0, 0, 2048, 2048};
    double wx = 0.0, wy = 0.0, wz = 0.0;
    gluProject(x, y, z, modelview, projection, viewport, &wx, &wy, &wz);
    // Only a light nearer than the near plane hides; one behind the camera
    // projects beyond the far side and shows mirrored.
    visible = wz > 0.0;
    screenX = static_cast<float>(wx / 2048.0 * 2.0 - 1.0);
    screenY = static_cast<float>(wy / 2048.0 * 2.0 - 1.0);
}

void LensFlare::drawSprite(float x, float y, float size, float r, float g, float b, float angle) {
    const float s = size * 0.2f;
    const float dim = 1.0f - 0.2f * std::sqrt(x * x + y * y);
    r *= dim;
    g *= dim;
    b *= dim;
    const float corners[4][2] = {{-s, -s}, {s, -s}, {s, s}, {-s, s}};
    const float texCoords[4][2] = {{0, 1}, {1, 1}, {1, 0}, {0, 0}};
    const float c = std::cos(angle), sn = std::sin(angle);
    glBegin(GL_QUADS);
    glColor4f(r, g, b, 1.0f);
    for (int k = 0; k < 4; ++k) {
        float dx = corners[k][0] * c + corners[k][1] * sn;
        float dy = -corners[k][0] * sn + corners[k][1] * c;
        glTexCoord2f(texCoords[k][0], texCoords[k][1]);
        // Three across and four up: square on an 800 x 600 screen.
        glVertex4f(x + 3.0f * dx, y + 4.0f * dy, 0.0f, 1.0f);
    }
    glEnd();
}

void LensFlare::drawGlow() {
    if (!visible) {
        return;
    }
    const float t = localTime;
    program->bind();
    enableState(StateCap::Blend);
    blendFunction(BlendFactor::SrcAlpha, BlendFactor::One);
    disableState(StateCap::DepthTest);

    program->setTexture("tex", glowTexture);
    drawSprite(screenX, screenY, 2.5f, 1, 1, 1, 0);
    const float distance = std::sqrt(screenX * screenX + screenY * screenY);
    // The second glow grows as the light nears the centre; at the very centre its
    // size has no bound, so it is left out there.
    if (distance > 0.0f) {
        drawSprite(screenX, screenY, 0.5f / std::sqrt(distance), 1, 1, 1, 0);
    }

    // The same jitter every frame.
    Random::seed(2);
    program->setTexture("tex", flareTextures[0]);
    drawSprite(screenX, screenY, 0.8f, 0.9f, 0.8f, 0.75f, 0);
    for (int i = 0; i < 3; ++i) {
        for (int turn = 0; turn < 3; ++turn) {
            float rnd1 = Random::signedUnit();
            float rnd2 = Random::signedUnit();
            float angle = turn == 0   ? 0.13f * i + t
                          : turn == 1 ? 1.2f * t + 0.13f * i
                                      : 0.13f * i - 1.1f * t;
            drawSprite(screenX + rnd2 * i * 0.02f, screenY + rnd1 * i * 0.02f, 0.8f, 0.95f, 0.8f,
                       0.75f, angle);
        }
    }

    program->disableTexture("tex");
    program->unbind();
    disableState(StateCap::Blend);
}

void LensFlare::render() {
    if (!visible) {
        return;
    }
    const float t = localTime;
    program->bind();
    enableState(StateCap::Blend);
    blendFunction(BlendFactor::One, BlendFactor::One);
    disableState(StateCap::DepthTest);

    struct Ghost {
        int texture;
        float factor;
        bool jitter;
        float size, r, g, b, angleOffset;
        bool turns;
    };
    static const Ghost ghosts[6] = {
        {1, 0.9f, true, 0.4f, 0.45f, 0.4f, 0.35f, 0.39f, true},
        {1, 1.15f, true, 0.7f, 0.27f, 0.28f, 0.185f, 0.57f, true},
        {2, 0.3f, false, 0.15f, 0.225f, 0.275f, 0.175f, 0.0f, false},
        {3, -0.2f, false, 0.2f, 0.175f, 0.2f, 0.1875f, 0.0f, false},
        {3, -0.4f, false, 0.5f, 0.225f, 0.087f, 0.0625f, 0.0f, false},
        {4, -0.75f, false, 0.13f, 0.23f, 0.2f, 0.2125f, 0.0f, false},
    };
    for (const Ghost& ghost : ghosts) {
        program->setTexture("tex", flareTextures[ghost.texture]);
        float x = ghost.factor * screenX, y = ghost.factor * screenY;
        if (ghost.jitter) {
            // The first draw goes to y, the second to x.
            y += Random::signedUnit() * 0.02f;
            x += Random::signedUnit() * 0.02f;
        }
        drawSprite(x, y, ghost.size, ghost.r, ghost.g, ghost.b,
                   ghost.turns ? t + ghost.angleOffset : 0.0f);
        program->disableTexture("tex");
    }

    disableState(StateCap::Blend);
}
