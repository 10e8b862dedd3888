// The metaball scene, loaded from the generated data folder and rendered through
// the demo's frame code on the shared context: the tube's random path, the
// tunnel's wrap and what of it shows, the glow that follows the bass, and the
// side of the surface that shows.
#include "effects/MetaStuff.h"
#include "camera/TrackTube.h"
#include "core/Demo.h"
#include "core/FullscreenPass.h"
#include "core/Seek.h"
#include "effects/BlurFilter.h"
#include "effects/MetaballGrid.h"
#include "platform/Gl.h"
#include "platform/GlState.h"
#include "platform/GlWindow.h"
#include "platform/Random.h"
#include "platform/RenderTarget.h"
#include "resources/CgProgram.h"
#include "support/GlTest.h"

#include "AllocationCount.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

class MetaStuffTest : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        demo.window = &window();
        demo.verbose = false;
        copyProgram = std::make_unique<FullscreenPass>();
        demo.copyProgram = copyProgram.get();
        // The tube draws from wherever the generator stands.
        Random::seed(4321);
        meta = new MetaStuff(&demo);
        demo.loadEffects();
        // Behind the tori, down the tunnel.
        demo.controllerValues[0] = Vec3(-12.0f, 26.0f, 18.0f);
        demo.controllerValues[1] = Vec3(24.0f, 24.0f, 24.0f);
        demo.addEntry(154.55f, 24.0f, meta);
    }
    void TearDown() override {
        disableFragmentPrograms();
        disableVertexPrograms();
        GlTest::TearDown();
    }

    // The frame at demo time t with the bass at level; the glow accumulator and
    // the frame delta start from nothing, so the animation is the same at every
    // level.
    double renderedBrightness(float t, float level) {
        metaballGlow = 0.0f;
        demo.spectrum[0] = level;
        demo.renderFrame(t, 0.0f);
        double sum = 0.0;
        for (int y = 5; y < 600; y += 10) {
            for (int x = 5; x < 800; x += 10) {
                auto p = pixel(x, y);
                sum += p[0] + p[1] + p[2];
            }
        }
        return sum / (80.0 * 60.0 * 3.0);
    }

    Demo demo;
    std::unique_ptr<FullscreenPass> copyProgram;
    MetaStuff* meta = nullptr;
};

} // namespace

TEST_F(MetaStuffTest, TubeTakesTwentyKeysFromTheGeneratorWithoutReseeding) {
    Random::seed(4321);
    const float toUnit = 6.1037019e-05f;
    ASSERT_EQ(meta->tube->count, 20);
    for (int n = 0; n < 20; ++n) {
        const float y = (Random::next() * toUnit - 1.0f) * 1000.0f;
        const float x = std::fabs((Random::next() * toUnit - 1.0f) * 5000.0f);
        const float z = (Random::next() * toUnit - 1.0f) * 1000.0f;
        const CameraKey& key = meta->tube->key(n);
        EXPECT_EQ(key.time, static_cast<float>(n));
        EXPECT_EQ(key.x, x) << n;
        EXPECT_EQ(key.y, y) << n;
        EXPECT_EQ(key.z, z) << n;
        EXPECT_EQ(key.mode, 1);
    }
    // Exactly sixty draws: the loads after this one continue from the 61st.
    const int next = Random::next();
    Random::seed(4321);
    for (int n = 0; n < 60; ++n) {
        Random::next();
    }
    EXPECT_EQ(Random::next(), next);
    // Three sides, 200 rings over the whole path.
    EXPECT_EQ(meta->tube->sides, 3);
    EXPECT_EQ(meta->tube->rings, 200);
    EXPECT_EQ(meta->tube->positions.count, 202 * 3);
}

TEST(MetaStuffTunnel, RingGroupsWrapByWholeLaps) {
    // At t = 0 nothing wraps: groups 8 to 11 stand at 20000 and beyond.
    EXPECT_EQ(tunnelRingOffset(0, 0.0f), 0.0f);
    EXPECT_EQ(tunnelRingOffset(9, 0.0f), 22500.0f);
    EXPECT_EQ(tunnelRingOffset(11, 0.0f), 27500.0f);
    EXPECT_EQ(tunnelRingOffset(0, 1.0f), 16500.0f);
    EXPECT_EQ(tunnelRingOffset(11, 1.0f), 24000.0f);
    // The same number as adding laps one by one, for every time of the slot.
    for (int k = 0; k < 12; ++k) {
        for (float t = 0.0f; t < 25.0f; t += 0.37f) {
            float r = 2500.0f * k - 3500.0f * t;
            while (r < 0.0f) {
                r += 20000.0f;
            }
            ASSERT_EQ(tunnelRingOffset(k, t), r) << k << " at " << t;
        }
    }
    // A time far beyond any slot still gives an answer, at once.
    const float far = tunnelRingOffset(3, 1e12f);
    EXPECT_GE(far, 0.0f);
    EXPECT_LE(far, 20000.0f);
}

