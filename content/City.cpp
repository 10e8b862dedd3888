#include "content/City.h"

#include "content/CameraShots.h"
#include "content/ContentRandom.h"
#include "content/Noise.h"
#include "content/TrailPath.h"

#include <algorithm>
#include <cmath>

namespace City {

const float kFigures[19][2] = {
    {-57.02f, 25.43f},    {-15.23f, -47.65f},   {-74.87f, -63.87f},   {-115.25f, -64.67f},
    {-137.87f, -63.59f},  {-280.99f, -57.59f},  {-309.29f, -44.17f},  {-207.76f, -4.72f},
    {-155.7f, -233.94f},  {-167.67f, -177.45f}, {-128.02f, -201.1f},  {-198.02f, -163.52f},
    {-264.43f, -150.78f}, {-329.51f, -151.82f}, {-335.57f, -100.12f}, {-435.59f, -180.37f},
    {-81.09f, -302.55f},  {60.54f, -185.38f},   {-141.69f, -281.47f}};

namespace {

constexpr float kPi = 3.14159265f;

// Streets run along x = -35 + 110 k and y = -64 + 94.5 k: the trail's first
// stretch follows x = -35, and three figures stand in the street at y = -64.
constexpr float kStreetX0 = -35.0f, kStreetPitchX = 110.0f;
constexpr float kStreetY0 = -64.0f, kStreetPitchY = 94.5f;
constexpr float kStreetHalfWidth = 9.0f;
// Pavements run from the kerb to the lots.
constexpr float kPavementEdge = 11.0f;

// Walls are divided into bays and storeys; a facade picture holds 16 x 16 of
// them, the bottom row shop fronts and lobbies, the rest upper storeys.
constexpr float kBay = 4.0f, kStorey = 4.5f;
constexpr int kModules = 16;

// The sun stands low in the south-west: walls facing -x or -y catch it.
const Rgba kSunLight{1.08f, 0.78f, 0.56f, 1};
const Rgba kSkyLight{0.34f, 0.39f, 0.54f, 1};

enum Style { Stone, Brick, Concrete, Glass, kStyles };
const char* const kStyleNames[kStyles] = {"stone", "brick", "concrete", "glass"};

float wrap(float value, float low, float period) {
    return value - std::floor((value - low) / period) * period;
}

float fract(float x) {
    return x - std::floor(x);
}

Rgba times(const Rgba& a, const Rgba& b) {
    return {a.r * b.r, a.g * b.g, a.b * b.b, a.a};
}

Rgba plus(const Rgba& a, const Rgba& b) {
    return {a.r + b.r, a.g + b.g, a.b + b.b, a.a};
}

// A well-mixed value in [0, 1) for a cell of a picture.
float cellHash(int x, int y, std::uint32_t seed) {
    std::uint32_t h = static_cast<std::uint32_t>(x) * 0x8da6b343u ^
                      static_cast<std::uint32_t>(y) * 0xd8163841u ^ seed * 0xcb1ab31fu;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return static_cast<float>(h & 0xffffffu) / 16777216.0f;
}

// Distance across the nearest street running along y (sx) and along x (sy).
float acrossStreetX(float x) {
    return std::fabs(wrap(x - kStreetX0 + kStreetPitchX / 2, 0, kStreetPitchX) - kStreetPitchX / 2);
}
float acrossStreetY(float y) {
    return std::fabs(wrap(y - kStreetY0 + kStreetPitchY / 2, 0, kStreetPitchY) - kStreetPitchY / 2);
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
    // The first frame of the scene still sees through the opening sea's last
    // camera: open ground below it and low roofs where it looks.
    const ShotKey cut = interpolateShot(CameraShots::openingSea(), 25.55f);
    for (float f = 0; f <= 0.5f; f += 0.05f) {
        const Vec3 p = cut.eye + (cut.target - cut.eye) * f;
        list.push_back({wrap(p.x, kTileX, kTileWidth), wrap(p.y, kTileY, kTileDepth), 16,
                        std::max(0.0f, -p.z - 12.0f)});
    }
    return list;
}

// The allowed height on the rectangle (grown by margin), from the keepouts.
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

// ---------------------------------------------------------------- pictures

// One bay of one storey of a facade: fx across, fy up, both 0..1; row 0 is the
// street level. lit is the light inside, zero when the window is dark.
struct Module {
    float fx, fy;
    int column, row;
    Rgba inside;
    bool lit;
};

// The light behind a window at dusk: mostly warm lamps, now and then the cold
// flicker of a screen, brighter under the ceiling.
Rgba roomLight(float pick, float fy) {
    Rgba light = pick < 0.72f  ? Rgba{1.0f, 0.74f, 0.4f, 1}
                 : pick < 0.9f ? Rgba{1.0f, 0.86f, 0.6f, 1}
                               : Rgba{0.62f, 0.78f, 1.0f, 1};
    return scaled(light, 0.78f + 0.3f * fy);
}

// Unlit glass mirrors the sky: warm towards the sun, blue-grey away from it.
Rgba glassReflection(bool sunlit, float fy, float shine) {
    const Rgba low = sunlit ? Rgba{0.36f, 0.33f, 0.38f, 1} : Rgba{0.13f, 0.16f, 0.24f, 1};
    const Rgba high = sunlit ? Rgba{0.95f, 0.66f, 0.46f, 1} : Rgba{0.3f, 0.36f, 0.5f, 1};
    return mix(low, high, std::clamp(fy * 0.8f + shine, 0.0f, 1.0f));
}

bool inside(float v, float low, float high) {
    return v > low && v < high;
}

Canvas facadePicture(Style style, bool sunlit) {
    const int size = 512;
    const std::uint32_t seed = 100 + static_cast<std::uint32_t>(style);
    const Rgba light = sunlit ? kSunLight : kSkyLight;
    Canvas picture(size, size);
    picture.paint([&](float u, float v) {
        // The picture's bottom row is street level.
        const float up = 1.0f - v;
        const int column = std::min(kModules - 1, static_cast<int>(u * kModules));
        const int row = std::min(kModules - 1, static_cast<int>(up * kModules));
        const float fx = fract(u * kModules), fy = fract(up * kModules);
        const float grain = 0.05f * periodicFbm(u * 64, v * 64, 64, 3, 0.5f, seed);

        // Whether a window is lit: offices light whole storeys of the glass
        // towers, homes single windows.
        const float chance = style == Glass ? (cellHash(0, row, seed) < 0.4f ? 0.85f : 0.08f)
                                            : (style == Concrete ? 0.38f : 0.32f);
        const bool lit = row == 0 ? cellHash(column / 2, 0, seed + 7) < 0.8f
                                  : cellHash(column, row, seed) < chance;
        const Rgba room = roomLight(cellHash(column, row, seed + 3), fy);
        const float shine = 0.25f * cellHash(column, row, seed + 5) - 0.1f;

        if (row == 0) {
            // Shop fronts and lobbies under a band of signs.
            Rgba wall{0.32f + grain, 0.3f + grain, 0.3f + grain, 1};
            wall = times(wall, light);
            if (inside(fx, 0.06f, 0.94f) && inside(fy, 0.06f, 0.66f)) {
                const bool mullion = std::fabs(fx - 0.5f) < 0.02f;
                if (mullion)
                    return scaled(wall, 0.6f);
                return lit ? scaled(Rgba{1.0f, 0.8f, 0.5f, 1}, 0.9f + 0.25f * fy)
                           : glassReflection(sunlit, fy * 0.5f, shine);
            }
            if (inside(fy, 0.72f, 0.88f)) {
                const float hue = cellHash(column / 2, 1, seed + 11);
                const Rgba sign = hue < 0.3f    ? Rgba{0.85f, 0.2f, 0.15f, 1}
                                  : hue < 0.55f ? Rgba{0.15f, 0.5f, 0.35f, 1}
                                  : hue < 0.8f  ? Rgba{0.2f, 0.3f, 0.7f, 1}
                                                : Rgba{0.95f, 0.75f, 0.2f, 1};
                return lit ? plus(scaled(sign, 0.8f), Rgba{0.15f, 0.12f, 0.08f, 1})
                           : times(sign, light);
            }
            return wall;
        }

        Rgba wall;
        bool window = false, frame = false;
        switch (style) {
        case Stone: {
            wall = Rgba{0.84f + grain, 0.76f + grain, 0.64f + grain, 1};
            window = inside(fx, 0.27f, 0.73f) && inside(fy, 0.28f, 0.84f);
            frame = inside(fx, 0.23f, 0.77f) && inside(fy, 0.2f, 0.88f);
            // A cornice under every storey, darker where it shades the wall.
            if (fy < 0.06f)
                wall = scaled(wall, 0.82f);
            break;
        }
        case Brick: {
            const float courses = up * kModules * 9;
            const float offset = static_cast<int>(courses) % 2 ? 0.5f : 0.0f;
            const bool mortar = fract(courses) < 0.14f || fract(u * kModules * 5 + offset) < 0.05f;
            const float tone = 0.08f * (cellHash(static_cast<int>(u * kModules * 5 + offset),
                                                 static_cast<int>(courses), seed + 13) -
                                        0.5f);
            wall = mortar ? Rgba{0.62f, 0.58f, 0.54f, 1}
                          : Rgba{0.6f + tone + grain, 0.3f + tone + grain, 0.22f + grain, 1};
            window = inside(fx, 0.3f, 0.7f) && inside(fy, 0.2f, 0.86f);
            frame = inside(fx, 0.26f, 0.74f) && inside(fy, 0.14f, 0.9f);
            break;
        }
        case Concrete: {
            wall = Rgba{0.66f + grain, 0.66f + grain, 0.64f + grain, 1};
            // Ribbon windows with thin mullions.
            window = inside(fy, 0.34f, 0.86f) && fx > 0.05f;
            frame = inside(fy, 0.31f, 0.89f);
            break;
        }
        case Glass:
        default: {
            wall = Rgba{0.3f + grain, 0.33f + grain, 0.37f + grain, 1};
            window = fx > 0.06f && fy > 0.16f;
            frame = true;
            break;
        }
        }
        wall = times(wall, light);
        if (window) {
            if (lit)
                return room;
            // A glass tower mirrors the sky as one sheet; small windows each a bit.
            const float sheen = style == Glass ? up * 0.8f + 0.1f * std::sin(u * 9.0f) : fy * 0.6f;
            return glassReflection(sunlit, sheen, shine);
        }
        if (frame)
            return style == Glass ? scaled(wall, 0.8f) : scaled(wall, 0.55f);
        return wall;
    });
    return picture;
}

// Three kinds of roof, each filling a quarter of the picture with its parapet
// round the edge: gravel, tar and a roof garden. The last quarter holds the
// plant on the roofs: sheet metal in the sun on its left, in shade on its right.
enum RoofKind { Gravel, Tar, Garden, kRoofKinds };

// Where a kind's quarter starts in texture coordinates (v from the bottom).
void roofQuarter(int kind, float& u, float& v) {
    u = kind % 2 == 0 ? 0.0f : 0.5f;
    v = kind < 2 ? 0.5f : 0.0f;
}

Canvas roofPicture() {
    Canvas picture(512, 512);
    picture.paint([](float u, float v) {
        const float up = 1.0f - v;
        const int kind = (u < 0.5f ? 0 : 1) + (up < 0.5f ? 2 : 0);
        const float fx = fract(u * 2), fy = fract(up * 2);
        const float n = periodicFbm(u * 32, v * 32, 32, 4, 0.55f, 44u);
        if (kind == 3) {
            const bool sun = fx < 0.5f;
            const bool rib = fract(fy * 12) < 0.15f;
            const float g = (sun ? 0.62f : 0.3f) * (rib ? 0.85f : 1.0f) + 0.03f * n;
            return sun ? Rgba{g * 1.05f, g * 0.9f, g * 0.8f, 1}
                       : Rgba{g * 0.9f, g * 0.95f, g * 1.1f, 1};
        }
        // The parapet: a light coping, then its shadow on the roof inside.
        const float edge = std::min({fx, 1 - fx, fy, 1 - fy});
        if (edge < 0.03f)
            return Rgba{0.62f + 0.03f * n, 0.58f + 0.03f * n, 0.56f + 0.03f * n, 1};
        const float shadow = edge < 0.055f ? 0.7f : 1.0f;
        Rgba roof;
        if (kind == Gravel) {
            const float g = 0.4f + 0.07f * n + 0.03f * periodicNoise(u * 256, v * 256, 256, 45u);
            roof = Rgba{g * 1.02f, g * 0.97f, g * 0.96f, 1};
        } else if (kind == Tar) {
            const float g = 0.24f + 0.05f * n;
            const bool patch = periodicFbm(u * 8, v * 8, 8, 3, 0.5f, 46u) > 0.25f;
            roof = patch ? Rgba{g * 1.35f, g * 1.3f, g * 1.25f, 1} : Rgba{g, g, g * 1.08f, 1};
        } else {
            // Beds of planting between gravel paths.
            const bool path = fract(fx * 4) < 0.12f || fract(fy * 3) < 0.12f;
            const float leaf = 0.8f + 0.35f * periodicFbm(u * 64, v * 64, 64, 3, 0.6f, 47u);
            roof = path ? Rgba{0.48f + 0.04f * n, 0.45f, 0.42f, 1}
                        : Rgba{0.17f * leaf, 0.3f * leaf, 0.14f * leaf, 1};
        }
        return scaled(roof, shadow);
    });
    return picture;
}

// Four paint jobs side by side, each a column of four cells: body side with its
// windows, roof, front with head lights, back with tail lights.
const Rgba kCarPaints[4] = {{0.75f, 0.1f, 0.08f, 1},
                            {0.85f, 0.85f, 0.82f, 1},
                            {0.12f, 0.25f, 0.55f, 1},
                            {0.95f, 0.72f, 0.12f, 1}};

Canvas carPicture() {
    Canvas picture(256, 256);
    picture.paint([](float u, float v) {
        const int paint = std::min(3, static_cast<int>(u * 4));
        const int cell = std::min(3, static_cast<int>(v * 4)); // from the top
        const float fx = fract(u * 4), fy = 1.0f - fract(v * 4);
        const Rgba body = times(kCarPaints[paint], Rgba{0.8f, 0.72f, 0.7f, 1});
        const Rgba glass{0.12f, 0.15f, 0.22f, 1};
        switch (cell) {
        case 0: // side: the upper part is the cabin's glass
            return fy > 0.55f && fy < 0.92f && fract(fx * 2) > 0.1f ? glass : body;
        case 1: // roof
            return scaled(body, 1.1f);
        case 2: // front: two head lights
            if (fy > 0.3f && fy < 0.6f && (fx < 0.3f || fx > 0.7f))
                return Rgba{1.6f, 1.5f, 1.2f, 1};
            return fy > 0.65f ? glass : body;
        default: // back: two tail lights
            if (fy > 0.35f && fy < 0.6f && (fx < 0.28f || fx > 0.72f))
                return Rgba{1.0f, 0.1f, 0.08f, 1};
            return fy > 0.65f ? glass : body;
        }
    });
    return picture;
}

Canvas beaconPicture() {
    Canvas picture(64, 64);
    picture.paint([](float u, float) {
        const float stripe = fract(u * 4) < 0.5f ? 1.0f : 0.0f;
        return mix(Rgba{0.9f, 0.9f, 0.92f, 1}, Rgba{1.0f, 0.12f, 0.08f, 1}, stripe);
    });
    return picture;
}

// Foliage in the left three quarters (sunlit on the left, in shade on the
// right), bark in the last quarter.
Canvas treePicture() {
    Canvas picture(128, 128);
    picture.paint([](float u, float v) {
        const float n = periodicFbm(u * 16, v * 16, 16, 4, 0.6f, 77u);
        if (u > 0.75f)
            return Rgba{0.3f + 0.05f * n, 0.22f + 0.04f * n, 0.17f, 1};
        const float leaf = 0.8f + 0.3f * n;
        return u < 0.375f ? Rgba{0.42f * leaf, 0.48f * leaf, 0.2f * leaf, 1}
                          : Rgba{0.1f * leaf, 0.2f * leaf, 0.16f * leaf, 1};
    });
    return picture;
}

// ---------------------------------------------------------------- shapes

struct Builder {
    Layout& city;
    ContentRandom& random;
    // Piece index of each style's sunlit and shaded walls, and of the rest.
    int walls[kStyles][2];
    int roofs, ground, trees;

