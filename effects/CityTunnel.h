#pragma once

#include "platform/Vec3.h"

#include <cstdint>

class Geometry;

// The metaballs' tunnel is 48 cylinder cities, and filling the 1024 x 1024 scene
// with them is most of that scene's cost on a software rasteriser: drawn as they
// stand, every pixel of the tunnel is covered some thirteen times. What cannot
// show is left out here without changing the picture:
//
// - A city is a drum open at both ends with towers standing on it, each tower a
//   box without a base whose foot reaches into the drum. Seen from outside the
//   drum, a face that looks into the drum or into a tower always lies behind a
//   face that looks out, unless the look passes through one of the drum's open
//   ends. So a city is drawn with those inward faces culled; the mesh's second
//   part, everything of the city inside the drum's radius (the drum and the
//   towers' feet), is then drawn inward faces only, within the box that the open
//   end facing the eye covers on screen.
// - A city wholly outside the view is not drawn.
// - The cities go out nearest first, so that the depth test turns away hidden
//   pixels before they are shaded.

// The cylinder city mesh as the tunnel needs to know it, measured once from its
// two parts' vertices (which the cache keeps in client memory).
struct CityLayout {
    // False when the mesh could not be read or its triangles are not all wound
    // one way about their normals: the cities are then drawn as they stand.
    bool usable = false;
    // The drum's open ends stand at x = -halfLength and +halfLength; nothing of
    // the inside lies farther than insideRadius from the x axis, nothing of the
    // city farther than outerRadius.
    float halfLength = 0.0f;
    float insideRadius = 0.0f;
    float outerRadius = 0.0f;
    // GL_CCW or GL_CW: how the faces that look out are wound.
    unsigned int outwardWinding = 0;
};

// A part's vertices are records of floatsPerVertex floats starting with the
// position and the normal.
struct MeshView {
    const float* vertices = nullptr;
    int floatsPerVertex = 0;
    int vertexCount = 0;
    const uint32_t* indices = nullptr;
    int indexCount = 0;
};
MeshView meshView(const Geometry& part);
CityLayout measureCity(const MeshView& city, const MeshView& inside);

// How one city is drawn this frame.
struct PieceView {
    bool onScreen = false; // false: it lies wholly outside the view
    bool whole = true;     // both faces of everything, as it stands
    // Where an open end shows: the scissor box (x, y, width, height) in window
    // pixels within which the inward faces are drawn; width 0 for none.
    int endBox[4] = {0, 0, 0, 0};
};

// The view of a city under the current matrices (column-major, as GL returns
// them; the model-view maps the city's own units). nearClearance: how close, in
// eye units, the eye may come to a city before it is drawn whole, because the
// near plane could cut away a face that hides another.
PieceView viewPiece(const CityLayout& city, const float modelview[16], const float projection[16],
                    int viewportWidth, int viewportHeight, float nearClearance);

// The eye's position in the frame that a model-view matrix maps from.
Vec3 eyeInModelFrame(const float modelview[16]);
