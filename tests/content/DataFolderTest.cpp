#include "GeneratedFolder.h"

#include "support/GlTest.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "resources/Image.h"

#include <algorithm>
#include <memory>

namespace {

// A picture decoded by the engine's own loader, with channel access.
struct Decoded {
    std::unique_ptr<Image> image;
    std::string error;
    int width = 0, height = 0, components = 0;
    explicit operator bool() const { return image != nullptr; }
    int at(int x, int y, int c) const {
        // Opaque where the picture has no alpha channel.
        if (c >= components)
            return 255;
        return image->pixels()[(static_cast<size_t>(y) * width + x) * components + c];
    }
};

Decoded decode(const std::string& path) {
    Decoded d;
    d.image = Image::load(path, d.error);
    if (d.image) {
        d.width = d.image->width();
        d.height = d.image->height();
        d.components = d.image->pixelKind() == PixelKind::Rgba8 ? 4 : 3;
    }
    return d;
}

bool powerOfTwo(int n) {
    return n > 0 && (n & (n - 1)) == 0;
}

bool isJpeg(const std::vector<unsigned char>& b) {
    return b.size() > 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF;
}

bool isPng(const std::vector<unsigned char>& b) {
    return b.size() > 8 && b[0] == 0x89 && b[1] == 'P' && b[2] == 'N' && b[3] == 'G';
}

TEST(DataFolder, RunWritesEveryFileInItsFormatAndReportsEachGroup) {
    const GeneratedFolder& run = generatedFolder();
    ASSERT_EQ(run.exitStatus, 0) << run.output;
    EXPECT_NE(run.output.find("sea and sky"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("soundtrack"), std::string::npos) << run.output;

    for (const ExpectedFile& file : expectedFiles()) {
        SCOPED_TRACE(file.path);
        const std::string path = run.path + "/" + file.path;
        const std::vector<unsigned char> bytes = readFileBytes(path);
        ASSERT_FALSE(bytes.empty());
        if (file.kind == FileKind::ColourJpeg || file.kind == FileKind::AlphaPng) {
            const bool jpeg = file.kind == FileKind::ColourJpeg;
            EXPECT_TRUE(jpeg ? isJpeg(bytes) : isPng(bytes));
            Decoded image = decode(path);
            ASSERT_TRUE(image) << image.error;
            EXPECT_EQ(image.image->pixelKind(), jpeg ? PixelKind::Rgb8 : PixelKind::Rgba8);
            EXPECT_TRUE(powerOfTwo(image.width) && powerOfTwo(image.height))
                << image.width << " x " << image.height;
        }
    }
}

TEST(DataFolder, SecondRunGivesIdenticalBytes) {
    const GeneratedFolder& first = generatedFolder();
    ASSERT_EQ(first.exitStatus, 0) << first.output;
    TempDir second;
    std::string output;
    ASSERT_EQ(runCommand(stageProgram("lumora-datagen") + " " + second.path(), &output), 0)
        << output;
    for (const ExpectedFile& file : expectedFiles())
        EXPECT_TRUE(readFileBytes(first.path + "/" + file.path) ==
                    readFileBytes(second.file(file.path)))
            << file.path << " differs between two runs";
}

TEST(DataFolder, UnwritableFolderFailsNamingTheFile) {
    TempDir dir;
    // A plain file where the generator needs a folder.
    ASSERT_EQ(runCommand("touch " + dir.file("data")), 0);
    std::string output;
    EXPECT_EQ(runCommand(stageProgram("lumora-datagen") + " " + dir.path(), &output), 1);
    EXPECT_NE(output.find(dir.path() + "/data/"), std::string::npos) << output;

    EXPECT_EQ(runCommand(stageProgram("lumora-datagen"), &output), 2) << "no folder given";
}

// Sprites are added to the screen: anything but black at their border would
// show the square's edge.
TEST(DataFolder, FlareSpritesAreBlackAtTheirBorder) {
    const GeneratedFolder& run = generatedFolder();
    ASSERT_EQ(run.exitStatus, 0);
    for (const char* name : {"flare0", "flare1", "flare2", "flare3", "flare4", "bg"}) {
        SCOPED_TRACE(name);
        Decoded image = decode(run.path + "/data/flare/" + name + ".jpg");
        ASSERT_TRUE(image) << image.error;
        int brightestEdge = 0, brightest = 0;
        for (int i = 0; i < image.width; ++i)
            for (int c = 0; c < 3; ++c) {
                brightestEdge =
                    std::max({brightestEdge, image.at(i, 0, c), image.at(i, image.height - 1, c),
                              image.at(0, i, c), image.at(image.width - 1, i, c)});
            }
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x)
                brightest = std::max(brightest, image.at(x, y, 1));
        EXPECT_LE(brightestEdge, 4);
        EXPECT_GT(brightest, 100) << "the sprite shows nothing";
    }
}

// The sea's normal map repeats across the grid, so opposite edges must meet.
TEST(DataFolder, WaveHeightsTile) {
    const GeneratedFolder& run = generatedFolder();
    ASSERT_EQ(run.exitStatus, 0);
    Decoded image = decode(run.path + "/data/waterbump.jpg");
    ASSERT_TRUE(image) << image.error;
    double seam = 0, neighbours = 0;
    for (int i = 0; i < image.height; ++i) {
        seam += std::abs(image.at(0, i, 1) - image.at(image.width - 1, i, 1));
        seam += std::abs(image.at(i, 0, 1) - image.at(i, image.height - 1, 1));
        neighbours +=
            std::abs(image.at(image.width / 2, i, 1) - image.at(image.width / 2 + 1, i, 1));
        neighbours +=
            std::abs(image.at(i, image.height / 2, 1) - image.at(i, image.height / 2 + 1, 1));
    }
    EXPECT_LT(seam, neighbours * 1.5) << "the seam is rougher than the inside";
}

// Rows of a picture that hold any visible lettering, as runs of rows.
std::vector<std::pair<int, int>> letteringRows(const Decoded& image) {
    std::vector<std::pair<int, int>> runs;
    for (int y = 0; y < image.height; ++y) {
        int coverage = 0;
        for (int x = 0; x < image.width; ++x)
            coverage += image.at(x, y, 3) > 200;
        if (coverage > 0 && (runs.empty() || runs.back().second != y - 1))
            runs.push_back({y, y});
        else if (coverage > 0)
            runs.back().second = y;
    }
    return runs;
}

// The fullscreen pass shows the first stored row at the bottom: the logo's
// large name must be stored below its small "presents" line so that on screen
// the name stands above it.
TEST(DataFolder, TypographyIsStoredUpsideDownWithTransparentSurroundings) {
    const GeneratedFolder& run = generatedFolder();
    ASSERT_EQ(run.exitStatus, 0);
    Decoded logo = decode(run.path + "/data/meridiantypo/logo.png");
    ASSERT_TRUE(logo) << logo.error;
    EXPECT_EQ(logo.at(0, 0, 3), 0);
    EXPECT_EQ(logo.at(logo.width / 2, 5, 3), 0);

    const auto runs = letteringRows(logo);
    ASSERT_GE(runs.size(), 2u);
    const auto tallest = std::max_element(runs.begin(), runs.end(), [](auto a, auto b) {
        return a.second - a.first < b.second - b.first;
    });
    EXPECT_GT(tallest->first, runs.front().second) << "the name is stored above the small line";
}

} // namespace

