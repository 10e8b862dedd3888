#include "content/City.h"

#include "content/ContentRandom.h"
#include "content/Noise.h"
#include "content/TrailPath.h"

#include <algorithm>
#include <cmath>

namespace City {

namespace {

constexpr float kPi = 3.14159265f;

// Streets run along x = -35 + 110 k and y = -64 + 94.5 k: the trail's first
// stretch follows x = -35, and three figures stand in the street at y = -64.
constexpr float kStreetX0 = -35.0f, kStreetPitchX = 110.0f;
constexpr float kStreetY0 = -64.0f, kStreetPitchY = 94.5f;
constexpr float kStreetHalfWidth = 9.0f;

// Where the figures stand (z -7.67).
const float kFigures[19][2] = {
    {-57.02f, 25.43f},    {-15.23f, -47.65f},   {-74.87f, -63.87f},   {-115.25f, -64.67f},
    {-137.87f, -63.59f},  {-280.99f, -57.59f},  {-309.29f, -44.17f},  {-207.76f, -4.72f},
    {-155.7f, -233.94f},  {-167.67f, -177.45f}, {-128.02f, -201.1f},  {-198.02f, -163.52f},
    {-264.43f, -150.78f}, {-329.51f, -151.82f}, {-335.57f, -100.12f}, {-435.59f, -180.37f},
    {-81.09f, -302.55f},  {60.54f, -185.38f},   {-141.69f, -281.47f}};
float wrap(float value, float low, float period) {
    return value - std::floor((value - low) / period) * period;
}

// Things a lot must leave room for, moved into the tile: points with the
// height below which nothing may stand there (0: nothing at all).
struct Keepout {
    float x, y, radius, clearance;
};

std::vector<Keepout> keepouts() {
    std::vector<Keepout> list;
    for (const auto& f : kFigures)
        list.push_back({wrap(f[0], kTileX, kTileWidth), wrap(f[1], kTileY, kTileDepth), 10, 0});
    for (float u = 0; u <= 10.0f; u += 0.05f) {
        const Vec3 p = cityTrailPoint(u);
        // The trails wander 5 around the path: nothing but low roofs under them,
        // and no towers near them where the camera flies alongside.
        const float x = wrap(p.x, kTileX, kTileWidth), y = wrap(p.y, kTileY, kTileDepth);
        list.push_back({x, y, 11, std::max(0.0f, -p.z - 9.0f)});
        list.push_back({x, y, 36, 30});
    }
    return list;
}

// The allowed height of a building on the rectangle, from the keepouts.
float allowedHeight(float x0, float y0, float x1, float y1, const std::vector<Keepout>& list) {
    float allowed = 1e9f;
    for (const Keepout& k : list) {
        const float dx = std::max({x0 - k.x, 0.0f, k.x - x1});
        const float dy = std::max({y0 - k.y, 0.0f, k.y - y1});
        if (dx * dx + dy * dy < k.radius * k.radius)
            allowed = std::min(allowed, k.clearance);
    }
    return allowed;
}

bool inStreet(float x, float y) {
    const float sx =
        std::fabs(wrap(x - kStreetX0 + kStreetPitchX / 2, 0, kStreetPitchX) - kStreetPitchX / 2);
    const float sy =
        std::fabs(wrap(y - kStreetY0 + kStreetPitchY / 2, 0, kStreetPitchY) - kStreetPitchY / 2);
    return sx < kStreetHalfWidth || sy < kStreetHalfWidth;
}

// A box split by material: walls facing the sun (towards -x and -y, where the
// scene's sun stands), walls in shade, and the roof.
void addBuilding(Layout& city, const Vec3& low, const Vec3& high) {
    const MeshData b = box(low, high, 1.0f / 24.0f);
    MeshData* targets[3] = {&city.pieces[0].mesh, &city.pieces[1].mesh, &city.pieces[2].mesh};
    for (size_t face = 0; face < 6; ++face) {
        const Vec3 n = b.normals[face * 4];
        if (n.z > 0.5f)
            continue; // the floor is never seen
        MeshData* target =
            n.z < -0.5f ? targets[2] : (n.x < -0.5f || n.y < -0.5f ? targets[0] : targets[1]);
        MeshData quad;
        for (int v = 0; v < 4; ++v) {
            const size_t i = face * 4 + v;
            quad.addVertex(b.positions[i], b.normals[i], b.uvs[2 * i], b.uvs[2 * i + 1]);
        }
        quad.addQuad(0, 1, 2, 3);
        quad.orientToNormals();
        target->append(quad);
    }
}

void paintGround(Canvas& ground, const std::vector<std::pair<Vec3, Vec3>>& squares) {
    ground.paint([&](float u, float v) {
        // The picture's rows run from y high (top) to y low, so it lies unflipped.
        const float x = kTileX + u * kTileWidth, y = kTileY + (1 - v) * kTileDepth;
        const float grain = 0.03f * periodicNoise(u * 256, v * 256, 256, 12u);
        if (inStreet(x, y)) {
            Rgba asphalt{0.24f + grain, 0.25f + grain, 0.27f + grain, 1};
            // Dashed centre lines.
            const float sx = std::fabs(wrap(x - kStreetX0 + kStreetPitchX / 2, 0, kStreetPitchX) -
                                       kStreetPitchX / 2);
            const float sy = std::fabs(wrap(y - kStreetY0 + kStreetPitchY / 2, 0, kStreetPitchY) -
                                       kStreetPitchY / 2);
            const bool alongY = sx < kStreetHalfWidth && sy > kStreetHalfWidth;
            const bool alongX = sy < kStreetHalfWidth && sx > kStreetHalfWidth;
            if ((alongY && sx < 0.4f && std::fmod(std::fabs(y), 8.0f) < 4.0f) ||
                (alongX && sy < 0.4f && std::fmod(std::fabs(x), 8.0f) < 4.0f))
                asphalt = Rgba{0.85f, 0.8f, 0.55f, 1};
            return asphalt;
        }
        for (const auto& s : squares)
            if (x >= s.first.x && x <= s.second.x && y >= s.first.y && y <= s.second.y) {
                const bool tile =
                    (static_cast<int>(std::floor(x / 3)) + static_cast<int>(std::floor(y / 3))) % 2;
                const float g = 0.62f + (tile ? 0.04f : 0.0f) + grain;
                return Rgba{g, g * 0.97f, g * 0.92f, 1};
            }
        const float g = 0.45f + grain;
        return Rgba{g, g, g * 1.02f, 1};
    });
}

} // namespace

Layout build() {
    Layout city;
    city.pieces = {{"facadesSun", "facadeSun", {}},
                   {"facadesShade", "facadeShade", {}},
                   {"roofs", "roof", {}},
                   {"ground", "ground", {}}};
    const std::vector<Keepout> list = keepouts();
    ContentRandom random(2024);
    std::vector<std::pair<Vec3, Vec3>> squares;

    // Lots: the blocks between streets, two by two lots each.
    const float firstX =
        kStreetX0 - kStreetPitchX * std::ceil((kStreetX0 - kTileX) / kStreetPitchX);
    const float firstY =
        kStreetY0 - kStreetPitchY * std::ceil((kStreetY0 - kTileY) / kStreetPitchY);
    std::vector<Vec3> roofTops;
    for (float sx = firstX; sx < kTileX + kTileWidth; sx += kStreetPitchX)
        for (float sy = firstY; sy < kTileY + kTileDepth; sy += kStreetPitchY)
            for (int lx = 0; lx < 2; ++lx)
                for (int ly = 0; ly < 2; ++ly) {
                    const float blockW = kStreetPitchX - 2 * kStreetHalfWidth;
                    const float blockD = kStreetPitchY - 2 * kStreetHalfWidth;
                    float x0 = sx + kStreetHalfWidth + lx * blockW / 2 + 2;
                    float y0 = sy + kStreetHalfWidth + ly * blockD / 2 + 2;
                    float x1 = x0 + blockW / 2 - 4, y1 = y0 + blockD / 2 - 4;
                    // Lots cut by the tile's edge would be cut in two by the copies.
                    if (x0 < kTileX || y0 < kTileY || x1 > kTileX + kTileWidth ||
                        y1 > kTileY + kTileDepth)
                        continue;
                    float height = random.range(14.0f, 42.0f);
                    if (random.unit() < 0.12f)
                        height *= 2.2f; // a tower
                    const float allowed = allowedHeight(x0, y0, x1, y1, list);
                    if (allowed < 6.0f) {
                        squares.push_back({{x0 - 2, y0 - 2, 0}, {x1 + 2, y1 + 2, 0}});
                        continue;
                    }
                    height = std::min(height, allowed);
                    // Some lots hold two buildings of different heights.
                    if (random.unit() < 0.4f) {
                        const float mid = x0 + (x1 - x0) * random.range(0.35f, 0.65f);
                        addBuilding(city, {x0, y0, -height}, {mid - 1, y1, 0});
                        const float second = std::min(allowed, height * random.range(0.5f, 1.4f));
                        addBuilding(city, {mid + 1, y0, -second}, {x1, y1, 0});
                    } else {
                        addBuilding(city, {x0, y0, -height}, {x1, y1, 0});
                    }
                    if (height > 60.0f)
                        roofTops.push_back({(x0 + x1) / 2, (y0 + y1) / 2, -height});
                }

    // The ground: one sheet over the tile, facing up (-z), its picture the map.
    MeshData& ground = city.pieces[3].mesh;
    const uint32_t a = ground.addVertex({kTileX, kTileY, 0}, {0, 0, -1}, 0, 0);
    const uint32_t b = ground.addVertex({kTileX + kTileWidth, kTileY, 0}, {0, 0, -1}, 1, 0);
    const uint32_t c =
        ground.addVertex({kTileX + kTileWidth, kTileY + kTileDepth, 0}, {0, 0, -1}, 1, 1);
    const uint32_t d = ground.addVertex({kTileX, kTileY + kTileDepth, 0}, {0, 0, -1}, 0, 1);
    ground.addQuad(a, b, c, d);
    ground.orientToNormals();
    paintGround(city.ground, squares);

    // Traffic: cars driving the streets along x and along y for the whole scene.
    const float sceneMs = 24230.0f;
    for (int i = 0; i < 10; ++i) {
        const bool alongX = i % 2 == 0;
        const int street = i / 2;
        const float lane = (i % 4 < 2 ? -1 : 1) * 4.0f;
        Mover car{"car" + std::to_string(i),
                  "car",
                  box({-3.5f, -1.6f, -2.6f}, {3.5f, 1.6f, 0}, 1.0f / 7.0f),
                  {},
                  {}};
        if (!alongX)
            for (Vec3& p : car.mesh.positions)
                p = {p.y, p.x, p.z};
        car.mesh.orientToNormals();
        // One straight run per car; the streets continue into the neighbouring copies.
        const float speed = random.range(12.0f, 22.0f) * (lane > 0 ? 1 : -1);
        const float start = random.range(0.2f, 0.8f);
        const Vec3 origin = alongX ? Vec3(kTileX + start * kTileWidth,
                                          firstY + kStreetPitchY * (street + 1) + lane, 0)
                                   : Vec3(firstX + kStreetPitchX * (street + 1) + lane,
                                          kTileY + start * kTileDepth, 0);
        const Vec3 direction = alongX ? Vec3(1, 0, 0) : Vec3(0, 1, 0);
        for (float ms = 0; ms <= sceneMs + 1; ms += sceneMs / 4)
            car.positionKeys.push_back({ms, origin + direction * (speed * ms / 1000.0f)});
        city.movers.push_back(std::move(car));
    }

    // Beacons turning on the tallest roofs, a quarter turn a second.
    for (size_t i = 0; i < roofTops.size() && i < 6; ++i) {
        Mover beacon{"beacon" + std::to_string(i),
                     "beacon",
                     box({-7, -0.6f, -3}, {7, 0.6f, 0}, 1.0f / 14.0f),
                     {},
                     {}};
        beacon.mesh.append(box({-0.6f, -7, -3}, {0.6f, 7, 0}, 1.0f / 14.0f));
        beacon.mesh.orientToNormals();
        beacon.positionKeys = {{0.0f, roofTops[i]}, {sceneMs, roofTops[i]}};
        for (float ms = 0; ms <= sceneMs + 1000; ms += 1000)
            beacon.turnKeys.push_back({ms, ms / 1000.0f * kPi / 2 * (i % 2 ? 1 : -1)});
        city.movers.push_back(std::move(beacon));
    }
    return city;
}

Canvas facadePicture(bool shaded) {
    Canvas picture(256, 256);
    picture.paint([&](float u, float v) {
        const float fx = std::fmod(u * 4, 1.0f), fy = std::fmod(v * 4, 1.0f);
        const bool window = fx > 0.18f && fx < 0.82f && fy > 0.22f && fy < 0.8f;
        const float grain = 0.04f * periodicNoise(u * 64, v * 64, 64, 21u);
        Rgba wall{0.78f + grain, 0.72f + grain, 0.62f + grain, 1};
        if (window) {
            // Glass mirrors the sky: lighter towards the top of each pane.
            const float sky = 0.35f + 0.35f * (1 - (fy - 0.22f) / 0.58f);
            wall = Rgba{0.3f * sky + 0.1f, 0.45f * sky + 0.12f, 0.65f * sky + 0.15f, 1};
        }
        return shaded ? Rgba{wall.r * 0.55f, wall.g * 0.58f, wall.b * 0.68f, 1} : wall;
    });
    return picture;
}

Canvas roofPicture() {
    Canvas picture(128, 128);
    picture.paint([](float u, float v) {
        const float g = 0.5f + 0.08f * periodicFbm(u * 16, v * 16, 16, 3, 0.5f, 44u);
        const bool seam = std::fmod(u * 4, 1.0f) < 0.03f || std::fmod(v * 4, 1.0f) < 0.03f;
        return seam ? Rgba{0.35f, 0.35f, 0.36f, 1} : Rgba{g, g * 0.98f, g * 0.95f, 1};
    });
    return picture;
}

Canvas carPicture() {
    Canvas picture(64, 64);
    picture.paint([](float u, float v) {
        const bool window = v > 0.55f && v < 0.85f && std::fmod(u * 2, 1.0f) > 0.15f;
        return window ? Rgba{0.15f, 0.2f, 0.3f, 1} : Rgba{0.75f, 0.12f, 0.1f, 1};
    });
    return picture;
}

Canvas beaconPicture() {
    Canvas picture(64, 64);
    picture.paint([](float u, float) {
        const float stripe = std::fmod(u * 4, 1.0f) < 0.5f ? 1.0f : 0.0f;
        return mix(Rgba{0.9f, 0.9f, 0.92f, 1}, Rgba{0.9f, 0.15f, 0.1f, 1}, stripe);
    });
    return picture;
}

} // namespace City
