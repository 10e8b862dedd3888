#include "camera/TrackTube.h"

#include "platform/Gl.h"

#include <cmath>

namespace {

// The first perpendicular of a ring. The sign rules keep neighbouring rings
// from flipping. The formula divides by T.x; a tangent with T.x = 0 takes the
// limit the formula tends to as T.x goes to 0, which lies along the x axis and
// is therefore perpendicular to T.
Vec3 firstPerpendicular(const Vec3& t) {
    if (t.x == 0.0f) {
        return t.y + t.z > 0.0f ? Vec3(-1.0f, 0.0f, 0.0f) : Vec3(1.0f, 0.0f, 0.0f);
    }
    Vec3 n((-t.y - t.z) / t.x, 1.0f, 1.0f);
    if (n.x < 0.0f) {
        n = -n;
    }
    if (t.y + t.z > 0.0f) {
        n = -n;
    }
    return normalize(n);
}

// A ring index from a parameter in key units, rounded half to even, kept in a
// range where the index arithmetic cannot overflow (a parameter that is not a
// number counts as 0).
double ringAt(int rings, float parameter, int keyCount) {
    float ring = static_cast<float>(rings) * parameter / static_cast<float>(keyCount);
    if (std::isnan(ring)) {
        return 0.0;
    }
    double rounded = std::nearbyint(static_cast<double>(ring));
    const double limit = 1e12;
    return rounded < -limit ? -limit : (rounded > limit ? limit : rounded);
}

} // namespace

void TrackTube::build(int sides_, int rings_, float radius, int mode, float tStart, float tEnd) {
    sort();
    sides = sides_;
    rings = rings_;
    if (tEnd < tStart) {
        tEnd = count > 0 ? data[count - 1].time : 0.0f;
    }
    float step = (tEnd - tStart) / static_cast<float>(rings);

    int vertexCount = (rings + 2) * sides;
    positions.count = 0;
    normals.count = 0;
    indices.count = 0;
    positions.reserve(vertexCount);
    normals.reserve(vertexCount);
    // Where every accumulated normal of a vertex cancels (a two-sided ribbon),
    // the direction away from the ring's centre stands in.
    GrowArray<Vec3> radial;
    radial.reserve(vertexCount);
    Vec3 previousTangent(0.0f, 0.0f, 1.0f);
    for (int n = 0; n < rings + 2; ++n) {
        float t = tStart + static_cast<float>(n) * step;
        Vec3 p = sample(t, mode);
        Vec3 q = sample(t + step, mode);
        Vec3 tangent = normalize(q - p);
        // Where the path holds still there is no tangent; the ring keeps the
        // orientation of the ring before it instead of collapsing onto a line.
        if (length(tangent) == 0.0f) {
            tangent = previousTangent;
        }
        previousTangent = tangent;
        Vec3 perpendicular = firstPerpendicular(tangent);
        for (int s = 0; s < sides; ++s) {
            float angle = static_cast<float>(s) * (6.283f / static_cast<float>(sides));
            Vec3 r = perpendicular;
            rotateAboutAxis(r, tangent, angle);
            positions.append(p + r * radius);
            normals.append(Vec3());
            radial.append(r);
        }
    }

    indices.reserve(sides * rings * 6 > 0 ? sides * rings * 6 : 1);
    for (int r = 0; r + 1 < rings; ++r) {
        uint32_t base = static_cast<uint32_t>(r * sides);
        uint32_t ring = static_cast<uint32_t>(sides);
        for (uint32_t s = 0; s < ring; ++s) {
            if (s + 1 < ring) {
                uint32_t triangles[6] = {base + s,     base + s + ring, base + s + 1,
                                         base + s + 1, base + s + ring, base + ring + s + 1};
                for (uint32_t i : triangles) {
                    indices.append(i);
                }
            } else {
                uint32_t triangles[6] = {base + s, base + s + ring, base,
                                         base,     base + s + ring, base + ring};
                for (uint32_t i : triangles) {
                    indices.append(i);
                }
            }
        }
    }

    // Unnormalised face normals, so that larger triangles weigh more.
    for (int i = 0; i + 2 < indices.count; i += 3) {
        uint32_t i0 = indices.data[i], i1 = indices.data[i + 1], i2 = indices.data[i + 2];
        Vec3 face =
            cross(positions.data[i0] - positions.data[i1], positions.data[i2] - positions.data[i1]);
        normals.data[i0] += face;
        normals.data[i1] += face;
        normals.data[i2] += face;
    }
    for (int i = 0; i < normals.count; ++i) {
        Vec3 n = normalize(normals.data[i]);
        if (length(n) == 0.0f || std::isnan(n.x)) {
            n = length(radial.data[i]) > 0.0f ? normalize(radial.data[i]) : Vec3(0.0f, 0.0f, 1.0f);
        }
        normals.data[i] = n;
    }
}

void TrackTube::indexRange(float from, float to, int* first, int* end) const {
    int total = indices.count;
    if (total == 0 || count == 0) {
        *first = 0;
        *end = 0;
        return;
    }
    double last = static_cast<double>(total - 1);
    double start = static_cast<double>(sides) * ringAt(rings, from, count) * 6.0;
    double stop = static_cast<double>(sides) * ringAt(rings, to, count) * 6.0;
    start = start < 0.0 ? 0.0 : (start > last ? last : start);
    stop = stop > last ? last : (stop < 0.0 ? 0.0 : stop);
    *first = static_cast<int>(start);
    *end = static_cast<int>(stop);
}

void TrackTube::drawRange(float from, float to) const {
    int first, end;
    indexRange(from, to, &first, &end);

    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, positions.data);
    glNormalPointer(GL_FLOAT, 0, normals.data);
    if (end > first) {
        glDrawElements(GL_TRIANGLES, end - first, GL_UNSIGNED_INT, indices.data + first);
    }
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
}
