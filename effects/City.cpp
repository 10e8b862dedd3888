#include "effects/City.h"

#include "camera/TrackTube.h"
#include "core/Demo.h"
#include "effects/Billboards.h"
#include "effects/LensFlare.h"
#include "platform/Gl.h"
#include "platform/GlState.h"
#include "platform/Random.h"
#include "platform/Texture.h"
#include "resources/CgProgram.h"
#include "resources/Geometry.h"
#include "resources/NmdScene.h"

#include <cmath>

namespace {

// The trails' common path, key k at time k: down the first street, round the
// blocks to the south-west and up into the sky.
const float pathKeys[11][3] = {{-35, 71, -18},    {-35, 11, -18},    {-34, -72, -21},
                               {5, -146, -19},    {-36, -204, -19},  {-114, -128, -16},
                               {-120, -211, -12}, {-176, -223, -10}, {-172, -218, -53},
                               {-270, -131, -40}, {-270, -131, -200}};

// Where the glowing figures stand in the streets (x, y; z is the same for all).
const float figurePositions[19][2] = {
    {-57.02f, 25.43f},    {-15.23f, -47.65f},   {-74.87f, -63.87f},   {-115.25f, -64.67f},
    {-137.87f, -63.59f},  {-280.99f, -57.59f},  {-309.29f, -44.17f},  {-207.76f, -4.72f},
    {-155.7f, -233.94f},  {-167.67f, -177.45f}, {-128.02f, -201.1f},  {-198.02f, -163.52f},
    {-264.43f, -150.78f}, {-329.51f, -151.82f}, {-335.57f, -100.12f}, {-435.59f, -180.37f},
    {-81.09f, -302.55f},  {60.54f, -185.38f},   {-141.69f, -281.47f}};
constexpr float figureZ = -7.67f;

// The camera's projection times its model-view, column-major as GL keeps them.
struct ViewTransform {
    float m[16];

    static ViewTransform current() {
        float projection[16], modelview[16];
        glGetFloatv(GL_PROJECTION_MATRIX, projection);
        glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
        ViewTransform view;
        for (int column = 0; column < 4; ++column) {
            for (int row = 0; row < 4; ++row) {
                float sum = 0.0f;
                for (int k = 0; k < 4; ++k) {
                    sum += projection[k * 4 + row] * modelview[column * 4 + k];
                }
                view.m[column * 4 + row] = sum;
            }
        }
        return view;
    }

    float clip(int row, float x, float y, float z) const {
        return m[row] * x + m[4 + row] * y + m[8 + row] * z + m[12 + row];
    }

    // Whether every corner of the box lies beyond one and the same side of the
    // view; the box holds nothing visible then.
    bool outside(const float low[3], const float high[3]) const {
        int beyondAll = 0x3f;
        for (int corner = 0; corner < 8; ++corner) {
            const float x = corner & 1 ? high[0] : low[0];
            const float y = corner & 2 ? high[1] : low[1];
            const float z = corner & 4 ? high[2] : low[2];
            const float c[4] = {clip(0, x, y, z), clip(1, x, y, z), clip(2, x, y, z),
                                clip(3, x, y, z)};
            // A little inside counts as beyond: rounding never hides a corner.
            const float w = c[3] * (1.0f + 1e-4f) + 1e-4f;
            int beyond = 0;
            for (int axis = 0; axis < 3; ++axis) {
                beyond |= (c[axis] < -w ? 1 : 0) << (2 * axis);
                beyond |= (c[axis] > w ? 1 : 0) << (2 * axis + 1);
            }
            beyondAll &= beyond;
        }
        return beyondAll != 0;
    }
};

constexpr int trailKeys = 150;
constexpr int trailRings = 2500;
// Path time per trail key: twelve keys to every stretch of the path.
constexpr float trailKeyStep = 0.083333336f;

} // namespace

City::City(Demo* demo) : Effect(demo) {}

void City::load() {
    // Clouds above the city, to the south-west where the sun stands.
    clouds = new Billboards(demo);
    clouds->resize(40, 1.0f);
    for (int i = 0; i < 40; ++i) {
        const float d0 = Random::signedUnit();
        const float d1 = Random::signedUnit();
        const float d2 = Random::signedUnit();
        const float a = 50.0f * d0;
        const float b = std::fabs(400.0f * d1);
        const float c = std::fabs(400.0f * d2);
        clouds->setSize(i, (std::fabs(Random::signedUnit()) + 1.0f) * 20.0f);
        const float d4 = Random::signedUnit();
        const float d5 = Random::signedUnit();
        const float o = 0.2f * std::fabs(d4);
        clouds->setColour(i, 1.0f - o * o, 1.0f - o * o, 1.0f, std::fabs(d5));
        clouds->setPosition(i, -c, -b, -90.0f - std::fabs(a));
    }
    cloudTexture = demo->getTexture("data/cloud.png");

    figures = new Billboards(demo);
    figures->resize(19, 100.0f);
    for (int i = 0; i < 19; ++i) {
        figures->setColour(i, 1.0f, 1.0f, 1.0f, 1.0f);
        figures->setSize(i, 5.0f);
    }
    for (int i = 0; i < 19; ++i) {
        figures->setPosition(i, figurePositions[i][0], figurePositions[i][1], figureZ);
    }

    flare = new LensFlare(this);
    scene = new NmdScene("data/citymaps/city.nmd", true, "data/citymaps/");
    scene->requireRead();

    for (const auto& key : pathKeys) {
        path.addKey(key[0], key[1], key[2], static_cast<float>(path.count), 1);
    }

    // Each trail wanders up to 5 away from the path, differently for each.
    trailA = new TrackTube();
    trailB = new TrackTube();
    trailA->reserve(200);
    trailB->reserve(200);
    for (int i = 0; i < trailKeys; ++i) {
        const Vec3 p = path.sample(static_cast<float>(i) * trailKeyStep, 3);
        const float e0 = Random::signedUnit();
        const float e1 = Random::signedUnit();
        const float e2 = Random::signedUnit();
        trailA->addKey(p.x - 5.0f * e1, p.y - 5.0f * e0, p.z - 5.0f * e2,
                       static_cast<float>(trailA->count), 1);
        const float f0 = Random::signedUnit();
        const float f1 = Random::signedUnit();
        const float f2 = Random::signedUnit();
        trailB->addKey(p.x - 5.0f * f1, p.y - 5.0f * f0, p.z - 5.0f * f2,
                       static_cast<float>(trailB->count), 1);
    }
    trailA->build(2, trailRings, 0.2f, 3, 0.0f, -1.0f);
    trailB->build(2, trailRings, 0.25f, 3, 0.0f, -1.0f);

    trailProgram = demo->getProgramPair("data/meridian.cg", "vsPlain", "psBlack");
    figureTexture = demo->getTexture("data/city/man.png");
}

