#include "GeneratedFolder.h"

#include <gtest/gtest.h>

#include <kiss_fftr.h>
#include <mpg123.h>

#include <cmath>
#include <vector>

namespace {

struct DecodedSong {
    long rate = 0;
    int channels = 0;
    std::vector<float> mono;
};

DecodedSong decodeSong(const std::string& path) {
    DecodedSong song;
    mpg123_init();
    int error = 0;
    mpg123_handle* handle = mpg123_new(nullptr, &error);
    if (!handle)
        return song;
    mpg123_param(handle, MPG123_FLAGS, MPG123_GAPLESS | MPG123_FORCE_FLOAT, 0);
    if (mpg123_open(handle, path.c_str()) == MPG123_OK) {
        int encoding = 0;
        mpg123_getformat(handle, &song.rate, &song.channels, &encoding);
        std::vector<float> chunk(16384);
        size_t done = 0;
        int status = MPG123_OK;
        while (status == MPG123_OK || status == MPG123_NEW_FORMAT) {
            status = mpg123_read(handle, reinterpret_cast<unsigned char*>(chunk.data()),
                                 chunk.size() * sizeof(float), &done);
            const size_t values = done / sizeof(float);
            for (size_t i = 0; i + 1 < values; i += 2)
                song.mono.push_back(0.5f * (chunk[i] + chunk[i + 1]));
        }
        mpg123_close(handle);
    }
    mpg123_delete(handle);
    return song;
}

// Mean power per window below `cutoffHz` and over the whole spectrum between
// two times, from Hann-windowed 4096-point spectra.
struct BandEnergy {
    double low = 0, all = 0;
};

BandEnergy energyBetween(const DecodedSong& song, double from, double to, double cutoffHz) {
    const int n = 4096;
    kiss_fftr_cfg fft = kiss_fftr_alloc(n, 0, nullptr, nullptr);
    std::vector<float> window(n);
    std::vector<kiss_fft_cpx> bins(n / 2 + 1);
    BandEnergy energy;
    int windows = 0;
    const int cutoffBin = static_cast<int>(cutoffHz * n / song.rate);
    for (long start = static_cast<long>(from * song.rate);
         start + n <= static_cast<long>(to * song.rate); start += n / 2, ++windows) {
        for (int i = 0; i < n; ++i)
            window[i] = song.mono[start + i] * 0.5f * (1 - std::cos(2 * M_PI * i / (n - 1)));
        kiss_fftr(fft, window.data(), bins.data());
        for (int b = 1; b <= n / 2; ++b) {
            const double power = bins[b].r * bins[b].r + bins[b].i * bins[b].i;
            energy.all += power;
            if (b <= cutoffBin)
                energy.low += power;
        }
    }
    kiss_fftr_free(fft);
    if (windows > 0) {
        energy.low /= windows;
        energy.all /= windows;
    }
    return energy;
}

class Soundtrack : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(generatedFolder().exitStatus, 0) << generatedFolder().output;
        song = new DecodedSong(decodeSong(generatedFolder().path + "/data/music.mp3"));
    }
    static void TearDownTestSuite() { delete song; }
    static DecodedSong* song;
};

DecodedSong* Soundtrack::song = nullptr;

TEST_F(Soundtrack, IsStereoAt44100AndOutlastsTheDemo) {
    EXPECT_EQ(song->rate, 44100);
    EXPECT_EQ(song->channels, 2);
    EXPECT_GE(song->mono.size() / 44100.0, 190.0);
}

TEST_F(Soundtrack, EverySceneHasMusicAndTheMetaballsCarryTheBass) {
    ASSERT_GE(song->mono.size(), 190u * 44100u);
    const double scenes[][2] = {{0.5, 25.5},    {25.6, 49.7},   {49.9, 82.5},   {82.6, 106.5},
                                {106.6, 130.5}, {130.6, 154.5}, {154.6, 177.9}, {178.1, 189.9}};
    BandEnergy energy[8];
    for (int i = 0; i < 8; ++i) {
        energy[i] = energyBetween(*song, scenes[i][0], scenes[i][1], 150);
        EXPECT_GT(energy[i].all, 1.0) << "scene " << i << " is silent";
    }
    // The metaballs' glow follows the lowest band: it must be far stronger there
    // than under the opening sea, and stronger than in any other scene.
    EXPECT_GT(energy[6].low, 8 * energy[0].low);
    for (int i = 0; i < 8; ++i) {
        if (i != 6) {
            EXPECT_GT(energy[6].low, energy[i].low) << "scene " << i;
        }
    }
    // The clouds are air: far less bass than the city before them.
    EXPECT_LT(energy[2].low * 3, energy[1].low);
}

// The city's first kick lands on its scene change, not somewhere near it.
TEST_F(Soundtrack, BeatStartsOnTheSceneChange) {
    const double cut = 25.55;
    const BandEnergy before = energyBetween(*song, cut - 0.2, cut - 0.01, 150);
    const BandEnergy after = energyBetween(*song, cut, cut + 0.19, 150);
    EXPECT_GT(after.low, 4 * before.low);
}

TEST_F(Soundtrack, FadesOutAfterTheDemoEnds) {
    const BandEnergy closing = energyBetween(*song, 180, 186, 20000);
    const BandEnergy tail =
        energyBetween(*song, song->mono.size() / 44100.0 - 0.5, song->mono.size() / 44100.0, 20000);
    EXPECT_LT(tail.all * 100, closing.all);
}

} // namespace
