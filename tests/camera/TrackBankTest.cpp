#include "camera/TrackBank.h"

#include "tests/support/GlTest.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/resource.h>

namespace {

std::vector<unsigned char> fileBytes(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const std::string& name, const std::vector<unsigned char>& bytes) {
    std::ofstream out(name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

void putI32(std::vector<unsigned char>& out, int32_t v) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<unsigned char>(static_cast<uint32_t>(v) >> (8 * i)));
    }
}

// A bank whose every track holds keys, so that a read which leaves a track
// alone is told apart from one that empties it.
void fillBank(CameraTrack* tracks) {
    for (int k = 0; k < trackBankSize; ++k) {
        tracks[k].count = 0;
        tracks[k].addKey(1.0f, 2.0f, 3.0f, 0.5f, 2);
    }
}

} // namespace

TEST(TrackBank, EmptyBankIs256BytesOfZeros) {
    TempDir dir;
    CameraTrack tracks[trackBankSize];
    for (CameraTrack& track : tracks) {
        track.count = 0;
    }
    ASSERT_TRUE(writeTrackBank(dir.file("empty.crg"), tracks));
    std::vector<unsigned char> bytes = fileBytes(dir.file("empty.crg"));
    ASSERT_EQ(bytes.size(), 256u);
    for (unsigned char b : bytes) {
        EXPECT_EQ(b, 0);
    }
    // Nothing is left beside the bank.
    EXPECT_FALSE(std::filesystem::exists(dir.file("empty.crg.tmp")));
}

TEST(TrackBank, RoundTripKeepsEveryFieldBitForBit) {
    TempDir dir;
    CameraTrack written[trackBankSize];
    for (CameraTrack& track : written) {
        track.count = 0;
    }
    written[0].addKey(100.0f, 100.0f, -100.0f, 0.0f, 1);
    written[0].addKey(-1.5e-7f, 3.25f, 1e30f, 12.75f, 3);
    written[2].addKey(0.0f, 0.0f, -1.0f, 4.0f, 4);
    written[63].addKey(7.0f, 8.0f, 9.0f, 189.9f, -5);
    written[63].addKey(std::nanf(""), -0.0f, 2.0f, 200.0f, 0);
    ASSERT_TRUE(writeTrackBank(dir.file("a.crg"), written));
    EXPECT_EQ(fileBytes(dir.file("a.crg")).size(), 256u + 20u * 5u);

    CameraTrack read[trackBankSize];
    ASSERT_TRUE(readTrackBank(dir.file("a.crg"), read));
    for (int k = 0; k < trackBankSize; ++k) {
        ASSERT_EQ(read[k].count, written[k].count) << "track " << k;
        EXPECT_EQ(memcmp(read[k].data, written[k].data, sizeof(CameraKey) * written[k].count), 0)
            << "track " << k;
    }
    // Little-endian on disk whatever the machine: the first count, then x = 100.0f.
    std::vector<unsigned char> bytes = fileBytes(dir.file("a.crg"));
    const unsigned char head[] = {2, 0, 0, 0, 0x00, 0x00, 0xc8, 0x42};
    EXPECT_EQ(memcmp(bytes.data(), head, sizeof head), 0);
}

TEST(TrackBank, ReadingKeepsFileOrderUntilAnAddSorts) {
    std::vector<unsigned char> bytes;
    putI32(bytes, 3);
    for (float time : {5.0f, 1.0f, 3.0f}) {
        for (float v : {time, 0.0f, 0.0f, time}) {
            uint32_t bits;
            memcpy(&bits, &v, 4);
            putI32(bytes, static_cast<int32_t>(bits));
        }
        putI32(bytes, 1);
    }
    for (int k = 1; k < trackBankSize; ++k) {
        putI32(bytes, 0);
    }
    CameraTrack tracks[trackBankSize];
    fillBank(tracks);
    TrackBankRead result = parseTrackBank(bytes.data(), bytes.size(), tracks);
    EXPECT_TRUE(result.problem.empty()) << result.problem;
    ASSERT_EQ(tracks[0].count, 3);
    EXPECT_EQ(tracks[0].key(0).time, 5.0f);
    EXPECT_EQ(tracks[0].key(1).time, 1.0f);
    EXPECT_EQ(tracks[0].key(2).time, 3.0f);
    // A bank with fewer keys than the track held before sets the file's count.
    EXPECT_EQ(tracks[1].count, 0);

    tracks[0].addKey(9.0f, 0.0f, 0.0f, 3.0f, 1);
    ASSERT_EQ(tracks[0].count, 4);
    EXPECT_EQ(tracks[0].key(0).time, 1.0f);
    EXPECT_EQ(tracks[0].key(1).time, 3.0f);
    EXPECT_EQ(tracks[0].key(2).time, 3.0f);
    EXPECT_EQ(tracks[0].key(3).time, 5.0f);
}

