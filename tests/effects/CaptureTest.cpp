// lumora-capture: the production rendered offline through the player's frame
// code, checked picture by picture and as video (GoldenFramesTest compares
// every scene with its golden frames).
#include "core/Capture.h"
#include "support/GlTest.h"
#include "support/GoldenFrames.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

// The frame written to `file`, its colours only.
RgbPicture frameIn(const std::string& file) {
    std::string error;
    RgbPicture picture = readRgbPicture(file, error);
    EXPECT_FALSE(picture.rgb.empty()) << file << ": " << error;
    return picture;
}

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
    RgbPicture black = frameIn(folder->file("at-0.000.png"));
    ASSERT_EQ(black.width, 800);
    ASSERT_EQ(black.height, 600);
    for (size_t i = 0; i < black.rgb.size(); i += 3) {
        ASSERT_EQ(black.rgb[i] + black.rgb[i + 1] + black.rgb[i + 2], 0) << "pixel " << i / 3;
    }
    for (const char* name : {"at-10.000.png", "at-20.000.png", "at-186.400.png"}) {
        RgbPicture scene = frameIn(folder->file(name));
        long sum = 0;
        for (unsigned char v : scene.rgb) {
            sum += v;
        }
        EXPECT_GT(sum / static_cast<long>(scene.rgb.size()), 40) << name;
    }
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
    auto whole = [&](int second) { return frameIn(folder.file("whole/" + rangeFileName(second))); };

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
        const PictureDifference difference =
            compareRgb(frameIn(folder.file("at/" + atFileName(second))), whole(second), 0);
        EXPECT_EQ(difference.changed, 0)
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
            const PictureDifference difference =
                compareRgb(frameIn(out + "/" + rangeFileName(frame)), whole(from + frame), 0);
            EXPECT_EQ(difference.changed, 0) << "range from " << from << ", frame " << frame
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

// What ffprobe says of a video: one line per stream with the entries asked for.
std::string probe(const std::string& video, const std::string& entries) {
    std::string printed;
    runCommand("ffprobe -v error -show_entries " + entries + " -of compact=p=0 " + video, &printed);
    return printed;
}

// The top-level boxes of an MP4 file, in order.
std::vector<std::string> topLevelBoxes(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<std::string> boxes;
    unsigned char header[16];
    while (in.read(reinterpret_cast<char*>(header), 8)) {
        uint64_t size =
            (uint64_t(header[0]) << 24) | (header[1] << 16) | (header[2] << 8) | header[3];
        boxes.push_back(std::string(reinterpret_cast<char*>(header) + 4, 4));
        uint64_t skipped = 8;
        if (size == 1 && in.read(reinterpret_cast<char*>(header + 8), 8)) {
            size = 0;
            for (int i = 8; i < 16; ++i) {
                size = size << 8 | header[i];
            }
            skipped = 16;
        }
        if (size < skipped) {
            break;
        }
        in.seekg(static_cast<std::streamoff>(size - skipped), std::ios::cur);
    }
    return boxes;
}

