#include "effects/MetaballGrid.h"

#include "effects/MarchingCubes.h"
#include "platform/EngineError.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace {

constexpr float maxContribution = 3.0f;
// Below this distance from the axis a point has no direction to its nearest core
// point; every core point is then equally near.
constexpr float onAxis = 1e-6f;

// sin x for the wobble, written so that a row of points vectorises: x is brought
// to -pi/2 .. pi/2 by whole multiples of pi (flipping the sign for odd ones) and
// the series taken to x^11, within 3e-7 of the sine for |x| < 100.
inline float wobbleSine(float x) {
    const float halfTurns = 12582912.0f; // 1.5 x 2^23: adding it rounds to an integer
    const float k = (x * 0.318309886f + halfTurns) - halfTurns;
    // pi in two parts: the first times any k here is exact.
    const float y = (x - k * 3.140625f) - k * 9.67653589793e-4f;
    const float y2 = y * y;
    const float series =
        y * (1.0f +
             y2 * (-1.66666667e-1f +
                   y2 * (8.33333333e-3f +
                         y2 * (-1.98412698e-4f + y2 * (2.75573192e-6f + y2 * -2.50521084e-8f)))));
    return (static_cast<int>(k) & 1) != 0 ? -series : series;
}

// 0 .. 3; a contribution that is not a number counts 0.
inline float clampContribution(float f) {
    return std::min(std::max(0.0f, f), maxContribution);
}

struct TorusShape {
    float cx, cy, cz;
    float ax, ay, az;
    float radius;
    float thicknessSquared;
};

