#include "content/Canvas.h"
#include "content/ContentGroups.h"
#include "content/Noise.h"
#include "content/TextRaster.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace {

constexpr float kPi = 3.14159265f;

// A letter of light: a white core in an ice-blue glow, on black (added).
Canvas glowingLetter(TextRaster& raster, char letter) {
    const int size = 256;
    Mask shape(size, size);
    // Cap height is about 0.73 em: centre the capital on the picture.
    raster.drawCentred(shape, std::string(1, letter), size / 2.0f, size / 2.0f + 0.365f * 150);
    Mask nearGlow = shape, farGlow = shape;
    nearGlow.blur(5);
    farGlow.blur(18);
    Canvas picture(size, size);
    picture.addLight(farGlow, Rgba{0.25f, 0.55f, 1.6f});
    picture.addLight(nearGlow, Rgba{0.5f, 0.8f, 1.3f});
    picture.addLight(shape, Rgba{0.9f, 0.95f, 1.0f});
    return picture;
}

// The disc behind every letter: alpha-tested at one half, so its alpha is either
// well above or well below that; a dark glass face with a lit rim.
Canvas halo() {
    Canvas picture(256, 256, Rgba{0, 0, 0, 0});
    picture.paint([](float u, float v) {
        const float x = u * 2 - 1, y = v * 2 - 1;
        const float r = std::sqrt(x * x + y * y);
        if (r > 0.92f)
            return Rgba{0, 0, 0, 0};
        const float rim = std::exp(-std::pow((r - 0.86f) / 0.04f, 2.0f));
        const float swirl = 0.5f + 0.5f * std::sin(std::atan2(y, x) * 3 + r * 9);
        Rgba face = mix(Rgba{0.02f, 0.04f, 0.12f, 1}, Rgba{0.10f, 0.16f, 0.38f, 1}, r * r);
        face = mix(face, Rgba{0.18f, 0.22f, 0.5f, 1}, swirl * 0.15f * r);
        face = mix(face, Rgba{0.75f, 0.88f, 1.0f, 1}, rim);
        face.a = 0.85f;
        return face;
    });
    return picture;
}

// Machined bands and panel seams around the rings.
Canvas ringSurface() {
    Canvas picture(256, 256);
    picture.paint([](float u, float v) {
        const float band = 0.5f + 0.5f * std::cos(v * 2 * kPi * 3);
        const float seam =
            smoothStep(0.015f, 0.0f, std::fabs(std::fmod(u * 8, 1.0f) - 0.5f) - 0.47f);
        const float grain = periodicFbm(u * 64, v * 4, 64, 3, 0.5f, 31u);
        float base = 0.45f + 0.3f * band + 0.06f * grain - 0.35f * seam;
        const float lights = smoothStep(0.96f, 0.99f, std::cos(u * 2 * kPi * 16)) *
                             smoothStep(0.8f, 1.0f, std::cos((v - 0.5f) * 2 * kPi));
        return Rgba{base * 0.85f + lights * 0.4f, base * 0.9f + lights * 0.7f, base + lights * 1.0f,
                    1};
    });
    return picture;
}

// A small sky for the rings' reflections.
Canvas ringEnvironment() {
    Canvas picture(256, 128);
    picture.paint([](float, float v) {
        const float h = std::pow(std::fabs(v - 0.5f) * 2, 0.6f);
        return mix(Rgba{0.85f, 0.8f, 0.9f, 1}, Rgba{0.05f, 0.08f, 0.2f, 1}, h);
    });
    return picture;
}

// Black patches on white, as on a certain animal's hide.
Canvas hide() {
    Canvas picture(256, 256);
    picture.paint([](float u, float v) {
        const float n = periodicFbm(u * 4, v * 4, 4, 4, 0.45f, 909u);
        const float patch = smoothStep(0.12f, 0.16f, n);
        const float shade = 0.92f + 0.05f * periodicNoise(u * 32, v * 32, 32, 3u);
        return mix(Rgba{shade, shade * 0.97f, shade * 0.93f, 1}, Rgba{0.06f, 0.05f, 0.05f, 1},
                   patch);
    });
    return picture;
}

} // namespace

void writeGreetingsPictures(OutputFolder& folder) {
    TextStyle style;
    style.pattern = "DejaVu Sans:bold";
    style.pixelHeight = 150;
    TextRaster raster(style);
    for (char letter = 'A'; letter <= 'Z'; ++letter)
        glowingLetter(raster, letter)
            .writeJpeg(folder, std::string("data/letters/") + letter + ".jpg", 92);
    halo().writePng(folder, "data/jall.png", true);
    ringSurface().writeJpeg(folder, "data/ring.jpg");
    ringEnvironment().writeJpeg(folder, "data/ringenv.jpg");
    hide().writeJpeg(folder, "data/mooooo.jpg");
}