TEST(TrackBank, DamagedBanksStopReadingAndEmptyTheRest) {
    TempDir dir;
    CameraTrack good[trackBankSize];
    fillBank(good);
    std::vector<unsigned char> whole = encodeTrackBank(good);
    ASSERT_EQ(whole.size(), 64u * 24u);

    struct Case {
        const char* what;
        std::vector<unsigned char> bytes;
        int tracksRead;
    };
    std::vector<Case> cases;
    // Cut inside the keys of track 10, then inside its count.
    cases.push_back({"cut in keys",
                     std::vector<unsigned char>(whole.begin(), whole.begin() + 10 * 24 + 13), 10});
    cases.push_back({"cut in count",
                     std::vector<unsigned char>(whole.begin(), whole.begin() + 10 * 24 + 2), 10});
    std::vector<unsigned char> negative = whole;
    negative[5 * 24 + 3] = 0x80; // track 5's count becomes negative
    cases.push_back({"negative count", negative, 5});
    std::vector<unsigned char> huge = whole;
    huge[7 * 24 + 3] = 0x7f; // track 7 claims two billion keys
    cases.push_back({"huge count", huge, 7});
    std::vector<unsigned char> tooMany = whole;
    tooMany[63 * 24] = 2; // the last track claims one key more than the file holds
    cases.push_back({"last count one too many", tooMany, 63});
    cases.push_back({"nothing", {}, 0});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string name = dir.file("bad.crg");
        writeBytes(name, c.bytes);
        CameraTrack tracks[trackBankSize];
        fillBank(tracks);
        testing::internal::CaptureStderr();
        bool whole = readTrackBank(name, tracks);
        std::string report = testing::internal::GetCapturedStderr();
        EXPECT_FALSE(whole);
        EXPECT_NE(report.find(name), std::string::npos) << report;
        for (int k = 0; k < trackBankSize; ++k) {
            if (k < c.tracksRead) {
                EXPECT_EQ(tracks[k].count, 1) << "track " << k;
            } else {
                EXPECT_EQ(tracks[k].count, 0) << "track " << k;
            }
        }
    }
}

TEST(TrackBank, UnopenableFileEmptiesEveryTrackAndSaysWhich) {
    TempDir dir;
    CameraTrack tracks[trackBankSize];
    fillBank(tracks);
    std::string name = dir.file("missing.crg");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(readTrackBank(name, tracks));
    std::string report = testing::internal::GetCapturedStderr();
    EXPECT_NE(report.find(name), std::string::npos) << report;
    EXPECT_NE(report.find("No such file"), std::string::npos) << report;
    for (const CameraTrack& track : tracks) {
        EXPECT_EQ(track.count, 0);
    }
}

