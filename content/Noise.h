#pragma once

#include <cstdint>

// Smooth value noise on an integer lattice that repeats every `period` cells, so
// pictures made from it tile. x and y are in lattice cells; results in [-1, 1].
float periodicNoise(float x, float y, int period, std::uint32_t seed);

// Octaves of periodicNoise, each of double frequency and `gain` times the
// amplitude; normalised to [-1, 1].
float periodicFbm(float x, float y, int period, int octaves, float gain, std::uint32_t seed);

// Smooth step on [edge0, edge1], clamped.
float smoothStep(float edge0, float edge1, float x);
