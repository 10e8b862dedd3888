#include "effects/CityTunnel.h"

#include "platform/Gl.h"
#include "resources/Geometry.h"

#include <algorithm>
#include <cmath>

namespace {

float polarRadius(const float* vertex) {
    return std::sqrt(vertex[1] * vertex[1] + vertex[2] * vertex[2]);
}

struct Clip {
    float x, y, z, w;
};

Clip toClip(const float modelview[16], const float projection[16], float x, float y, float z) {
    float e[4];
    for (int i = 0; i < 4; ++i) {
        e[i] = modelview[i] * x + modelview[4 + i] * y + modelview[8 + i] * z + modelview[12 + i];
    }
    float c[4];
    for (int i = 0; i < 4; ++i) {
        c[i] = projection[i] * e[0] + projection[4 + i] * e[1] + projection[8 + i] * e[2] +
               projection[12 + i] * e[3];
    }
    return {c[0], c[1], c[2], c[3]};
}

// Whether a box of the city's own frame lies wholly beyond one clip plane.
bool boxOutside(const float modelview[16], const float projection[16], const Vec3& low,
                const Vec3& high) {
    Clip corners[8];
    for (int n = 0; n < 8; ++n) {
        corners[n] = toClip(modelview, projection, (n & 1) ? high.x : low.x,
                            (n & 2) ? high.y : low.y, (n & 4) ? high.z : low.z);
    }
    // Plane p keeps -w <= x, x <= w, ... z <= w; a corner outside all of one
    // plane's side puts the whole box there.
    for (int plane = 0; plane < 6; ++plane) {
        bool allOut = true;
        for (const Clip& c : corners) {
            const float v = plane / 2 == 0 ? c.x : plane / 2 == 1 ? c.y : c.z;
            const bool out = plane % 2 == 0 ? v < -c.w : v > c.w;
            if (!out) {
                allOut = false;
                break;
            }
        }
        if (allOut) {
            return true;
        }
    }
    return false;
}

// The window box that covers the open end at x = end * halfLength, or the whole
// viewport when the end reaches behind the eye. Width 0 when it is off screen.
void endBox(const CityLayout& city, int end, const float modelview[16], const float projection[16],
            int width, int height, int box[4]) {
    // The square around the end's circle, a little larger for safety.
    const float x = static_cast<float>(end) * city.halfLength;
    const float r = city.insideRadius * 1.02f;
    float low[2] = {1e30f, 1e30f}, high[2] = {-1e30f, -1e30f};
    for (int n = 0; n < 4; ++n) {
        const Clip c = toClip(modelview, projection, x, (n & 1) ? r : -r, (n & 2) ? r : -r);
        if (c.w <= 1e-4f) {
            box[0] = 0;
            box[1] = 0;
            box[2] = width;
            box[3] = height;
            return;
        }
        const float wx = (c.x / c.w * 0.5f + 0.5f) * static_cast<float>(width);
        const float wy = (c.y / c.w * 0.5f + 0.5f) * static_cast<float>(height);
        low[0] = std::min(low[0], wx);
        low[1] = std::min(low[1], wy);
        high[0] = std::max(high[0], wx);
        high[1] = std::max(high[1], wy);
    }
    // Whole pixels around it, one more on each side.
    const float limit[2] = {static_cast<float>(width), static_cast<float>(height)};
    int from[2], to[2];
    for (int a = 0; a < 2; ++a) {
        from[a] = static_cast<int>(std::floor(std::max(0.0f, std::min(limit[a], low[a])))) - 1;
        to[a] = static_cast<int>(std::ceil(std::max(0.0f, std::min(limit[a], high[a])))) + 1;
        from[a] = std::max(from[a], 0);
        to[a] = std::min(to[a], static_cast<int>(limit[a]));
    }
    box[0] = from[0];
    box[1] = from[1];
    box[2] = std::max(0, to[0] - from[0]);
    box[3] = std::max(0, to[1] - from[1]);
    if (high[0] < 0.0f || high[1] < 0.0f || low[0] > limit[0] || low[1] > limit[1]) {
        box[2] = 0;
        box[3] = 0;
    }
}

} // namespace