TEST(MetaStuffGlow, GammaIsAHalfInSilenceAndGrowsWithTheSquareOfTheBass) {
    EXPECT_EQ(glowGamma(0.0f), 0.5f);
    EXPECT_FLOAT_EQ(glowGamma(1.0f), 0.49f * 3.0f + 0.5f);
    EXPECT_FLOAT_EQ(glowGamma(0.5f), 0.35f * 0.35f * 3.0f + 0.5f);
}

TEST_F(MetaStuffTest, GlowAccumulatesTheCubedBassUnlessPaused) {
    metaballGlow = 0.0f;
    demo.spectrum[0] = 0.5f;
    demo.renderFrame(160.0f, 0.02f);
    EXPECT_FLOAT_EQ(metaballGlow, 0.125f * 2.5f * 0.95f);
    demo.renderFrame(160.02f, 0.02f);
    EXPECT_FLOAT_EQ(metaballGlow, (0.3125f + 0.296875f) * 0.95f);
    const float held = metaballGlow;
    demo.paused = true;
    demo.renderFrame(160.04f, 0.02f);
    EXPECT_EQ(metaballGlow, held);
    demo.paused = false;
    // Outside the slot the effect does not run, and the value stays.
    demo.renderFrame(150.0f, 0.02f);
    EXPECT_EQ(metaballGlow, held);
}

// Records the glow's blur passes instead of drawing them, with the gamma each
// would apply.
class RecordingGlow : public BlurFilter {
public:
    struct Pass {
        const RenderTarget* from;
        const RenderTarget* to;
        float dx, dy, gamma;
    };
    RecordingGlow() : BlurFilter(128, 128) {}
    void pass(RenderTarget& source, RenderTarget& destination, float dx, float dy) override {
        passes.push_back({&source, &destination, dx, dy, gamma});
    }
    std::vector<Pass> passes;
};

// The glow is the small copy of the scene blurred twice along each axis, there
// and back through the filter's own target, half a texel a tap, horizontally
// first. With the bass at 0.6 every pass scales by (0.7 x 0.6)^2 x 3 + 0.5.
TEST_F(MetaStuffTest, GlowBlursTheSmallCopyTwiceAlongEachAxisByHalfATexel) {
    RecordingGlow recording;
    BlurFilter* shipped = meta->blur;
    meta->blur = &recording;
    demo.spectrum[0] = 0.6f;
    demo.renderFrame(163.5f, 0.0f);
    meta->blur = shipped;

    const RenderTarget* glow = meta->glowTarget;
    const RenderTarget* scratch = recording.scratch.get();
    const float expected[4][4] = {
        {0, 1, 0.5f, 0}, {1, 0, 0.5f, 0}, {0, 1, 0, 0.5f}, {1, 0, 0, 0.5f}};
    ASSERT_EQ(recording.passes.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        const RecordingGlow::Pass& pass = recording.passes[i];
        SCOPED_TRACE(testing::Message() << "pass " << i);
        EXPECT_EQ(pass.from, expected[i][0] == 0 ? glow : scratch);
        EXPECT_EQ(pass.to, expected[i][1] == 0 ? glow : scratch);
        EXPECT_EQ(pass.dx, expected[i][2]);
        EXPECT_EQ(pass.dy, expected[i][3]);
        EXPECT_NEAR(pass.gamma, 1.0292f, 1e-5f);
    }
}

// The targets grow with the picture: a picture twice as high as the scene was
// made for renders it into targets twice as large, and the glow's blur steps
// twice as many of their texels, as wide in the picture as before.
TEST_F(MetaStuffTest, TargetsAndTheBlurFollowThePicturesSize) {
    EXPECT_EQ(meta->sceneTarget->width, 1024);
    EXPECT_EQ(meta->glowTarget->width, 128);
    RecordingGlow recording;
    BlurFilter* shipped = meta->blur;
    meta->blur = &recording;
    GlWindow& shown = window();
    const int height = shown.height;
    shown.height = 2 * shown.baseHeight;
    demo.renderFrame(160.0f, 0.02f);
    shown.height = height;
    meta->blur = shipped;
    EXPECT_EQ(meta->sceneTarget->width, 2048);
    EXPECT_EQ(meta->sceneTarget->height, 2048);
    EXPECT_EQ(meta->glowTarget->width, 256);
    EXPECT_EQ(recording.scratch->width, 256);
    ASSERT_EQ(recording.passes.size(), 4u);
    EXPECT_EQ(recording.passes[0].dx, 1.0f);
    EXPECT_EQ(recording.passes[2].dy, 1.0f);

    demo.renderFrame(160.0f, 0.02f);
    EXPECT_EQ(meta->sceneTarget->width, 1024);
    EXPECT_EQ(meta->glowTarget->width, 128);
}

