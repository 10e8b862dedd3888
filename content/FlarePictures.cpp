#include "content/Canvas.h"
#include "content/ContentGroups.h"
#include "content/ContentRandom.h"
#include "content/Noise.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr float kPi = 3.14159265f;
constexpr int kSize = 256;

// The sprites are added to the screen, so black is transparent: everything fades
// to exact black well inside the square's edge.
float edgeFade(float r) {
    return smoothStep(1.0f, 0.85f, r);
}

// Paints shade(r, angle) with r = 1 at the middle of each edge.
template <typename Shade> Canvas radial(Shade shade) {
    Canvas c(kSize, kSize);
    c.paint([&](float u, float v) {
        const float x = u * 2 - 1, y = v * 2 - 1;
        const float r = std::sqrt(x * x + y * y);
        Rgba p = shade(r, std::atan2(y, x));
        const float fade = edgeFade(r);
        return Rgba{p.r * fade, p.g * fade, p.b * fade, 1};
    });
    return c;
}

float gaussian(float x, float width) {
    return std::exp(-(x * x) / (width * width));
}

// A bright point with thin rays of random lengths: the core of the sun.
Canvas glints() {
    struct Ray {
        float angle, length, width, warmth;
    };
    std::vector<Ray> rays;
    ContentRandom random(5);
    for (int i = 0; i < 36; ++i)
        rays.push_back({random.range(0, 2 * kPi), random.range(0.25f, 0.95f),
                        random.range(0.6f, 2.2f), random.unit()});
    return radial([&](float r, float angle) {
        float light = std::exp(-r * 14) * 1.4f + std::exp(-r * 4) * 0.25f;
        float warm = 0;
        for (const Ray& ray : rays) {
            const float d = angle - ray.angle;
            if (std::cos(d) <= 0)
                continue;
            const float across = std::fabs(std::sin(d)) * r * kSize / 2;
            const float along = std::max(0.0f, 1 - r / ray.length);
            const float v = gaussian(across, ray.width) * along * along;
            light += v;
            warm += v * ray.warmth;
        }
        return Rgba{light, light * (1 - 0.15f * warm / (light + 1e-3f)),
                    light * (1 - 0.35f * warm / (light + 1e-3f))};
    });
}

// A thin ring, red outside and blue inside as a lens disperses it.
Canvas ring() {
    return radial([](float r, float) {
        const float fill = 0.06f * smoothStep(0.75f, 0.3f, r);
        return Rgba{gaussian(r - 0.72f, 0.05f) + fill, gaussian(r - 0.70f, 0.05f) + fill,
                    gaussian(r - 0.68f, 0.05f) + fill};
    });
}

// A soft disc, a little brighter at its rim.
Canvas disc() {
    return radial([](float r, float) {
        const float v = smoothStep(0.8f, 0.7f, r) * (0.55f + 0.45f * smoothStep(0.3f, 0.75f, r));
        return Rgba{v, v, v};
    });
}

// The shape of a six-bladed aperture: a hexagon, faint inside, lit along its edge.
Canvas iris() {
    return radial([](float r, float angle) {
        const float sector = 2 * kPi / 6;
        const float a = std::fmod(angle + 2 * kPi + sector / 2, sector) - sector / 2;
        const float d = r * std::cos(a) / std::cos(sector / 2); // 1 on the hexagon's corners
        const float inside = smoothStep(0.74f, 0.70f, d);
        const float v = inside * 0.45f + gaussian(d - 0.70f, 0.025f) * 0.6f;
        return Rgba{v, v * 0.97f, v * 0.92f};
    });
}

// A ring of spectral colours, the halo far from the sun.
Canvas rainbow() {
    return radial([](float r, float) {
        const float t = (r - 0.45f) / 0.35f; // 0 inner (violet) to 1 outer (red)
        const float band = smoothStep(-0.1f, 0.15f, t) * smoothStep(1.1f, 0.85f, t);
        auto lobe = [&](float centre) { return std::max(0.0f, 1 - std::fabs(t - centre) * 1.7f); };
        const float k = 0.75f * band;
        return Rgba{k * lobe(0.85f), k * lobe(0.5f), k * (lobe(0.15f) + 0.3f * lobe(-0.1f))};
    });
}

// The soft light around the sun.
Canvas sunGlow() {
    return radial([](float r, float) {
        const float v = std::exp(-r * 5.0f) * 0.9f + std::exp(-r * r * 3.0f) * 0.25f;
        return Rgba{v, v * 0.88f, v * 0.7f};
    });
}

} // namespace

void writeLensFlare(OutputFolder& folder) {
    glints().writeJpeg(folder, "data/flare/flare0.jpg", 95);
    ring().writeJpeg(folder, "data/flare/flare1.jpg", 95);
    disc().writeJpeg(folder, "data/flare/flare2.jpg", 95);
    iris().writeJpeg(folder, "data/flare/flare3.jpg", 95);
    rainbow().writeJpeg(folder, "data/flare/flare4.jpg", 95);
    sunGlow().writeJpeg(folder, "data/flare/bg.jpg", 95);
}