void City::render() {
    const float t = localTime;
    clear(0.55f, 0.6f, 0.7f, 0.0f, true, true, true);

    const Vec3& eye = demo->controllerValues[0];
    const Vec3& target = demo->controllerValues[1];
    scene->setCamera(eye.x, eye.y, eye.z, target.x, target.y, target.z, 45.0f, 1.3333334f, 1.0f,
                     1000.0f);

    // The sun glow is the background of the sky.
    flare->followOwnerTime();
    flare->setLightPosition(-1000.0f, -1000.0f, -500.0f);
    flare->drawGlow();

    resetState();

    // The clouds write no depth: the city covers them wherever it stands in front.
    enableState(StateCap::Blend);
    blendFunction(BlendFactor::SrcAlpha, BlendFactor::OneMinusSrcAlpha);
    depthMask(false);
    clouds->program->bind();
    clouds->program->setTexture("tex0", cloudTexture);
    drawClouds();
    clouds->program->disableTexture("tex0");
    clouds->program->unbind();
    depthMask(true);
    disableState(StateCap::Blend);

    // Each trail shows a stretch of ten keys that moves five keys a second.
    trailProgram->bind();
    trailA->drawRange(5.0f * t - 10.0f, 5.0f * t);
    trailB->drawRange(5.0f * t - 8.0f, 5.0f * t + 2.0f);
    trailProgram->unbind();

    // The scene's animation runs in milliseconds. A copy wholly out of sight
    // would only cost the time to turn its triangles away.
    const ViewTransform view = ViewTransform::current();
    for (const auto& offset : tileOffsets) {
        const NmdBounds& b = scene->bounds;
        const float low[3] = {b.min[0] + offset[0], b.min[1] + offset[1], b.min[2]};
        const float high[3] = {b.max[0] + offset[0], b.max[1] + offset[1], b.max[2]};
        if (!plainDrawing && view.outside(low, high)) {
            continue;
        }
        pushMatrix();
        translate(offset[0], offset[1], 0.0f);
        scene->render(t * 1000.0f);
        popMatrix();
    }

    flare->render();

    // The figures glow: added over everything in front of which they stand.
    enableState(StateCap::Blend);
    blendFunction(BlendFactor::One, BlendFactor::One);
    enableState(StateCap::DepthTest);
    disableState(StateCap::CullFace);
    depthMask(false);
    figures->program->bind();
    figures->program->setTexture("tex0", figureTexture);
    figures->render();
    figures->program->disableTexture("tex0");
    figures->program->unbind();
    depthMask(true);
}

// Most of the time the clouds are seen from afar and their picture shrinks, so
// they are sampled from its mipmaps. Near and inside the clouds at the end of
// the flight they fill the screen larger than their picture: then only its
// first level counts, and a software rasteriser samples it faster without the
// mipmap chain. The sprites are drawn in their order, in runs of
// the same kind.
void City::drawClouds() {
    if (plainDrawing) {
        clouds->render();
        return;
    }
    const ViewTransform view = ViewTransform::current();
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    // Sampled at level 0 alone with a margin: the rasteriser computes the level
    // per pixel from its own rounding.
    const float largerThan = 1.02f;

    VertexBuffer& vertices = *clouds->vertices;
    vertices.enable(0, 0);
    vertices.enable(1, 10);
    vertices.enable(2, 1);
    vertices.enable(3, 11);
    const int count = clouds->count();
    int runStart = 0;
    bool runLarge = false;
    for (int i = 0; i <= count; ++i) {
        bool large = false;
        if (i < count) {
            // Billboard i's corners stand 3 s and 4 s from its centre after
            // projection: the quad is 3 s / w viewport widths wide on screen.
            const float* v = vertices.data + 4 * i * vertices.floatsPerVertex;
            const float w = view.clip(3, v[0], v[1], v[2]);
            const float halfWidth = std::fabs(v[3]), halfHeight = std::fabs(v[4]);
            large = w > 0.0f && halfWidth * viewport[2] >= largerThan * cloudTexture->width * w &&
                    halfHeight * viewport[3] >= largerThan * cloudTexture->height * w;
        }
        if (i == count || (i > runStart && large != runLarge)) {
            cloudTexture->setMinification(runLarge ? GL_LINEAR : GL_LINEAR_MIPMAP_LINEAR);
            vertices.drawArrays(PrimitiveCode::Quads, 4 * runStart, 4 * (i - runStart));
            runStart = i;
        }
        runLarge = large;
    }
    cloudTexture->setMinification(GL_LINEAR_MIPMAP_LINEAR);
    vertices.disable(0);
    vertices.disable(10);
    vertices.disable(1);
    vertices.disable(11);
}
