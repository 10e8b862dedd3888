#pragma once

// The sea's height field: a 200 x 200 grid of vertices, six floats each
// (x, y, z, nx, ny, nz), vertex 200 i + j for row i and column j. Heights are
// the sum of four sine waves computed in double precision; normals follow from
// the heights of the right and lower neighbours.
struct WaveField {
    double amplitude[4];
    double perColumn[4];
    double perRow[4];
    double perSecond[4];
};

constexpr int oceanGridSize = 200;
constexpr int oceanFloatsPerVertex = 6;

// The opening and closing sea.
extern const WaveField openingSea;
// The wide-screen sea after the clouds: calmer, longer swells.
extern const WaveField secondSea;

// Rewrites z of every vertex and the normals of rows and columns 0 .. 198 for
// time t, with the wave inputs shifted by (columnOffset, rowOffset). Runs every
// frame on the processor: the four waves are advanced along a row by a fixed
// rotation instead of one sine call each per vertex.
void updateWaves(float* vertices, const WaveField& field, float t, float columnOffset = 0.0f,
                 float rowOffset = 0.0f);

// The same result written plainly, one sine call per wave and vertex; the
// reference for tests and benchmarks.
void updateWavesPlainly(float* vertices, const WaveField& field, float t, float columnOffset = 0.0f,
                        float rowOffset = 0.0f);
