// lumora-capture: the production rendered offline through the player's frame
// code, checked picture by picture, against small golden frames, and as video.
#include "core/Capture.h"
#include "resources/Image.h"
#include "resources/ImageWriter.h"
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

// The picture averaged down by `factor` in both directions, as RGB.
Picture shrink(const Picture& big, int factor) {
    Picture small;
    small.width = big.width / factor;
    small.height = big.height / factor;
    for (int y = 0; y < small.height; ++y) {
        for (int x = 0; x < small.width; ++x) {
            for (int c = 0; c < 4; ++c) {
                int sum = 0;
                for (int dy = 0; dy < factor; ++dy) {
                    for (int dx = 0; dx < factor; ++dx) {
                        sum += big.rgba[((y * factor + dy) * big.width + x * factor + dx) * 4 + c];
                    }
                }
                small.rgba.push_back(static_cast<unsigned char>(sum / (factor * factor)));
            }
        }
    }
    return small;
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

// Small golden frames guard the look against regressions. After a deliberate
// change of the look, LUMORA_UPDATE_GOLDEN=1 writes them anew; that run fails on
// purpose, so that no run with it set can pass a changed picture unnoticed.
TEST_F(CaptureTest, FramesMatchTheirGoldenPictures) {
    ASSERT_EQ(status, 0) << *output;
    const std::string goldenFolder = std::string(LUMORA_SOURCE_DIR) + "/tests/effects/golden/";
    const bool update = getenv("LUMORA_UPDATE_GOLDEN") != nullptr;
    for (const char* name : {"at-10.000.png", "at-186.400.png"}) {
        Picture frame = shrink(readPng(folder->file(name)), 10);
        if (update) {
            std::filesystem::create_directories(goldenFolder);
            ASSERT_TRUE(
                writePng(goldenFolder + name, frame.width, frame.height, 4, frame.rgba.data()));
            ADD_FAILURE() << "wrote the golden frame " << goldenFolder + name
                          << "; look at it, then run again without LUMORA_UPDATE_GOLDEN";
            continue;
        }
        Picture golden = readPng(goldenFolder + name);
        ASSERT_EQ(golden.rgba.size(), frame.rgba.size()) << name;
        // Colour only: what the frame holds in alpha is not part of the picture.
        double total = 0.0;
        int worst = 0;
        for (size_t i = 0; i < frame.rgba.size(); ++i) {
            if (i % 4 == 3) {
                continue;
            }
            int difference = std::abs(frame.rgba[i] - golden.rgba[i]);
            total += difference;
            worst = std::max(worst, difference);
        }
        EXPECT_LT(total / (frame.rgba.size() / 4 * 3), 3.0) << name;
        EXPECT_LT(worst, 64) << name;
    }
}

TEST(CaptureOptionsTest, RejectsWhatCannotBeRendered) {
    auto parse = [](std::vector<const char*> words, std::string& error) {
        words.insert(words.begin(), "lumora-capture");
        CaptureOptions options;
        return parseCaptureOptions(static_cast<int>(words.size()), const_cast<char**>(words.data()),
                                   options, error);
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

} // namespace