TEST(CaptureVideoTest, TheReleasePresetMakesAVideoForRelease) {
    if (runCommand("command -v ffprobe") != 0) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    TempDir folder;
    const std::string video = folder.file("release.mp4");
    std::string output;
    ASSERT_EQ(
        runCommand(capture("--preset release --from 110 --to 110.1 --video " + video), &output), 0)
        << output;
    const std::string streams =
        probe(video, "stream=codec_name,profile,width,height,pix_fmt,color_space,"
                     "color_transfer,color_primaries,r_frame_rate,nb_frames");
    EXPECT_NE(streams.find("codec_name=h264|profile=High|width=1920|height=1080|pix_fmt=yuv420p|"
                           "color_space=bt709|color_transfer=bt709|color_primaries=bt709|"
                           "r_frame_rate=60/1|nb_frames=6"),
              std::string::npos)
        << streams;
    EXPECT_NE(streams.find("codec_name=aac"), std::string::npos) << streams;
    // Playable while it downloads: the index before the pictures.
    const std::vector<std::string> boxes = topLevelBoxes(video);
    const auto moov = std::find(boxes.begin(), boxes.end(), "moov");
    const auto mdat = std::find(boxes.begin(), boxes.end(), "mdat");
    ASSERT_NE(moov, boxes.end());
    EXPECT_LT(moov, mdat);

    // Pillarboxed: the 4:3 picture at full height between black bars.
    ASSERT_EQ(
        runCommand("ffmpeg -v error -i " + video + " -frames:v 1 " + folder.file("f.png"), &output),
        0)
        << output;
    const RgbPicture frame = frameIn(folder.file("f.png"));
    ASSERT_EQ(frame.width, 1920);
    auto brightest = [&](int x0, int x1) {
        int most = 0;
        for (int y = 0; y < frame.height; y += 7) {
            for (int x = x0; x < x1; ++x) {
                const unsigned char* p = &frame.rgb[(static_cast<size_t>(y) * 1920 + x) * 3];
                most = std::max({most, int(p[0]), int(p[1]), int(p[2])});
            }
        }
        return most;
    };
    EXPECT_LE(brightest(0, 236), 4);
    EXPECT_LE(brightest(1684, 1920), 4);
    EXPECT_GT(brightest(240, 1680), 100);
}

// A stretch rendered as two pieces and joined is the stretch rendered whole:
// the same frames at the same times, and the soundtrack under them.
TEST(CaptureVideoTest, PiecesJoinIntoTheWholeStretch) {
    if (runCommand("command -v ffprobe") != 0) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    TempDir folder;
    std::string output;
    auto render = [&](const std::string& from, const std::string& to, const std::string& name) {
        ASSERT_EQ(runCommand(capture("--preset preview --from " + from + " --to " + to +
                                     " --video " + folder.file(name)),
                             &output),
                  0)
            << output;
    };
    render("100", "101", "whole.mp4");
    render("100", "100.6", "first.mp4");
    render("100.6", "101", "second.mp4");
    const std::string joined = folder.file("joined.mp4");
    ASSERT_EQ(runCommand(capture("--join " + joined + " " + folder.file("first.mp4") + " " +
                                 folder.file("second.mp4")),
                         &output),
              0)
        << output;

    // Presentation times, in order (pieces and whole group their frames for
    // decoding each their own way).
    auto times = [](const std::string& video) {
        const std::string printed = probe(video, "frame=pts_time -select_streams v");
        std::vector<double> seconds;
        for (size_t at = printed.find("pts_time="); at != std::string::npos;
             at = printed.find("pts_time=", at + 1)) {
            seconds.push_back(std::atof(printed.c_str() + at + 9));
        }
        return seconds;
    };
    EXPECT_EQ(times(joined), times(folder.file("whole.mp4")));
    EXPECT_EQ(times(joined).size(), 30u);
    const std::string frames = probe(joined, "stream=codec_type,nb_frames");
    EXPECT_NE(frames.find("codec_type=video|nb_frames=30"), std::string::npos) << frames;
    auto soundSeconds = [&](const std::string& video) {
        const std::string line = probe(video, "stream=duration -select_streams a");
        return std::atof(line.c_str() + line.find('=') + 1);
    };
    EXPECT_NEAR(soundSeconds(joined), soundSeconds(folder.file("whole.mp4")), 1.0 / 30.0);
    EXPECT_NEAR(soundSeconds(joined), 1.0, 1.0 / 30.0);

    // Pieces out of order, or one twice, leave holes and overlaps: refused.
    EXPECT_EQ(runCommand(capture("--join " + folder.file("bad.mp4") + " " +
                                 folder.file("second.mp4") + " " + folder.file("first.mp4")),
                         &output),
              1);
    EXPECT_NE(output.find("the pieces do not join"), std::string::npos) << output;
    EXPECT_FALSE(std::filesystem::exists(folder.file("bad.mp4")));
}

} // namespace
