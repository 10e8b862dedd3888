#include "core/MusicSpectrum.h"

#include "support/Mp3Encoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <vector>

namespace {

constexpr double binHz = 44100.0 / 512.0;

struct Analysed {
    float magnitudes[MusicSpectrum::binCount];
    int peak() const {
        return static_cast<int>(std::max_element(magnitudes, magnitudes + 256) - magnitudes);
    }
};

Analysed analyse(const std::vector<int16_t>& stereo, int64_t endFrame) {
    MusicSpectrum spectrum;
    Analysed result;
    spectrum.analyse(stereo.data(), static_cast<int64_t>(stereo.size() / 2), endFrame,
                     result.magnitudes);
    return result;
}

} // namespace

TEST(MusicSpectrumTest, FullScaleSineAtABinCentreReadsOneInThatBinOnly) {
    std::vector<int16_t> samples;
    appendTone(samples, 2, 44100, 0.1, 12 * binHz, 1.0);
    Analysed a = analyse(samples, 2000);

    EXPECT_EQ(a.peak(), 12);
    EXPECT_NEAR(a.magnitudes[12], 1.0f, 0.01f);
    // The Hann window spreads a centred tone into exactly its two neighbours.
    EXPECT_NEAR(a.magnitudes[11], 0.5f, 0.01f);
    EXPECT_NEAR(a.magnitudes[13], 0.5f, 0.01f);
    for (int k = 0; k < 256; ++k) {
        if (k < 11 || k > 13) {
            EXPECT_LT(a.magnitudes[k], 0.001f) << "bin " << k;
        }
    }
}

TEST(MusicSpectrumTest, ChannelsAreMixedAndAmplitudeScalesLinearly) {
    std::vector<int16_t> both;
    appendTone(both, 2, 44100, 0.1, 40 * binHz, 0.5);
    std::vector<int16_t> leftOnly = both;
    for (size_t i = 1; i < leftOnly.size(); i += 2) {
        leftOnly[i] = 0;
    }
    EXPECT_NEAR(analyse(both, 3000).magnitudes[40], 0.5f, 0.01f);
    EXPECT_NEAR(analyse(leftOnly, 3000).magnitudes[40], 0.25f, 0.01f);
}

TEST(MusicSpectrumTest, SilenceAndFramesOutsideTheStreamReadZero) {
    std::vector<int16_t> silence(44100 * 2, 0);
    Analysed quiet = analyse(silence, 10000);
    EXPECT_TRUE(
        std::all_of(quiet.magnitudes, quiet.magnitudes + 256, [](float m) { return m == 0.0f; }));

    std::vector<int16_t> tone;
    appendTone(tone, 2, 44100, 0.1, 12 * binHz, 1.0);
    const int64_t frames = static_cast<int64_t>(tone.size() / 2);
    for (int64_t end : {int64_t(0), int64_t(-5000), frames + 512, frames + 100000}) {
        Analysed outside = analyse(tone, end);
        EXPECT_TRUE(std::all_of(outside.magnitudes, outside.magnitudes + 256,
                                [](float m) { return m == 0.0f; }))
            << "window ending at frame " << end;
    }
}

// A tone halfway between two bins leaks into its neighbours by amounts that only
// the periodic Hann window gives. The expected values come from the window's
// closed form, 0.5 D(d) - 0.25 D(d - 1) - 0.25 D(d + 1) with the Dirichlet
// kernel D(d) = e^(-i pi d (N - 1) / N) sin(pi d) / sin(pi d / N), not from a sum
// over the window: a window inverted to 0.5 + 0.5 cos, or the symmetric one over
// N - 1, reads at least 0.001 away in bins 39 and 42, where on-bin tones cannot
// tell them apart.
TEST(MusicSpectrumTest, ToneBetweenTwoBinsLeaksAsThePeriodicHannWindowDoes) {
    constexpr int n = 512;
    auto dirichlet = [](double d) -> std::complex<double> {
        if (d == 0.0) {
            return n;
        }
        return std::polar(std::sin(M_PI * d) / std::sin(M_PI * d / n), -M_PI * d * (n - 1) / n);
    };
    auto expected = [&](double d, double amplitude) {
        const std::complex<double> w =
            0.5 * dirichlet(d) - 0.25 * dirichlet(d - 1) - 0.25 * dirichlet(d + 1);
        return amplitude * std::abs(w) * 2.0 / n;
    };
    // Worked by hand for amplitude 0.8: 0.67906 at half a bin, 0.13581 at one and a
    // half, 0.01940 at two and a half.
    ASSERT_NEAR(expected(0.5, 0.8), 0.67906, 1e-5);
    ASSERT_NEAR(expected(1.5, 0.8), 0.13581, 1e-5);

    std::vector<int16_t> samples;
    appendTone(samples, 2, 44100, 0.1, 40.5 * binHz, 0.8);
    Analysed a = analyse(samples, 3000);
    for (int k = 38; k <= 43; ++k) {
        EXPECT_NEAR(a.magnitudes[k], expected(k - 40.5, 0.8), 2e-4) << "bin " << k;
    }
}
