#pragma once

#include <string>

// Writes pictures for the tools (captured frames, generated data). Rows are
// given top row first unless bottomRowFirst is set (as GL reads them back).
// Each returns false when the file cannot be written.
bool writePng(const std::string& fileName, int width, int height, int components,
              const unsigned char* pixels, bool bottomRowFirst = false);
bool writeJpeg(const std::string& fileName, int width, int height, int components,
               const unsigned char* pixels, int quality);
