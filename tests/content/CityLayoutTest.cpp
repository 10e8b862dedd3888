// The city model against what the city scene does with it: the scene draws the
// tile four times, flies its camera and its trails low through the streets and
// stands its figures there, so a building in the wrong place shows at once.
#include "content/CameraShots.h"
#include "content/City.h"
#include "content/TrailPath.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

const City::Layout& city() {
    static const City::Layout layout = City::build();
    return layout;
}

// A point of the four copies moved into the tile.
float intoTile(float value, float low, float period) {
    return value - std::floor((value - low) / period) * period;
}

// The building whose box, grown by margin, holds the point; null if none.
const std::pair<Vec3, Vec3>* buildingAt(const Vec3& p, float margin) {
    const float x = intoTile(p.x, City::kTileX, City::kTileWidth);
    const float y = intoTile(p.y, City::kTileY, City::kTileDepth);
    for (const auto& b : city().buildings)
        if (x > b.first.x - margin && x < b.second.x + margin && y > b.first.y - margin &&
            y < b.second.y + margin && p.z > b.first.z - margin && p.z < b.second.z + margin)
            return &b;
    return nullptr;
}

TEST(CityLayout, BuildingsStandOnTheirLotsInsideTheTile) {
    ASSERT_GT(city().buildings.size(), 60u);
    for (const auto& [low, high] : city().buildings) {
        EXPECT_GE(low.x, City::kTileX);
        EXPECT_LE(high.x, City::kTileX + City::kTileWidth);
        EXPECT_GE(low.y, City::kTileY);
        EXPECT_LE(high.y, City::kTileY + City::kTileDepth);
        EXPECT_LT(low.z, high.z) << "a building without height";
        EXPECT_LE(high.z, 0.0f);
        // No building reaches into a street.
        for (float fx : {0.0f, 0.5f, 1.0f})
            for (float fy : {0.0f, 0.5f, 1.0f})
                EXPECT_FALSE(
                    City::inStreet(low.x + (high.x - low.x) * fx, low.y + (high.y - low.y) * fy))
                    << "building at " << low.x << ", " << low.y;
    }
}

TEST(CityLayout, FiguresStandInTheOpen) {
    for (const auto& f : City::kFigures) {
        // The sprite stands from the ground to about 16 up.
        for (float z : {-1.0f, -8.0f, -15.0f})
            EXPECT_EQ(buildingAt(Vec3(f[0], f[1], z), 2.0f), nullptr)
                << "figure at " << f[0] << ", " << f[1];
    }
}

TEST(CityLayout, TrailsPassOverEveryRoofOnTheirPath) {
    // The trails wander up to 5 from the path in every direction.
    for (float u = 0.0f; u <= 10.0f; u += 0.02f) {
        const Vec3 p = cityTrailPoint(u);
        const auto* hit = buildingAt(p, 5.5f);
        EXPECT_EQ(hit, nullptr) << "the trails at path parameter " << u << " (" << p.x << ", "
                                << p.y << ", " << p.z << ") pass through a building";
    }
}

TEST(CityLayout, CameraFliesClearOfTheBuildingsAndAboveTheStreets) {
    const std::vector<ShotKey> shots = CameraShots::city();
    for (float t = 0.0f; t <= 24.23f; t += 0.05f) {
        const ShotKey shot = interpolateShot(shots, t);
        SCOPED_TRACE(t);
        EXPECT_EQ(buildingAt(shot.eye, 3.0f), nullptr)
            << "the camera at (" << shot.eye.x << ", " << shot.eye.y << ", " << shot.eye.z
            << ") is inside a building";
        EXPECT_LT(shot.eye.z, -12.0f);
        // Over the four copies, not beyond their edge.
        EXPECT_GT(shot.eye.x, -695.0f);
        EXPECT_LT(shot.eye.x, 405.0f);
        EXPECT_GT(shot.eye.y, -536.5f);
        EXPECT_LT(shot.eye.y, 219.5f);
    }
}

TEST(CityLayout, TheCutFromTheSeaLandsInTheOpen) {
    // The scene's first frame sees through the camera of the sea's last frame.
    const ShotKey cut = interpolateShot(CameraShots::openingSea(), 25.5f);
    for (float f = 0.0f; f <= 0.5f; f += 0.05f) {
        const Vec3 p = cut.eye + (cut.target - cut.eye) * f;
        EXPECT_EQ(buildingAt(p, 3.0f), nullptr) << "a building in the view at " << f;
    }
}

TEST(CityLayout, CarsDriveTheStreetsThroughoutTheScene) {
    int cars = 0;
    for (const City::Mover& mover : city().movers) {
        if (mover.material != "car")
            continue;
        ++cars;
        SCOPED_TRACE(mover.name);
        ASSERT_GE(mover.positionKeys.size(), 2u);
        EXPECT_EQ(mover.positionKeys.front().first, 0.0f);
        EXPECT_GE(mover.positionKeys.back().first, 24230.0f);
        Vec3 travelled;
        for (size_t k = 0; k < mover.positionKeys.size(); ++k) {
            const Vec3& p = mover.positionKeys[k].second;
            EXPECT_TRUE(City::inStreet(p.x, p.y)) << "off the street at key " << k;
            if (k > 0) {
                EXPECT_GT(mover.positionKeys[k].first, mover.positionKeys[k - 1].first);
                // Between keys a car drives, except across the seam of the
                // copies, where it comes back in a millisecond later a whole
                // tile away.
                const Vec3 step = p - mover.positionKeys[k - 1].second;
                if (mover.positionKeys[k].first - mover.positionKeys[k - 1].first > 2.0f) {
                    travelled += step;
                } else {
                    const float jump = std::max(std::fabs(step.x), std::fabs(step.y));
                    EXPECT_TRUE(std::fabs(jump - City::kTileWidth) < 1.0f ||
                                std::fabs(jump - City::kTileDepth) < 1.0f)
                        << "a jump of " << jump << " at key " << k;
                }
            }
        }
        EXPECT_GT(std::fabs(travelled.x) + std::fabs(travelled.y), 200.0f);
    }
    EXPECT_GE(cars, 10);
}

} // namespace
