// lumora-capture: the production rendered offline through the player's frame
// code, checked picture by picture and as video (GoldenFramesTest compares
// every scene with its golden frames).
#include "core/Capture.h"
#include "resources/Image.h"
#include "support/GlTest.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

struct Picture {
    int width = 0, height = 0;
    std::vector<unsigned char> rgba;
};

Picture readPng(const std::string& file) {
    std::string error;
    std::unique_ptr<Image> image = Image::load(file, error);
    Picture picture;
    if (image == nullptr) {
        ADD_FAILURE() << file << ": " << error;
        return picture;
    }
    picture.width = image->width();
    picture.height = image->height();
    int bytes = image->bytesPerPixel();
    for (int i = 0; i < picture.width * picture.height; ++i) {
        for (int c = 0; c < 4; ++c) {
            picture.rgba.push_back(c < 3 ? image->pixels()[i * bytes + c] : 255);
        }
    }
    return picture;
}

// One capture run shared by the tests of this program.
class CaptureTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder = new TempDir();
        std::string command = "SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy " +
                              stageProgram("lumora-capture") + " --quiet --bench --out " +
                              folder->path() +
                              " --at 0 --at 10 --at 20 --at 186.4 --from 5 --to 5.1 --fps 30";
        status = runCommand(command, output = new std::string());
    }
    static void TearDownTestSuite() {
        delete folder;
        delete output;
    }
    static TempDir* folder;
    static std::string* output;
    static int status;
};
TempDir* CaptureTest::folder = nullptr;
std::string* CaptureTest::output = nullptr;
int CaptureTest::status = -1;

TEST_F(CaptureTest, WritesTheAskedFramesWithLoadingLinesAndTimings) {
    ASSERT_EQ(status, 0) << *output;
    for (const char* name : {"at-0.000.png", "at-10.000.png", "at-20.000.png", "at-186.400.png",
                             "frame-000000.png", "frame-000001.png", "frame-000002.png"}) {
        EXPECT_TRUE(std::filesystem::exists(folder->file(name))) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(folder->file("frame-000003.png")));
    EXPECT_NE(output->find("Loading element \"Ocean\"...Done."), std::string::npos);
    EXPECT_NE(output->find("bench frame frames="), std::string::npos);
    EXPECT_NE(output->find("bench effect=Ocean frames="), std::string::npos);
    EXPECT_NE(output->find("bench effect=Camrig frames="), std::string::npos);
}

TEST_F(CaptureTest, OpeningStartsBlackAndTheSeasShow) {
    ASSERT_EQ(status, 0) << *output;
    Picture black = readPng(folder->file("at-0.000.png"));
    ASSERT_EQ(black.width, 800);
    ASSERT_EQ(black.height, 600);
    for (size_t i = 0; i < black.rgba.size(); i += 4) {
        ASSERT_EQ(black.rgba[i] + black.rgba[i + 1] + black.rgba[i + 2], 0) << "pixel " << i / 4;
    }
    for (const char* name : {"at-10.000.png", "at-20.000.png", "at-186.400.png"}) {
        Picture scene = readPng(folder->file(name));
        long sum = 0;
        for (unsigned char v : scene.rgba) {
            sum += v;
        }
        EXPECT_GT(sum / static_cast<long>(scene.rgba.size()), 40) << name;
    }
}

// How far two pictures of the same size differ: pixels that differ and the
// largest difference of a colour.
struct Difference {
    long pixels = 0;
    int largest = 0;
};

Difference compare(const Picture& a, const Picture& b) {
    Difference difference;
    for (size_t i = 0; i + 3 < a.rgba.size() && i + 3 < b.rgba.size(); i += 4) {
        int largest = 0;
        for (size_t c = 0; c < 3; ++c) {
            largest = std::max(largest, std::abs(a.rgba[i + c] - b.rgba[i + c]));
        }
        difference.pixels += largest > 0 ? 1 : 0;
        difference.largest = std::max(difference.largest, largest);
    }
    return difference;
}

std::string capture(const std::string& arguments) {
    return "SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy " + stageProgram("lumora-capture") +
           " --quiet " + arguments;
}

