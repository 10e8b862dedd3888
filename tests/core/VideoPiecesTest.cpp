// The pieces of a split render: what a piece says of its place in the demo, and
// which pieces make one stretch.
#include "core/CaptureVideo.h"

#include <gtest/gtest.h>

namespace {

VideoPiece piece(const char* file, long first, long count, double rate = 60.0) {
    VideoPiece p;
    p.file = file;
    p.first = first;
    p.count = count;
    p.rate = rate;
    p.width = 1920;
    p.height = 1080;
    return p;
}

TEST(VideoPieces, APieceSaysWhereItStandsInTheDemo) {
    VideoPiece read;
    ASSERT_TRUE(parsePieceComment("Meridian: demo frames 6600 to 7199 at 60 fps", read));
    EXPECT_EQ(read.first, 6600);
    EXPECT_EQ(read.count, 600);
    EXPECT_EQ(read.rate, 60.0);
    ASSERT_TRUE(parsePieceComment(pieceComment(piece("x", 3000, 1, 29.97)), read));
    EXPECT_EQ(read.first, 3000);
    EXPECT_EQ(read.count, 1);
    EXPECT_EQ(read.rate, 29.97);
    for (const char* other :
         {"", "Meridian: demo frames 10 to 5 at 60 fps", "Meridian: demo frames 10 to 20 at 0 fps",
          "Meridian: demo frames 10 to 20 at 60 fps, edited", "a holiday video"}) {
        EXPECT_FALSE(parsePieceComment(other, read)) << other;
    }
}

TEST(VideoPieces, OnlyPiecesThatFollowOnEachOtherJoin) {
    const std::vector<long> whole = {600, 600, 600};
    EXPECT_EQ(
        piecesMisfit({piece("a", 0, 600), piece("b", 600, 600), piece("c", 1200, 600)}, whole), "");
    EXPECT_EQ(piecesMisfit({piece("a", 0, 600), piece("b", 601, 600)}, whole),
              "1 frames are missing between a and b");
    EXPECT_EQ(piecesMisfit({piece("b", 600, 600), piece("a", 0, 600)}, whole),
              "a starts 1200 frames before b ends (pieces go in the order of time)");
    EXPECT_NE(piecesMisfit({piece("a", 0, 600), piece("b", 600, 600, 30.0)}, whole).find("30"),
              std::string::npos);
    VideoPiece small = piece("b", 600, 600);
    small.width = 1280;
    EXPECT_NE(piecesMisfit({piece("a", 0, 600), small}, whole).find("1280 x 1080"),
              std::string::npos);
    // A piece stopped before its end leaves a hole, wherever it stands.
    EXPECT_EQ(piecesMisfit({piece("a", 0, 600), piece("b", 600, 600)}, {600, 412}),
              "b holds 412 of its 600 frames: it was stopped before its end");
}

} // namespace