namespace {

// Widens the layout by a part's extent; counts its triangles by their winding
// about their normals. False when the part cannot be read.
bool measurePart(const MeshView& part, float& halfLength, float& radius, int& counterClockwise,
                 int& clockwise) {
    if (part.vertices == nullptr || part.indices == nullptr || part.vertexCount <= 0 ||
        part.indexCount < 3 || part.indexCount % 3 != 0 || part.floatsPerVertex < 6) {
        return false;
    }
    for (int v = 0; v < part.vertexCount; ++v) {
        const float* vertex = part.vertices + static_cast<size_t>(v) * part.floatsPerVertex;
        halfLength = std::max(halfLength, std::fabs(vertex[0]));
        radius = std::max(radius, polarRadius(vertex));
    }
    for (int i = 0; i < part.indexCount; i += 3) {
        const float* corner[3];
        for (int n = 0; n < 3; ++n) {
            if (part.indices[i + n] >= static_cast<uint32_t>(part.vertexCount)) {
                return false;
            }
            corner[n] =
                part.vertices + static_cast<size_t>(part.indices[i + n]) * part.floatsPerVertex;
        }
        const Vec3 a(corner[0][0], corner[0][1], corner[0][2]);
        const Vec3 b(corner[1][0], corner[1][1], corner[1][2]);
        const Vec3 c(corner[2][0], corner[2][1], corner[2][2]);
        Vec3 normal;
        for (const float* vertex : corner) {
            normal += Vec3(vertex[3], vertex[4], vertex[5]);
        }
        const float facing = dot(cross(b - a, c - a), normal);
        if (facing > 0.0f) {
            ++counterClockwise;
        } else if (facing < 0.0f) {
            ++clockwise;
        }
    }
    return true;
}

} // namespace

MeshView meshView(const Geometry& part) {
    MeshView view;
    const VertexBuffer* vertices = part.vertexBuffers[0];
    const IndexBuffer* indices = part.indexBuffer;
    if (vertices == nullptr || indices == nullptr || part.primitive != 2) {
        return view;
    }
    view.vertices = vertices->data;
    view.floatsPerVertex = vertices->floatsPerVertex;
    view.vertexCount = vertices->vertexCount;
    view.indices = indices->data;
    view.indexCount = indices->indexCount;
    return view;
}

CityLayout measureCity(const MeshView& city, const MeshView& inside) {
    CityLayout layout;
    int counterClockwise = 0, clockwise = 0;
    float insideLength = 0.0f;
    if (!measurePart(city, layout.halfLength, layout.outerRadius, counterClockwise, clockwise) ||
        !measurePart(inside, insideLength, layout.insideRadius, counterClockwise, clockwise)) {
        return layout;
    }
    // The inside must lie within the city, and every face must tell out from in.
    if ((counterClockwise > 0 && clockwise > 0) || insideLength > layout.halfLength ||
        layout.insideRadius > layout.outerRadius || layout.insideRadius <= 0.0f) {
        return layout;
    }
    layout.outwardWinding = clockwise > 0 ? GL_CW : GL_CCW;
    layout.usable = true;
    return layout;
}

Vec3 eyeInModelFrame(const float m[16]) {
    // The model-view is A x + b with a 3 x 3 A: the eye, at the origin of eye
    // space, is -A^-1 b, solved by Cramer's rule.
    const Vec3 c0(m[0], m[1], m[2]), c1(m[4], m[5], m[6]), c2(m[8], m[9], m[10]);
    const Vec3 b(-m[12], -m[13], -m[14]);
    const float det = dot(c0, cross(c1, c2));
    if (det == 0.0f) {
        return Vec3();
    }
    return Vec3(dot(b, cross(c1, c2)) / det, dot(c0, cross(b, c2)) / det,
                dot(c0, cross(c1, b)) / det);
}

PieceView viewPiece(const CityLayout& city, const float modelview[16], const float projection[16],
                    int viewportWidth, int viewportHeight, float nearClearance) {
    PieceView view;
    // The box round the city, spinning or not, a little larger against rounding.
    const float reach = city.outerRadius * 1.01f, along = city.halfLength * 1.01f;
    if (city.usable && boxOutside(modelview, projection, Vec3(-along, -reach, -reach),
                                  Vec3(along, reach, reach))) {
        return view;
    }
    view.onScreen = true;
    if (!city.usable) {
        return view;
    }

    // The eye must stand clear of everything the city holds, farther than the
    // near plane can cut, and the model-view must not mirror.
    const Vec3 eye = eyeInModelFrame(modelview);
    const float unitsPerEyeUnit = 1.0f / length(Vec3(modelview[0], modelview[1], modelview[2]));
    const float lateral = std::sqrt(eye.y * eye.y + eye.z * eye.z);
    const Vec3 c0(modelview[0], modelview[1], modelview[2]);
    const Vec3 c1(modelview[4], modelview[5], modelview[6]);
    const Vec3 c2(modelview[8], modelview[9], modelview[10]);
    if (lateral < city.outerRadius + nearClearance * unitsPerEyeUnit ||
        dot(c0, cross(c1, c2)) <= 0.0f) {
        return view;
    }
    view.whole = false;

    // From beyond one of the drum's ends the eye may look in through it; from
    // beside the drum, through neither.
    if (std::fabs(eye.x) > city.halfLength) {
        endBox(city, eye.x > 0.0f ? 1 : -1, modelview, projection, viewportWidth, viewportHeight,
               view.endBox);
    }
    return view;
}