    MeshData& mesh(int piece) { return city.pieces[piece].mesh; }

    // One quad from a to b along the ground and up to the top, u and v given.
    static void wallQuad(MeshData& target, const Vec3& a, const Vec3& b, const Vec3& normal,
                         float zLow, float zHigh, float u0, float u1, float v0, float v1) {
        const uint32_t i0 = target.addVertex({a.x, a.y, zLow}, normal, u0, v0);
        const uint32_t i1 = target.addVertex({b.x, b.y, zLow}, normal, u1, v0);
        const uint32_t i2 = target.addVertex({b.x, b.y, zHigh}, normal, u1, v1);
        const uint32_t i3 = target.addVertex({a.x, a.y, zHigh}, normal, u0, v1);
        target.addQuad(i0, i1, i2, i3);
    }

    // Four walls of whole bays and storeys from ground (z 0, or base for a
    // setback) up to -height, and a roof. streetLevel: the first storey shows
    // shop fronts.
    void building(Style style, float x0, float y0, float x1, float y1, float base, float height,
                  bool streetLevel) {
        city.buildings.push_back({{x0, y0, -height}, {x1, y1, -base}});
        const struct {
            Vec3 a, b, normal;
        } faces[4] = {{{x0, y0, 0}, {x1, y0, 0}, {0, -1, 0}},
                      {{x1, y1, 0}, {x0, y1, 0}, {0, 1, 0}},
                      {{x0, y1, 0}, {x0, y0, 0}, {-1, 0, 0}},
                      {{x1, y0, 0}, {x1, y1, 0}, {1, 0, 0}}};
        const int storeys = std::max(1, static_cast<int>(std::lround((height - base) / kStorey)));
        const float storey = (height - base) / storeys;
        for (const auto& face : faces) {
            const bool sunlit = face.normal.x < 0 || face.normal.y < 0;
            MeshData& target = mesh(walls[style][sunlit ? 0 : 1]);
            const float length = std::sqrt((face.b.x - face.a.x) * (face.b.x - face.a.x) +
                                           (face.b.y - face.a.y) * (face.b.y - face.a.y));
            const int bays = std::max(1, static_cast<int>(std::lround(length / kBay)));
            const float u0 = static_cast<float>(random.index(kModules)) / kModules;
            const float u1 = u0 + static_cast<float>(bays) / kModules;
            int first = 0;
            if (streetLevel) {
                wallQuad(target, face.a, face.b, face.normal, -base, -base - storey, u0, u1, 0,
                         1.0f / kModules);
                first = 1;
            }
            // The upper rows of the picture hold 15 storeys; taller walls take
            // them in runs.
            for (int s = first; s < storeys; s += kModules - 1) {
                const int run = std::min(kModules - 1, storeys - s);
                const int row = 1 + random.index(kModules - run);
                wallQuad(target, face.a, face.b, face.normal, -base - s * storey,
                         -base - (s + run) * storey, u0, u1, static_cast<float>(row) / kModules,
                         static_cast<float>(row + run) / kModules);
            }
        }
        // The roof's quarter of the picture stretched over it, parapet at the edge.
        float ru, rv;
        roofQuarter(random.index(kRoofKinds), ru, rv);
        MeshData& roof = mesh(roofs);
        const uint32_t a = roof.addVertex({x0, y0, -height}, {0, 0, -1}, ru, rv);
        const uint32_t b = roof.addVertex({x1, y0, -height}, {0, 0, -1}, ru + 0.5f, rv);
        const uint32_t c = roof.addVertex({x1, y1, -height}, {0, 0, -1}, ru + 0.5f, rv + 0.5f);
        const uint32_t d = roof.addVertex({x0, y1, -height}, {0, 0, -1}, ru, rv + 0.5f);
        roof.addQuad(a, b, c, d);
    }

