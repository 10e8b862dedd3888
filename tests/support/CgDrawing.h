#pragma once

// Drawing translated Cg programs in the test window and reading them back.
#include "GlTest.h"

#include "platform/Texture.h"

#include <array>
#include <memory>
#include <string>

// Passes clip-space positions, texture coordinate 0 and colour 0 through (vsPass).
extern const char* const passThroughVertex;

class CgDrawTest : public GlTest {
protected:
    // One quad over the whole viewport in clip coordinates, texture coordinates
    // 0..1 on unit 0, white, on a cleared frame (depth-tested draws at one depth
    // would otherwise keep the first picture).
    void drawQuad();

    // Draws the quad with the pass-through vertex program and the fragment
    // entry psTest of the given text, returns the centre pixel. args are
    // compiler arguments ending in a null, as CgProgram takes them.
    std::array<int, 4> shade(const std::string& fragmentSource, const char* const* args = nullptr);

    std::unique_ptr<Texture> solidTexture(unsigned char r, unsigned char g, unsigned char b,
                                          unsigned char a = 255);
};

// Colours compared in 0..1 with a tolerance of two steps of eight bits.
void expectColor(const std::array<int, 4>& got, float r, float g, float b, float a);

// Compiles and links GLSL as CgProgram does, but reports instead of ending.
bool driverAccepts(const std::string& glsl, int profile, std::string* log);