namespace {

// The greetings alpha-test the halo at one half: an alpha near the threshold
// would give a ragged edge.
TEST(DataFolder, HaloAlphaIsClearlyOnOrOff) {
    const GeneratedFolder& run = generatedFolder();
    ASSERT_EQ(run.exitStatus, 0);
    Decoded halo = decode(run.path + "/data/jall.png");
    ASSERT_TRUE(halo) << halo.error;
    int inside = 0, ragged = 0;
    for (int y = 0; y < halo.height; ++y)
        for (int x = 0; x < halo.width; ++x) {
            const int a = halo.at(x, y, 3);
            inside += a > 128;
            ragged += a > 64 && a < 192;
        }
    EXPECT_GT(inside, halo.width * halo.height / 3);
    EXPECT_EQ(ragged, 0);
}

// Every letter of the alphabet is there and shows its letter in the middle, on
// black up to its border. Its corners carry the colour of the greetings' links,
// which are drawn at the corner texel of the letter picture bound last.
TEST(DataFolder, EveryLetterGlowsOnBlack) {
    const GeneratedFolder& run = generatedFolder();
    ASSERT_EQ(run.exitStatus, 0);
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        SCOPED_TRACE(letter);
        Decoded image = decode(run.path + "/data/letters/" + letter + ".jpg");
        ASSERT_TRUE(image) << image.error;
        EXPECT_EQ(image.components, 3);
        for (int i = 4; i < image.width - 4; i += 9) {
            EXPECT_LE(image.at(i, 0, 2), 6);
            EXPECT_LE(image.at(0, i, 2), 6);
            EXPECT_LE(image.at(i, image.height - 1, 2), 6);
            EXPECT_LE(image.at(image.width - 1, i, 2), 6);
        }
        for (int x : {0, image.width - 1})
            for (int y : {0, image.height - 1}) {
                EXPECT_GT(image.at(x, y, 2), 200);
                EXPECT_GT(image.at(x, y, 1), 120);
                EXPECT_LT(image.at(x, y, 0), image.at(x, y, 2));
            }
        int lit = 0;
        for (int y = image.height / 4; y < 3 * image.height / 4; ++y)
            for (int x = image.width / 4; x < 3 * image.width / 4; ++x)
                lit += image.at(x, y, 0) > 200;
        EXPECT_GT(lit, 300);
    }
}

} // namespace
