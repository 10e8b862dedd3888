#include "GoldenFrames.h"

#include "resources/Image.h"
#include "resources/ImageWriter.h"

#include <algorithm>
#include <cstdlib>

RgbPicture readRgbPicture(const std::string& file, std::string& error) {
    RgbPicture picture;
    std::unique_ptr<Image> image = Image::load(file, error);
    if (image == nullptr) {
        return picture;
    }
    picture.width = image->width();
    picture.height = image->height();
    const int bytes = image->bytesPerPixel();
    const size_t count = static_cast<size_t>(picture.width) * picture.height;
    picture.rgb.resize(count * 3);
    for (size_t i = 0; i < count; ++i) {
        for (size_t c = 0; c < 3; ++c) {
            picture.rgb[i * 3 + c] = image->pixels()[i * bytes + c];
        }
    }
    return picture;
}

bool writeRgbPicture(const std::string& file, const RgbPicture& picture) {
    return writePng(file, picture.width, picture.height, 3, picture.rgb.data());
}

RgbPicture halfSize(const RgbPicture& picture) {
    RgbPicture half;
    half.width = picture.width / 2;
    half.height = picture.height / 2;
    half.rgb.resize(static_cast<size_t>(half.width) * half.height * 3);
    auto at = [&](int x, int y, int c) {
        return static_cast<int>(picture.rgb[(static_cast<size_t>(y) * picture.width + x) * 3 + c]);
    };
    for (int y = 0; y < half.height; ++y) {
        for (int x = 0; x < half.width; ++x) {
            for (int c = 0; c < 3; ++c) {
                const int sum = at(2 * x, 2 * y, c) + at(2 * x + 1, 2 * y, c) +
                                at(2 * x, 2 * y + 1, c) + at(2 * x + 1, 2 * y + 1, c);
                half.rgb[(static_cast<size_t>(y) * half.width + x) * 3 + c] =
                    static_cast<unsigned char>((sum + 2) / 4);
            }
        }
    }
    return half;
}

namespace {

int largestMove(const RgbPicture& a, const RgbPicture& b, size_t pixel) {
    int largest = 0;
    for (size_t c = 0; c < 3; ++c) {
        largest = std::max(largest, std::abs(a.rgb[pixel * 3 + c] - b.rgb[pixel * 3 + c]));
    }
    return largest;
}

} // namespace

PictureDifference compareRgb(const RgbPicture& frame, const RgbPicture& golden, int threshold) {
    PictureDifference difference;
    difference.pixels = static_cast<long>(golden.width) * golden.height;
    if (frame.width != golden.width || frame.height != golden.height ||
        frame.rgb.size() != golden.rgb.size()) {
        difference.changed = difference.pixels;
        difference.largest = 255;
        return difference;
    }
    for (long i = 0; i < difference.pixels; ++i) {
        const int move = largestMove(frame, golden, static_cast<size_t>(i));
        difference.largest = std::max(difference.largest, move);
        difference.changed += move > threshold ? 1 : 0;
    }
    return difference;
}

RgbPicture differencePicture(const RgbPicture& frame, const RgbPicture& golden, int threshold) {
    RgbPicture shown = golden;
    const bool comparable = frame.rgb.size() == golden.rgb.size();
    for (size_t i = 0; i < golden.rgb.size() / 3; ++i) {
        unsigned char* p = &shown.rgb[i * 3];
        const int move = comparable ? largestMove(frame, golden, i) : 255;
        if (move > threshold) {
            p[0] = static_cast<unsigned char>(std::max(128, move));
            p[1] = 0;
            p[2] = 0;
        } else {
            for (int c = 0; c < 3; ++c) {
                p[c] = static_cast<unsigned char>(p[c] / 4);
            }
        }
    }
    return shown;
}
