#include "content/Canvas.h"
#include "content/ContentGroups.h"
#include "content/Noise.h"
#include "content/TextRaster.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace {

constexpr float kPi = 3.14159265f;

// The links between the letters are drawn with a letter picture still bound, at
// its corner: the corner texels carry the colour of the links.
const Rgba kLinkColour{0.42f, 0.68f, 1.0f};

// A letter of light: a white core in an ice-blue glow, on black (added), as large
// as the glow leaves room for. Wide letters are squeezed to fit.
Canvas glowingLetter(TextRaster& raster, TextRaster& narrow, char letter) {
    const int size = 256;
    const std::string text(1, letter);
    TextRaster& face = raster.width(text) > 196 ? narrow : raster;
    Mask shape(size, size);
    // Cap height is about 0.73 em: centre the capital on the picture.
    face.drawCentred(shape, text, size / 2.0f, size / 2.0f + 0.365f * 186);
    Mask nearGlow = shape, farGlow = shape;
    nearGlow.blur(4);
    farGlow.blur(13);
    Canvas picture(size, size);
    picture.addLight(farGlow, Rgba{0.22f, 0.5f, 1.5f});
    picture.addLight(nearGlow, Rgba{0.5f, 0.8f, 1.3f});
    picture.addLight(shape, Rgba{0.9f, 0.95f, 1.0f});
    // The quad is added to the screen: fade the glow out before the border so
    // that its square never shows.
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const int border = std::min(std::min(x, size - 1 - x), std::min(y, size - 1 - y));
            const float fade = smoothStep(0.0f, 14.0f, static_cast<float>(border));
            Rgba& p = picture.at(x, y);
            p = Rgba{p.r * fade, p.g * fade, p.b * fade, 1};
        }
    for (int y : {0, 1, size - 2, size - 1})
        for (int x : {0, 1, size - 2, size - 1})
            picture.at(x, y) = kLinkColour;
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
    style.pixelHeight = 186;
    TextRaster raster(style);
    style.widthScale = 0.82f;
    TextRaster narrow(style);
    for (char letter = 'A'; letter <= 'Z'; ++letter)
        glowingLetter(raster, narrow, letter)
            .writeJpeg(folder, std::string("data/letters/") + letter + ".jpg", 92);
    halo().writePng(folder, "data/jall.png", true);
    ringSurface().writeJpeg(folder, "data/ring.jpg");
    ringEnvironment().writeJpeg(folder, "data/ringenv.jpg");
    hide().writeJpeg(folder, "data/mooooo.jpg");
}
