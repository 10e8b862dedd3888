#pragma once

#include "platform/Vec3.h"

#include <vector>

// One pose of the camera in a scene: seconds from the scene's start, the eye and
// the point it looks at (world units of that scene; "up" is -z everywhere).
struct ShotKey {
    float time;
    Vec3 eye;
    Vec3 target;
};

// A greeted name as the greetings scene lays it out when it loads, in that
// scene's world frame (its names are scaled by 0.13 and turned by 90 degrees
// about x): place is its count of letter times before it, so its letter i pops
// from (place + i) / 4 to (place + i + 1) / 4 seconds into the scene.
struct GreetingLayout {
    float place = 0;
    std::vector<Vec3> letters; // in the order they pop
    std::vector<Vec3> decoys;
};

// One of the greetings' spinning rings at a moment: a flat band around its axis.
struct GreetingRing {
    Vec3 centre, axis;
    float inner, outer, halfWidth;
};

// The shots of every scene, one function each: tune a scene's camera here.
namespace CameraShots {
std::vector<ShotKey> openingSea();
std::vector<ShotKey> city();
std::vector<ShotKey> clouds();
std::vector<ShotKey> secondSea();
std::vector<ShotKey> greetings();
// What the greetings' shots aim at and steer around, replayed from the scene's
// own seeds: its letters, and its thirty rings at a time of the scene.
std::vector<GreetingLayout> greetingLayout();
std::vector<GreetingRing> greetingRings(float time);
std::vector<ShotKey> planet();
std::vector<ShotKey> metaballs();
std::vector<ShotKey> closingSea();
} // namespace CameraShots

// The eye and target at a time between keys: a Hermite curve through the keys
// with tangents from the neighbouring keys (still at the first and last key).
ShotKey interpolateShot(const std::vector<ShotKey>& keys, float time);
