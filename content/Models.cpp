#include "content/Models.h"

#include "content/ContentRandom.h"
#include "content/Noise.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kPi = 3.14159265f;

// The cylinder city, in the units the tunnel draws it in (it scales by 0.025):
// a drum 2400 long and 900 in radius around the x axis, blocks of buildings
// standing out from it, each a box without a base whose foot reaches footDepth
// into the drum.
constexpr float cityLength = 2400.0f, cityRadius = 900.0f, cityFootDepth = 40.0f;

MeshData cityDrum() {
    // The drum's u runs against its angle so that its quads face outwards.
    return gridSurface(48, 8, 6.0f, 2.0f, [&](float s, float t, Vec3& p, Vec3& n) {
        const float angle = -s * 2 * kPi;
        n = {0, std::cos(angle), std::sin(angle)};
        p = Vec3(-cityLength / 2 + t * cityLength, 0, 0) + n * cityRadius;
    });
}

// Every tower, turned onto the drum: the roof is vertices 0..3, wall w (1..4) is
// vertices 4w..4w+3 with the first two at the foot and the last two at the top.
std::vector<MeshData> cityTowers() {
    ContentRandom random(1701);
    const int around = 36, along = 14;
    std::vector<MeshData> towers;
    for (int a = 0; a < around; ++a)
        for (int l = 0; l < along; ++l) {
            if (random.unit() < 0.25f)
                continue; // a square
            const float angle = (a + 0.5f) * 2 * kPi / around;
            const float x = -cityLength / 2 + (l + 0.5f) * cityLength / along;
            const float height =
                random.range(60.0f, 380.0f) * (random.unit() < 0.15f ? 1.8f : 1.0f);
            const float width = random.range(70.0f, 120.0f);
            // Build upright along -z, then turn it onto the drum: the box's -z
            // becomes the outward direction at this angle.
            MeshData tower =
                box({-width / 2, -width / 2, -cityRadius - height},
                    {width / 2, width / 2, -cityRadius + cityFootDepth}, 1.0f / 200.0f);
            // Its base (the box's second face) stands inside the drum, never seen.
            tower.positions.erase(tower.positions.begin() + 4, tower.positions.begin() + 8);
            tower.normals.erase(tower.normals.begin() + 4, tower.normals.begin() + 8);
            tower.uvs.erase(tower.uvs.begin() + 8, tower.uvs.begin() + 16);
            tower.indices.erase(tower.indices.begin() + 6, tower.indices.begin() + 12);
            for (uint32_t& index : tower.indices)
                index -= index >= 8 ? 4 : 0;
            const float turn = angle;
            const float c = std::cos(turn), sn = std::sin(turn);
            for (Vec3& p : tower.positions)
                p = {p.x + x, p.y * c - p.z * sn, p.y * sn + p.z * c};
            for (Vec3& nrm : tower.normals)
                nrm = {nrm.x, nrm.y * c - nrm.z * sn, nrm.y * sn + nrm.z * c};
            towers.push_back(std::move(tower));
        }
    return towers;
}

} // namespace

