#include "core/MusicStream.h"
#include "core/MusicDecoder.h"

#include "support/GlTest.h"
#include "support/Mp3Encoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr double binHz = 44100.0 / 512.0;
// One MPEG-1 layer III frame.
constexpr int64_t mp3Frame = 1152;

std::string writeTone(const TempDir& dir, const char* name, int rate, int channels, double seconds,
                      double hz, double amplitude, int kbps = 192) {
    std::vector<int16_t> samples;
    appendTone(samples, channels, rate, seconds, hz, amplitude);
    std::string path = dir.file(name);
    std::string error;
    EXPECT_TRUE(encodeMp3(path, samples, channels, rate, &error, kbps)) << error;
    return path;
}

DecodedMusic decode(const std::string& path) {
    DecodedMusic music;
    std::string error;
    EXPECT_TRUE(decodeMusicFile(path, music, error)) << error;
    return music;
}

int peakBin(const float* magnitudes) {
    return static_cast<int>(std::max_element(magnitudes, magnitudes + 256) - magnitudes);
}

// A stream of known frames: frame i holds (i, -i) modulo 32768.
MusicStream rampStream(int64_t frames) {
    DecodedMusic music;
    for (int64_t i = 0; i < frames; ++i) {
        music.samples.push_back(static_cast<int16_t>(i % 30000));
        music.samples.push_back(static_cast<int16_t>(-(i % 30000)));
    }
    return MusicStream(std::move(music));
}

} // namespace

TEST(MusicDecoderTest, DecodesTheTrueDurationAndAFullScaleToneReadsOneAtItsBin) {
    TempDir dir;
    DecodedMusic music = decode(writeTone(dir, "a.mp3", 44100, 2, 2.5, 12 * binHz, 1.0));
    EXPECT_NEAR(static_cast<double>(music.frameCount()), 2.5 * 44100, mp3Frame);
    EXPECT_EQ(music.sourceRate, 44100);
    EXPECT_EQ(music.sourceChannels, 2);

    MusicStream stream(std::move(music));
    float magnitudes[256];
    stream.spectrumAt(1.5 * 44100, magnitudes);
    EXPECT_EQ(peakBin(magnitudes), 12);
    EXPECT_NEAR(magnitudes[12], 1.0f, 0.05f);

    MusicStream silent(decode(writeTone(dir, "b.mp3", 44100, 2, 1.0, 12 * binHz, 0.0)));
    silent.spectrumAt(0.5 * 44100, magnitudes);
    EXPECT_TRUE(std::all_of(magnitudes, magnitudes + 256, [](float m) { return m == 0.0f; }));
}

TEST(MusicDecoderTest, OtherRatesAndMonoBecome44100StereoAtTheSamePitch) {
    TempDir dir;
    struct Case {
        int rate;
        int channels;
        int kbps;
    };
    for (Case c : {Case{22050, 1, 64}, Case{48000, 2, 192}, Case{32000, 1, 96}}) {
        SCOPED_TRACE(std::to_string(c.rate) + " Hz, " + std::to_string(c.channels) + " ch");
        DecodedMusic music =
            decode(writeTone(dir, "b.mp3", c.rate, c.channels, 2.0, 12 * binHz, 0.8, c.kbps));
        EXPECT_EQ(music.sourceRate, c.rate);
        EXPECT_EQ(music.sourceChannels, c.channels);
        // A frame of the source is 1152 (or 576) of its samples; allow one at 44.1 kHz.
        EXPECT_NEAR(static_cast<double>(music.frameCount()), 2.0 * 44100,
                    mp3Frame * 44100.0 / c.rate);
        if (c.channels == 1) {
            for (size_t i = 0; i < music.samples.size(); i += 2) {
                ASSERT_EQ(music.samples[i], music.samples[i + 1]) << "frame " << i / 2;
            }
        }
        MusicStream stream(std::move(music));
        float magnitudes[256];
        stream.spectrumAt(1.0 * 44100, magnitudes);
        EXPECT_EQ(peakBin(magnitudes), 12);
        EXPECT_NEAR(magnitudes[12], 0.8f, 0.05f);
    }
}

