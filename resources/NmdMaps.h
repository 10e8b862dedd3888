#pragma once

#include <string>

// Map file names of NMD materials as a scene loads them.

// The name moved into folder: everything up to the last '/' or '\' is dropped
// and the folder put in front ("C:\maps\brick.jpg", "data/citymaps/" gives
// "data/citymaps/brick.jpg"). Empty names stay empty.
std::string rebaseMapName(const std::string& name, const std::string& folder);

// Whether a scene loads the map as a picture: the three characters after the
// first '.' of the name, in any letter case, are "jpg" or "png".
bool isPictureMapName(const std::string& name);
