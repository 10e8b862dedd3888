#pragma once

#include "resources/cg/Cg.h"

#include <string>
#include <utility>
#include <vector>

// One Cg entry translated to GLSL for one profile, or the listing saying why not.
struct CgTranslation {
    bool ok = false;
    std::string glsl;
    // Uniforms and samplers by Cg name, with the unit each sampler is given.
    std::vector<cg::Parameter> parameters;
    // Generic vertex attributes (ATTRn): GLSL name and attribute index.
    std::vector<std::pair<std::string, int>> attributes;
    // Warnings and errors, one "FILE(LINE) : error: MESSAGE" line each.
    std::string listing;
};

// profile is ShaderProfile::Vertex (arbvp1) or ShaderProfile::Fragment (arbfp1);
// sourceName names the text in the listing.
CgTranslation translateCg(const std::string& source, const std::string& entry, int profile,
                          const std::string& sourceName);
