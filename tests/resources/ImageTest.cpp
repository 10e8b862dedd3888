#include "resources/Image.h"
#include "resources/ImageWriter.h"
#include "resources/TextFile.h"
#include "resources/WholeFile.h"

#include "support/GlTest.h"

#include <gtest/gtest.h>

#include <cstring>


namespace {

std::vector<unsigned char> png(int w, int h, int comp, const std::vector<unsigned char>& pixels) {
    return encodePng(w, h, comp, pixels.data());
}

// Baseline JPEGs of one flat 8 x 8 block, built by hand: one component (grey) or
// three (Y, Cb, Cr, with Cb 32 below and Cr 32 above neutral).
std::vector<unsigned char> flatJpeg(int components) {
    std::vector<unsigned char> b = {0xff, 0xd8};
    b.insert(b.end(), {0xff, 0xdb, 0x00, 0x43, 0x00});
    b.insert(b.end(), 64, 1);
    unsigned char sofLength = static_cast<unsigned char>(8 + 3 * components);
    b.insert(b.end(), {0xff, 0xc0, 0x00, sofLength, 0x08, 0x00, 0x08, 0x00, 0x08,
                       static_cast<unsigned char>(components)});
    for (int c = 1; c <= components; ++c) {
        b.insert(b.end(), {static_cast<unsigned char>(c), 0x11, 0x00});
    }
    // DC codes "00" for category 0 and "01" for category 9; AC code "0" ends a block.
    b.insert(b.end(), {0xff, 0xc4, 0x00, 0x15, 0x00, 0x00, 0x02});
    b.insert(b.end(), 14, 0);
    b.insert(b.end(), {0x00, 0x09});
    b.insert(b.end(), {0xff, 0xc4, 0x00, 0x14, 0x10, 0x01});
    b.insert(b.end(), 15, 0);
    b.push_back(0x00);
    unsigned char sosLength = static_cast<unsigned char>(6 + 2 * components);
    b.insert(b.end(), {0xff, 0xda, 0x00, sosLength, static_cast<unsigned char>(components)});
    for (int c = 1; c <= components; ++c) {
        b.insert(b.end(), {static_cast<unsigned char>(c), 0x00});
    }
    b.insert(b.end(), {0x00, 0x3f, 0x00});
    if (components == 1) {
        b.push_back(0x1f); // "00" "0", padded with ones
    } else {
        // Y: "00" "0"; Cb: "01" -256 "0"; Cr: "01" +256 "0"; padded with ones.
        b.insert(b.end(), {0x0b, 0xfc, 0xc0, 0x1f});
    }
    b.insert(b.end(), {0xff, 0xd9});
    return b;
}

// An RGB PNG with a tRNS chunk inserted after its header.
std::vector<unsigned char> withTransparency(std::vector<unsigned char> bytes) {
    const unsigned char chunk[] = {0, 0, 0, 6, 't', 'R', 'N', 'S', 0, 1, 0, 2, 0, 3, 0, 0, 0, 0};
    bytes.insert(bytes.begin() + 33, chunk, chunk + sizeof chunk);
    return bytes;
}

std::unique_ptr<Image> decoded(const std::vector<unsigned char>& bytes, std::string* error) {
    return Image::decode(bytes.data(), bytes.size(), *error);
}

const std::vector<unsigned char> twoByTwo = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120};

} // namespace

TEST(Image, TruecolourPngKeepsRowsTopFirstAsRgb8) {
    std::string error;
    auto image = decoded(png(2, 2, 3, twoByTwo), &error);
    ASSERT_TRUE(image) << error;
    EXPECT_EQ(image->pixelKind(), PixelKind::Rgb8);
    EXPECT_EQ(image->width(), 2);
    EXPECT_EQ(image->height(), 2);
    EXPECT_EQ(0, memcmp(image->pixels(), twoByTwo.data(), twoByTwo.size()));
}

TEST(Image, AlphaOrTransparencyGivesRgba8) {
    std::string error;
    std::vector<unsigned char> rgba = {1, 2, 3, 4, 5, 6, 7, 8};
    auto withAlpha = decoded(png(2, 1, 4, rgba), &error);
    ASSERT_TRUE(withAlpha) << error;
    EXPECT_EQ(withAlpha->pixelKind(), PixelKind::Rgba8);
    EXPECT_EQ(0, memcmp(withAlpha->pixels(), rgba.data(), rgba.size()));

    auto transparent = decoded(withTransparency(png(2, 2, 3, twoByTwo)), &error);
    ASSERT_TRUE(transparent) << error;
    EXPECT_EQ(transparent->pixelKind(), PixelKind::Rgba8);
    EXPECT_EQ(transparent->pixels()[4], 40);
    EXPECT_EQ(transparent->pixels()[7], 255);

    auto greyAlpha = decoded(png(1, 1, 2, {7, 9}), &error);
    ASSERT_TRUE(greyAlpha) << error;
    EXPECT_EQ(greyAlpha->pixelKind(), PixelKind::Rgba8);
}

TEST(Image, ColourJpegIsRgb8) {
    std::string error;
    auto image = decoded(flatJpeg(3), &error);
    ASSERT_TRUE(image) << error;
    EXPECT_EQ(image->pixelKind(), PixelKind::Rgb8);
    EXPECT_EQ(image->width(), 8);
    EXPECT_EQ(image->height(), 8);
    // Y 128, Cb 96, Cr 160.
    const unsigned char* last = image->pixels() + 63 * 3;
    EXPECT_NEAR(last[0], 173, 2);
    EXPECT_NEAR(last[1], 116, 2);
    EXPECT_NEAR(last[2], 71, 2);
}

