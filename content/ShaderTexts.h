#pragma once

// The shader files of the data folder, kept as Cg under content/shaders/ and
// built into the generator, so it needs no source tree when it runs.
struct ShaderText {
    const char* file; // path inside the data folder's parent, e.g. "data/meridian.cg"
    const char* text;
};

extern const ShaderText shaderTexts[];
extern const int shaderTextCount;
