#pragma once

// Frames compared with golden pictures: colour only, a pixel counting as
// changed where one of its colours moved by more than a threshold, and a
// picture as changed where more than a small share of its pixels did.
#include <string>
#include <vector>

// R G B bytes, top row first.
struct RgbPicture {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
};

// A PNG or JPEG file without its alpha; an empty picture and the reason when it
// cannot be read.
RgbPicture readRgbPicture(const std::string& file, std::string& error);
bool writeRgbPicture(const std::string& file, const RgbPicture& picture);

// Every 2 x 2 block of pixels averaged into one (rounded to nearest): the
// stored golden pictures are frames at half size.
RgbPicture halfSize(const RgbPicture& picture);

struct PictureDifference {
    long pixels = 0;  // compared
    long changed = 0; // pixels with a colour that moved by more than the threshold
    int largest = 0;  // the largest move of one colour anywhere
    double share() const { return pixels > 0 ? static_cast<double>(changed) / pixels : 0.0; }
};

// Pictures of different sizes differ in every pixel.
PictureDifference compareRgb(const RgbPicture& frame, const RgbPicture& golden, int threshold);

// For a person to look at: the golden picture dimmed to a quarter, with every
// changed pixel in red as bright as its largest move (at least half bright).
RgbPicture differencePicture(const RgbPicture& frame, const RgbPicture& golden, int threshold);