// The contributions of one row of points, x = x0 .. x0 + count - 1 at (y, z). The
// nearest core point of p lies at c + R u with u = r / |r|, r the part of p - c
// across the axis and h the part along it, so |p - q|^2 = h^2 + (|r| - R)^2:
// no division but the one of the contribution, and a point on the axis simply
// lies sqrt(h^2 + R^2) from the whole ring.
__attribute__((target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default"))) void
ringRow(float* __restrict out, int count, int x0, float dy, float dz, TorusShape s) {
    const float ax = s.ax, ay = s.ay, az = s.az, radius = s.radius, b2 = s.thicknessSquared;
    const float along = ay * dy + az * dz;
    for (int i = 0; i < count; ++i) {
        const float dx = static_cast<float>(x0 + i) - s.cx;
        const float h = ax * dx + along;
        const float rx = dx - h * ax, ry = dy - h * ay, rz = dz - h * az;
        const float across = std::sqrt(rx * rx + ry * ry + rz * rz) - radius;
        // On the ring itself the distance is 0 and the contribution infinite: 3.
        out[i] = clampContribution(b2 / (h * h + across * across));
    }
}

// The same with the ring's wobble: the core point moves out along x and y by
// half the sine of 0.3 times the other coordinate of r, so the distance is taken
// the long way.
__attribute__((target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default"))) void
wobblyRingRow(float* __restrict out, int count, int x0, float dy, float dz, TorusShape s) {
    const float ax = s.ax, ay = s.ay, az = s.az, radius = s.radius, b2 = s.thicknessSquared;
    const float along = ay * dy + az * dz;
    for (int i = 0; i < count; ++i) {
        const float dx = static_cast<float>(x0 + i) - s.cx;
        const float h = ax * dx + along;
        const float rx = dx - h * ax, ry = dy - h * ay, rz = dz - h * az;
        const float length = std::sqrt(rx * rx + ry * ry + rz * rz);
        const bool axial = length < onAxis;
        const float scale = radius / (axial ? 1.0f : length);
        const float qx = (0.5f * wobbleSine(0.3f * ry) + 1.0f) * scale * rx;
        const float qy = (0.5f * wobbleSine(0.3f * rx) + 1.0f) * scale * ry;
        const float qz = scale * rz;
        const float ex = dx - qx, ey = dy - qy, ez = dz - qz;
        const float distance2 = axial ? h * h + radius * radius : ex * ex + ey * ey + ez * ez;
        out[i] = clampContribution(b2 / distance2);
    }
}

TorusShape shapeOf(const Vec3& centre, Vec3 axis, float majorRadius, float thickness) {
    axis = normalize(axis);
    return {centre.x, centre.y, centre.z,    axis.x,
            axis.y,   axis.z,   majorRadius, thickness * thickness};
}

// Each edge of a cell as its lower corner, its upper corner and the axis that
// joins them. A grid edge is shared by up to four cells, which name it with
// opposite directions; interpolating every edge upwards gives all of them the
// very same vertex, so no crack opens between neighbouring cells.
struct UpwardEdge {
    int8_t low, high, axis;
};
constexpr UpwardEdge upwardEdges[12] = {{0, 1, 0}, {1, 2, 2}, {3, 2, 0}, {0, 3, 2},
                                        {4, 5, 0}, {5, 6, 2}, {7, 6, 0}, {4, 7, 2},
                                        {0, 4, 1}, {1, 5, 1}, {2, 6, 1}, {3, 7, 1}};
constexpr float cornerSteps[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1},
                                     {0, 1, 0}, {1, 1, 0}, {1, 1, 1}, {0, 1, 1}};

// Where the field crosses the iso level between the corners a and b, one unit
// apart along axis from a's position. The weight of a crossing edge lies in
// 0 .. 1; a value that is not a number (or an edge with equal values) would make
// it none, so it is kept on the edge, and a normal component that is not a
// number becomes 0.
inline void edgeVertex(const GridPoint& a, const GridPoint& b, const float* at, int axis,
                       MeshVertex& v) {
    float mu = (MetaballGrid::isoLevel - a.w) / (b.w - a.w);
    mu = mu >= 0.0f ? (mu <= 1.0f ? mu : 1.0f) : 0.0f;
    v.position[0] = at[0];
    v.position[1] = at[1];
    v.position[2] = at[2];
    v.position[axis] += mu;
    const float nx = a.nx + mu * (b.nx - a.nx);
    const float ny = a.ny + mu * (b.ny - a.ny);
    const float nz = a.nz + mu * (b.nz - a.nz);
    v.normal[0] = nx == nx ? nx : 0.0f;
    v.normal[1] = ny == ny ? ny : 0.0f;
    v.normal[2] = nz == nz ? nz : 0.0f;
}

} // namespace

MetaballGrid::MetaballGrid(int size_) : size(size_) {
    // A row of cases is polygonised from a fixed scratch of 256.
    if (size < 2 || size > maxSize) {
        throw EngineError("a metaball grid of " + std::to_string(size) + " points a side (2 to " +
                          std::to_string(maxSize) + ")");
    }
    points.assign(static_cast<size_t>(size) * size * size, GridPoint{0.0f, 0.0f, 0.0f, 0.0f});
    below.assign(points.size(), 0);
    resetNormals();
    const int n = size - 1;
    cellCorners.resize(static_cast<size_t>(cellCount()) * 8);
    uint32_t* link = cellCorners.data();
    for (int k = 0; k < n; ++k) {
        for (int j = 0; j < n; ++j) {
            for (int i = 0; i < n; ++i) {
                for (const int8_t* step : marchingCornerSteps) {
                    *link++ = static_cast<uint32_t>(((k + step[2]) * size + j + step[1]) * size +
                                                    i + step[0]);
                }
            }
        }
    }
}

void MetaballGrid::resetNormals() {
    // The outer planes are never written, so where a torus reaches out of the
    // grid its surface is closed off between them and the next plane in. Their
    // normals (never computed) face out of the grid, so that the closing faces
    // shade as the flat faces they are.
    const int last = size - 1;
    for (int z = 0; z < size; ++z) {
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                GridPoint& p = point(x, y, z);
                p.nx = x == 0 ? -1.0f : (x == last ? 1.0f : 0.0f);
                p.ny = y == 0 ? -1.0f : (y == last ? 1.0f : 0.0f);
                p.nz = z == 0 ? -1.0f : (z == last ? 1.0f : 0.0f);
            }
        }
    }
}