    // Plant rooms, vents and water tanks on a roof.
    // room: how much higher anything on the roof may stand.
    void roofClutter(float x0, float y0, float x1, float y1, float height, float room) {
        const float width = x1 - x0, depth = y1 - y0;
        if (width < 12 || depth < 12 || room < 1.5f)
            return;
        const int count = 1 + random.index(3);
        for (int i = 0; i < count; ++i) {
            const float w = random.range(3, std::min(9.0f, width / 3));
            const float d = random.range(3, std::min(9.0f, depth / 3));
            const float x = random.range(x0 + 2, x1 - 2 - w), y = random.range(y0 + 2, y1 - 2 - d);
            const float h = std::min(room, random.range(1.5f, 4.0f));
            city.buildings.push_back({{x, y, -height - h}, {x + w, y + d, -height}});
            MeshData unit = box({x, y, -height - h}, {x + w, y + d, -height}, 1.0f);
            // Sheet metal: faces towards the sun and the top on the sunlit swatch.
            for (size_t i = 0; i < unit.vertexCount(); ++i) {
                const Vec3& n = unit.normals[i];
                const bool sun = n.x < -0.5f || n.y < -0.5f || n.z < -0.5f;
                unit.uvs[2 * i] =
                    (sun ? 0.52f : 0.77f) + 0.2f * std::min(1.0f, unit.uvs[2 * i] / 9);
                unit.uvs[2 * i + 1] = 0.02f + 0.45f * std::min(1.0f, unit.uvs[2 * i + 1] / 9);
            }
            mesh(roofs).append(unit);
        }
    }

