#pragma once

#include <cstdint>

// The generator's own random numbers. The engine's process-wide generator is
// re-seeded by effects at fixed points, so content must not share it; this one is
// a small value type that every picture, mesh and song seeds for itself.
class ContentRandom {
public:
    explicit ContentRandom(std::uint64_t seed) : state(seed) {}

    std::uint64_t nextBits();
    // [0, 1)
    float unit();
    // [-1, 1)
    float signedUnit() { return unit() * 2.0f - 1.0f; }
    // [low, high)
    float range(float low, float high) { return low + (high - low) * unit(); }
    // 0 .. count - 1
    int index(int count);

private:
    std::uint64_t state;
};
