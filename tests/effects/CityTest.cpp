// The city flight: what its load draws from the process-wide generator (it
// makes the first draws of the process, from the generator's start), where it
// stands its figures, and where it draws the four copies of its city.
#include "effects/City.h"
#include "camera/TrackTube.h"
#include "core/Demo.h"
#include "core/FullscreenPass.h"
#include "effects/Billboards.h"
#include "platform/Gl.h"
#include "platform/GlState.h"
#include "platform/Random.h"
#include "resources/Geometry.h"
#include "resources/ImageWriter.h"
#include "resources/NmdScene.h"
#include "support/GlTest.h"

#include "AllocationCount.h"

#include <GL/glu.h>

#include <cmath>
#include <memory>

namespace {

class CityTest : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        loaded();
    }
    void TearDown() override {
        disableFragmentPrograms();
        disableVertexPrograms();
        resetState();
        GlTest::TearDown();
    }

    // One city for the whole program, loaded from the generator's start as the
    // shipped timeline loads it; the draw that follows the load is kept.
    struct Loaded {
        Demo demo;
        FullscreenPass copyProgram;
        City* city = nullptr;
        int nextDraw = 0;
    };
    Loaded& loaded() {
        static Loaded* once = [this] {
            auto* l = new Loaded();
            l->demo.window = &window();
            l->demo.verbose = false;
            l->demo.copyProgram = &l->copyProgram;
            l->city = new City(&l->demo);
            Random::seed(1);
            l->demo.loadEffects();
            l->nextDraw = Random::next();
            return l;
        }();
        return *once;
    }
    City& city() { return *loaded().city; }

    // Renders the city alone at scene time t with the camera given.
    void render(float t, const Vec3& eye, const Vec3& target) {
        Demo& demo = loaded().demo;
        demo.controllerValues[0] = eye;
        demo.controllerValues[1] = target;
        demo.timeline.count = 0;
        demo.addEntry(0.0f, 100.0f, &city());
        demo.renderFrame(t, 0.016f);
    }

    // The first float of billboard i's first vertex: centre, corner, uv, colour.
    static const float* sprite(const Billboards& set, int i) {
        return set.vertices->data + 4 * 11 * i;
    }
};

TEST_F(CityTest, LoadDrawsCloudsThenTrailsFromTheGeneratorsStart) {
    // 240 draws for the clouds and 900 for the trails: the generator (seeded 1)
    // stands at its 1141st value after the load.
    EXPECT_EQ(loaded().nextDraw, 31998);

    // Cloud 0 from the first six values (16838, 5758, 10113, 17515, 31051,
    // 5627), cloud 39 from the last six of the 240.
    const Billboards& clouds = *city().clouds;
    ASSERT_EQ(clouds.count(), 40);
    struct Expected {
        int index;
        float x, y, z, size, grey, alpha;
    };
    for (const Expected& e :
         {Expected{0, -153.09305f, -259.41954f, -91.387066f, 21.381268f, 0.96794035f, 0.65654469f},
          Expected{39, -273.58012f, -171.86804f, -123.37352f, 21.453291f, 0.96560422f,
                   0.58561969f}}) {
        const float* v = sprite(clouds, e.index);
        EXPECT_NEAR(v[0], e.x, 1e-3f) << "cloud " << e.index;
        EXPECT_NEAR(v[1], e.y, 1e-3f);
        EXPECT_NEAR(v[2], e.z, 1e-3f);
        // The first corner is (-3 size, -4 size).
        EXPECT_NEAR(v[3], -3.0f * e.size, 1e-3f);
        EXPECT_NEAR(v[7], e.grey, 1e-5f);
        EXPECT_EQ(v[7], v[8]);
        EXPECT_EQ(v[9], 1.0f);
        EXPECT_NEAR(v[10], e.alpha, 1e-5f);
    }

    // Trail keys: the path's cubic sample less five times three draws each,
    // first trail A, then trail B, key by key.
    struct TrailKey {
        int key;
        Vec3 a, b;
    };
    const TrailKey keys[] = {
        {0, {-33.581347f, 75.787896f, -19.214789f}, {-35.460372f, 70.799646f, -14.536607f}},
        {1, {-30.339628f, 63.294768f, -13.240310f}, {-36.169579f, 67.747113f, -13.184766f}},
        {60, {-114.67188f, -123.51759f, -15.106264f}, {-114.58124f, -123.02808f, -20.691152f}},
        {119, {-271.33507f, -132.52709f, -185.82512f}, {-271.45440f, -135.43520f, -187.76487f}},
        {149, {-272.90216f, -133.57073f, -196.72491f}, {-272.48497f, -127.29765f, -197.74056f}},
    };
    ASSERT_EQ(city().trailA->count, 150);
    ASSERT_EQ(city().trailB->count, 150);
    for (const TrailKey& k : keys) {
        const CameraKey& a = city().trailA->key(k.key);
        const CameraKey& b = city().trailB->key(k.key);
        EXPECT_NEAR(a.x, k.a.x, 2e-3f) << "trail A key " << k.key;
        EXPECT_NEAR(a.y, k.a.y, 2e-3f) << "trail A key " << k.key;
        EXPECT_NEAR(a.z, k.a.z, 2e-3f) << "trail A key " << k.key;
        EXPECT_NEAR(b.x, k.b.x, 2e-3f) << "trail B key " << k.key;
        EXPECT_NEAR(b.y, k.b.y, 2e-3f) << "trail B key " << k.key;
        EXPECT_NEAR(b.z, k.b.z, 2e-3f) << "trail B key " << k.key;
        EXPECT_EQ(a.time, static_cast<float>(k.key));
        EXPECT_EQ(b.time, static_cast<float>(k.key));
    }
}

