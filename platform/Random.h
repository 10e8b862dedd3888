#pragma once

// The process-wide generator that layouts draw from: the portable generator of the
// C standard's example, values 0 to 32767, seeded with 1 at start. glibc's rand()
// has another range and must not be used where a layout depends on the values.
namespace Random {
constexpr int max = 32767;
void seed(unsigned int seed);
int next();
// A draw in [-1, 1]: next() x 6.103702e-5 - 1.
float signedUnit();
} // namespace Random