// Holds the camera where the fixture put it, as the camera rig holds it to its
// tracks, also over the frames a seek skips.
class StillCamera : public Effect {
public:
    StillCamera(Demo* demo, Vec3 eye_, Vec3 target_) : Effect(demo), eye(eye_), target(target_) {}
    void render() override { skip(); }
    void skip() override {
        demo->controllerValues[0] = eye;
        demo->controllerValues[1] = target;
    }
    Vec3 eye, target;
};

TEST_F(MetaStuffTest, ASeekCarriesTheGlowAndTheFieldAsPlayingEveryFrameDoes) {
    demo.addEntry(0.0f, 1000.0f,
                  new StillCamera(&demo, demo.controllerValues[0], demo.controllerValues[1]));
    demo.spectrum[0] = 0.6f;
    const FrameGrid grid{10.0, 0.0};
    auto frame = [] {
        std::vector<unsigned char> pixels(800 * 600 * 4);
        glReadPixels(0, 0, 800, 600, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    };
    // Every frame of the slot up to 166.6 s played, some of them drawn.
    ASSERT_TRUE(demo.seek(grid, 1660));
    for (long k = 1660; k <= 1666; ++k) {
        demo.playFrame(grid, k);
    }
    const float glow = metaballGlow;
    const std::vector<unsigned char> played = frame();

    // From the start again: the slot's frames skipped, only 166.6 s drawn.
    const long drawnBefore = demo.seekFramesDrawn;
    ASSERT_TRUE(demo.seek(grid, 1666));
    EXPECT_EQ(demo.seekFramesDrawn, drawnBefore + 1); // the empty stretch's last frame
    const float glowBefore = metaballGlow;
    demo.playFrame(grid, 1666);
    EXPECT_EQ(metaballGlow, glow);
    EXPECT_TRUE(frame() == played) << "the frame differs from the one played up to it";

    // What a frame carries shows: the normals kept from earlier frames...
    metaballGlow = glowBefore;
    meta->grid->resetNormals();
    demo.playFrame(grid, 1666);
    EXPECT_FALSE(frame() == played);
    // ... and the glow.
    ASSERT_TRUE(demo.seek(grid, 1666));
    metaballGlow = 0.0f;
    demo.playFrame(grid, 1666);
    EXPECT_FALSE(frame() == played);
}

TEST_F(MetaStuffTest, FrameIsBrighterOnTheBassAndLeavesTheWindowAsItFoundIt) {
    const double quiet = renderedBrightness(163.5f, 0.0f);
    // The scene target is shown over the whole window, and culling is left off
    // with the engine's face.
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 800);
    EXPECT_EQ(viewport[3], 600);
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    GLint face = 0;
    glGetIntegerv(GL_CULL_FACE_MODE, &face);
    EXPECT_EQ(face, GL_FRONT);
    expectNoGlError();

    const double loud = renderedBrightness(163.5f, 0.6f);
    // gamma 0.5 in silence leaves a sixteenth of the glow; 1.256 at 0.6 more than
    // twice the scene: the frame brightens by far more than a trace.
    EXPECT_GT(loud, quiet * 1.5) << "quiet " << quiet << " loud " << loud;
    EXPECT_GT(quiet, 20.0);
}

