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
    // The translated text's name, then every file it included; a #line mark
    // of the GLSL names file number N / cg::linesPerFile of these.
    std::vector<std::string> files;
};

// Includes read from the file system; no macros, no include folders.
cg::SourceOptions cgFileOptions();

// Adds compiler arguments as the command-line compiler takes them ("-DNAME",
// "-DNAME=VALUE", "-D NAME", "-IDIR", "-I DIR") to options; false with the
// reason for anything else.
bool addCgArguments(const std::vector<std::string>& arguments, cg::SourceOptions& options,
                    std::string& error);

// profile is ShaderProfile::Vertex (arbvp1) or ShaderProfile::Fragment (arbfp1);
// sourceName names the text in the listing, and its folder is where a quoted
// #include is looked for first.
CgTranslation translateCg(const std::string& source, const std::string& entry, int profile,
                          const std::string& sourceName,
                          const cg::SourceOptions& options = cgFileOptions());
