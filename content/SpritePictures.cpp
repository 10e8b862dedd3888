#include "content/Canvas.h"
#include "content/ContentGroups.h"
#include "content/Noise.h"

#include <algorithm>
#include <cmath>

namespace {

// A soft puff: billowing noise inside a round falloff, lit from above (-y in
// the picture is towards the sky), fully transparent at the border.
Canvas cloud() {
    Canvas picture(256, 256, Rgba{1, 1, 1, 0});
    picture.paint([](float u, float v) {
        const float x = u * 2 - 1, y = v * 2 - 1;
        const float r = std::sqrt(x * x + y * y);
        const float billow = periodicFbm(u * 6, v * 6, 6, 5, 0.55f, 4242u);
        const float density = smoothStep(0.95f, 0.25f, r + 0.35f * billow);
        const float light = 0.78f + 0.22f * smoothStep(0.6f, -0.6f, y + 0.4f * billow);
        return Rgba{light, light, std::min(1.0f, light * 1.04f), density * 0.9f};
    });
    return picture;
}

float capsule(float px, float py, float ax, float ay, float bx, float by, float radius) {
    const float dx = bx - ax, dy = by - ay;
    const float t = std::clamp(((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy), 0.0f, 1.0f);
    const float qx = px - ax - t * dx, qy = py - ay - t * dy;
    return std::sqrt(qx * qx + qy * qy) - radius;
}

// A snow crystal: six branched arms around a bright core, in a faint glow that
// keeps it visible against a pale sky.
Canvas snowFlake() {
    const float kPi = 3.14159265f;
    Canvas picture(64, 64, Rgba{1, 1, 1, 0});
    picture.paint([&](float u, float v) {
        const float x = u * 2 - 1, y = v * 2 - 1;
        const float r = std::sqrt(x * x + y * y);
        float d = r - 0.14f;
        for (int arm = 0; arm < 6; ++arm) {
            const float a = arm * kPi / 3;
            const float cx = std::cos(a), cy = std::sin(a);
            d = std::min(d, capsule(x, y, 0, 0, 0.78f * cx, 0.78f * cy, 0.045f));
            for (float along : {0.38f, 0.58f}) {
                const float bx = along * cx, by = along * cy;
                const float length = 0.36f - 0.3f * along;
                for (float side : {-1.0f, 1.0f}) {
                    const float b = a + side * kPi / 3;
                    d = std::min(d, capsule(x, y, bx, by, bx + length * std::cos(b),
                                            by + length * std::sin(b), 0.03f));
                }
            }
        }
        const float crystal = smoothStep(0.035f, -0.005f, d);
        const float glow = 0.3f * std::exp(-r * r * 5) * smoothStep(1.0f, 0.7f, r);
        return Rgba{1, 1, 1, std::clamp(crystal + glow, 0.0f, 1.0f)};
    });
    return picture;
}

// A standing figure of light, added to the city: black is transparent.
Canvas glowingFigure() {
    const int size = 128;
    Mask body(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float px = (x + 0.5f) / size, py = (y + 0.5f) / size;
            float d = std::sqrt((px - 0.5f) * (px - 0.5f) + (py - 0.2f) * (py - 0.2f)) - 0.055f;
            d = std::min(d, capsule(px, py, 0.5f, 0.3f, 0.5f, 0.56f, 0.055f));  // torso
            d = std::min(d, capsule(px, py, 0.47f, 0.6f, 0.44f, 0.88f, 0.03f)); // legs
            d = std::min(d, capsule(px, py, 0.53f, 0.6f, 0.56f, 0.88f, 0.03f));
            d = std::min(d, capsule(px, py, 0.45f, 0.33f, 0.37f, 0.56f, 0.025f)); // arms
            d = std::min(d, capsule(px, py, 0.55f, 0.33f, 0.63f, 0.56f, 0.025f));
            body.at(x, y) = smoothStep(0.008f, -0.008f, d);
        }
    Mask glow = body;
    glow.blur(7);
    Canvas picture(size, size);
    picture.addLight(glow, Rgba{0.6f, 1.2f, 1.6f});
    picture.addLight(body, Rgba{0.8f, 0.95f, 1.0f});
    // Alpha follows the light, for back ends that blend by it.
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            Rgba& p = picture.at(x, y);
            p.a = std::clamp(std::max({p.r, p.g, p.b}), 0.0f, 1.0f);
        }
    return picture;
}

} // namespace

void writeSprites(OutputFolder& folder) {
    cloud().writePng(folder, "data/cloud.png", true);
    snowFlake().writePng(folder, "data/snow.png", true);
    glowingFigure().writePng(folder, "data/city/man.png", true);
}
