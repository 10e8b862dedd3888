#include "content/Canvas.h"

#include "content/OutputFolder.h"
#include "resources/ImageWriter.h"

#include <algorithm>
#include <cmath>


Rgba mix(const Rgba& x, const Rgba& y, float t) {
    return {x.r + (y.r - x.r) * t, x.g + (y.g - x.g) * t, x.b + (y.b - x.b) * t,
            x.a + (y.a - x.a) * t};
}

Rgba scaled(const Rgba& colour, float factor) {
    return {colour.r * factor, colour.g * factor, colour.b * factor, colour.a};
}

Mask::Mask(int width, int height)
    : w(width), h(height), values(static_cast<size_t>(width) * height, 0.0f) {}

float Mask::sample(float x, float y) const {
    x = std::clamp(x, 0.0f, static_cast<float>(w - 1));
    y = std::clamp(y, 0.0f, static_cast<float>(h - 1));
    const int x0 = static_cast<int>(x), y0 = static_cast<int>(y);
    const int x1 = std::min(x0 + 1, w - 1), y1 = std::min(y0 + 1, h - 1);
    const float fx = x - x0, fy = y - y0;
    const float top = at(x0, y0) + (at(x1, y0) - at(x0, y0)) * fx;
    const float bottom = at(x0, y1) + (at(x1, y1) - at(x0, y1)) * fx;
    return top + (bottom - top) * fy;
}

void Mask::boxPass(int radius, bool horizontal) {
    const int lines = horizontal ? h : w;
    const int length = horizontal ? w : h;
    std::vector<float> line(length), sums(length + 1);
    for (int l = 0; l < lines; ++l) {
        for (int i = 0; i < length; ++i)
            line[i] = horizontal ? at(i, l) : at(l, i);
        sums[0] = 0;
        for (int i = 0; i < length; ++i)
            sums[i + 1] = sums[i] + line[i];
        for (int i = 0; i < length; ++i) {
            // Outside the picture counts as zero, so glows fade at the borders.
            const int lo = std::max(0, i - radius), hi = std::min(length, i + radius + 1);
            const float value = (sums[hi] - sums[lo]) / (2 * radius + 1);
            (horizontal ? at(i, l) : at(l, i)) = value;
        }
    }
}

void Mask::blur(int radius) {
    if (radius <= 0)
        return;
    for (int pass = 0; pass < 3; ++pass) {
        boxPass(radius, true);
        boxPass(radius, false);
    }
}

float Mask::maximum() const {
    return values.empty() ? 0.0f : *std::max_element(values.begin(), values.end());
}

void Mask::scale(float factor) {
    for (float& v : values)
        v *= factor;
}

Canvas::Canvas(int width, int height, const Rgba& fill)
    : w(width), h(height), pixels(static_cast<size_t>(width) * height, fill) {}

void Canvas::addLight(const Mask& mask, const Rgba& colour) {
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            Rgba& p = at(x, y);
            const float m = mask.at(x, y);
            p.r += colour.r * m;
            p.g += colour.g * m;
            p.b += colour.b * m;
        }
}

void Canvas::paintOver(const Mask& mask, const Rgba& colour) {
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const float m = std::clamp(mask.at(x, y) * colour.a, 0.0f, 1.0f);
            if (m <= 0)
                continue;
            Rgba& p = at(x, y);
            // Straight (not premultiplied) alpha, as the PNG stores it.
            const float outA = m + p.a * (1 - m);
            if (outA <= 0)
                continue;
            p.r = (colour.r * m + p.r * p.a * (1 - m)) / outA;
            p.g = (colour.g * m + p.g * p.a * (1 - m)) / outA;
            p.b = (colour.b * m + p.b * p.a * (1 - m)) / outA;
            p.a = outA;
        }
}

void Canvas::flipVertically() {
    for (int y = 0; y < h / 2; ++y)
        std::swap_ranges(pixels.begin() + static_cast<size_t>(y) * w,
                         pixels.begin() + static_cast<size_t>(y + 1) * w,
                         pixels.begin() + static_cast<size_t>(h - 1 - y) * w);
}

std::vector<unsigned char> Canvas::bytes(int components) const {
    std::vector<unsigned char> out(static_cast<size_t>(w) * h * components);
    auto toByte = [](float v) {
        return static_cast<unsigned char>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
    };
    size_t o = 0;
    for (const Rgba& p : pixels) {
        out[o++] = toByte(p.r);
        out[o++] = toByte(p.g);
        out[o++] = toByte(p.b);
        if (components == 4)
            out[o++] = toByte(p.a);
    }
    return out;
}

void Canvas::writeJpeg(OutputFolder& folder, const std::string& path, int quality) const {
    const std::vector<unsigned char> rgb = bytes(3);
    const std::vector<unsigned char> encoded = encodeJpeg(w, h, 3, rgb.data(), quality);
    if (encoded.empty())
        throw ContentError(folder.pathOf(path) + ": JPEG encoding failed");
    folder.write(path, encoded);
}

void Canvas::writePng(OutputFolder& folder, const std::string& path, bool withAlpha) const {
    const int components = withAlpha ? 4 : 3;
    const std::vector<unsigned char> raw = bytes(components);
    const std::vector<unsigned char> encoded = encodePng(w, h, components, raw.data());
    if (encoded.empty())
        throw ContentError(folder.pathOf(path) + ": PNG encoding failed");
    folder.write(path, encoded);
}
