#pragma once

#include <string>

// A readable summary of a crg bank for lumora-inspect: size and key total, then
// for each track with keys its controller's name, key count, time range and every
// key (position, time, mode letter as the editor shows it: S hold, L linear,
// T cosine, C cubic, Q spherical). What is wrong with a damaged bank is named.
// Returns whether the bank is whole.
bool describeCrg(const std::string& fileName, std::string& report);
