// The player's options: what each asks of the demo, and the mistakes refused
// before anything opens.
#include "core/PlayerOptions.h"
#include "core/Demo.h"
#include "platform/CommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

PlayerOptions read(std::vector<const char*> words) {
    words.insert(words.begin(), "lumora-player");
    return readPlayerOptions(static_cast<int>(words.size()), const_cast<char**>(words.data()),
                             189.9f);
}

std::string refusal(std::vector<const char*> words) {
    try {
        read(words);
    } catch (const UsageError& error) {
        return error.what();
    }
    return "";
}

TEST(PlayerOptions, WithoutOptionsTheDemoPlaysAsItWasMade) {
    Demo demo;
    demo.fullscreen = 1;
    demo.samples = 6;
    applyPlayerOptions(read({}), demo);
    EXPECT_EQ(demo.fullscreen, 1);
    EXPECT_EQ(demo.samples, 6);
    EXPECT_EQ(demo.clockStart, 0.0f);
    EXPECT_EQ(demo.volume, 1.0f);
    EXPECT_FALSE(demo.layout.native || demo.layout.resizable || demo.layout.follow);
    EXPECT_EQ(demo.layout.width, 0);
}

TEST(PlayerOptions, EachOptionSetsTheDemoUp) {
    Demo demo;
    demo.fullscreen = 1;
    applyPlayerOptions(
        read({"--window", "--size", "1280x960", "--start", "106.55", "--samples", "4", "--mute"}),
        demo);
    EXPECT_EQ(demo.fullscreen, 0);
    EXPECT_TRUE(demo.layout.resizable);
    EXPECT_EQ(demo.layout.width, 1280);
    EXPECT_EQ(demo.layout.height, 960);
    EXPECT_EQ(demo.clockStart, 106.55f);
    EXPECT_EQ(demo.samples, 4);
    EXPECT_EQ(demo.volume, 0.0f);

    Demo native;
    native.fullscreen = 1;
    applyPlayerOptions(read({"--native"}), native);
    EXPECT_EQ(native.fullscreen, 1);
    EXPECT_TRUE(native.layout.native);
}

TEST(PlayerOptions, MistakesAreRefusedSayingWhich) {
    EXPECT_NE(refusal({"--size", "0x0"}).find("--size 0x0 is out of range"), std::string::npos);
    EXPECT_NE(refusal({"--size", "99999x99999"}).find("out of range"), std::string::npos);
    EXPECT_NE(refusal({"--size", "1280"}).find("WIDTHxHEIGHT"), std::string::npos);
    EXPECT_NE(refusal({"--size", "-640x480"}).find("WIDTHxHEIGHT"), std::string::npos);
    EXPECT_NE(refusal({"--start", "-3"}).find("--start -3 lies outside"), std::string::npos);
    EXPECT_NE(refusal({"--start", "500"}).find("--start 500 lies outside"), std::string::npos);
    // The demo never shows its end.
    EXPECT_NE(refusal({"--start", "189.9"}), "");
    EXPECT_NE(refusal({"--start", "nan"}).find("needs a number"), std::string::npos);
    EXPECT_NE(refusal({"--samples", "2.5"}), "");
    EXPECT_NE(refusal({"--native", "--window"}), "");
    EXPECT_NE(refusal({"--native", "--size", "800x600"}), "");
    EXPECT_EQ(refusal({"--fullscreen"}), "unknown option --fullscreen");
    EXPECT_EQ(refusal({"demo.mp4"}), "unexpected argument \"demo.mp4\"");
    EXPECT_EQ(refusal({"--start"}), "--start needs a value");
}

} // namespace
