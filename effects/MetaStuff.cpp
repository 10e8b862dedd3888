#include "effects/MetaStuff.h"

#include "camera/TrackTube.h"
#include "core/Demo.h"
#include "effects/BlurFilter.h"
#include "effects/CityTunnel.h"
#include "effects/LensFlare.h"
#include "effects/MetaballGrid.h"
#include "platform/Gl.h"
#include "platform/GlState.h"
#include "platform/GlWindow.h"
#include "platform/Lifetime.h"
#include "platform/Random.h"
#include "platform/RenderTarget.h"
#include "resources/CgProgram.h"
#include "resources/EbrMesh.h"
#include "resources/Geometry.h"

#include <algorithm>
#include <cmath>

float metaballGlow = 0.0f;

namespace {

constexpr int gridSize = 45;
constexpr int tubeKeys = 20;
constexpr float fromRandom = 6.1037019e-05f; // 1 / 16383.5

float cube(float x) {
    const float square = x * x;
    return x * square;
}

} // namespace

float tunnelRingOffset(int k, float t) {
    const float lap = 20000.0f;
    float r = 2500.0f * static_cast<float>(k) - 3500.0f * t;
    // Whole laps are added until r is not negative; the remainder is the same
    // number without a loop that never ends for a huge t.
    if (r < 0.0f) {
        r = std::fmod(r, lap);
        if (r < 0.0f) {
            r += lap;
        }
    }
    return r;
}

float glowGamma(float level) {
    const float loud = 0.7f * level;
    return loud * loud * 3.0f + 0.5f;
}

void torusPlacement(float a, Vec3 centres[3], Vec3 axes[3]) {
    Vec3 first(std::cos(0.8f * a), std::sin(0.7f * a), std::sin(0.35f * a));
    rotateAboutAxis(first, Vec3(0.0f, 1.0f, 0.0f), a);
    centres[0] = Vec3(22.0f, 22.0f, 22.0f);
    axes[0] = normalize(first);
    centres[1] = Vec3(22.0f + 7.0f * std::sin(0.9f * a), 22.0f + 7.0f * std::sin(0.7f * a + 0.1f),
                      22.0f + 7.0f * std::sin(0.6f * a));
    axes[1] = normalize(Vec3(std::sin(0.4f * a), std::cos(a), std::sin(0.3f * a)));
    centres[2] = Vec3(22.0f + 7.0f * std::sin(0.89f * a), 22.0f + 7.0f * std::sin(0.87f * a + 0.1f),
                      22.0f + 7.0f * std::sin(0.76f * a));
    axes[2] = normalize(Vec3(std::sin(0.5f * a), std::cos(0.9f * a), std::sin(0.63f * a)));
}

MetaStuff::MetaStuff(Demo* demo) : Effect(demo) {
    name = "MetaStuff";
}

void MetaStuff::load() {
    // The tube's path: 20 keys far along x, drawn from the generator where the
    // loads before this one left it.
    tube = new TrackTube();
    keepForLifetime(tube);
    tube->reserve(tubeKeys);
    for (int n = 0; n < tubeKeys; ++n) {
        const int r0 = Random::next();
        const int r1 = Random::next();
        const int r2 = Random::next();
        tube->addKey(std::fabs((static_cast<float>(r1) * fromRandom - 1.0f) * 5000.0f),
                     (static_cast<float>(r0) * fromRandom - 1.0f) * 1000.0f,
                     (static_cast<float>(r2) * fromRandom - 1.0f) * 1000.0f, static_cast<float>(n),
                     1);
    }
    tube->build(3, 200, 20.3f, 3, 0.0f, tube->key(tube->count - 1).time);

    flare = new LensFlare(this);

    cityMesh = demo->getEbrMesh("data/cylcity.nmd");
    cityTexture = demo->getTexture("data/cylcity.jpg");
    cityProgram = demo->getProgramPair("data/meridian.cg", "vsPlain", "psPlainColor");
    if (cityMesh->partCount() > 1) {
        cityLayout = measureCity(meshView(*cityMesh->part(0)), meshView(*cityMesh->part(1)));
    }
    grid = new MetaballGrid(gridSize);
    keepForLifetime(grid);
    // Left uninitialised: only the part a frame writes is ever touched.
    surface = new MeshVertex[grid->maxVertices()];
    keepForLifetime(surface);
    torusProgram = demo->getProgramPair("data/torus.cg", "vsPlain", "psPlainEnvmap");
    environmentTexture = demo->getTexture("data/flare/bgenv.jpg");
    bumpTexture = demo->getTexture("data/bumpmap.jpg");
    metalTexture = demo->getTexture("data/metal.jpg");
    fitTargets();
    bindWindowTarget();
}

