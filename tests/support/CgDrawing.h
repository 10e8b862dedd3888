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

    // Loads stateModelview and stateProjection as the fixed-function matrices
    // and draws the quad with a vertex entry, after `declarations`, whose colour
    // is 0.5 + 0.25 * (value) with float4 v = stateVector; returns the centre.
    std::array<int, 4> shadeState(const std::string& declarations, const std::string& value);

    std::unique_ptr<Texture> solidTexture(unsigned char r, unsigned char g, unsigned char b,
                                          unsigned char a = 255);
};

// Row-major matrices as mathematics writes them, and the vector that the
// programs of shadeState transform.
extern const float stateModelview[16];
extern const float stateProjection[16];
extern const float stateVector[4];
// The rows of m times v, and v times the rows of m.
std::array<float, 4> rowTimesVector(const float m[16], const float v[4]);
std::array<float, 4> vectorTimesRow(const float v[4], const float m[16]);
// What shadeState reads for a value r: 0.5 + 0.25 r, within two steps of eight bits.
void expectShade(const std::array<int, 4>& got, const std::array<float, 4>& r);

// Colours compared in 0..1 with a tolerance of two steps of eight bits.
void expectColor(const std::array<int, 4>& got, float r, float g, float b, float a);

// Compiles and links GLSL as CgProgram does, but reports instead of ending.
bool driverAccepts(const std::string& glsl, int profile, std::string* log);