    // A crown of twelve facets on a three-sided trunk: few triangles, as a park
    // holds dozens. Facets towards the sun take the sunlit foliage.
    void tree(float x, float y, float size) {
        MeshData& target = mesh(trees);
        const Vec3 sun = normalize(Vec3(-1, -1, -0.5f));
        const float crownLow = -1.4f * size, crownWide = -2.6f * size, crownHigh = -5.0f * size;
        auto facet = [&](const Vec3& p, const Vec3& q, const Vec3& r, float u, float du) {
            Vec3 n = normalize(cross(q - p, r - p));
            const Vec3 outwards = (p + q + r) * (1.0f / 3.0f) - Vec3(x, y, crownWide);
            if (dot(n, outwards) < 0)
                n = -n;
            const uint32_t a = target.addVertex(p, n, u, 0.2f);
            const uint32_t b = target.addVertex(q, n, u + du, 0.5f);
            const uint32_t c = target.addVertex(r, n, u, 0.8f);
            target.addTriangle(a, b, c);
        };
        for (int s = 0; s < 3; ++s) {
            const float a0 = s * 2 * kPi / 3, a1 = (s + 1) * 2 * kPi / 3;
            const float r = 0.3f * size;
            const Vec3 p0(x + r * std::cos(a0), y + r * std::sin(a0), 0);
            const Vec3 p1(x + r * std::cos(a1), y + r * std::sin(a1), 0);
            facet(p0, p1, p1 + Vec3(0, 0, crownLow), 0.8f, 0.15f);
            facet(p0, p1 + Vec3(0, 0, crownLow), p0 + Vec3(0, 0, crownLow), 0.8f, 0.15f);
        }
        const int sides = 6;
        const float radius = 1.9f * size, turn = random.range(0.0f, 1.0f);
        auto rim = [&](int side) {
            const float angle = (side + turn) * 2 * kPi / sides;
            return Vec3(x + radius * std::cos(angle), y + radius * std::sin(angle), crownWide);
        };
        const Vec3 bottom(x, y, crownLow), top(x, y, crownHigh);
        for (int s = 0; s < sides; ++s) {
            const Vec3 p = rim(s), q = rim((s + 1) % sides);
            const bool sunlit = dot((p + q) * 0.5f - Vec3(x, y, crownWide), sun) > 0;
            const float u = sunlit ? 0.12f : 0.45f;
            facet(p, q, top, u + random.range(0.0f, 0.1f), 0.12f);
            facet(q, p, bottom, 0.5f, 0.1f);
        }
    }
};

// A car of one paint job, 7 long, along x or y, standing on the ground at its
// origin, its front towards +x (or +y) when forward.
MeshData carMesh(int paint, bool alongX, bool forward) {
    const float u0 = paint * 0.25f;
    // Cells of the picture, v from the bottom: back, front, roof, side.
    auto cell = [&](int fromTop, float fu, float fv) {
        return std::pair<float, float>{u0 + 0.25f * fu, 1.0f - 0.25f * (fromTop + 1) + 0.25f * fv};
    };
    MeshData car;
    auto block = [&](const Vec3& lo, const Vec3& hi, bool cabin) {
        const MeshData b = box(lo, hi, 1.0f);
        for (size_t face = 0; face < 6; ++face) {
            const Vec3 n = b.normals[face * 4];
            int which = 1; // roof and floor
            if (std::fabs(n.y) > 0.5f)
                which = 0;
            else if (n.x > 0.5f)
                which = 2; // front
            else if (n.x < -0.5f)
                which = 3;
            for (int k = 0; k < 4; ++k) {
                const size_t i = face * 4 + k;
                const Vec3& p = b.positions[i];
                // Side cells: along the car and up; ends: across and up.
                float fu = which == 0 ? (p.x - lo.x) / (hi.x - lo.x) : (p.y - lo.y) / (hi.y - lo.y);
                float fv = (hi.z - p.z) / (hi.z - lo.z);
                if (which == 1) {
                    fu = (p.x - lo.x) / (hi.x - lo.x);
                    fv = (p.y - lo.y) / (hi.y - lo.y);
                }
                // The lower body has no windows: the bottom half of the side cells.
                if (!cabin && which == 0)
                    fv *= 0.5f;
                if (!cabin && which >= 2)
                    fv *= 0.62f;
                if (cabin && which != 1)
                    fv = 0.6f + 0.3f * fv;
                const auto [u, v] = cell(which, fu, fv);
                car.addVertex(p, n, u, v);
            }
            const uint32_t base = static_cast<uint32_t>(car.vertexCount() - 4);
            car.indices.insert(
                car.indices.end(),
                {b.indices[face * 6] % 4 + base, b.indices[face * 6 + 1] % 4 + base,
                 b.indices[face * 6 + 2] % 4 + base, b.indices[face * 6 + 3] % 4 + base,
                 b.indices[face * 6 + 4] % 4 + base, b.indices[face * 6 + 5] % 4 + base});
        }
    };
    block({-3.5f, -1.6f, -1.5f}, {3.5f, 1.6f, -0.3f}, false);
    block({-2.0f, -1.45f, -2.6f}, {1.4f, 1.45f, -1.5f}, true);
    for (Vec3& p : car.positions) {
        if (!forward)
            p = {-p.x, -p.y, p.z};
        if (!alongX)
            p = {-p.y, p.x, p.z};
    }
    for (Vec3& n : car.normals) {
        if (!forward)
            n = {-n.x, -n.y, n.z};
        if (!alongX)
            n = {-n.y, n.x, n.z};
    }
    car.orientToNormals();
    return car;
}

void paintGround(Canvas& ground, const std::vector<std::pair<Vec3, Vec3>>& squares) {
    const int w = ground.width(), h = ground.height();
    const float pixelsX = w / kTileWidth, pixelsY = h / kTileDepth;

    // Street lamps along both pavements, evenly so that the tile repeats.
    Mask lamps(w, h);
    auto lamp = [&](float x, float y) {
        const float radius = 7.0f;
        for (int copy = 0; copy < 9; ++copy) {
            const float cx = (x - kTileX + (copy % 3 - 1) * kTileWidth) * pixelsX;
            const float cy = (kTileY + kTileDepth - y + (copy / 3 - 1) * kTileDepth) * pixelsY;
            const int px0 = std::max(0, static_cast<int>(cx - radius * pixelsX));
            const int px1 = std::min(w - 1, static_cast<int>(cx + radius * pixelsX));
            const int py0 = std::max(0, static_cast<int>(cy - radius * pixelsY));
            const int py1 = std::min(h - 1, static_cast<int>(cy + radius * pixelsY));
            for (int py = py0; py <= py1; ++py)
                for (int px = px0; px <= px1; ++px) {
                    const float dx = (px + 0.5f - cx) / pixelsX, dy = (py + 0.5f - cy) / pixelsY;
                    const float r2 = (dx * dx + dy * dy) / (radius * radius);
                    if (r2 < 1)
                        lamps.at(px, py) += std::exp(-4.5f * r2) * (1 - r2);
                }
        }
    };
    const int lampsX = 25, lampsY = 18;
    for (float sy = kTileY; sy < kTileY + kTileDepth; sy += kStreetPitchY)
        for (int i = 0; i < lampsX; ++i) {
            const float x = kTileX + (i + 0.5f) * kTileWidth / lampsX;
            if (acrossStreetX(x) < kPavementEdge + 2)
                continue;
            lamp(x, sy - kStreetHalfWidth - 0.8f);
            lamp(x + kTileWidth / lampsX / 2, sy + kStreetHalfWidth + 0.8f);
        }
    for (float sx = kTileX; sx < kTileX + kTileWidth; sx += kStreetPitchX)
        for (int i = 0; i < lampsY; ++i) {
            const float y = kTileY + (i + 0.5f) * kTileDepth / lampsY;
            if (acrossStreetY(y) < kPavementEdge + 2)
                continue;
            lamp(sx - kStreetHalfWidth - 0.8f, y);
            lamp(sx + kStreetHalfWidth + 0.8f, y + kTileDepth / lampsY / 2);
        }

    for (int py = 0; py < h; ++py)
        for (int px = 0; px < w; ++px) {
            const float u = (px + 0.5f) / w, v = (py + 0.5f) / h;
            // The picture's rows run from y high (top) to y low, so it lies unflipped.
            const float x = kTileX + u * kTileWidth, y = kTileY + (1 - v) * kTileDepth;
            const float grain = 0.025f * periodicNoise(u * 512, v * 512, 512, 12u) +
                                0.02f * periodicFbm(u * 32, v * 32, 32, 3, 0.5f, 13u);
            const float sx = acrossStreetX(x), sy = acrossStreetY(y);
            Rgba colour;
            if (sx < kStreetHalfWidth || sy < kStreetHalfWidth) {
                colour = Rgba{0.2f + grain, 0.205f + grain, 0.23f + grain, 1};
                const bool alongY = sx < kStreetHalfWidth && sy > kStreetHalfWidth;
                const bool alongX = sy < kStreetHalfWidth && sx > kStreetHalfWidth;
                // Dashed centre lines, and zebra crossings before every junction.
                const bool dash =
                    (alongY && sx < 0.25f && fract(y / 8.0f) < 0.5f && sy > kPavementEdge + 5) ||
                    (alongX && sy < 0.25f && fract(x / 8.0f) < 0.5f && sx > kPavementEdge + 5);
                const bool zebra =
                    (alongY && sy < kPavementEdge + 3.5f && sy > kPavementEdge + 0.5f &&
                     sx < kStreetHalfWidth - 1 && fract(x / 1.6f) < 0.5f) ||
                    (alongX && sx < kPavementEdge + 3.5f && sx > kPavementEdge + 0.5f &&
                     sy < kStreetHalfWidth - 1 && fract(y / 1.6f) < 0.5f);
                if (dash)
                    colour = Rgba{0.72f, 0.6f, 0.32f, 1};
                if (zebra)
                    colour = Rgba{0.62f + grain, 0.62f + grain, 0.6f + grain, 1};
            } else if (sx < kPavementEdge || sy < kPavementEdge) {
                // Pavement slabs, the kerb a shade darker.
                const float along = sx < kPavementEdge ? y : x;
                const bool joint = fract(along / 2.0f) < 0.06f;
                const float kerb = std::min(sx, sy) < kStreetHalfWidth + 0.35f ? 0.75f : 1.0f;
                const float g = (0.44f + grain) * kerb * (joint ? 0.85f : 1.0f);
                colour = Rgba{g, g * 0.97f, g * 0.95f, 1};
            } else {
                // Yards and the gaps between buildings.
                const float g = 0.24f + grain;
                colour = Rgba{g, g, g * 1.05f, 1};
                for (const auto& s : squares)
                    if (x >= s.first.x && x <= s.second.x && y >= s.first.y && y <= s.second.y) {
                        // Lawns crossed by winding paths, a paved circle where
                        // a figure stands.
                        const float wander = periodicFbm(u * 24, v * 24, 24, 3, 0.5f, 14u);
                        bool paved = std::fabs(wander) < 0.035f;
                        for (const auto& f : kFigures) {
                            const float dx = x - wrap(f[0], kTileX, kTileWidth);
                            const float dy = y - wrap(f[1], kTileY, kTileDepth);
                            paved = paved || dx * dx + dy * dy < 49.0f;
                        }
                        const float lush =
                            0.85f + 0.4f * periodicFbm(u * 96, v * 96, 96, 3, 0.6f, 15u);
                        const float p = 0.5f + grain;
                        colour = paved ? Rgba{p * 1.04f, p * 0.96f, p * 0.86f, 1}
                                       : Rgba{0.17f * lush, 0.27f * lush, 0.12f * lush, 1};
                        break;
                    }
            }
            const float glow = std::min(1.2f, lamps.at(px, py));
            colour = plus(
                colour, Rgba{0.95f * glow * 0.55f, 0.68f * glow * 0.55f, 0.32f * glow * 0.55f, 1});
            ground.at(px, py) = colour;
        }
}

} // namespace

bool inStreet(float x, float y) {
    return acrossStreetX(x) < kStreetHalfWidth || acrossStreetY(y) < kStreetHalfWidth;
}

Layout build() {
    Layout city;
    ContentRandom random(2024);
    Builder builder{city, random, {}, 0, 0, 0};
    for (int s = 0; s < kStyles; ++s)
        for (int lit = 0; lit < 2; ++lit) {
            const std::string name = std::string(kStyleNames[s]) + (lit == 0 ? "Sun" : "Shade");
            builder.walls[s][lit] = static_cast<int>(city.pieces.size());
            city.pieces.push_back({name + "Walls", name, {}});
        }
    builder.roofs = static_cast<int>(city.pieces.size());
    city.pieces.push_back({"roofs", "roof", {}});
    builder.trees = static_cast<int>(city.pieces.size());
    city.pieces.push_back({"trees", "tree", {}});
    builder.ground = static_cast<int>(city.pieces.size());
    city.pieces.push_back({"ground", "ground", {}});

    const std::vector<Keepout> list = keepouts();
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
                    // Two lots to a block each way, an alley of 4 between them.
                    const float lotW = (kStreetPitchX - 2 * kPavementEdge) / 2 - 2;
                    const float lotD = (kStreetPitchY - 2 * kPavementEdge) / 2 - 2;
                    const float lotX0 = sx + kPavementEdge + lx * (lotW + 4);
                    const float lotY0 = sy + kPavementEdge + ly * (lotD + 4);
                    const float lotX1 = lotX0 + lotW, lotY1 = lotY0 + lotD;
                    // Lots cut by the tile's edge would be cut in two by the copies.
                    if (lotX0 < kTileX || lotY0 < kTileY || lotX1 > kTileX + kTileWidth ||
                        lotY1 > kTileY + kTileDepth)
                        continue;
                    float height = random.range(13.0f, 40.0f);
                    const bool tower = random.unit() < 0.14f;
                    if (tower)
                        height *= 2.3f;
                    const float allowed = allowedHeight(lotX0, lotY0, lotX1, lotY1, list);
                    if (allowed < 6.0f) {
                        squares.push_back({{lotX0 - 2, lotY0 - 2, 0}, {lotX1 + 2, lotY1 + 2, 0}});
                        // Trees in the square, clear of the figures and the low trails.
                        for (float tx = lotX0 + 3; tx < lotX1 - 2; tx += 7.5f)
                            for (float ty = lotY0 + 3; ty < lotY1 - 2; ty += 7.5f) {
                                const float x = tx + random.range(-1.5f, 1.5f);
                                const float y = ty + random.range(-1.5f, 1.5f);
                                const float size = random.range(0.8f, 1.25f);
                                if (allowedHeight(x - 2, y - 2, x + 2, y + 2, list) > 5.0f * size &&
                                    random.unit() < 0.7f)
                                    builder.tree(x, y, size);
                            }
                        continue;
                    }
                    height = std::min(height, allowed);
                    const Style style =
                        height > 55.0f
                            ? Glass
                            : static_cast<Style>(random.index(3)); // stone, brick or concrete
                    // Some lots hold two buildings of different heights and kinds.
                    if (height < 55.0f && random.unit() < 0.4f) {
                        const float mid = lotX0 + (lotX1 - lotX0) * random.range(0.35f, 0.65f);
                        builder.building(style, lotX0, lotY0, mid - 1, lotY1, 0, height, true);
                        builder.roofClutter(lotX0, lotY0, mid - 1, lotY1, height, allowed - height);
                        const float second = std::min(allowed, height * random.range(0.5f, 1.4f));
                        const Style other = static_cast<Style>((style + 1 + random.index(2)) % 3);
                        builder.building(other, mid + 1, lotY0, lotX1, lotY1, 0, second, true);
                        builder.roofClutter(mid + 1, lotY0, lotX1, lotY1, second, allowed - second);
                    } else if (style == Glass) {
                        // Towers step back: a podium of stone, the glass shaft above.
                        const float podium = kStorey * (2 + random.index(2));
                        builder.building(Stone, lotX0, lotY0, lotX1, lotY1, 0, podium, true);
                        const float inset = 3.0f;
                        builder.building(Glass, lotX0 + inset, lotY0 + inset, lotX1 - inset,
                                         lotY1 - inset, podium, height, false);
                        roofTops.push_back({(lotX0 + lotX1) / 2, (lotY0 + lotY1) / 2, -height});
                    } else {
                        builder.building(style, lotX0, lotY0, lotX1, lotY1, 0, height, true);
                        builder.roofClutter(lotX0, lotY0, lotX1, lotY1, height, allowed - height);
                    }
                }