TEST_F(CityTest, PathHasElevenKeysAndTheTrailsSpanItInThinRibbons) {
    const float path[11][3] = {{-35, 71, -18},    {-35, 11, -18},    {-34, -72, -21},
                               {5, -146, -19},    {-36, -204, -19},  {-114, -128, -16},
                               {-120, -211, -12}, {-176, -223, -10}, {-172, -218, -53},
                               {-270, -131, -40}, {-270, -131, -200}};
    ASSERT_EQ(city().path.count, 11);
    for (int k = 0; k < 11; ++k) {
        const CameraKey& key = city().path.key(k);
        EXPECT_EQ(key.x, path[k][0]) << "key " << k;
        EXPECT_EQ(key.y, path[k][1]) << "key " << k;
        EXPECT_EQ(key.z, path[k][2]) << "key " << k;
        EXPECT_EQ(key.time, static_cast<float>(k));
    }
    for (const TrackTube* trail : {city().trailA, city().trailB}) {
        EXPECT_EQ(trail->sides, 2);
        EXPECT_EQ(trail->rings, 2500);
        EXPECT_EQ(trail->positions.count, 2502 * 2);
        EXPECT_EQ(trail->indices.count, 2499 * 2 * 6);
    }
    // Half the width of each ribbon: the two vertices of a ring lie 2 radii apart.
    const Vec3* a = city().trailA->positions.data;
    const Vec3* b = city().trailB->positions.data;
    EXPECT_NEAR(length(a[1000] - a[1001]), 0.4f, 1e-3f);
    EXPECT_NEAR(length(b[1000] - b[1001]), 0.5f, 1e-3f);

    // At the scene's start trail A shows nothing yet, trail B its first keys.
    int first = 0, end = 0;
    city().trailA->indexRange(-10.0f, 0.0f, &first, &end);
    EXPECT_EQ(end - first, 0);
    city().trailB->indexRange(-8.0f, 2.0f, &first, &end);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(end, 2 * 33 * 6);
}