TEST(TrackBank, FailedSaveLeavesTheOldBankIntact) {
    TempDir dir;
    CameraTrack old[trackBankSize];
    fillBank(old);
    std::string name = dir.file("1.crg");
    ASSERT_TRUE(writeTrackBank(name, old));
    std::vector<unsigned char> before = fileBytes(name);

    CameraTrack changed[trackBankSize];
    for (CameraTrack& track : changed) {
        track.count = 0;
    }

    // Something standing where the temporary file goes.
    std::filesystem::create_directory(name + ".tmp");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(writeTrackBank(name, changed));
    std::string report = testing::internal::GetCapturedStderr();
    EXPECT_NE(report.find(name), std::string::npos) << report;
    EXPECT_EQ(fileBytes(name), before);
    std::filesystem::remove(name + ".tmp");

    // A disk that fills up mid-write: the file size limit stands in for it
    // (permissions would not, the tests may run as root).
    CameraTrack big[trackBankSize];
    fillBank(big);
    struct rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    void (*oldHandler)(int) = signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 300;
    setrlimit(RLIMIT_FSIZE, &small);
    testing::internal::CaptureStderr();
    bool savedBig = writeTrackBank(name, big);
    report = testing::internal::GetCapturedStderr();
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(savedBig);
    EXPECT_NE(report.find("cannot write"), std::string::npos) << report;
    EXPECT_EQ(fileBytes(name), before);
    EXPECT_FALSE(std::filesystem::exists(name + ".tmp"));

    // A stale temporary from an interrupted save does not block the next one.
    writeBytes(name + ".tmp", {1, 2, 3});
    EXPECT_TRUE(writeTrackBank(name, changed));
    EXPECT_EQ(fileBytes(name).size(), 256u);
    EXPECT_FALSE(std::filesystem::exists(name + ".tmp"));
}

namespace {

// A bank written byte by byte: track 0 with the given keys (x, y, z, time;
// mode 1), tracks 1 to 63 empty.
std::vector<unsigned char> bankBytes(const std::vector<std::array<float, 4>>& keys) {
    std::vector<unsigned char> out;
    putI32(out, static_cast<int32_t>(keys.size()));
    for (const auto& key : keys) {
        for (float v : key) {
            int32_t bits;
            memcpy(&bits, &v, 4);
            putI32(out, bits);
        }
        putI32(out, 1);
    }
    for (int k = 1; k < trackBankSize; ++k) {
        putI32(out, 0);
    }
    return out;
}

} // namespace

TEST(TrackBank, PlaybackTakesOnlyAWholeSoundBank) {
    TempDir dir;
    CameraTrack tracks[trackBankSize];
    std::string error;
    std::string name = dir.file("1.crg");
    writeBytes(name, bankBytes({{0, 0, 0, 0}, {1, 2, 3, 2}, {1, 2, 3, 2}}));
    ASSERT_TRUE(readPlaybackBank(name, tracks, error)) << error;
    EXPECT_EQ(tracks[0].count, 3);

    std::vector<unsigned char> cut = bankBytes({{0, 0, 0, 0}});
    cut.resize(20);
    std::vector<unsigned char> longer = bankBytes({{0, 0, 0, 0}});
    longer.push_back(0);
    struct Case {
        const char* what;
        std::vector<unsigned char> bytes;
        const char* error;
    } cases[] = {
        {"empty", {}, "the file ends after 0 of 64 track records"},
        {"cut short", cut, "track 0 claims 1 keys but only 16 bytes are left"},
        {"a byte too many", longer, "1 byte follows the 64 track records"},
        {"a value that is no number", bankBytes({{0, 0, 0, 0}, {1, std::nanf(""), 3, 2}}),
         "track 0, key 1 (1, nan, 3 at 2 s): not a finite number"},
        {"an infinite time", bankBytes({{0, 0, 0, 0}, {1, 2, 3, HUGE_VALF}}),
         "track 0, key 1 (1, 2, 3 at inf s): not a finite number"},
        {"keys out of time order", bankBytes({{0, 0, 0, 5}, {1, 2, 3, 2}}),
         "track 0, key 1 (1, 2, 3 at 2 s): earlier than the key before it"},
    };
    for (const Case& c : cases) {
        writeBytes(name, c.bytes);
        fillBank(tracks);
        EXPECT_FALSE(readPlaybackBank(name, tracks, error)) << c.what;
        EXPECT_EQ(error.rfind(c.error, 0), 0u) << c.what << ": " << error;
        for (const CameraTrack& track : tracks) {
            EXPECT_EQ(track.count, 0) << c.what;
        }
    }
}
