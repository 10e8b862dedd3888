#include "content/Models.h"

#include "content/ContentRandom.h"
#include "content/Noise.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kPi = 3.14159265f;

// The towers of the cylinder city after its drum, each standing footDepth deep
// inside the drum.
void appendTowers(MeshData& city, const std::vector<MeshData>& towers, float footDepth) {
    // Each tower's walls are cut where they leave the drum: first every foot
    // (inside the drum, where only a look through the drum's open ends reaches),
    // then every shaft with its roof. The tunnel draws the feet a second time,
    // seen from inside, only where an open end shows on screen; a cut a little
    // outside the drum keeps every shaft clear of it. The cut walls keep their
    // picture: the cut's vertices lie on the wall with the texture coordinates
    // interpolated, and both halves share them.
    const float cutOutside = 5.0f;
    std::vector<uint32_t> cuts; // per tower and wall: the first of its two cut vertices
    for (const MeshData& tower : towers) {
        // After the base is gone: the roof is vertices 0..3, wall w is 4w..4w+3
        // with a, b at the foot and c, d at the top.
        for (int w = 1; w <= 4; ++w) {
            const uint32_t a = 4 * w, b = a + 1, c = a + 2, d = a + 3;
            const float wallLength = length(tower.positions[d] - tower.positions[a]);
            const float f = (footDepth + cutOutside) / wallLength;
            auto at = [&](uint32_t from, uint32_t to, float share, Vec3& p, float& u, float& v) {
                p = tower.positions[from] + (tower.positions[to] - tower.positions[from]) * share;
                u = tower.uvs[2 * from] + (tower.uvs[2 * to] - tower.uvs[2 * from]) * share;
                v = tower.uvs[2 * from + 1] +
                    (tower.uvs[2 * to + 1] - tower.uvs[2 * from + 1]) * share;
            };
            Vec3 pa, pb;
            float ua, va, ub, vb;
            at(a, d, f, pa, ua, va);
            at(b, c, f, pb, ub, vb);
            const Vec3& n = tower.normals[a];
            const uint32_t footA =
                city.addVertex(tower.positions[a], n, tower.uvs[2 * a], tower.uvs[2 * a + 1]);
            const uint32_t footB =
                city.addVertex(tower.positions[b], n, tower.uvs[2 * b], tower.uvs[2 * b + 1]);
            const uint32_t cutA = city.addVertex(pa, n, ua, va);
            const uint32_t cutB = city.addVertex(pb, n, ub, vb);
            city.addQuad(footA, footB, cutB, cutA);
            cuts.push_back(cutA);
        }
    }
    size_t next = 0;
    for (const MeshData& tower : towers) {
        const uint32_t roof = static_cast<uint32_t>(city.vertexCount());
        for (uint32_t i = 0; i < 4; ++i)
            city.addVertex(tower.positions[i], tower.normals[i], tower.uvs[2 * i],
                           tower.uvs[2 * i + 1]);
        city.addQuad(roof, roof + 1, roof + 2, roof + 3);
        for (int w = 1; w <= 4; ++w) {
            const uint32_t c = 4 * w + 2, d = c + 1;
            const uint32_t cutA = cuts[next++], cutB = cutA + 1;
            const Vec3& n = tower.normals[c];
            const uint32_t topC =
                city.addVertex(tower.positions[c], n, tower.uvs[2 * c], tower.uvs[2 * c + 1]);
            const uint32_t topD =
                city.addVertex(tower.positions[d], n, tower.uvs[2 * d], tower.uvs[2 * d + 1]);
            city.addQuad(cutA, cutB, topC, topD);
        }
    }
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
    // Units as the tunnel draws them (it scales by 0.025): a drum 2400 long and 900
    // in radius around the x axis, blocks of buildings standing out from it.
    const float length = 2400.0f, radius = 900.0f;
    MeshData city = gridSurface(48, 8, 6.0f, 2.0f, [&](float s, float t, Vec3& p, Vec3& n) {
        const float angle = -s * 2 * kPi;
        n = {0, std::cos(angle), std::sin(angle)};
        p = Vec3(-length / 2 + t * length, 0, 0) + n * radius;
    });
    // The drum's u runs against its angle so that its quads face outwards.
    ContentRandom random(1701);
    const int around = 36, along = 14;
    const float footDepth = 40.0f;
    std::vector<MeshData> towers;
    for (int a = 0; a < around; ++a)
        for (int l = 0; l < along; ++l) {
            if (random.unit() < 0.25f)
                continue; // a square
            const float angle = (a + 0.5f) * 2 * kPi / around;
            const float x = -length / 2 + (l + 0.5f) * length / along;
            const float height =
                random.range(60.0f, 380.0f) * (random.unit() < 0.15f ? 1.8f : 1.0f);
            const float width = random.range(70.0f, 120.0f);
            // Build upright along -z, then turn it onto the drum: the box's -z
            // becomes the outward direction at this angle.
            MeshData tower = box({-width / 2, -width / 2, -radius - height},
                                 {width / 2, width / 2, -radius + footDepth}, 1.0f / 200.0f);
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
    appendTowers(city, towers, footDepth);
    city.orientToNormals();
    return city;
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
