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

// The shots of every scene, one function each: tune a scene's camera here.
namespace CameraShots {
std::vector<ShotKey> openingSea();
std::vector<ShotKey> city();
std::vector<ShotKey> clouds();
std::vector<ShotKey> secondSea();
std::vector<ShotKey> greetings();
std::vector<ShotKey> planet();
std::vector<ShotKey> metaballs();
std::vector<ShotKey> closingSea();
} // namespace CameraShots

// The eye and target at a time between keys: a Hermite curve through the keys
// with tangents from the neighbouring keys (still at the first and last key).
ShotKey interpolateShot(const std::vector<ShotKey>& keys, float time);