TEST_F(MetaStuffTest, SurfaceShowsItsOutside) {
    // One torus about z through (22, 22, 22): its tube reaches about 3 from the
    // ring, so a camera 42 in front of the ring point (33, 22, 22) sees the
    // tube's near side 39 away and its far side 45 away.
    MetaballGrid& grid = *meta->grid;
    grid.resetValues();
    grid.addTorus(Vec3(22, 22, 22), Vec3(0, 0, 1), 11.0f, 3.0f, false);
    grid.computeNormals();
    const int triangles = grid.polygonise(meta->surface);
    ASSERT_GT(triangles, 100);

    bindWindowTarget();
    clear(0.0f, 0.0f, 0.0f, 1.0f, true, true, false);
    const float nearPlane = 1.0f, farPlane = 1000.0f;
    perspective(60.0f, 800.0f / 600.0f, nearPlane, farPlane);
    lookAt(33.0f, 22.0f, -20.0f, 33.0f, 22.0f, 22.0f, 0.0f, -1.0f, 0.0f);
    meta->drawSurface(triangles);

    float depth = 1.0f;
    glReadPixels(400, 300, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    const float ndc = depth * 2.0f - 1.0f;
    const float distance =
        2.0f * farPlane * nearPlane / (farPlane + nearPlane - ndc * (farPlane - nearPlane));
    EXPECT_NEAR(distance, 39.0f, 0.5f);
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
    GLint face = 0;
    glGetIntegerv(GL_CULL_FACE_MODE, &face);
    EXPECT_EQ(face, GL_FRONT);
}

namespace {

// The tunnel alone into the scene target, as the frame draws it, read back.
std::vector<unsigned char> renderedTunnel(MetaStuff& meta, const Vec3& eye, const Vec3& target,
                                          float t) {
    meta.sceneTarget->bind();
    clear(0.1375f, 0.15f, 0.175f, 0.0f, true, true, false);
    lookAt(eye.x, eye.y, eye.z, target.x, target.y, target.z, 0.0f, 0.0f, -1.0f);
    perspective(95.0f, 1.3333334f, 1.0f, 1000.0f);
    enableState(StateCap::DepthTest);
    meta.demo->controllerValues[0] = eye;
    meta.cityProgram->bind();
    meta.cityProgram->setTexture("tex0", meta.cityTexture);
    meta.drawTunnel(t);
    meta.cityProgram->disableTexture("tex0");
    meta.cityProgram->unbind();
    std::vector<unsigned char> pixels(1024 * 1024 * 4);
    glReadPixels(0, 0, 1024, 1024, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    meta.sceneTarget->unbind();
    return pixels;
}

} // namespace

TEST_F(MetaStuffTest, TunnelShowsWhatEveryCityDrawnWholeShows) {
    // Down the tunnel both ways, across it, and from close beside a city, at
    // times when the ring groups stand at different places.
    struct View {
        Vec3 eye, target;
        float t;
    };
    const View views[] = {
        {{-12.0f, 26.0f, 18.0f}, {24.0f, 24.0f, 24.0f}, 3.0f},
        {{60.0f, 32.0f, 28.0f}, {-40.0f, 30.0f, 30.0f}, 9.5f},
        {{30.0f, 30.0f, 30.0f}, {30.0f, 110.0f, 40.0f}, 14.2f},
        {{5.0f, 70.0f, 35.0f}, {90.0f, 95.0f, 30.0f}, 21.7f},
    };
    ASSERT_TRUE(meta->cityLayout.usable);
    for (const View& view : views) {
        const std::vector<unsigned char> culled =
            renderedTunnel(*meta, view.eye, view.target, view.t);
        int drawn = 0, inside = 0;
        for (const TunnelPiece& piece : meta->pieces) {
            drawn += piece.view.onScreen;
            inside += piece.view.endBox[2] > 0;
        }
        meta->cityLayout.usable = false;
        const std::vector<unsigned char> whole =
            renderedTunnel(*meta, view.eye, view.target, view.t);
        meta->cityLayout.usable = true;

        // Pixels where two faces meet at one depth may go either way; a city or
        // a look into a drum left out would change thousands.
        int differing = 0, covered = 0;
        for (size_t i = 0; i < whole.size(); i += 4) {
            int most = 0;
            for (int c = 0; c < 3; ++c) {
                most = std::max(most, std::abs(whole[i + c] - culled[i + c]));
            }
            differing += most > 8;
            covered += whole[i] != 35 || whole[i + 1] != 38 || whole[i + 2] != 45;
        }
        EXPECT_LT(differing, 60) << "eye " << view.eye.x << " at t " << view.t;
        EXPECT_GT(covered, 100000) << "the tunnel is in view";
        EXPECT_GT(drawn, 0);
        EXPECT_LT(drawn, tunnelPieces);
        EXPECT_GT(inside, 0);
    }
    // The whole frame, once more from the first view, allocates nothing.
    demo.controllerValues[0] = views[0].eye;
    demo.controllerValues[1] = views[0].target;
    demo.renderFrame(157.55f, 0.0f);
    {
        AllocationCount count;
        demo.renderFrame(157.55f, 0.0f);
        EXPECT_EQ(count.allocations(), 0);
    }
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    GLint winding = 0;
    glGetIntegerv(GL_FRONT_FACE, &winding);
    EXPECT_EQ(winding, GL_CCW);
    expectNoGlError();
}
