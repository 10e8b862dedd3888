#include "resources/NmdMaps.h"

#include <gtest/gtest.h>

TEST(NmdMaps, RebasingKeepsTheBaseNameUnderTheFolder) {
    EXPECT_EQ(rebaseMapName("C:\\maps\\brick.jpg", "data/citymaps/"), "data/citymaps/brick.jpg");
    EXPECT_EQ(rebaseMapName("D:\\work\\grass.PNG", "data/"), "data/grass.PNG");
    EXPECT_EQ(rebaseMapName("tex/a/b.png", "data"), "data/b.png");
    EXPECT_EQ(rebaseMapName("plain.jpg", "data\\"), "data\\plain.jpg");
    EXPECT_EQ(rebaseMapName("mixed\\dir/last.jpg", "x"), "x/last.jpg");
    EXPECT_EQ(rebaseMapName("", "data/"), "");
}

TEST(NmdMaps, OnlyTheThreeCharactersAfterTheFirstDotCount) {
    EXPECT_TRUE(isPictureMapName("data/grass.PNG"));
    EXPECT_TRUE(isPictureMapName("brick.jpg"));
    EXPECT_TRUE(isPictureMapName("brick.JpGx"));
    EXPECT_FALSE(isPictureMapName("wall.old.jpg"));
    EXPECT_FALSE(isPictureMapName("bump.tga"));
    EXPECT_FALSE(isPictureMapName("noending"));
    EXPECT_FALSE(isPictureMapName("short.jp"));
    EXPECT_FALSE(isPictureMapName(""));
}
