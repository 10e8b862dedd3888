#include "content/Canvas.h"
#include "content/ContentGroups.h"
#include "content/Noise.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kPi = 3.14159265f;

// A sky seen from the sea, laid out as the sea shader reads it: u is the azimuth
// of a direction (atan2(y, x) / 2 pi + 0.5), v runs from the zenith (0) through
// the horizon (0.5) to straight down (1).
struct SkyLook {
    Rgba zenith, horizon, water, sun, haze;
    float sunAzimuth;   // radians, atan2(y, x) of the direction to the sun
    float sunElevation; // radians above the horizon
    float sunSize;      // angular falloff of the glow, larger is wider
    float cloudAmount;
    unsigned seed;
};

Canvas paintSky(const SkyLook& look, int width, int height) {
    Canvas sky(width, height);
    const float sx = std::cos(look.sunElevation) * std::cos(look.sunAzimuth);
    const float sy = std::cos(look.sunElevation) * std::sin(look.sunAzimuth);
    const float sz = std::sin(look.sunElevation);
    sky.paint([&](float u, float v) {
        const float azimuth = (u - 0.5f) * 2 * kPi;
        const float elevation = (0.5f - v) * kPi;
        const float dx = std::cos(elevation) * std::cos(azimuth);
        const float dy = std::cos(elevation) * std::sin(azimuth);
        const float dz = std::sin(elevation);
        const float toSun = std::acos(std::clamp(dx * sx + dy * sy + dz * sz, -1.0f, 1.0f));
        const float glow = std::exp(-toSun * 3.0f / look.sunSize);
        const float core = std::exp(-toSun * 30.0f / look.sunSize);

        Rgba c;
        if (elevation >= 0) {
            const float h = std::pow(1 - elevation / (kPi / 2), 3.0f);
            c = mix(look.zenith, look.horizon, h);
            // Streaky clouds low over the horizon, stretched along it, lit by the sun.
            const float band = smoothStep(0.6f, 0.02f, elevation);
            const float cloud =
                smoothStep(-0.05f, 0.5f, periodicFbm(u * 8, v * 40, 8, 5, 0.55f, look.seed)) *
                band * look.cloudAmount;
            c = mix(c, mix(look.haze, look.sun, glow * 0.8f), cloud);
        } else {
            // The far sea darkens towards the nadir; near the horizon it takes the
            // sky's haze, and under the sun a glitter path.
            const float d = std::pow(1 + elevation / (kPi / 2), 8.0f);
            c = mix(look.water, look.haze, d * 0.6f);
            const float path = std::exp(-std::fabs(azimuth - look.sunAzimuth) * 9) * d;
            c = mix(c, look.sun, path * 0.5f);
        }
        c = mix(c, look.sun, glow * 0.55f);
        c.r += core * 1.2f;
        c.g += core * 1.1f;
        c.b += core * 0.9f;
        c.a = 1;
        return c;
    });
    return sky;
}

// Tileable wave heights for the sea's normal map: long swells from a few
// directions (whole wave numbers so the tile repeats) plus fine ripples of noise.
Canvas paintWaterBump(int size) {
    Canvas bump(size, size);
    struct Swell {
        int kx, ky;
        float amplitude, phase;
    };
    const Swell swells[] = {{3, 1, 0.30f, 0.4f}, {-2, 4, 0.22f, 1.9f}, {5, -3, 0.16f, 2.7f},
                            {7, 6, 0.10f, 0.8f}, {-9, 4, 0.08f, 4.1f}, {12, -11, 0.05f, 5.3f}};
    bump.paint([&](float u, float v) {
        float h = 0;
        for (const Swell& s : swells) {
            // A sharpened sine: crests narrower than troughs, as real waves.
            const float phase = 2 * kPi * (s.kx * u + s.ky * v) + s.phase;
            h += s.amplitude * (1 - std::pow(1 - (0.5f + 0.5f * std::sin(phase)), 1.6f) * 2);
        }
        h += 0.35f * periodicFbm(u * 16, v * 16, 16, 5, 0.5f, 77u);
        const float g = std::clamp(0.5f + 0.45f * h, 0.0f, 1.0f);
        return Rgba{g, g, g, 1};
    });
    return bump;
}

} // namespace

void writeSeaAndSky(OutputFolder& folder) {
    // The opening sea: a clear late afternoon, the sun low where the flare sits.
    SkyLook day;
    day.zenith = {0.09f, 0.20f, 0.42f};
    day.horizon = {0.86f, 0.78f, 0.70f};
    day.water = {0.02f, 0.07f, 0.12f};
    day.sun = {1.0f, 0.85f, 0.62f};
    day.haze = {0.74f, 0.72f, 0.74f};
    day.sunAzimuth = std::atan2(-1.0f, -1.0f);
    day.sunElevation = 0.10f;
    day.sunSize = 1.0f;
    day.cloudAmount = 0.55f;
    day.seed = 11u;
    paintSky(day, 1024, 512).writeJpeg(folder, "data/flare/bgenv.jpg");

    // The second sea and the planet: dusk, warmer and lower.
    SkyLook dusk;
    dusk.zenith = {0.10f, 0.09f, 0.28f};
    dusk.horizon = {1.0f, 0.55f, 0.36f};
    dusk.water = {0.03f, 0.03f, 0.09f};
    dusk.sun = {1.0f, 0.62f, 0.30f};
    dusk.haze = {0.80f, 0.50f, 0.48f};
    dusk.sunAzimuth = std::atan2(-2.0f, -3.0f);
    dusk.sunElevation = 0.04f;
    dusk.sunSize = 1.4f;
    dusk.cloudAmount = 0.8f;
    dusk.seed = 23u;
    paintSky(dusk, 1024, 512).writeJpeg(folder, "data/flare/bgenv2.jpg");

    // Full quality: the normal map is made from byte differences of neighbours.
    paintWaterBump(512).writeJpeg(folder, "data/waterbump.jpg", 100);
}