TEST(Image, PalettesGreyscaleAndOtherFilesAreRejectedWithAReason) {
    std::string error;
    std::vector<unsigned char> palette = png(2, 2, 3, twoByTwo);
    palette[25] = 3;
    EXPECT_FALSE(decoded(palette, &error));
    EXPECT_NE(error.find("palette"), std::string::npos) << error;

    EXPECT_FALSE(decoded(png(2, 1, 1, {5, 6}), &error));
    EXPECT_NE(error.find("greyscale PNG"), std::string::npos) << error;

    EXPECT_FALSE(decoded(flatJpeg(1), &error));
    EXPECT_NE(error.find("greyscale JPEG"), std::string::npos) << error;

    EXPECT_FALSE(decoded({'B', 'M', 0, 0}, &error));
    EXPECT_NE(error.find("not a JPEG or PNG"), std::string::npos) << error;

    std::vector<unsigned char> cut = png(2, 2, 3, twoByTwo);
    cut.resize(cut.size() / 2);
    EXPECT_FALSE(decoded(cut, &error));
    EXPECT_NE(error.find("cannot decode"), std::string::npos) << error;

    EXPECT_FALSE(Image::load("/nonexistent-folder/x.png", error));
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;
}

TEST(ImageDeathTest, UnreadablePictureEndsTheProgramNamingTheFile) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TempDir dir;
    std::vector<unsigned char> palette = png(2, 2, 3, twoByTwo);
    palette[25] = 3;
    std::string error;
    ASSERT_TRUE(writeFileBytes(dir.file("sky.png"), palette, error));
    EXPECT_EXIT(Image image(dir.file("sky.png")), testing::ExitedWithCode(1), "sky.png: palette");
    EXPECT_EXIT(Image image(dir.file("none.jpg")), testing::ExitedWithCode(1),
                "none.jpg: cannot open");
}

TEST(TextFile, HoldsTheWholeFileAndATerminator) {
    TempDir dir;
    std::string error;
    ASSERT_TRUE(writeFileBytes(dir.file("a.cg"), {'a', '\n', 'b'}, error));
    TextFile file(dir.file("a.cg"));
    EXPECT_EQ(file.size(), 3u);
    EXPECT_EQ(file.text()[2], 'b');
    EXPECT_EQ(file.text()[3], '\0');
}

TEST(TextFileDeathTest, MissingFileEndsTheProgramNamingIt) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(TextFile file("/nonexistent-folder/shader.cg"), testing::ExitedWithCode(1),
                "shader.cg: cannot open");
}

namespace {

Image heightPicture(int w, int h, int channels, int (*height)(int x, int y)) {
    std::vector<unsigned char> pixels(size_t(w) * h * channels, 77);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            pixels[(size_t(y) * w + x) * channels + 1] = static_cast<unsigned char>(height(x, y));
        }
    }
    return Image(w, h, channels == 4 ? PixelKind::Rgba8 : PixelKind::Rgb8, pixels);
}

std::array<int, 3> rgbAt(const Image& image, int x, int y) {
    const unsigned char* p =
        image.pixels() + (size_t(y) * image.width() + x) * image.bytesPerPixel();
    return {p[0], p[1], p[2]};
}

} // namespace

TEST(NormalMap, FlatPictureGives128And128And254Everywhere) {
    Image image = heightPicture(5, 4, 3, [](int, int) { return 90; });
    makeNormalMap(image);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 5; ++x) {
            EXPECT_EQ(rgbAt(image, x, y), (std::array<int, 3>{128, 128, 254})) << x << "," << y;
        }
    }
}

TEST(NormalMap, SlopesAndTheRepeatedLastColumnAndRow) {
    // Height rises by 10 per column and falls by 20 per row.
    Image image = heightPicture(3, 3, 3, [](int x, int y) { return 100 + 10 * x - 20 * y; });
    makeNormalMap(image);
    // dx = 10, dy = -20: s = 127 / sqrt(600) = 5.18476.
    std::array<int, 3> expected = {128 + 51, 128 - 103, 128 + 51};
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(rgbAt(image, x, y), expected) << x << "," << y;
        }
    }

    // A single step: pixel (0, 0) sees dx = 10, dy = 0; the rest is flat.
    Image step = heightPicture(3, 3, 3, [](int x, int) { return x == 0 ? 50 : 60; });
    makeNormalMap(step);
    EXPECT_EQ(rgbAt(step, 0, 0), (std::array<int, 3>{128 + 89, 128, 128 + 89}));
    EXPECT_EQ(rgbAt(step, 1, 1), (std::array<int, 3>{128, 128, 254}));
}

TEST(NormalMap, SinglePixelIsLeftAlone) {
    Image image = heightPicture(1, 1, 3, [](int, int) { return 200; });
    makeNormalMap(image);
    EXPECT_EQ(rgbAt(image, 0, 0), (std::array<int, 3>{77, 200, 77}));
}

TEST(NormalMap, FourByteLayoutKeepsAlphaAndGivesTheSameNormals) {
    auto height = [](int x, int y) { return (x * 37 + y * 101) % 256; };
    Image rgb = heightPicture(6, 5, 3, height);
    Image rgba = heightPicture(6, 5, 4, height);
    makeNormalMap(rgb);
    makeNormalMap(rgba);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 6; ++x) {
            EXPECT_EQ(rgbAt(rgb, x, y), rgbAt(rgba, x, y));
            EXPECT_EQ(rgba.pixels()[(y * 6 + x) * 4 + 3], 77);
        }
    }
}
