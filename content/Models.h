#pragma once

#include "content/MeshData.h"

// The production's meshes, in the drawing frame of the effects that show them
// ("up" is -z).
namespace Models {

// The greetings' rings: a flat band around the z axis, wide enough that the
// names float inside the row of rings (the scene draws them 5.5 and 8.25 times
// this size) while they wobble.
struct RingSize {
    float inner, outer, halfWidth;
};
constexpr RingSize ringSize{24.0f, 26.0f, 2.0f};

// A machined ring of ringSize around the z axis, for the greetings' row.
MeshData ring();
// Buildings standing on a cylinder around the x axis, for the metaballs' tunnel:
// a drum open at both ends, and towers without bases whose feet reach into it.
MeshData cylinderCity();
// What a look into the drum through an open end can reach of that city: the
// drum and the towers' walls up to the drum's radius, the same surfaces.
MeshData cylinderCityInside();
// A curled leaf blade from its stem at the origin along +x, seen from both sides.
MeshData leaf();
// A shallow cup of petals facing -z, seen from both sides.
MeshData flowerHead();
// A sphere with poles on the z axis, its radius lifted by heightAt(u, v) where
// land rises; u runs around the z axis, v from pole to pole.
MeshData sphere(float radius, int columns, int rows, float (*heightAt)(float u, float v));

} // namespace Models