// Every frame is the frame of the whole demo played from 0 at the same rate,
// however it is reached: single frames asked for in any order, a range that
// starts inside a scene. One frame a second keeps the whole render short; the
// seek does the same at any rate.
TEST(CaptureExactTest, FramesReachedAnyWayAreThoseOfTheWholeDemo) {
    TempDir folder;
    std::string output;
    ASSERT_EQ(
        runCommand(capture("--fps 1 --from 0 --to 189.9 --out " + folder.file("whole")), &output),
        0)
        << output;
    auto whole = [&](int second) { return readPng(folder.file("whole/" + rangeFileName(second))); };

    // Inside every scene and the first frame after every cut, out of order:
    // every frame is reached from one of another scene.
    const std::vector<int> times = {186, 12,  120, 26,  170, 50,  179, 83,
                                    40,  100, 107, 131, 178, 150, 155, 65};
    std::string at;
    for (int second : times) {
        at += " --at " + std::to_string(second);
    }
    ASSERT_EQ(runCommand(capture("--fps 1" + at + " --out " + folder.file("at"))), 0) << output;
    for (int second : times) {
        const Difference difference =
            compare(readPng(folder.file("at/" + atFileName(second))), whole(second));
        EXPECT_EQ(difference.pixels, 0)
            << "--at " << second << ": largest difference " << difference.largest;
    }

    // Ranges that start inside the metaballs (their glow and field carry from
    // frame to frame) and inside the greetings.
    for (int from : {166, 119}) {
        const std::string out = folder.file("range-" + std::to_string(from));
        ASSERT_EQ(runCommand(capture("--fps 1 --from " + std::to_string(from) + " --to " +
                                     std::to_string(from + 3) + " --out " + out),
                             &output),
                  0)
            << output;
        for (int frame = 0; frame < 3; ++frame) {
            const Difference difference =
                compare(readPng(out + "/" + rangeFileName(frame)), whole(from + frame));
            EXPECT_EQ(difference.pixels, 0) << "range from " << from << ", frame " << frame
                                            << ": largest difference " << difference.largest;
        }
    }
}

TEST(CaptureOptionsTest, RejectsWhatCannotBeRendered) {
    auto parse = [](std::vector<const char*> words, std::string& error) {
        words.insert(words.begin(), "lumora-capture");
        CaptureOptions options;
        return parseCaptureOptions(static_cast<int>(words.size()), const_cast<char**>(words.data()),
                                   189.9f, options, error);
    };
    std::string error;
    EXPECT_FALSE(parse({}, error));
    EXPECT_FALSE(parse({"--at"}, error));
    EXPECT_FALSE(parse({"--at", "ten"}, error));
    EXPECT_FALSE(parse({"--from", "5", "--to", "4"}, error));
    EXPECT_FALSE(parse({"--from", "0", "--to", "1", "--fps", "0"}, error));
    EXPECT_FALSE(parse({"--video", "x.mp4", "--at", "3"}, error));
    EXPECT_FALSE(parse({"--at", "1", "--frobnicate"}, error));
    EXPECT_NE(error.find("--frobnicate"), std::string::npos);
    EXPECT_FALSE(parse({"--at", "1", "--samples", "-1"}, error));
    EXPECT_TRUE(parse({"--at", "1.5", "--samples", "4"}, error)) << error;

    // Times outside the demo, and ranges that would never end.
    for (std::vector<const char*> words : {std::vector<const char*>{"--at", "-5"},
                                           {"--at", "1e30"},
                                           {"--at", "nan"},
                                           {"--at", "189.9"},
                                           {"--from", "-1", "--to", "3"},
                                           {"--from", "189", "--to", "1e30"},
                                           {"--from", "190", "--to", "191"},
                                           {"--from", "3"},
                                           {"--from", "0", "--to", "100", "--fps", "1000000"},
                                           {"--from", "1.01", "--to", "1.05", "--fps", "10"}}) {
        EXPECT_FALSE(parse(words, error)) << words[0] << " " << words[1];
    }
    EXPECT_TRUE(parse({"--from", "0", "--to", "189.9"}, error)) << error;
    // A video whose folder is missing, or that names a folder.
    EXPECT_FALSE(parse({"--from", "1", "--to", "2", "--video", "/no/such/folder/clip.mp4"}, error));
    EXPECT_NE(error.find("/no/such/folder"), std::string::npos) << error;
    EXPECT_FALSE(parse({"--from", "1", "--to", "2", "--video", "/tmp"}, error));
    EXPECT_EQ(atFileName(10), "at-10.000.png");
    EXPECT_EQ(rangeFileName(42), "frame-000042.png");
}