    // The ground: one sheet over the tile, facing up (-z), its picture the map.
    MeshData& ground = builder.mesh(builder.ground);
    const uint32_t a = ground.addVertex({kTileX, kTileY, 0}, {0, 0, -1}, 0, 0);
    const uint32_t b = ground.addVertex({kTileX + kTileWidth, kTileY, 0}, {0, 0, -1}, 1, 0);
    const uint32_t c =
        ground.addVertex({kTileX + kTileWidth, kTileY + kTileDepth, 0}, {0, 0, -1}, 1, 1);
    const uint32_t d = ground.addVertex({kTileX, kTileY + kTileDepth, 0}, {0, 0, -1}, 0, 1);
    ground.addQuad(a, b, c, d);
    for (Piece& piece : city.pieces)
        piece.mesh.orientToNormals();

    Canvas groundPicture(2048, 2048);
    paintGround(groundPicture, squares);

    // Traffic: one car to a lane, each driving its street for the whole scene.
    // A car that leaves the tile comes back in at the other side: there the
    // neighbouring copy's car leaves just then, so the traffic flows through
    // the seams of the copies.
    const float sceneMs = 24230.0f;
    const int streetsAlongX = static_cast<int>(kTileDepth / kStreetPitchY);
    const int streetsAlongY = static_cast<int>(kTileWidth / kStreetPitchX);
    std::vector<int> lanes;
    for (int lane = 0; lane < 2 * (streetsAlongX + streetsAlongY); ++lane)
        lanes.push_back(lane);
    for (size_t i = lanes.size() - 1; i > 0; --i)
        std::swap(lanes[i], lanes[random.index(static_cast<int>(i) + 1)]);
    const int carCount = 16;
    for (int i = 0; i < carCount; ++i) {
        const int lane = lanes[i];
        const bool alongX = lane < 2 * streetsAlongX;
        const int street = (alongX ? lane : lane - 2 * streetsAlongX) / 2;
        const bool forward = lane % 2 == 0;
        // Cars keep to the right: forward along +x (or +y) on the lane at -4.
        const float offset = forward ? -4.0f : 4.0f;
        const float speed = random.range(11.0f, 20.0f) * (forward ? 1 : -1);
        const float low = alongX ? kTileX : kTileY;
        const float span = alongX ? kTileWidth : kTileDepth;
        const float across = alongX ? kTileY + kStreetPitchY * street + offset
                                    : kTileX + kStreetPitchX * street + offset;
        Mover car{
            "car" + std::to_string(i), "car", carMesh(random.index(4), alongX, forward), {}, {}};
        auto at = [&](float along) {
            return alongX ? Vec3(along, across, 0) : Vec3(across, along, 0);
        };
        float along = low + random.range(0.05f, 0.95f) * span;
        float ms = 0;
        car.positionKeys.push_back({0.0f, at(along)});
        while (ms < sceneMs) {
            // Time to the tile's edge in the direction of travel.
            const float edge = speed > 0 ? low + span : low;
            const float toEdge = (edge - along) / speed * 1000.0f;
            if (ms + toEdge >= sceneMs) {
                car.positionKeys.push_back({sceneMs, at(along + speed * (sceneMs - ms) / 1000)});
                break;
            }
            ms += toEdge;
            car.positionKeys.push_back({ms, at(edge)});
            along = speed > 0 ? low : low + span;
            car.positionKeys.push_back({ms + 1.0f, at(along)});
            along += speed * 0.001f;
            ms += 1.0f;
        }
        city.movers.push_back(std::move(car));
    }