TEST_F(CityTest, FiguresStandAtTheirStreetCornersAsGlowingSprites) {
    const float figures[19][2] = {
        {-57.02f, 25.43f},    {-15.23f, -47.65f},   {-74.87f, -63.87f},   {-115.25f, -64.67f},
        {-137.87f, -63.59f},  {-280.99f, -57.59f},  {-309.29f, -44.17f},  {-207.76f, -4.72f},
        {-155.7f, -233.94f},  {-167.67f, -177.45f}, {-128.02f, -201.1f},  {-198.02f, -163.52f},
        {-264.43f, -150.78f}, {-329.51f, -151.82f}, {-335.57f, -100.12f}, {-435.59f, -180.37f},
        {-81.09f, -302.55f},  {60.54f, -185.38f},   {-141.69f, -281.47f}};
    const Billboards& set = *city().figures;
    ASSERT_EQ(set.count(), 19);
    for (int i = 0; i < 19; ++i) {
        for (int corner = 0; corner < 4; ++corner) {
            const float* v = sprite(set, i) + 11 * corner;
            EXPECT_EQ(v[0], figures[i][0]) << "figure " << i;
            EXPECT_EQ(v[1], figures[i][1]) << "figure " << i;
            EXPECT_EQ(v[2], -7.67f) << "figure " << i;
            // Size 5: half extents 15 across and 20 up, white and opaque.
            EXPECT_EQ(std::fabs(v[3]), 15.0f);
            EXPECT_EQ(std::fabs(v[4]), 20.0f);
            EXPECT_EQ(v[7] + v[8] + v[9] + v[10], 4.0f);
        }
    }
}

