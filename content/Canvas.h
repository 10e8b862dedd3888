#pragma once

#include <string>
#include <vector>

class OutputFolder;

struct Rgba {
    float r = 0, g = 0, b = 0, a = 1;
};

Rgba mix(const Rgba& x, const Rgba& y, float t);
Rgba scaled(const Rgba& colour, float factor);

// One channel of floats: coverage, heights, glows. Row 0 is the top row.
class Mask {
public:
    Mask(int width, int height);

    float& at(int x, int y) { return values[static_cast<size_t>(y) * w + x]; }
    float at(int x, int y) const { return values[static_cast<size_t>(y) * w + x]; }
    // Bilinear, clamped at the borders.
    float sample(float x, float y) const;
    int width() const { return w; }
    int height() const { return h; }

    // Three box passes approximate a Gaussian of the given radius in pixels.
    void blur(int radius);
    float maximum() const;
    void scale(float factor);

private:
    void boxPass(int radius, bool horizontal);

    int w, h;
    std::vector<float> values;
};

// A picture in linear floats, RGBA, row 0 at the top, written out as 8-bit JPEG or
// PNG with clamping.
class Canvas {
public:
    Canvas(int width, int height, const Rgba& fill = Rgba{0, 0, 0, 1});

    Rgba& at(int x, int y) { return pixels[static_cast<size_t>(y) * w + x]; }
    const Rgba& at(int x, int y) const { return pixels[static_cast<size_t>(y) * w + x]; }
    int width() const { return w; }
    int height() const { return h; }

    // Calls shade(u, v) for every pixel centre, u and v in [0, 1], and stores the result.
    template <typename Shade> void paint(Shade shade) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                at(x, y) = shade((x + 0.5f) / w, (y + 0.5f) / h);
    }
    // Adds colour x mask into the colour channels (light is additive).
    void addLight(const Mask& mask, const Rgba& colour);
    // Paints colour over the picture with the mask as coverage, alpha included.
    void paintOver(const Mask& mask, const Rgba& colour);

    // The fullscreen pass shows the first stored row at the bottom of the screen.
    void flipVertically();

    // JPEG is always three colour components (alpha dropped).
    void writeJpeg(OutputFolder& folder, const std::string& path, int quality = 90) const;
    void writePng(OutputFolder& folder, const std::string& path, bool withAlpha) const;

private:
    std::vector<unsigned char> bytes(int components) const;

    int w, h;
    std::vector<Rgba> pixels;
};