TEST(CaptureVideoTest, EncodesARangeWithTheSoundtrack) {
    if (runCommand("command -v ffprobe") != 0) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    TempDir folder;
    std::string output;
    ASSERT_EQ(runCommand("SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy " +
                             stageProgram("lumora-capture") +
                             " --quiet --from 10 --to 10.5 --video " + folder.file("clip.mp4"),
                         &output),
              0)
        << output;
    std::string streams;
    runCommand("ffprobe -v error -show_entries stream=codec_type,nb_frames -of csv=p=0 " +
                   folder.file("clip.mp4"),
               &streams);
    EXPECT_NE(streams.find("video,15"), std::string::npos) << streams;
    EXPECT_NE(streams.find("audio"), std::string::npos) << streams;
}

TEST(CaptureProgramTest, BadArgumentsEndWithTheUsageBeforeAnythingRenders) {
    TempDir folder;
    std::string output;
    EXPECT_EQ(runCommand(capture("--from 189 --to 1e30 --out " + folder.file("never")), &output), 2)
        << output;
    EXPECT_NE(output.find("usage: lumora-capture"), std::string::npos) << output;
    EXPECT_EQ(output.find("Loading element"), std::string::npos) << output;
    EXPECT_FALSE(std::filesystem::exists(folder.file("never")));
}

// A render stopped by SIGTERM ends after the frame under way and leaves a video
// that plays: the frames it wrote, and the soundtrack under them.
TEST(CaptureVideoTest, ASignalLeavesAPlayableVideo) {
    if (runCommand("command -v ffprobe") != 0) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    TempDir folder;
    const std::string video = folder.file("stopped.mp4");
    const std::string log = folder.file("log");
    // The progress line shows when frames are being written; the signal comes then.
    const std::string script =
        "SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy " + stageProgram("lumora-capture") +
        " --from 100 --to 140 --fps 30 --video " + video + " > " + log + " 2>&1 & pid=$!; " +
        "for i in $(seq 600); do grep -q '% frame [1-9]' " + log +
        " && break; sleep 0.1; done; kill -TERM $pid; wait $pid; echo status $?";
    std::string output;
    runCommand(script, &output);
    std::string printed;
    runCommand("cat " + log, &printed);
    EXPECT_NE(output.find("status 143"), std::string::npos) << output << printed;
    EXPECT_NE(printed.find("stopped by SIGTERM"), std::string::npos) << printed;

    std::string streams;
    ASSERT_EQ(runCommand("ffprobe -v error -count_frames -show_entries "
                         "stream=codec_type,nb_read_frames -of csv=p=0 " +
                             video,
                         &streams),
              0)
        << streams;
    EXPECT_NE(streams.find("audio"), std::string::npos) << streams;
    const size_t at = streams.find("video,");
    ASSERT_NE(at, std::string::npos) << streams;
    const int frames = std::atoi(streams.c_str() + at + 6);
    EXPECT_GT(frames, 0) << streams;
    EXPECT_LT(frames, 1200) << streams;
}

// An encoder that dies half-way is reported with its own message and a failing
// exit; the capture tool is not killed by the broken pipe.
TEST(CaptureVideoTest, AnEncoderThatDiesIsReported) {
    TempDir folder;
    const std::string fake = folder.file("ffmpeg");
    {
        std::ofstream script(fake);
        script << "#!/bin/sh\nhead -c 3000000 > /dev/null\necho 'encoder: no space left' >&2\n"
                  "exit 1\n";
    }
    std::filesystem::permissions(fake, std::filesystem::perms::owner_all);
    std::string output;
    const int status =
        runCommand("PATH=" + folder.path() + ":$PATH " +
                       capture("--from 10 --to 12 --video " + folder.file("clip.mp4")),
                   &output);
    EXPECT_EQ(status, 1) << output;
    EXPECT_NE(output.find("encoder: no space left"), std::string::npos) << output;
    EXPECT_NE(output.find("could not be written"), std::string::npos) << output;
}

} // namespace
