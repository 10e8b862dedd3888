#include "core/CaptureBench.h"

#include "core/FullscreenPass.h"
#include "platform/Gl.h"
#include "platform/GlState.h"
#include "platform/Texture.h"

#include <algorithm>
#include <cstdio>

void EffectTimes::beforeEffect(const Effect&) {
    glFinish();
    started = std::chrono::steady_clock::now();
}

void EffectTimes::afterEffect(const Effect& effect) {
    glFinish();
    double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started)
            .count();
    std::vector<double>& times = byName[effect.name.empty() ? "(nested)" : effect.name];
    if (times.capacity() < capacity) {
        times.reserve(capacity);
    }
    times.push_back(ms);
}

namespace {

double median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times.empty() ? 0.0 : times[times.size() / 2];
}

} // namespace

void printTimes(const char* what, std::vector<double> times, double referenceMs) {
    if (times.empty()) {
        return;
    }
    std::sort(times.begin(), times.end());
    double middle = times[times.size() / 2];
    double p95 = times[std::min(times.size() - 1, static_cast<size_t>(times.size() * 0.95))];
    printf("bench %s frames=%zu median_ms=%.3f p95_ms=%.3f", what, times.size(), middle, p95);
    if (referenceMs > 0.0) {
        printf(" passes=%.1f", middle / referenceMs);
    }
    printf("\n");
}

double referencePassMs(Demo& demo) {
    const int width = 1024, height = 512;
    std::vector<unsigned char> picture(static_cast<size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            unsigned char* p = &picture[(static_cast<size_t>(y) * width + x) * 4];
            p[0] = static_cast<unsigned char>(x);
            p[1] = static_cast<unsigned char>(y);
            p[2] = static_cast<unsigned char>(x ^ y);
            p[3] = 255;
        }
    }
    Texture texture(width, height, picture.data(), PixelKind::Rgba8, TextureFilter::Mipmapped);
    bindWindowTarget();
    resetState();
    std::vector<double> times;
    // Passes are timed eight at a time: one alone is short enough for the wait
    // on the rasteriser's threads to weigh in its time, and that wait differs
    // from machine to machine more than the pass does.
    constexpr int batch = 8;
    for (int sample = 0; sample < 21; ++sample) {
        glFinish();
        auto started = std::chrono::steady_clock::now();
        for (int pass = 0; pass < batch; ++pass) {
            demo.copyProgram->draw(&texture);
        }
        glFinish();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started)
                .count() /
            batch);
    }
    return median(times);
}