TEST_F(CityTest, FourCopiesOfTheCityStandSideBySide) {
    // A stand-in city: one red square at the model's origin.
    TempDir dir;
    std::vector<unsigned char> red;
    for (int i = 0; i < 16; ++i)
        red.insert(red.end(), {255, 0, 0});
    ASSERT_TRUE(writePng(dir.file("red.png"), 4, 4, 3, red.data()));
    NmdFile model;
    model.materials.push_back(std::make_unique<NmdMaterial>());
    model.materials[0]->name = "marker";
    model.materials[0]->maps[NmdMap::Diffuse] = "red.png";
    auto node = std::make_unique<NmdNode>();
    node->type = NmdNodeType::Mesh;
    node->name = "marker";
    node->mesh = std::make_unique<NmdMesh>();
    node->mesh->materialName = "marker";
    const float h = 25.0f;
    node->mesh->positions = {-h, -h, 0, h, -h, 0, h, h, 0, -h, h, 0};
    node->mesh->hasTexture[1] = true;
    node->mesh->texture[1] = {0, 0, 1, 0, 1, -1, 0, -1};
    node->mesh->indices = {0, 1, 2, 0, 2, 3};
    model.nodes.push_back(std::move(node));
    std::string error;
    ASSERT_TRUE(writeNmdFile(dir.file("marker.nmd"), model, error)) << error;
    NmdScene marker(dir.file("marker.nmd"), true, dir.path());
    ASSERT_EQ(marker.error, "");

    // Clouds out of the way, the camera high over the copies looking down.
    NmdScene* cityScene = city().scene;
    city().scene = &marker;
    for (int i = 0; i < city().clouds->count(); ++i)
        city().clouds->setPosition(i, 0.0f, 0.0f, 5000.0f);
    render(3.0f, Vec3(-275.0f, 150.0f, -700.0f), Vec3(-275.0f, -189.0f, 0.0f));
    city().scene = cityScene;

    // Where a world point lands, through the matrices the frame left loaded.
    double modelview[16], projection[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    const GLint view[4] = {0, 0, 800, 600};
    auto colourAt = [&](float x, float y) {
        double wx = 0, wy = 0, wz = 0;
        gluProject(x, y, 0.0, modelview, projection, view, &wx, &wy, &wz);
        EXPECT_TRUE(wx > 0 && wx < 800 && wy > 0 && wy < 600) << x << ", " << y;
        return pixel(static_cast<int>(wx), static_cast<int>(wy));
    };
    for (const auto& offset : City::tileOffsets) {
        const auto p = colourAt(offset[0], offset[1]);
        EXPECT_GT(p[0], 200) << "no copy at " << offset[0] << ", " << offset[1];
        EXPECT_LT(p[1], 120);
    }
    // Nothing between the copies.
    for (const auto& offset :
         {std::array<float, 2>{-275.0f, 0.0f}, std::array<float, 2>{0.0f, -189.0f},
          std::array<float, 2>{-275.0f, -378.0f}}) {
        const auto p = colourAt(offset[0], offset[1]);
        EXPECT_FALSE(p[0] > 200 && p[1] < 120) << "a copy at " << offset[0] << ", " << offset[1];
    }

    // Put the clouds back where the load put them.
    Random::seed(1);
    for (int i = 0; i < city().clouds->count(); ++i) {
        const float d0 = Random::signedUnit(), d1 = Random::signedUnit();
        const float d2 = Random::signedUnit();
        for (int skip = 0; skip < 3; ++skip)
            Random::next();
        city().clouds->setPosition(i, -std::fabs(400.0f * d2), -std::fabs(400.0f * d1),
                                   -90.0f - std::fabs(50.0f * d0));
    }
}

TEST_F(CityTest, ShortcutsDrawExactlyThePlainFrame) {
    // Copies out of sight are skipped and clouds larger on screen than their
    // picture are sampled without mipmaps: neither may change a pixel.
    auto frame = [&](bool plain, float t, const Vec3& eye, const Vec3& target) {
        city().plainDrawing = plain;
        city().scene->drawCounts = {};
        render(t, eye, target);
        city().plainDrawing = false;
        std::vector<unsigned char> pixels(800 * 600 * 4);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, 800, 600, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    };
    const float* cloud = sprite(*city().clouds, 0);
    const Vec3 cloudCentre(cloud[0], cloud[1], cloud[2]);
    struct View {
        const char* what;
        float t;
        Vec3 eye, target;
        bool skipsCopies;
    };
    const View views[] = {
        {"over the city's east edge looking away from the western copies", 5.0f,
         Vec3(150.0f, 100.0f, -40.0f), Vec3(300.0f, 250.0f, -20.0f), true},
        {"high above all four copies, the clouds small", 3.0f, Vec3(-275.0f, 150.0f, -700.0f),
         Vec3(-275.0f, -189.0f, 0.0f), false},
        {"among the clouds, one filling the screen", 23.0f, cloudCentre + Vec3(20.0f, 15.0f, 10.0f),
         cloudCentre, false},
        {"down the first street at dusk", 9.0f, Vec3(-30.0f, 95.0f, -40.0f),
         Vec3(-35.0f, 0.0f, -15.0f), false},
    };
    for (const View& view : views) {
        const std::vector<unsigned char> plain = frame(true, view.t, view.eye, view.target);
        const long long plainDraws = city().scene->drawCounts.draws;
        const std::vector<unsigned char> quick = frame(false, view.t, view.eye, view.target);
        const long long quickDraws = city().scene->drawCounts.draws;
        int differing = 0;
        for (size_t i = 0; i < plain.size(); ++i)
            differing += plain[i] != quick[i];
        EXPECT_EQ(differing, 0) << view.what;
        if (view.skipsCopies)
            EXPECT_LT(quickDraws, plainDraws) << view.what;
        else
            EXPECT_LE(quickDraws, plainDraws) << view.what;
    }
    expectNoGlError();
}

TEST_F(CityTest, FlightShowsCityTrailsAndSkyAndMovesOn) {
    // Low over the first street, looking along the trails' path.
    auto frame = [&](float t) {
        render(t, Vec3(-30.0f, 95.0f, -40.0f), Vec3(-35.0f, 0.0f, -15.0f));
        std::vector<unsigned char> pixels(800 * 600 * 4);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, 800, 600, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    };
    const std::vector<unsigned char> early = frame(4.0f);
    int sky = 0, black = 0;
    for (size_t i = 0; i < early.size(); i += 4) {
        const int r = early[i], g = early[i + 1], b = early[i + 2];
        // The clear colour (0.55, 0.6, 0.7).
        sky += std::abs(r - 140) < 4 && std::abs(g - 153) < 4 && std::abs(b - 178) < 4;
        // Nothing in the city is as dark as the trails.
        black += r + g + b < 20;
    }
    const int total = 800 * 600;
    EXPECT_LT(sky, total / 2) << "the city is missing";
    EXPECT_GT(black, 200) << "no trail in sight";
    // The figures glow additively and leave blending on for what follows.
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    GLboolean depthWrites = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
    EXPECT_TRUE(depthWrites);
    expectNoGlError();

    // Two seconds on, the trails have grown and the traffic has moved.
    const std::vector<unsigned char> later = frame(6.0f);

    // A frame allocates nothing.
    AllocationCount count;
    city().renderSpan(0.0f, 100.0f);
    EXPECT_EQ(count.allocations(), 0);
    int changed = 0;
    for (size_t i = 0; i < early.size(); i += 4)
        changed += std::abs(early[i] - later[i]) > 16;
    EXPECT_GT(changed, 1000);
}

} // namespace