void MetaStuff::fitTargets() {
    // 1024 and 128 texels a side for a picture 600 pixels high, as the scene was
    // made, and as many more as the picture is larger.
    const float scale = demo->window != nullptr ? demo->window->pictureScale() : 1.0f;
    const int sceneSize = std::max(1, static_cast<int>(std::lround(1024.0f * scale)));
    const int glowSize = std::max(1, static_cast<int>(std::lround(128.0f * scale)));
    if (sceneTarget != nullptr && sceneTarget->width == sceneSize &&
        glowTarget->width == glowSize) {
        return;
    }
    delete sceneTarget;
    delete glowTarget;
    sceneTarget = new RenderTarget(sceneSize, sceneSize, true, true);
    keepForLifetime(sceneTarget);
    glowTarget = new RenderTarget(glowSize, glowSize, true, false);
    keepForLifetime(glowTarget);
    if (blur == nullptr) {
        blur = new BlurFilter(glowSize, glowSize);
        keepForLifetime(blur);
    } else {
        blur->resize(glowSize, glowSize);
    }
}

void MetaStuff::updateField(float animation, bool wobble) {
    grid->resetValues();
    Vec3 centres[3], axes[3];
    torusPlacement(animation, centres, axes);
    for (int n = 0; n < 3; ++n) {
        grid->addTorus(centres[n], axes[n], 11.0f, 3.0f, wobble);
    }
    grid->computeNormals();
}

int MetaStuff::updateSurface(float animation, bool wobble) {
    updateField(animation, wobble);
    return grid->polygonise(surface);
}

float MetaStuff::advanceGlow() {
    float animation = 2.0f * localTime;
    if (!demo->paused) {
        metaballGlow = (cube(spectrum[0]) * 2.5f + metaballGlow) * 0.95f;
        animation += metaballGlow * *frameDelta;
    }
    return animation;
}

void MetaStuff::skip() {
    const float animation = advanceGlow();
    updateField(animation, *timeSource >= metaballWobbleFrom);
}

void MetaStuff::rewind() {
    metaballGlow = 0.0f;
    grid->resetNormals();
}

void MetaStuff::drawSurface(int triangles) {
    // The surface is wound to face out of the field, so its back faces are the
    // ones to cull. The engine's cullFace always culls front faces: the face is
    // chosen here, and the engine's choice put back for whoever culls next.
    enableState(StateCap::CullFace);
    glCullFace(GL_BACK);
    enableState(StateCap::DepthTest);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glInterleavedArrays(GL_N3F_V3F, 0, surface);
    glDrawArrays(GL_TRIANGLES, 0, triangles * 3);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glCullFace(GL_FRONT);
}