TEST(MusicDecoderTest, MissingEmptyAndForeignFilesFailNamingTheFile) {
    TempDir dir;
    FILE* empty = fopen(dir.file("empty.mp3").c_str(), "wb");
    fclose(empty);
    FILE* text = fopen(dir.file("notes.mp3").c_str(), "wb");
    for (int i = 0; i < 2000; ++i) {
        fputs("These are notes about the soundtrack, not the soundtrack.\n", text);
    }
    fclose(text);

    for (const char* name : {"absent.mp3", "empty.mp3", "notes.mp3"}) {
        DecodedMusic music;
        std::string error;
        EXPECT_FALSE(decodeMusicFile(dir.file(name), music, error)) << name;
        EXPECT_NE(error.find(name), std::string::npos) << error;
        EXPECT_EQ(music.frameCount(), 0) << name;
    }
}

TEST(MusicStreamTest, BytePositionsRoundAndClampToTheStream) {
    MusicStream stream = rampStream(20 * 44100);
    EXPECT_EQ(stream.bytePosition(12.5), 2205000);
    EXPECT_EQ(stream.bytePosition(2.4 / 176400.0), 2);
    EXPECT_EQ(stream.bytePosition(2.6 / 176400.0), 3);
    EXPECT_EQ(stream.bytePosition(-1.0), 0);
    EXPECT_EQ(stream.bytePosition(std::nan("")), 0);
    EXPECT_EQ(stream.bytePosition(25.0), 20 * 176400);
    EXPECT_EQ(stream.bytePosition(1e300), 20 * 176400);
}

TEST(MusicStreamTest, PlayReportsItsStartAndTheHeardPositionFollowsTheDevice) {
    MusicStream stream = rampStream(20 * 44100);
    stream.play(12.5, 100.0);
    EXPECT_EQ(MusicStream::secondsAt(stream.heardFrame(100.0)), 12.5f);
    // Nothing handed yet: time alone does not move what is heard.
    EXPECT_EQ(stream.heardFrame(101.0), 551250.0);

    std::vector<int16_t> buffer(1024 * 2);
    stream.handTo(buffer.data(), 1024, 200.0);
    EXPECT_EQ(buffer[0], 551250 % 30000);
    EXPECT_EQ(buffer[1], -(551250 % 30000));
    EXPECT_EQ(stream.heardFrame(200.0), 551250.0);
    EXPECT_NEAR(stream.heardFrame(200.0 + 512.0 / 44100), 551250.0 + 512, 1e-6);
    // The device cannot have played more than it was handed.
    EXPECT_EQ(stream.heardFrame(260.0), 551250.0 + 1024);

    stream.seek(1.0, 300.0);
    EXPECT_EQ(stream.heardFrame(300.5), 44100.0);
}

TEST(MusicStreamTest, VolumeScalesWhatTheDeviceIsHanded) {
    MusicStream stream = rampStream(44100);
    std::vector<int16_t> buffer(256 * 2);
    stream.play(0.1, 0.0);
    stream.setVolume(0);
    stream.handTo(buffer.data(), 256, 0.0);
    EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](int16_t s) { return s == 0; }));

    stream.setVolume(50);
    stream.handTo(buffer.data(), 256, 0.0);
    EXPECT_EQ(buffer[0], (4410 + 256) / 2);
    EXPECT_EQ(buffer[1], -(4410 + 256) / 2);

    stream.setVolume(250);
    EXPECT_EQ(stream.volume(), 100);
    stream.handTo(buffer.data(), 256, 0.0);
    EXPECT_EQ(buffer[0], 4410 + 512);
    stream.setVolume(-3);
    EXPECT_EQ(stream.volume(), 0);
}

