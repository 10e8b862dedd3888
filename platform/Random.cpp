#include "platform/Random.h"

#include <cstdint>

namespace {
uint32_t state = 1;
}

void Random::seed(unsigned int seed) {
    state = seed;
}

int Random::next() {
    state = state * 1103515245u + 12345u;
    return static_cast<int>((state / 65536u) % 32768u);
}

float Random::signedUnit() {
    return static_cast<float>(next()) * 6.103702e-5f - 1.0f;
}
