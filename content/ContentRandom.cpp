#include "content/ContentRandom.h"

std::uint64_t ContentRandom::nextBits() {
    // splitmix64: tiny, well mixed and the same on every platform.
    state += 0x9E3779B97F4A7C15ull;
    std::uint64_t z = state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

float ContentRandom::unit() {
    return static_cast<float>(nextBits() >> 40) * (1.0f / 16777216.0f);
}

int ContentRandom::index(int count) {
    return count <= 0 ? 0 : static_cast<int>(nextBits() % static_cast<std::uint64_t>(count));
}
