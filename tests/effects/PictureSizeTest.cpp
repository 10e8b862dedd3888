// The same picture at every size: every scene rendered at twice the size
// reduced 2:1, supersampled, and in windows of another shape (16:9, portrait)
// shows what it shows at 800 x 600, centred between black bars. A size
// assumed anywhere shows here as a quarter picture, a shifted glow, thin
// lines or misplaced bars.
#include "core/Capture.h"
#include "support/GlTest.h"
#include "support/GoldenFrames.h"

#include <string>
#include <vector>

namespace {

// One frame of every scene, where its lines, glows, sprites and type show.
const int times[] = {10, 40, 65, 95, 120, 145, 170, 185};

RgbPicture crop(const RgbPicture& picture, int left, int top, int width, int height) {
    RgbPicture part;
    part.width = width;
    part.height = height;
    for (int y = top; y < top + height; ++y) {
        const unsigned char* row =
            &picture.rgb[(static_cast<size_t>(y) * picture.width + left) * 3];
        part.rgb.insert(part.rgb.end(), row, row + static_cast<size_t>(width) * 3);
    }
    return part;
}

// Outside the rectangle every pixel is black.
long litOutside(const RgbPicture& picture, int left, int top, int width, int height) {
    long lit = 0;
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const bool inside = x >= left && x < left + width && y >= top && y < top + height;
            const unsigned char* p = &picture.rgb[(static_cast<size_t>(y) * picture.width + x) * 3];
            lit += !inside && (p[0] | p[1] | p[2]) != 0 ? 1 : 0;
        }
    }
    return lit;
}

class PictureSizeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { folder = new TempDir(); }
    static void TearDownTestSuite() { delete folder; }

    // The frames at `times` rendered with these options into their own folder.
    static std::string render(const std::string& options) {
        std::string name;
        for (char c : options) {
            name += std::isalnum(static_cast<unsigned char>(c)) ? c : '-';
        }
        const std::string out = folder->file(name.empty() ? "plain" : name);
        std::string at;
        for (int t : times) {
            at += " --at " + std::to_string(t);
        }
        std::string output;
        const int status = runCommand("SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy " +
                                          stageProgram("lumora-capture") + " --quiet " + options +
                                          at + " --out " + out,
                                      &output);
        EXPECT_EQ(status, 0) << output;
        return out;
    }
    static RgbPicture frame(const std::string& out, int t) {
        std::string error;
        RgbPicture picture = readRgbPicture(out + "/" + atFileName(t), error);
        EXPECT_FALSE(picture.rgb.empty()) << error;
        return picture;
    }

    static TempDir* folder;
};

TempDir* PictureSizeTest::folder = nullptr;

TEST_F(PictureSizeTest, EveryScenesPictureIsTheSameAtEverySizeAndShape) {
    const std::string plain = render("");
    const std::string twice = render("--size 1600x1200");
    const std::string supersampled = render("--supersample 2");
    const std::string wide = render("--size 1024x576");
    const std::string wideAlone = render("--size 768x576");
    const std::string tall = render("--size 600x800");
    const std::string tallAlone = render("--size 600x450");

    for (int t : times) {
        SCOPED_TRACE("at " + std::to_string(t) + " s");
        const RgbPicture small = frame(plain, t);
        const RgbPicture large = halfSize(frame(twice, t));
        ASSERT_EQ(large.width, 800);
        // Twice the size, reduced: the same picture, sharper edges and finer
        // texture apart; compared in squares of 4 x 4 pixels.
        const PictureDifference squares =
            compareRgb(halfSize(halfSize(large)), halfSize(halfSize(small)), 24);
        EXPECT_LE(squares.share(), 0.01) << squares.changed << " of " << squares.pixels
                                         << " squares, largest " << squares.largest;

        // Supersampled 2x is that same larger frame reduced, on the GL side.
        const PictureDifference reduced = compareRgb(frame(supersampled, t), large, 1);
        EXPECT_LE(reduced.share(), 0.0001) << reduced.changed << " pixels, " << reduced.largest;

        // 16:9: the 768 x 576 picture between bars of 128 pixels.
        const RgbPicture wideFrame = frame(wide, t);
        EXPECT_EQ(litOutside(wideFrame, 128, 0, 768, 576), 0);
        const PictureDifference pillarboxed =
            compareRgb(crop(wideFrame, 128, 0, 768, 576), frame(wideAlone, t), 26);
        EXPECT_LE(pillarboxed.share(), 0.001) << pillarboxed.changed << " pixels";

        // Portrait: the 600 x 450 picture 174 pixels above the bottom, top rows
        // first in the file.
        const RgbPicture tallFrame = frame(tall, t);
        EXPECT_EQ(litOutside(tallFrame, 0, 176, 600, 450), 0);
        const PictureDifference letterboxed =
            compareRgb(crop(tallFrame, 0, 176, 600, 450), frame(tallAlone, t), 26);
        EXPECT_LE(letterboxed.share(), 0.001) << letterboxed.changed << " pixels";
    }
}

} // namespace
