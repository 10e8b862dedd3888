#pragma once

#include <string>
#include <vector>

// Encodes and writes pictures for the tools and tests (captured frames,
// generated data). Rows are given top row first unless bottomRowFirst is set
// (as GL reads them back). The encoders return an empty buffer, and the writers
// false, when encoding or writing fails.
std::vector<unsigned char> encodePng(int width, int height, int components,
                                     const unsigned char* pixels, bool bottomRowFirst = false);
std::vector<unsigned char> encodeJpeg(int width, int height, int components,
                                      const unsigned char* pixels, int quality);
bool writePng(const std::string& fileName, int width, int height, int components,
              const unsigned char* pixels, bool bottomRowFirst = false);
bool writeJpeg(const std::string& fileName, int width, int height, int components,
               const unsigned char* pixels, int quality);
