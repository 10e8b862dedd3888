#include "effects/OceanWaves.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

constexpr int size = oceanGridSize;

double exactHeight(const WaveField& field, double t, double u, double v) {
    double z = 0.0;
    for (int k = 0; k < 4; ++k) {
        z += field.amplitude[k] *
             std::sin(field.perColumn[k] * u + field.perRow[k] * v + field.perSecond[k] * t);
    }
    return z;
}

std::vector<float> grid() {
    return std::vector<float>(size * size * oceanFloatsPerVertex, 0.0f);
}

TEST(OceanWavesTest, HeightsAreTheDoublePrecisionSumRoundedOnce) {
    std::vector<float> fast = grid();
    for (float t : {0.0f, 1.75f, 13.5f, 188.9f}) {
        updateWaves(fast.data(), openingSea, t);
        for (int i = 0; i < size; ++i) {
            for (int j = 0; j < size; ++j) {
                double exact = exactHeight(openingSea, t, j, i);
                float z = fast[(i * size + j) * oceanFloatsPerVertex + 2];
                // The rounding to float plus at most 1e-9 of drift before it.
                float rounded = std::fabs(static_cast<float>(exact));
                double halfUlp = (std::nextafter(rounded, INFINITY) - rounded) / 2.0;
                ASSERT_LE(std::fabs(z - exact), halfUlp + 1e-9)
                    << "t " << t << " at " << i << ", " << j;
                ASSERT_LE(std::fabs(z), 7.4f);
            }
        }
    }
}

TEST(OceanWavesTest, MatchesThePlainFormulaIncludingNormalsAndShift) {
    std::vector<float> fast = grid(), plain = grid();
    const float t = 7.25f;
    updateWaves(fast.data(), openingSea, t, 31.5f, -12.0f);
    updateWavesPlainly(plain.data(), openingSea, t, 31.5f, -12.0f);
    int differingHeights = 0;
    for (size_t k = 0; k < fast.size(); ++k) {
        ASSERT_NEAR(fast[k], plain[k], 2e-6f) << "float " << k;
        differingHeights += k % oceanFloatsPerVertex == 2 && fast[k] != plain[k];
    }
    // Only heights that sit on a rounding boundary may differ, by one step.
    EXPECT_LT(differingHeights, size * size / 50);
}

TEST(OceanWavesTest, NormalsAreUnitAndTheLastRowAndColumnAreLeftAlone) {
    std::vector<float> v = grid();
    for (int k = 0; k < size * size; ++k) {
        v[k * oceanFloatsPerVertex + 3] = 42.0f;
    }
    updateWaves(v.data(), openingSea, 3.0f);
    for (int i = 0; i < size; ++i) {
        for (int j = 0; j < size; ++j) {
            const float* n = &v[(i * size + j) * oceanFloatsPerVertex + 3];
            if (i == size - 1 || j == size - 1) {
                EXPECT_EQ(n[0], 42.0f);
                continue;
            }
            EXPECT_NEAR(n[0] * n[0] + n[1] * n[1] + n[2] * n[2], 1.0f, 1e-5f);
            // Normals lean along (dx, dy), unnegated.
            float dx = v[(i * size + j + 1) * oceanFloatsPerVertex + 2] -
                       v[(i * size + j) * oceanFloatsPerVertex + 2];
            EXPECT_EQ(n[0] > 0, dx > 0);
            EXPECT_GT(n[2], 0.0f);
        }
    }
}

} // namespace
