#pragma once

#include <ostream>
#include <string>

// Writes the whole data folder (data/... and Lumora/...) under root, one group of
// files after another, with one progress line per group. Throws ContentError
// naming the file when one cannot be written.
void generateDataFolder(const std::string& root, std::ostream& progress);
