#pragma once

#include "platform/Vec3.h"

// The path the city scene lays its two trails along, sampled as the scene
// samples it (the four-point cubic of camera tracks, key k at time k). u runs
// from 0 to 10; the trails' heads are at u = 5t / 12 at scene time t.
Vec3 cityTrailPoint(float u);