void MetaballGrid::resetValues() {
    for (GridPoint& p : points) {
        p.w = 0.0f;
    }
}

void torusBoxRange(float centre, float majorRadius, float thickness, int size, int* lo, int* hi) {
    const float reach = majorRadius + thickness + 5.0f;
    // Rounded half to even and clamped so that neither outer plane is ever
    // written: the last lies beyond the range's end, the first below its clamp.
    // A torus that reaches out of the grid (the wobbling rings do) is then closed
    // off at the grid's faces instead of left open there. A centre that is not a
    // number gives an empty box.
    const float last = static_cast<float>(size - 1);
    auto clamped = [last](float v) {
        return static_cast<int>(v > 1.0f ? std::min(v, last) : 1.0f);
    };
    *lo = clamped(std::nearbyint(centre - reach));
    *hi = clamped(std::nearbyint(centre + reach));
}

void MetaballGrid::addTorus(Vec3 centre, Vec3 axis, float majorRadius, float thickness,
                            bool wobble) {
    const TorusShape shape = shapeOf(centre, axis, majorRadius, thickness);
    int lo[3], hi[3];
    torusBoxRange(centre.x, majorRadius, thickness, size, &lo[0], &hi[0]);
    torusBoxRange(centre.y, majorRadius, thickness, size, &lo[1], &hi[1]);
    torusBoxRange(centre.z, majorRadius, thickness, size, &lo[2], &hi[2]);
    const int count = hi[0] - lo[0];
    if (count <= 0) {
        return;
    }
    float row[256];
    for (int z = lo[2]; z < hi[2]; ++z) {
        for (int y = lo[1]; y < hi[1]; ++y) {
            const float dy = static_cast<float>(y) - centre.y;
            const float dz = static_cast<float>(z) - centre.z;
            // Rows of up to 256 points at a time: the grid is far smaller.
            for (int x = lo[0]; x < hi[0]; x += 256) {
                const int n = std::min(256, hi[0] - x);
                if (wobble) {
                    wobblyRingRow(row, n, x, dy, dz, shape);
                } else {
                    ringRow(row, n, x, dy, dz, shape);
                }
                GridPoint* p = &point(x, y, z);
                for (int i = 0; i < n; ++i) {
                    p[i].w += row[i];
                }
            }
        }
    }
}