void MetaStuff::drawTunnel(float t) {
    // Units of the city mesh: the tunnel stands 3500 from its axis.
    translate(20.0f, 30.0f, 30.0f);
    scale(0.025f, 0.025f, 0.025f);

    // Nearest first, by the distance of each city's centre from the eye.
    const Vec3& eye = demo->controllerValues[0];
    for (int n = 0; n < tunnelPieces; ++n) {
        TunnelPiece& piece = pieces[n];
        piece.group = n / 4;
        piece.quarter = n % 4;
        const float k = static_cast<float>(piece.group);
        piece.offset = Vec3(tunnelRingOffset(piece.group, t) - 3000.0f, 600.0f * std::sin(k + t),
                            800.0f * std::sin(k + 0.77f * t));
        const float turn = 1.5707964f * static_cast<float>(piece.quarter);
        const Vec3 centre =
            Vec3(20.0f, 30.0f, 30.0f) +
            (piece.offset + Vec3(0.0f, 3500.0f * std::cos(turn), 3500.0f * std::sin(turn))) *
                0.025f;
        piece.distance = dot(centre - eye, centre - eye);
    }
    std::sort(pieces, pieces + tunnelPieces,
              [](const TunnelPiece& a, const TunnelPiece& b) { return a.distance < b.distance; });

    float projection[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    // Faces that look out, with the inward ones culled where they cannot show.
    if (cityLayout.usable) {
        glFrontFace(cityLayout.outwardWinding);
    }
    glCullFace(GL_BACK);
    for (TunnelPiece& piece : pieces) {
        pushPieceMatrix(piece, t);
        float modelview[16];
        glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
        // Within 2.1 units the near plane could cut away a face that hides
        // another; well beyond that, a city may leave its hidden faces out.
        piece.view = viewPiece(cityLayout, modelview, projection, sceneTarget->width,
                               sceneTarget->height, 8.0f);
        if (piece.view.onScreen) {
            setPieceColour(piece);
            if (piece.view.whole) {
                disableState(StateCap::CullFace);
            } else {
                enableState(StateCap::CullFace);
            }
            cityMesh->part(0)->draw();
        }
        popMatrix();
    }

    // Inside the drums, where an open end shows.
    enableState(StateCap::CullFace);
    glCullFace(GL_FRONT);
    glEnable(GL_SCISSOR_TEST);
    for (const TunnelPiece& piece : pieces) {
        const int* box = piece.view.endBox;
        if (!piece.view.onScreen || piece.view.whole || box[2] == 0 || box[3] == 0) {
            continue;
        }
        pushPieceMatrix(piece, t);
        setPieceColour(piece);
        glScissor(box[0], box[1], box[2], box[3]);
        cityMesh->part(1)->draw();
        popMatrix();
    }
    glDisable(GL_SCISSOR_TEST);
    glFrontFace(GL_CCW);
    disableState(StateCap::CullFace);
}

void MetaStuff::pushPieceMatrix(const TunnelPiece& piece, float t) {
    // Ring group k, piece j: moved with its group, turned a quarter j about the
    // tunnel's axis, spinning about its own.
    const float spin = static_cast<float>(20 * piece.quarter + 40);
    pushMatrix();
    translate(piece.offset.x, piece.offset.y, piece.offset.z);
    rotate(90.0f * static_cast<float>(piece.quarter), 1.0f, 0.0f, 0.0f);
    translate(0.0f, 3500.0f, 0.0f);
    rotate(spin * t, 1.0f, 0.0f, 0.0f);
}

void MetaStuff::setPieceColour(const TunnelPiece& piece) {
    const float tint = static_cast<float>((4 * piece.group + piece.quarter) % 2);
    const float color[4] = {0.95f + 0.1f * tint, 1.0f, 0.9f, 1.0f};
    cityProgram->set4fv("color", color);
}

void MetaStuff::render() {
    const float t = localTime;
    const float level = spectrum[0];
    const float animation = advanceGlow();

    // A window resized since the last frame: the targets follow the picture.
    fitTargets();
    disableState(StateCap::CullFace);
    sceneTarget->bind();
    clear(0.1375f, 0.15f, 0.175f, 0.0f, true, true, true);

    const Vec3& eye = demo->controllerValues[0];
    const Vec3& target = demo->controllerValues[1];
    lookAt(eye.x, eye.y, eye.z, target.x, target.y, target.z, 0.0f, 0.0f, -1.0f);
    perspective(95.0f, 1.3333334f, 1.0f, 1000.0f);
    disableState(StateCap::Blend);

    flare->followOwnerTime();
    flare->setLightPosition(100.0f, 100.0f, -100.0f);
    flare->drawGlow();

    // The tori.
    enableState(StateCap::DepthTest);
    enableState(StateCap::CullFace);
    pushMatrix();
    translate(9.0f * std::sin(t), 9.0f * std::sin(1.2f * t), 9.0f * std::sin(1.3f * t));
    torusProgram->bind();
    torusProgram->set1f("cc", eye.x);
    torusProgram->setTexture("tex0", environmentTexture);
    torusProgram->setTexture("tex2", metalTexture);
    torusProgram->setTexture("tex1", bumpTexture);
    drawSurface(updateSurface(animation, *timeSource >= metaballWobbleFrom));
    popMatrix();
    torusProgram->disableTexture("tex0");
    torusProgram->disableTexture("tex1");
    torusProgram->disableTexture("tex2");
    disableState(StateCap::CullFace);

    // The tunnel; its scale stays on the matrix for the tube.
    cityProgram->bind();
    cityProgram->setTexture("tex0", cityTexture);
    drawTunnel(t);
    cityProgram->disableTexture("tex0");
    cityProgram->unbind();

    // Two stretches of the tube slide along it.
    const float s = std::fabs(20.0f * std::sin(0.2f * t));
    tube->drawRange(s, s + 5.0f);
    disableFragmentPrograms();
    disableVertexPrograms();
    const float c = std::fabs(20.0f * std::cos(0.2f * t));
    tube->drawRange(c, c + 5.0f);

    flare->followOwnerTime();
    flare->render();

    // The glow: the scene copied down small and blurred, stronger on the bass.
    sceneTarget->unbind();
    fullscreen.copy(*sceneTarget, *glowTarget);
    blur->gamma = glowGamma(level);
    // Half a texel of the glow as made, in the texels of this one.
    blur->blur(*glowTarget, 2, 0.5f * static_cast<float>(glowTarget->width) / 128.0f, 2.0f);

    fullscreen.draw(sceneTarget->colourTexture());
    fullscreen.drawAdditive(glowTarget->colourTexture());
    pictureViewport();
}
