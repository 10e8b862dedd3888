#include "content/Planet.h"

#include "content/Models.h"
#include "content/Noise.h"

#include <algorithm>
#include <cmath>

namespace Planet {

namespace {

// The water sphere's height over the sea floor's radius: the coast.
constexpr float kShoreHeight = kWaterRadius - kRadius;

// 0 at the equator, 1 at the poles.
float latitude(float y) {
    return std::fabs(y - 0.5f) * 2;
}

// Broad continents, their coasts frayed by finer noise; above 0 is land.
float landform(float u, float y) {
    // Turned so that the camera finds land facing it when the snow falls.
    u += 0.4f;
    const float continents = periodicFbm(u * 4, y * 2, 4, 5, 0.5f, 1234u);
    const float coasts = periodicFbm(u * 24, y * 12, 24, 3, 0.5f, 77u);
    return continents + 0.08f * coasts - 0.04f;
}

// Mountain ranges: creases of noise, sharp along their crests.
float ridges(float u, float y) {
    const float crease = 1 - std::fabs(periodicFbm(u * 8, y * 4, 8, 4, 0.5f, 5u));
    return crease * crease * crease;
}

// Where the ice caps lie, with ragged edges.
float ice(float u, float y) {
    return smoothStep(0.8f, 0.86f,
                      latitude(y) + 0.05f * periodicFbm(u * 32, y * 16, 32, 3, 0.5f, 9u));
}

// Dry land near the equator turns to desert.
float dryness(float u, float y) {
    const float band = 1 - smoothStep(0.15f, 0.45f, latitude(y));
    return band * smoothStep(-0.05f, 0.15f, periodicFbm(u * 6, y * 3, 6, 4, 0.5f, 31u));
}

float surfaceHeight(float u, float y) {
    const float e = elevation(u, y);
    // Land rises from the coast in gentle relief; the sea floor stays just under
    // the water, and the ice caps stand out of it.
    const float ground = kShoreHeight + (e > 0 ? e * 0.55f : std::max(-4.0f, e) * 0.5f);
    return std::max(ground, kShoreHeight + 1.0f * ice(u, y) - 0.3f);
}

float craters(float u, float y) {
    return periodicFbm(u * 8, y * 4, 8, 5, 0.6f, 99u);
}

Rgba landColour(float u, float y, float e) {
    const Rgba sand{0.93f, 0.85f, 0.62f, 1};
    const Rgba meadow{0.52f, 0.76f, 0.28f, 1};
    const Rgba forest{0.16f, 0.45f, 0.17f, 1};
    const Rgba desert{0.90f, 0.68f, 0.40f, 1};
    const Rgba tundra{0.58f, 0.62f, 0.47f, 1};
    const Rgba highland{0.58f, 0.50f, 0.34f, 1};
    const Rgba rock{0.55f, 0.52f, 0.50f, 1};
    const Rgba snow{0.97f, 0.98f, 1.0f, 1};

    // Woods in patches with crisp edges, and clearings too small for the broad noise.
    const float grain = periodicFbm(u * 96, y * 48, 96, 3, 0.5f, 41u);
    const float woods =
        smoothStep(0.0f, 0.06f, periodicFbm(u * 20, y * 10, 20, 4, 0.5f, 17u) + 0.25f * grain);
    Rgba c = mix(meadow, forest, woods * smoothStep(0.3f, 0.8f, e));
    c = mix(c, desert, smoothStep(0.75f, 0.85f, dryness(u, y)));
    c = mix(c, tundra, smoothStep(0.6f, 0.66f, latitude(y) + 0.05f * grain));
    c = mix(sand, c, smoothStep(0.04f, 0.1f, e));
    c = mix(c, highland, smoothStep(3.6f, 4.2f, e + grain));
    c = mix(c, rock, smoothStep(5.0f, 5.6f, e + grain));
    c = mix(c, snow, smoothStep(6.8f, 7.2f, e + grain - 3 * latitude(y)));
    return scaled(c, 1.0f + 0.1f * grain);
}

} // namespace

float elevation(float u, float y) {
    const float land = landform(u, y);
    if (land <= 0)
        return land * 20;
    // Ranges rise only some way inland from the coast.
    const float hills = periodicFbm(u * 64, y * 32, 64, 3, 0.5f, 13u);
    return land * 10 + ridges(u, y) * smoothStep(0.05f, 0.3f, land) * 4.5f +
           hills * smoothStep(0.0f, 0.1f, land) * 0.8f;
}

MeshData surface() {
    return Models::sphere(kRadius, 192, 96, surfaceHeight);
}

MeshData water() {
    return Models::sphere(kWaterRadius, 96, 48, nullptr);
}

MeshData moon() {
    MeshData ball =
        Models::sphere(12.0f, 48, 24, [](float u, float y) { return craters(u, y) * 0.8f; });
    ball.translate({150, -70, -60});
    return ball;
}

Canvas surfacePicture() {
    Canvas picture(1024, 512);
    const float du = 1.0f / 1024, dy = 1.0f / 512;
    picture.paint([&](float u, float y) {
        const float e = elevation(u, y);
        Rgba c;
        if (e < 0) {
            c = mix(Rgba{0.10f, 0.40f, 0.48f, 1}, Rgba{0.03f, 0.12f, 0.26f, 1},
                    std::min(1.0f, -e / 3));
        } else {
            c = landColour(u, y, e);
            // Relief lit from the upper left, baked in: the scene draws unlit.
            const float across = elevation(u + du, y) - elevation(u - du, y);
            const float down = elevation(u, y + dy) - elevation(u, y - dy);
            c = scaled(c, std::clamp(1.0f - 2.5f * (across + down), 0.7f, 1.25f));
        }
        return mix(c, Rgba{0.93f, 0.96f, 1.0f, 1}, ice(u, y));
    });
    return picture;
}

Canvas moonPicture() {
    Canvas picture(256, 128);
    picture.paint([](float u, float y) {
        const float g =
            0.55f + 0.25f * craters(u, y) + 0.06f * periodicNoise(u * 64, y * 32, 64, 7u);
        return Rgba{g, g * 0.98f, g * 0.95f, 1};
    });
    return picture;
}

} // namespace Planet
