#pragma once

#include <string>
#include <vector>

// The summary lumora-inspect prints for a soundtrack: its decoded duration, the
// file's own sample rate and channels, and for each requested time the 256
// spectrum values the effects would read there, one line per time. Returns false
// with a reason naming the file when it cannot be decoded.
bool summariseMusic(const std::string& fileName, const std::vector<double>& atSeconds,
                    std::string& summary, std::string& error);