void addTorusPlainly(MetaballGrid& grid, Vec3 centre, Vec3 axis, float majorRadius, float thickness,
                     bool wobble) {
    axis = normalize(axis);
    int lo[3], hi[3];
    torusBoxRange(centre.x, majorRadius, thickness, grid.size, &lo[0], &hi[0]);
    torusBoxRange(centre.y, majorRadius, thickness, grid.size, &lo[1], &hi[1]);
    torusBoxRange(centre.z, majorRadius, thickness, grid.size, &lo[2], &hi[2]);
    for (int z = lo[2]; z < hi[2]; ++z) {
        for (int y = lo[1]; y < hi[1]; ++y) {
            for (int x = lo[0]; x < hi[0]; ++x) {
                const Vec3 p(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
                const Vec3 d = p - centre;
                const float h = dot(axis, d);
                const Vec3 r = d - axis * h;
                float distance2;
                if (length(r) < onAxis) {
                    distance2 = h * h + majorRadius * majorRadius;
                } else {
                    const Vec3 u = r * (1.0f / length(r));
                    Vec3 q = centre + u * majorRadius;
                    if (wobble) {
                        q.x = centre.x + (0.5f * std::sin(0.3f * r.y) + 1.0f) * majorRadius * u.x;
                        q.y = centre.y + (0.5f * std::sin(0.3f * r.x) + 1.0f) * majorRadius * u.y;
                    }
                    distance2 = dot(p - q, p - q);
                }
                const float f = thickness * thickness / distance2;
                grid.point(x, y, z).w += std::clamp(f, 0.0f, maxContribution);
            }
        }
    }
}

void MetaballGrid::computeNormals() {
    const int plane = size * size;
    for (int z = 1; z < size - 1; ++z) {
        for (int y = 1; y < size - 1; ++y) {
            GridPoint* p = &point(0, y, z);
            for (int x = 1; x < size - 1; ++x) {
                const float w = p[x].w;
                // Only the band around the surface is ever interpolated.
                const bool near = w >= 0.15f && w <= 2.0f;
                const float nx = w - p[x + 1].w;
                const float ny = w - p[x + size].w;
                const float nz = w - p[x + plane].w;
                p[x].nx = near ? nx : p[x].nx;
                p[x].ny = near ? ny : p[x].ny;
                p[x].nz = near ? nz : p[x].nz;
            }
        }
    }
}

int MetaballGrid::caseIndex(int i, int j, int k) const {
    const int n = size - 1;
    const uint32_t* link = &cellCorners[static_cast<size_t>((k * n + j) * n + i) * 8];
    int index = 0;
    for (int c = 0; c < 8; ++c) {
        index |= (points[link[c]].w < isoLevel ? 1 : 0) << c;
    }
    return index;
}

namespace {

// Bit n of each cell's case for a row of cells: the corners of cell i + m lie m
// points on from those of cell i, so the row is a sum of shifted byte rows.
__attribute__((target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default"))) void
casesOfRow(const uint8_t* __restrict below, const uint32_t* firstCell, int count,
           uint8_t* __restrict cases) {
    const uint8_t *c0 = below + firstCell[0], *c1 = below + firstCell[1],
                  *c2 = below + firstCell[2], *c3 = below + firstCell[3];
    const uint8_t *c4 = below + firstCell[4], *c5 = below + firstCell[5],
                  *c6 = below + firstCell[6], *c7 = below + firstCell[7];
    for (int i = 0; i < count; ++i) {
        cases[i] = static_cast<uint8_t>(c0[i] | c1[i] << 1 | c2[i] << 2 | c3[i] << 3 | c4[i] << 4 |
                                        c5[i] << 5 | c6[i] << 6 | c7[i] << 7);
    }
}

} // namespace

int MetaballGrid::polygonise(MeshVertex* out) {
    const int n = size - 1;
    const GridPoint* base = points.data();
    // Which points lie below the iso level, one byte each, so that whole rows of
    // cases come out at once; most cells lie wholly inside or outside.
    const size_t pointCount = points.size();
    for (size_t p = 0; p < pointCount; ++p) {
        below[p] = base[p].w < isoLevel ? 1 : 0;
    }
    MeshVertex* emitted = out;
    MeshVertex crossing[12];
    uint8_t cases[maxSize];
    const uint32_t* rowLinks = cellCorners.data();
    for (int k = 0; k < n; ++k) {
        for (int j = 0; j < n; ++j, rowLinks += 8 * n) {
            casesOfRow(below.data(), rowLinks, n, cases);
            for (int i = 0; i < n; ++i) {
                const int index = cases[i];
                unsigned edges = marchingEdgeTable[index];
                if (edges == 0) {
                    continue;
                }
                const uint32_t* link = rowLinks + 8 * i;
                cellPosition =
                    Vec3(static_cast<float>(i), static_cast<float>(j), static_cast<float>(k));
                while (edges != 0) {
                    const int e = __builtin_ctz(edges);
                    edges &= edges - 1;
                    const UpwardEdge& edge = upwardEdges[e];
                    const float at[3] = {cellPosition.x + cornerSteps[edge.low][0],
                                         cellPosition.y + cornerSteps[edge.low][1],
                                         cellPosition.z + cornerSteps[edge.low][2]};
                    edgeVertex(base[link[edge.low]], base[link[edge.high]], at, edge.axis,
                               crossing[e]);
                }
                // The table winds its triangles towards the high values; turned
                // round they face out of the field, towards the viewer outside.
                const int8_t* row = marchingTriangleTable[index];
                for (int t = 0; row[t] >= 0; t += 3) {
                    emitted[0] = crossing[row[t]];
                    emitted[1] = crossing[row[t + 2]];
                    emitted[2] = crossing[row[t + 1]];
                    emitted += 3;
                }
            }
        }
    }
    return static_cast<int>(emitted - out) / 3;
}
