#include "GeneratedFolder.h"

#include "camera/TrackBank.h"
#include "content/CameraShots.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(CameraBank, DrivesPositionTargetAndUpAcrossTheWholeDemo) {
    const GeneratedFolder& run = generatedFolder();
    ASSERT_EQ(run.exitStatus, 0) << run.output;
    const std::vector<unsigned char> bytes = readFileBytes(run.path + "/data/tracks/1.crg");
    CameraTrack tracks[trackBankSize];
    const TrackBankRead read = parseTrackBank(bytes.data(), bytes.size(), tracks);
    ASSERT_EQ(read.tracksRead, trackBankSize) << read.problem;
    EXPECT_EQ(read.bytesUsed, bytes.size());

    for (int t = 0; t < 3; ++t) {
        SCOPED_TRACE(t);
        ASSERT_GE(tracks[t].count, 2);
        EXPECT_FLOAT_EQ(tracks[t].key(0).time, 0.0f);
        EXPECT_GE(tracks[t].key(tracks[t].count - 1).time, 189.8f);
        for (int k = 1; k < tracks[t].count; ++k)
            EXPECT_LT(tracks[t].key(k - 1).time, tracks[t].key(k).time)
                << "keys out of order at " << k;
    }
    for (int t = 3; t < 64; ++t)
        EXPECT_EQ(tracks[t].count, 0);
    for (int k = 0; k < tracks[2].count; ++k) {
        const CameraKey& up = tracks[2].key(k);
        EXPECT_TRUE(up.x == 0 && up.y == 0 && up.z == -1);
    }

    ASSERT_EQ(tracks[0].count, tracks[1].count);
    for (int k = 0; k < tracks[0].count; ++k) {
        const CameraKey& eye = tracks[0].key(k);
        const CameraKey& target = tracks[1].key(k);
        const float dx = target.x - eye.x, dy = target.y - eye.y, dz = target.z - eye.z;
        const float distance = std::sqrt(dx * dx + dy * dy + dz * dz);
        // A view along the up vector has no defined look-at.
        EXPECT_GT(std::sqrt(dx * dx + dy * dy), 0.05f * distance) << "at " << eye.time;
        // Over the sea the eye stays above the highest wave (heights reach 7.4).
        if (eye.time < 25.55f || eye.time >= 178.0f) {
            EXPECT_LT(eye.z, -9.0f) << "at " << eye.time;
        }
    }
}

// Scenes see the camera the frame before them wrote. At 30 frames a second the
// first frame of every scene must find that scene's opening pose, and the
// last frame of the scene before its own camera (within the two units that
// straight lines between quarter-second keys stray from the shot's curve).
TEST(CameraBank, EveryCutOfTheVideoLandsOnTheNewScenesCamera) {
    const GeneratedFolder& run = generatedFolder();
    ASSERT_EQ(run.exitStatus, 0) << run.output;
    const std::vector<unsigned char> bytes = readFileBytes(run.path + "/data/tracks/1.crg");
    CameraTrack tracks[trackBankSize];
    ASSERT_EQ(parseTrackBank(bytes.data(), bytes.size(), tracks).tracksRead, trackBankSize);

    struct Cut {
        float time;
        std::vector<ShotKey> (*before)();
        std::vector<ShotKey> (*after)();
        float beforeStart;
    };
    const Cut cuts[] = {{25.55f, CameraShots::openingSea, CameraShots::city, 0.0f},
                        {49.78f, CameraShots::city, CameraShots::clouds, 25.55f},
                        {82.55f, CameraShots::clouds, CameraShots::secondSea, 49.78f},
                        {106.55f, CameraShots::secondSea, CameraShots::greetings, 82.55f},
                        {130.55f, CameraShots::greetings, CameraShots::planet, 106.55f},
                        {154.55f, CameraShots::planet, CameraShots::metaballs, 130.55f},
                        {178.0f, CameraShots::metaballs, CameraShots::closingSea, 154.55f}};
    auto expectPose = [&](float time, const ShotKey& pose) {
        const Vec3 eye = tracks[0].value(time), target = tracks[1].value(time);
        EXPECT_NEAR(length(eye - pose.eye), 0.0f, 2.0f) << "eye at " << time;
        EXPECT_NEAR(length(target - pose.target), 0.0f, 2.0f) << "target at " << time;
    };
    for (const Cut& cut : cuts) {
        // The frame of the video at or after the cut reads the frame before it.
        const float firstFrame = std::ceil(cut.time * 30.0f) / 30.0f;
        expectPose(firstFrame - 1.0f / 30.0f, interpolateShot(cut.after(), 0.0f));
        const float lastFrame = firstFrame - 1.0f / 30.0f;
        expectPose(lastFrame - 1.0f / 30.0f,
                   interpolateShot(cut.before(), lastFrame - 1.0f / 30.0f - cut.beforeStart));
    }
}

TEST(CameraBank, ShotCurvesPassThroughTheirKeysSmoothly) {
    const std::vector<ShotKey> keys = {
        {0, {0, 0, 0}, {1, 0, 0}}, {2, {10, 0, 0}, {1, 1, 0}}, {6, {10, 20, 0}, {1, 2, 0}}};
    for (const ShotKey& key : keys) {
        const ShotKey at = interpolateShot(keys, key.time);
        EXPECT_FLOAT_EQ(at.eye.x, key.eye.x);
        EXPECT_FLOAT_EQ(at.eye.y, key.eye.y);
        EXPECT_FLOAT_EQ(at.target.y, key.target.y);
    }
    // No jump in velocity where two spans meet.
    const float h = 0.001f;
    const Vec3 before = interpolateShot(keys, 2 - h).eye - interpolateShot(keys, 2 - 2 * h).eye;
    const Vec3 after = interpolateShot(keys, 2 + 2 * h).eye - interpolateShot(keys, 2 + h).eye;
    EXPECT_NEAR(before.x, after.x, 1e-3f);
    EXPECT_NEAR(before.y, after.y, 1e-3f);
    // Outside the keys the shot holds still.
    EXPECT_FLOAT_EQ(interpolateShot(keys, -1).eye.x, 0.0f);
    EXPECT_FLOAT_EQ(interpolateShot(keys, 9).eye.y, 20.0f);
}

} // namespace
