#include "camera/CrgInspect.h"

#include "camera/TrackBank.h"
#include "tests/support/GlTest.h"

#include <gtest/gtest.h>

#include <fstream>

TEST(CrgInspect, ListsTracksWithKeysByControllerName) {
    TempDir dir;
    CameraTrack tracks[trackBankSize];
    tracks[1].addKey(1.5f, -2.0f, 3.25f, 4.0f, 3);
    tracks[1].addKey(0.0f, 0.0f, 0.0f, 1.0f, 0);
    tracks[7].addKey(9.0f, 9.0f, 9.0f, 2.0f, 12);
    std::string name = dir.file("bank.crg");
    ASSERT_TRUE(writeTrackBank(name, tracks));

    std::string report;
    EXPECT_TRUE(describeCrg(name, report));
    EXPECT_NE(report.find("316 bytes"), std::string::npos) << report;
    EXPECT_NE(report.find("3 keys"), std::string::npos) << report;
    EXPECT_NE(report.find("track 1 \"Camera Target\": 2 keys, 1.000 .. 4.000 s\n"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("  0: (0.000, 0.000, 0.000) at 1.000 s S\n"), std::string::npos)
        << report;
    EXPECT_NE(report.find("  1: (1.500, -2.000, 3.250) at 4.000 s C\n"), std::string::npos)
        << report;
    EXPECT_NE(report.find("track 7 \"Untitled controller\": 1 key,"), std::string::npos) << report;
    EXPECT_NE(report.find("mode 12"), std::string::npos) << report;
    // Empty tracks are not listed.
    EXPECT_EQ(report.find("track 0 "), std::string::npos) << report;
}

TEST(CrgInspect, NamesWhatIsWrongWithABadBank) {
    TempDir dir;
    std::string report;
    EXPECT_FALSE(describeCrg(dir.file("none.crg"), report));
    EXPECT_NE(report.find("none.crg: cannot open"), std::string::npos) << report;

    CameraTrack tracks[trackBankSize];
    tracks[0].addKey(1, 2, 3, 4, 1);
    std::vector<unsigned char> bytes = encodeTrackBank(tracks);
    // Track 1's count becomes -1.
    bytes[24] = 0xff;
    bytes[25] = 0xff;
    bytes[26] = 0xff;
    bytes[27] = 0xff;
    std::ofstream(dir.file("bad.crg"), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    report.clear();
    EXPECT_FALSE(describeCrg(dir.file("bad.crg"), report));
    EXPECT_NE(report.find("1 of 64 track records"), std::string::npos) << report;
    EXPECT_NE(report.find("track 1 has a negative key count (-1)"), std::string::npos) << report;
    EXPECT_NE(report.find("track 0 \"Camera Position\": 1 key"), std::string::npos) << report;

    // Keys out of order and bytes past the last record are sound but worth saying.
    CameraTrack two[trackBankSize];
    two[0].addKey(0, 0, 0, 5, 1);
    two[0].addKey(0, 0, 0, 1, 1);
    std::vector<unsigned char> unordered = encodeTrackBank(two);
    // Swap the two keys of track 0 on disk.
    std::vector<unsigned char> swapped(unordered);
    std::copy(unordered.begin() + 4, unordered.begin() + 24, swapped.begin() + 24);
    std::copy(unordered.begin() + 24, unordered.begin() + 44, swapped.begin() + 4);
    swapped.push_back(0);
    std::ofstream(dir.file("odd.crg"), std::ios::binary)
        .write(reinterpret_cast<const char*>(swapped.data()),
               static_cast<std::streamsize>(swapped.size()));
    report.clear();
    EXPECT_TRUE(describeCrg(dir.file("odd.crg"), report));
    EXPECT_NE(report.find("not in time order"), std::string::npos) << report;
    EXPECT_NE(report.find("1 byte after the last track record is ignored"), std::string::npos)
        << report;
}
