#pragma once

#include <cstdint>

// The widely published marching-cubes tables, read against this corner order of
// a cell at (i, j, k): 0 (i, j, k), 1 (i+1, j, k), 2 (i+1, j, k+1), 3 (i, j, k+1),
// 4 (i, j+1, k), 5 (i+1, j+1, k), 6 (i+1, j+1, k+1), 7 (i, j+1, k+1).
// A case sets bit n when corner n lies below the iso level.

// The edges a case crosses, bit e for edge e.
extern const uint16_t marchingEdgeTable[256];
// Each case's triangles as edge triples, ended by -1.
extern const int8_t marchingTriangleTable[256][16];
// The corners each edge joins, first corner first.
extern const int8_t marchingEdgeCorners[12][2];
// Each corner's unit step from the cell's own point.
extern const int8_t marchingCornerSteps[8][3];
