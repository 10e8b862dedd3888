#include "effects/OceanWaves.h"

#include <cmath>

const WaveField openingSea = {
    {5.0, 1.5, 0.65, 0.25},
    {0.07, 0.305, 0.615, 0.915},
    {0.088, 0.227, 0.587, 0.987},
    {1.0, 2.1, 3.3, 4.4},
};

const WaveField secondSea = {
    {1.5, 1.0, 0.65, 0.25},
    {0.07, 0.09, 0.011, 0.015},
    {0.088, 0.227, 0.587, 0.987},
    {1.0, 2.1, 3.3, 4.4},
};

namespace {

constexpr int size = oceanGridSize;
constexpr int stride = oceanFloatsPerVertex;

// sin and cos of (perColumn x column) for one field, made once per field: with
// them every height is a sum of products, since
// sin(a j + phase) = sin(a j) cos(phase) + cos(a j) sin(phase).
struct ColumnTable {
    const WaveField* field = nullptr;
    alignas(32) double sine[4][size];
    alignas(32) double cosine[4][size];
};

const ColumnTable& columnsOf(const WaveField& field) {
    // The production has two fields; a small cache keeps the tables out of the frame.
    static ColumnTable tables[4];
    for (ColumnTable& table : tables) {
        if (table.field == &field) {
            return table;
        }
        if (table.field == nullptr) {
            for (int k = 0; k < 4; ++k) {
                for (int j = 0; j < size; ++j) {
                    table.sine[k][j] = std::sin(field.perColumn[k] * j);
                    table.cosine[k][j] = std::cos(field.perColumn[k] * j);
                }
            }
            table.field = &field;
            return table;
        }
    }
    return tables[0];
}

// One row of heights from the column table and the row's amplitude-scaled
// sin and cos of each wave's phase at column 0.
__attribute__((target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default"))) void
heightsOfRow(const ColumnTable& columns, const double* rowSin, const double* rowCos,
             float* heights) {
    for (int j = 0; j < size; ++j) {
        double z = 0.0;
        for (int k = 0; k < 4; ++k) {
            z += columns.sine[k][j] * rowCos[k] + columns.cosine[k][j] * rowSin[k];
        }
        heights[j] = static_cast<float>(z);
    }
}

// One row of the grid: heights, and the normals from the heights and those of the
// row below (none for the last row); the last column's normal keeps what it had.
// The normals are formed in contiguous scratch first so they vectorise, then the
// row is written vertex by vertex as three pairs of floats.
__attribute__((target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default"))) void
writeRow(float* vertices, int i, const float* row, const float* below) {
    float* v = vertices + static_cast<long>(i) * size * stride;
    if (below == nullptr) {
        for (int j = 0; j < size; ++j) {
            v[j * stride + 2] = row[j];
        }
        return;
    }
    alignas(32) float nx[size], ny[size], nz[size];
    for (int j = 0; j < size - 1; ++j) {
        float dx = row[j + 1] - row[j];
        float dy = below[j] - row[j];
        float inverse = 1.0f / std::sqrt(dx * dx + dy * dy + 1.0f);
        nx[j] = dx * inverse;
        ny[j] = dy * inverse;
        nz[j] = inverse;
    }
    for (int j = 0; j < size - 1; ++j) {
        v[j * stride + 2] = row[j];
        v[j * stride + 3] = nx[j];
        v[j * stride + 4] = ny[j];
        v[j * stride + 5] = nz[j];
    }
    v[(size - 1) * stride + 2] = row[size - 1];
}

} // namespace

void updateWaves(float* vertices, const WaveField& field, float t, float columnOffset,
                 float rowOffset) {
    const ColumnTable& columns = columnsOf(field);

    // Each wave's phase at column 0 starts exactly at row 0 and turns by a fixed
    // angle per row, by the angle-sum formulas: over 200 rows this stays within
    // 1e-13 of the direct sines.
    double phaseSin[4], phaseCos[4], stepSin[4], stepCos[4];
    for (int k = 0; k < 4; ++k) {
        double phase = field.perColumn[k] * columnOffset + field.perRow[k] * rowOffset +
                       field.perSecond[k] * static_cast<double>(t);
        phaseSin[k] = std::sin(phase);
        phaseCos[k] = std::cos(phase);
        stepSin[k] = std::sin(field.perRow[k]);
        stepCos[k] = std::cos(field.perRow[k]);
    }

    float rows[2][size];
    for (int i = 0; i < size; ++i) {
        double rowSin[4], rowCos[4];
        for (int k = 0; k < 4; ++k) {
            rowSin[k] = field.amplitude[k] * phaseSin[k];
            rowCos[k] = field.amplitude[k] * phaseCos[k];
            double turned = phaseSin[k] * stepCos[k] + phaseCos[k] * stepSin[k];
            phaseCos[k] = phaseCos[k] * stepCos[k] - phaseSin[k] * stepSin[k];
            phaseSin[k] = turned;
        }
        float* row = rows[i & 1];
        heightsOfRow(columns, rowSin, rowCos, row);
        if (i > 0) {
            writeRow(vertices, i - 1, rows[(i - 1) & 1], row);
        }
    }
    writeRow(vertices, size - 1, rows[(size - 1) & 1], nullptr);
}

void updateWavesPlainly(float* vertices, const WaveField& field, float t, float columnOffset,
                        float rowOffset) {
    for (int i = 0; i < size; ++i) {
        for (int j = 0; j < size; ++j) {
            double u = j + static_cast<double>(columnOffset);
            double v = i + static_cast<double>(rowOffset);
            double z = 0.0;
            for (int k = 0; k < 4; ++k) {
                z += field.amplitude[k] * std::sin(field.perColumn[k] * u + field.perRow[k] * v +
                                                   field.perSecond[k] * t);
            }
            vertices[(i * size + j) * stride + 2] = static_cast<float>(z);
        }
    }
    for (int i = 0; i < size - 1; ++i) {
        for (int j = 0; j < size - 1; ++j) {
            const float* here = vertices + (i * size + j) * stride;
            float dx = here[stride + 2] - here[2];
            float dy = here[size * stride + 2] - here[2];
            float length = std::sqrt(dx * dx + dy * dy + 1.0f);
            float* n = vertices + (i * size + j) * stride + 3;
            n[0] = dx / length;
            n[1] = dy / length;
            n[2] = 1.0f / length;
        }
    }
}