    // Warning lights turning on the towers' roofs, a quarter turn a second.
    for (size_t i = 0; i < roofTops.size() && i < 6; ++i) {
        Mover beacon{"beacon" + std::to_string(i),
                     "beacon",
                     box({-5, -0.5f, -2.5f}, {5, 0.5f, 0}, 1.0f / 10.0f),
                     {},
                     {}};
        beacon.mesh.append(box({-0.5f, -5, -2.5f}, {0.5f, 5, 0}, 1.0f / 10.0f));
        beacon.mesh.orientToNormals();
        beacon.positionKeys = {{0.0f, roofTops[i]}, {sceneMs, roofTops[i]}};
        for (float ms = 0; ms <= sceneMs + 1000; ms += 1000)
            beacon.turnKeys.push_back({ms, ms / 1000.0f * kPi / 2 * (i % 2 ? 1 : -1)});
        city.movers.push_back(std::move(beacon));
    }

    // The stone walls keep the file names the scene has always had.
    for (int s = 0; s < kStyles; ++s)
        for (int lit = 0; lit < 2; ++lit) {
            const std::string name = city.pieces[builder.walls[s][lit]].material;
            const std::string file = s == Stone
                                         ? (lit == 0 ? "facade" : "facadeshade")
                                         : kStyleNames[s] + std::string(lit == 0 ? "" : "shade");
            city.materials.push_back(
                {name, file + ".jpg", facadePicture(static_cast<Style>(s), lit == 0)});
        }
    city.materials.push_back({"roof", "roof.jpg", roofPicture()});
    city.materials.push_back({"tree", "tree.jpg", treePicture()});
    city.materials.push_back({"ground", "ground.jpg", std::move(groundPicture)});
    city.materials.push_back({"car", "car.jpg", carPicture()});
    city.materials.push_back({"beacon", "beacon.jpg", beaconPicture()});
    return city;
}

} // namespace City