TEST(MusicStreamTest, PauseFreezesTheHeardPositionAndResumeGoesOnFromIt) {
    MusicStream stream = rampStream(10 * 44100);
    std::vector<int16_t> buffer(1024 * 2);
    stream.play(0.0, 0.0);
    stream.handTo(buffer.data(), 1024, 0.0);
    stream.pause(256.5 / 44100);
    EXPECT_FALSE(stream.running());
    EXPECT_EQ(stream.heardFrame(256.5 / 44100), 256.0);
    EXPECT_EQ(stream.heardFrame(50.0), 256.0);

    // While paused the device is handed silence and the cursor stays.
    std::fill(buffer.begin(), buffer.end(), int16_t(7));
    stream.handTo(buffer.data(), 1024, 60.0);
    EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](int16_t s) { return s == 0; }));
    EXPECT_EQ(stream.heardFrame(70.0), 256.0);

    stream.resume(80.0);
    stream.handTo(buffer.data(), 1024, 80.0);
    EXPECT_EQ(buffer[0], 256);
    EXPECT_NEAR(stream.heardFrame(80.0 + 100.0 / 44100), 356.0, 1e-6);
}

TEST(MusicStreamTest, TheClockGoesOnInSilencePastTheEnd) {
    MusicStream stream = rampStream(1000);
    std::vector<int16_t> buffer(1024 * 2, 5);
    stream.play(0.0, 0.0);
    stream.handTo(buffer.data(), 1024, 0.0);
    EXPECT_EQ(buffer[2 * 999], 999);
    EXPECT_EQ(buffer[2 * 1000], 0);
    EXPECT_EQ(buffer[2 * 1023 + 1], 0);
    stream.handTo(buffer.data(), 1024, 1.0);
    EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](int16_t s) { return s == 0; }));
    EXPECT_EQ(stream.heardFrame(2.0), 2048.0);
}

// A device that holds a buffer in front of the one it takes: what it takes now is
// heard one buffer later, and the clock never goes back before where playback
// was placed.
TEST(MusicStreamTest, WhatTheDeviceStillHoldsIsNotCountedAsHeard) {
    MusicStream stream = rampStream(20 * 44100);
    stream.setDeviceDelay(1024);
    std::vector<int16_t> buffer(1024 * 2);
    const double frame = 1.0 / 44100;
    stream.play(10.0, 0.0);
    EXPECT_EQ(stream.heardFrame(0.0), 441000.0);

    // The first buffer only fills the device: the start is not heard yet.
    stream.handTo(buffer.data(), 1024, 0.0);
    EXPECT_EQ(stream.heardFrame(512 * frame), 441000.0);
    stream.handTo(buffer.data(), 1024, 1024 * frame);
    EXPECT_EQ(stream.heardFrame(1024 * frame), 441000.0);
    EXPECT_NEAR(stream.heardFrame(1536 * frame), 441000.0 + 512, 1e-6);
    stream.handTo(buffer.data(), 1024, 2048 * frame);
    EXPECT_NEAR(stream.heardFrame(2048 * frame), 441000.0 + 1024, 1e-6);

    // A seek back is heard once the device has played out what it held.
    stream.seek(2.0, 3000 * frame);
    EXPECT_EQ(stream.heardFrame(3000 * frame), 88200.0);
    stream.handTo(buffer.data(), 1024, 3072 * frame);
    EXPECT_EQ(stream.heardFrame(3584 * frame), 88200.0);
    stream.handTo(buffer.data(), 1024, 4096 * frame);
    EXPECT_NEAR(stream.heardFrame(4608 * frame), 88200.0 + 512, 1e-6);

    // Pausing keeps what was heard; resuming goes on from there.
    stream.pause(4608 * frame);
    EXPECT_NEAR(stream.heardFrame(5.0), 88200.0 + 512, 1e-6);
    stream.resume(5.0);
    EXPECT_EQ(stream.heardFrame(5.0), 88200.0 + 512);
}