namespace Models {

MeshData ring() {
    // The cross-section, outward around the tube: a flat band with bevelled edges.
    // Each point: radius from the axis, z offset, and outward normal (radial, z).
    struct Section {
        float radius, z, nr, nz;
    };
    const float in = ringSize.inner, out = ringSize.outer, w = ringSize.halfWidth, bevel = 0.4f;
    const Section section[] = {
        {out, -w + bevel, 1, 0}, {out, w - bevel, 1, 0},         {out - bevel, w, 0.7f, 0.7f},
        {in + bevel, w, 0, 1},   {in, w - bevel, -0.7f, 0.7f},   {in, -w + bevel, -1, 0},
        {in + bevel, -w, 0, -1}, {out - bevel, -w, 0.7f, -0.7f}, {out, -w + bevel, 1, 0},
    };
    const int points = sizeof section / sizeof section[0];
    MeshData band =
        gridSurface(160, points - 1, 16.0f, 1.0f, [&](float s, float t, Vec3& p, Vec3& n) {
            const float angle = s * 2 * kPi;
            const int i = std::min(static_cast<int>(t * (points - 1) + 0.5f), points - 1);
            const Section& q = section[i];
            const float c = std::cos(angle), sn = std::sin(angle);
            p = {q.radius * c, q.radius * sn, q.z};
            n = normalize(Vec3(q.nr * c, q.nr * sn, q.nz));
        });
    band.orientToNormals();
    return band;
}

MeshData cylinderCity() {
    MeshData city = cityDrum();
    for (const MeshData& tower : cityTowers())
        city.append(tower);
    city.orientToNormals();
    return city;
}

MeshData cylinderCityInside() {
    MeshData inside = cityDrum();
    // Each wall of a tower from its foot up to the drum's radius: what a look
    // into the drum through an open end can see of it from within.
    for (const MeshData& tower : cityTowers())
        for (uint32_t a = 4; a < 20; a += 4) {
            const uint32_t b = a + 1, c = a + 2, d = a + 3;
            const float share = cityFootDepth / length(tower.positions[d] - tower.positions[a]);
            const Vec3& n = tower.normals[a];
            auto corner = [&](uint32_t i) {
                return inside.addVertex(tower.positions[i], n, tower.uvs[2 * i],
                                        tower.uvs[2 * i + 1]);
            };
            // Along the wall from the foot corner `from` towards the top corner `to`.
            auto cut = [&](uint32_t from, uint32_t to) {
                const float* uv = &tower.uvs[0];
                return inside.addVertex(
                    tower.positions[from] + (tower.positions[to] - tower.positions[from]) * share,
                    n, uv[2 * from] + (uv[2 * to] - uv[2 * from]) * share,
                    uv[2 * from + 1] + (uv[2 * to + 1] - uv[2 * from + 1]) * share);
            };
            const uint32_t footA = corner(a), footB = corner(b);
            const uint32_t cutB = cut(b, c), cutA = cut(a, d);
            inside.addQuad(footA, footB, cutB, cutA);
        }
    inside.orientToNormals();
    return inside;
}

MeshData leaf() {
    MeshData blade = gridSurface(6, 16, 1.0f, 1.0f, [](float s, float t, Vec3& p, Vec3& n) {
        // t runs from the stem (0) to the tip (1); the width swells and tapers.
        const float half = 24.0f * std::sin(kPi * std::pow(t, 0.8f)) * (1 - 0.3f * t);
        const float across = (s * 2 - 1) * half;
        const float along = 120.0f * t;
        // Curled: the blade bows down along its length and cups across it.
        const float bow = -18.0f * std::sin(t * kPi * 0.9f) + 0.004f * across * across;
        p = {along, across, bow};
        const Vec3 du(120.0f / 16, 0, -18.0f * kPi * 0.9f * std::cos(t * kPi * 0.9f) / 16);
        const Vec3 ds(0, 2 * half / 6, 0.008f * across * 2 * half / 6);
        n = normalize(cross(ds, du));
    });
    // The picture's stem is at its bottom and the tip at its top: v = t.
    blade.orientToNormals();
    blade.addBackFaces();
    return blade;
}

MeshData flowerHead() {
    MeshData cup = gridSurface(48, 10, 1.0f, 1.0f, [](float s, float t, Vec3& p, Vec3& n) {
        const float angle = s * 2 * kPi, r = 60.0f * t;
        // A cup opening towards -z, its rim raised by a quarter of its radius.
        p = {r * std::cos(angle), r * std::sin(angle), -0.004f * r * r};
        const float slope = -0.008f * r;
        n = normalize(Vec3(-slope * std::cos(angle), -slope * std::sin(angle), -1));
    });
    // The picture is laid flat over the cup: u, v from the position, not the grid.
    for (size_t i = 0; i < cup.positions.size(); ++i) {
        cup.uvs[2 * i] = 0.5f + cup.positions[i].x / 120.0f;
        cup.uvs[2 * i + 1] = 0.5f + cup.positions[i].y / 120.0f;
    }
    cup.orientToNormals();
    cup.addBackFaces();
    return cup;
}

MeshData sphere(float radius, int columns, int rows, float (*heightAt)(float u, float v)) {
    MeshData ball = gridSurface(columns, rows, 1.0f, 1.0f, [&](float s, float t, Vec3& p, Vec3& n) {
        // The last column closes the seam on the first one's positions, and the
        // poles' vertices all lie at one point: a closed surface without cracks,
        // whose far side can be culled.
        const bool pole = t == 0.0f || t == 1.0f;
        const float u = pole || s == 1.0f ? 0.0f : s;
        const float around = u * 2 * kPi, polar = t * kPi;
        // t = 0 at the +z pole, so the picture's top row (v = 1) lies at -z, "up";
        // heightAt takes the picture's row from the top, 1 - t.
        const Vec3 dir = pole ? Vec3(0, 0, t == 0.0f ? 1.0f : -1.0f)
                              : Vec3(std::sin(polar) * std::cos(around),
                                     std::sin(polar) * std::sin(around), std::cos(polar));
        n = dir;
        p = dir * (radius + (heightAt ? heightAt(u, 1 - t) : 0.0f));
    });
    ball.orientToNormals();
    return ball;
}

} // namespace Models
