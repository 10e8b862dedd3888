#include "content/Noise.h"

#include <algorithm>
#include <cmath>

namespace {

float latticeValue(int x, int y, std::uint32_t seed) {
    std::uint32_t h = static_cast<std::uint32_t>(x) * 0x8da6b343u ^
                      static_cast<std::uint32_t>(y) * 0xd8163841u ^ seed * 0xcb1ab31fu;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return static_cast<float>(h & 0xffffffu) / 8388607.5f - 1.0f;
}

int wrap(int i, int period) {
    const int m = i % period;
    return m < 0 ? m + period : m;
}

} // namespace

float smoothStep(float edge0, float edge1, float x) {
    const float t = std::clamp((x - edge0) / (edge1 - edge0), 0.0f, 1.0f);
    return t * t * (3 - 2 * t);
}

float periodicNoise(float x, float y, int period, std::uint32_t seed) {
    const float fx = std::floor(x), fy = std::floor(y);
    const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    float tx = x - fx, ty = y - fy;
    // Quintic fade keeps the derivative continuous, which a bump map needs.
    tx = tx * tx * tx * (tx * (tx * 6 - 15) + 10);
    ty = ty * ty * ty * (ty * (ty * 6 - 15) + 10);
    const int x0 = wrap(ix, period), x1 = wrap(ix + 1, period);
    const int y0 = wrap(iy, period), y1 = wrap(iy + 1, period);
    const float a = latticeValue(x0, y0, seed), b = latticeValue(x1, y0, seed);
    const float c = latticeValue(x0, y1, seed), d = latticeValue(x1, y1, seed);
    const float top = a + (b - a) * tx, bottom = c + (d - c) * tx;
    return top + (bottom - top) * ty;
}

float periodicFbm(float x, float y, int period, int octaves, float gain, std::uint32_t seed) {
    float sum = 0, amplitude = 1, total = 0;
    for (int o = 0; o < octaves; ++o) {
        sum += amplitude * periodicNoise(x, y, period, seed + 101u * o);
        total += amplitude;
        amplitude *= gain;
        x *= 2;
        y *= 2;
        period *= 2;
    }
    return sum / total;
}
