#include "GeneratedFolder.h"

#include "content/CameraShots.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

struct Key {
    float x, y, z, time;
    int32_t mode;
};

// The bank as written: 64 records of a count and that many 20-byte keys.
bool parseBank(const std::vector<unsigned char>& bytes, std::vector<Key> (&tracks)[64]) {
    size_t at = 0;
    for (auto& track : tracks) {
        int32_t count = 0;
        if (at + 4 > bytes.size())
            return false;
        std::memcpy(&count, &bytes[at], 4);
        at += 4;
        if (count < 0 || at + 20 * static_cast<size_t>(count) > bytes.size())
            return false;
        track.resize(count);
        for (Key& key : track) {
            std::memcpy(&key, &bytes[at], 20);
            at += 20;
        }
    }
    return at == bytes.size();
}

TEST(CameraBank, DrivesPositionTargetAndUpAcrossTheWholeDemo) {
    const GeneratedFolder& run = generatedFolder();
    ASSERT_EQ(run.exitStatus, 0) << run.output;
    std::vector<Key> tracks[64];
    ASSERT_TRUE(parseBank(readFileBytes(run.path + "/data/tracks/1.crg"), tracks));

    for (int t = 0; t < 3; ++t) {
        SCOPED_TRACE(t);
        ASSERT_GE(tracks[t].size(), 2u);
        EXPECT_FLOAT_EQ(tracks[t].front().time, 0.0f);
        EXPECT_GE(tracks[t].back().time, 189.8f);
        for (size_t k = 1; k < tracks[t].size(); ++k)
            EXPECT_LT(tracks[t][k - 1].time, tracks[t][k].time) << "keys out of order at " << k;
    }
    for (int t = 3; t < 64; ++t)
        EXPECT_TRUE(tracks[t].empty());
    for (const Key& up : tracks[2])
        EXPECT_TRUE(up.x == 0 && up.y == 0 && up.z == -1);

    ASSERT_EQ(tracks[0].size(), tracks[1].size());
    for (size_t k = 0; k < tracks[0].size(); ++k) {
        const Key& eye = tracks[0][k];
        const Key& target = tracks[1][k];
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
