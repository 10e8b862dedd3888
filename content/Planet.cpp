#include "content/Planet.h"

#include "content/Models.h"
#include "content/Noise.h"

#include <algorithm>
#include <cmath>

namespace Planet {

float elevation(float u, float y) {
    // Noise periodic around the globe; squeezed towards the poles so the
    // continents do not stretch there.
    const float e = periodicFbm(u * 6, y * 3, 6, 6, 0.5f, 2718u);
    return (e + 0.03f) * 18.0f;
}

namespace {

float surfaceHeight(float u, float y) {
    // The sea floor lies below the water; land rises in gentle steps of relief.
    const float e = elevation(u, y);
    return e > 0 ? e * 0.9f : std::max(-2.0f, e * 0.3f);
}

float craters(float u, float y) {
    return periodicFbm(u * 8, y * 4, 8, 5, 0.6f, 99u);
}

} // namespace

MeshData surface() {
    return Models::sphere(kRadius, 160, 80, surfaceHeight);
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
        const float latitude = std::fabs(y - 0.5f) * 2;
        Rgba c;
        if (e < 0) {
            c = mix(Rgba{0.05f, 0.22f, 0.3f, 1}, Rgba{0.02f, 0.06f, 0.16f, 1},
                    std::min(1.0f, -e / 4));
        } else {
            c = mix(Rgba{0.76f, 0.7f, 0.5f, 1}, Rgba{0.22f, 0.45f, 0.15f, 1},
                    smoothStep(0, 0.6f, e));
            c = mix(c, Rgba{0.38f, 0.33f, 0.22f, 1}, smoothStep(2.5f, 5.0f, e));
            c = mix(c, Rgba{0.55f, 0.53f, 0.5f, 1}, smoothStep(5.0f, 7.0f, e));
            c = mix(c, Rgba{0.95f, 0.96f, 1.0f, 1}, smoothStep(7.5f, 9.0f, e));
            // Relief lit from the upper left, baked in: the scene draws unlit.
            const float slope = (elevation(u + du, y + dy) - elevation(u - du, y - dy)) * 8;
            c = scaled(c, std::clamp(1.0f - slope, 0.6f, 1.3f));
        }
        const float ice =
            smoothStep(0.8f, 0.86f, latitude + 0.04f * periodicNoise(u * 40, y * 20, 40, 5u));
        return mix(c, Rgba{0.92f, 0.95f, 1.0f, 1}, ice);
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
