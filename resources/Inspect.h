#pragma once

#include <string>
#include <vector>

// Summaries of data files for content authors. Each returns false with the
// reason (without the file name) when the file cannot be read or is damaged.

// Materials with their maps and colours; the node tree with types, names, key
// counts, rest transforms and mesh sizes, channels and bounds; for each time in
// `times`, every node's transform in the drawing frame.
bool describeNmd(const std::string& path, const std::vector<float>& times, std::string& report,
                 std::string& error);

// Parts with their vertex and triangle counts, bounds and degenerate triangles.
bool describeEbr(const std::string& path, std::string& report, std::string& error);
