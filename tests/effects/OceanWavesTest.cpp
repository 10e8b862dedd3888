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

// Heights worked out by hand from the sea's formula, independently of the
// production's constant table:
// z(i, j) = 5 sin(0.07 j + t + 0.088 i) + 1.5 sin(0.305 j + 0.227 i + 2.1 t)
//         + 0.65 sin(0.615 j + 0.587 i + 3.3 t) + 0.25 sin(0.915 j + 0.987 i + 4.4 t)
TEST(OceanWavesTest, HeightsAndANormalAgreeWithValuesWorkedByHand) {
    struct Known {
        int i, j;
        float t;
        double z;
    };
    const Known known[] = {{0, 10, 0.0f, 3.3398040},
                           {7, 0, 0.0f, 3.9998447},
                           {3, 5, 2.0f, 1.9661733},
                           {150, 199, 12.5f, 6.6449697}};
    std::vector<float> v = grid();
    for (const Known& k : known) {
        updateWaves(v.data(), openingSea, k.t);
        EXPECT_NEAR(v[(k.i * size + k.j) * oceanFloatsPerVertex + 2], k.z, 2e-6)
            << "z(" << k.i << ", " << k.j << ") at " << k.t;
    }
    // The normal at row 3, column 5 at t = 2 from its right and lower neighbours.
    updateWaves(v.data(), openingSea, 2.0f);
    const float* n = &v[(3 * size + 5) * oceanFloatsPerVertex + 3];
    EXPECT_NEAR(n[0], 0.2817568, 1e-5);
    EXPECT_NEAR(n[1], 0.0859546, 1e-5);
    EXPECT_NEAR(n[2], 0.9556280, 1e-5);
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
