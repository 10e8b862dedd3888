#include "core/MusicSpectrum.h"

#include "support/Mp3Encoder.h"

#include <gtest/gtest.h>

#include <algorithm>
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
