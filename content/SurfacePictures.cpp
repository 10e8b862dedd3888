#include "content/Canvas.h"
#include "content/ContentGroups.h"
#include "content/ContentRandom.h"
#include "content/Noise.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kPi = 3.14159265f;

// A leaf blade along v (stem at v = 1, tip at v = 0): a midrib, side veins
// sweeping to the tip, a darker margin.
Canvas leaf() {
    Canvas picture(256, 256);
    picture.paint([](float u, float v) {
        const float x = u * 2 - 1;
        const float rib = std::exp(-x * x / 0.0012f);
        const float sweep = v + std::fabs(x) * 0.6f;
        const float veins = std::pow(std::fabs(std::sin(sweep * kPi * 9)), 30.0f) *
                            smoothStep(0.95f, 0.1f, std::fabs(x));
        const float mottle = periodicFbm(u * 8, v * 8, 8, 4, 0.5f, 61u);
        Rgba c =
            mix(Rgba{0.13f, 0.36f, 0.08f, 1}, Rgba{0.32f, 0.58f, 0.16f, 1}, 0.5f + 0.35f * mottle);
        c = mix(c, Rgba{0.06f, 0.2f, 0.05f, 1}, smoothStep(0.6f, 1.0f, std::fabs(x)));
        c = mix(c, Rgba{0.62f, 0.78f, 0.35f, 1}, std::max(rib, veins * 0.6f));
        return c;
    });
    return picture;
}

// A flower seen from above: eight rounded petals, warm pink fading to white at
// the tips, a golden centre. The alpha is cut hard: the heads are alpha-tested.
Canvas flowerHead() {
    Canvas picture(256, 256, Rgba{0, 0, 0, 0});
    picture.paint([](float u, float v) {
        const float x = u * 2 - 1, y = v * 2 - 1;
        const float r = std::sqrt(x * x + y * y);
        const float angle = std::atan2(y, x);
        const float petal = 0.55f + 0.4f * std::pow(std::fabs(std::cos(angle * 4)), 0.7f);
        if (r > petal && r > 0.22f)
            return Rgba{0.5f, 0.1f, 0.3f, 0};
        const float along = r / petal;
        Rgba c = mix(Rgba{0.75f, 0.12f, 0.42f, 1}, Rgba{1.0f, 0.85f, 0.92f, 1},
                     smoothStep(0.3f, 1.0f, along));
        // A crease down the middle of each petal.
        c = scaled(c, 0.85f + 0.15f * std::pow(std::fabs(std::cos(angle * 4)), 4.0f));
        const float centre = smoothStep(0.24f, 0.18f, r);
        const float seeds = 0.8f + 0.2f * periodicNoise(u * 48, v * 48, 48, 5u);
        c = mix(c, Rgba{1.0f * seeds, 0.72f * seeds, 0.12f, 1}, centre);
        c.a = 1;
        return c;
    });
    return picture;
}

// Facades at night for the cylinder city: storeys of windows, some lit.
Canvas cityFacades() {
    Canvas picture(512, 512);
    ContentRandom random(808);
    const int columns = 32, rows = 32;
    std::vector<float> lit(columns * rows);
    for (float& l : lit)
        l = random.unit() < 0.35f ? random.range(0.5f, 1.0f) : 0.0f;
    // A few windows burn a cold white among the warm ones.
    ContentRandom coldRandom(809);
    std::vector<bool> cold(columns * rows);
    for (size_t i = 0; i < cold.size(); ++i)
        cold[i] = coldRandom.unit() < 0.18f;
    picture.paint([&](float u, float v) {
        const int cx = std::min(static_cast<int>(u * columns), columns - 1);
        const int cy = std::min(static_cast<int>(v * rows), rows - 1);
        const float fx = u * columns - cx, fy = v * rows - cy;
        const bool window = fx > 0.2f && fx < 0.8f && fy > 0.25f && fy < 0.75f;
        const float wall = 0.16f + 0.05f * periodicNoise(u * 32, v * 32, 32, 9u);
        Rgba c{wall * 0.9f, wall * 0.95f, wall * 1.1f, 1};
        if (window) {
            const float l = lit[cy * columns + cx];
            const bool coldLight = cold[cy * columns + cx];
            c = l <= 0      ? Rgba{0.05f, 0.07f, 0.12f, 1}
                : coldLight ? Rgba{0.62f * l, 0.8f * l, 1.0f * l, 1}
                            : Rgba{1.0f * l, 0.82f * l, 0.5f * l, 1};
        }
        // A ledge at every fourth storey.
        if (cy % 4 == 0 && fy < 0.12f)
            c = Rgba{0.3f, 0.3f, 0.33f, 1};
        return c;
    });
    return picture;
}

// Independent fine noise in each channel: the metal's grain perturbs the
// surface normal around its mean of one half.
Canvas grain() {
    Canvas picture(256, 256);
    picture.paint([](float u, float v) {
        return Rgba{0.5f + 0.45f * periodicFbm(u * 32, v * 32, 32, 3, 0.5f, 1u),
                    0.5f + 0.45f * periodicFbm(u * 32, v * 32, 32, 3, 0.5f, 2u),
                    0.5f + 0.45f * periodicFbm(u * 32, v * 32, 32, 3, 0.5f, 3u), 1};
    });
    return picture;
}

// Brushed steel with a cool tint.
Canvas brushedMetal() {
    Canvas picture(256, 256);
    picture.paint([](float u, float v) {
        const float streak = periodicFbm(u * 2, v * 128, 2, 4, 0.6f, 17u);
        const float broad = periodicNoise(u * 4, v * 4, 4, 18u);
        const float g = 0.72f + 0.12f * streak + 0.08f * broad;
        return Rgba{g * 0.95f, g * 0.98f, g * 1.05f, 1};
    });
    return picture;
}

} // namespace

void writeFlowerPictures(OutputFolder& folder) {
    leaf().writeJpeg(folder, "data/leaf.jpg");
    flowerHead().writePng(folder, "data/flowerhead.png", true);
}

void writeMetaballPictures(OutputFolder& folder) {
    cityFacades().writeJpeg(folder, "data/cylcity.jpg");
    grain().writeJpeg(folder, "data/bumpmap.jpg", 95);
    brushedMetal().writeJpeg(folder, "data/metal.jpg");
}
