#include "core/MusicSpectrum.h"

#include <kiss_fftr.h>

#include <cmath>

static_assert(sizeof(kiss_fft_cpx) == 2 * sizeof(float), "kiss_fft_cpx is two floats");

MusicSpectrum::MusicSpectrum() {
    plan = kiss_fftr_alloc(windowSize, 0, nullptr, nullptr);
    // The periodic Hann window: its sum is exactly windowSize / 2.
    double sum = 0.0;
    for (int i = 0; i < windowSize; ++i) {
        window[i] = static_cast<float>(0.5 - 0.5 * std::cos(2.0 * M_PI * i / windowSize));
        sum += window[i];
    }
    // A sine of amplitude A centred in bin k transforms to A * sum / 2 there.
    scale = static_cast<float>(2.0 / sum);
}

MusicSpectrum::~MusicSpectrum() {
    kiss_fftr_free(plan);
}

void MusicSpectrum::analyse(const int16_t* samples, int64_t frameCount, int64_t endFrame,
                            float* magnitudes) {
    const int64_t first = endFrame - windowSize;
    for (int i = 0; i < windowSize; ++i) {
        int64_t frame = first + i;
        float mixed = 0.0f;
        if (frame >= 0 && frame < frameCount) {
            mixed = (static_cast<float>(samples[2 * frame]) +
                     static_cast<float>(samples[2 * frame + 1])) *
                    (0.5f / 32768.0f);
        }
        input[i] = mixed * window[i];
    }

    kiss_fft_cpx* bins = reinterpret_cast<kiss_fft_cpx*>(output);
    kiss_fftr(plan, input, bins);
    for (int k = 0; k < binCount; ++k) {
        magnitudes[k] = std::sqrt(bins[k].r * bins[k].r + bins[k].i * bins[k].i) * scale;
    }
}
