// The sea grid's cells as the opening and closing seas draw them: only those
// within reach of the camera, nearest first, from both index buffers.
#include "effects/SeaGrid.h"
#include "resources/Geometry.h"
#include "support/GlTest.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr int cells = 199;

struct Cell {
    int row, column;
};

// The cells a run stands for, in the order it draws them.
std::vector<Cell> cellsOf(const SeaGridRun& run) {
    std::vector<Cell> list;
    for (int k = run.first / 4; k < (run.first + run.count) / 4; ++k) {
        const int row = k / cells, position = k % cells;
        list.push_back({row, run.mirrored ? cells - 1 - position : position});
    }
    return list;
}

float distanceTo(const Cell& cell, float x, float y) {
    const float dx = std::max({0.0f, cell.column - x, x - (cell.column + 1.0f)});
    const float dy = std::max({0.0f, cell.row - y, y - (cell.row + 1.0f)});
    return std::sqrt(dx * dx + dy * dy);
}

TEST(SeaGridRunsTest, HoldEveryCellWithinReachOnceNearestRowFirstAndOutwardsInEachRow) {
    struct Eye {
        float x, y, lookX, reach;
    };
    const Eye eyes[] = {{165.3f, 150.8f, -0.7f, 131.0f}, {50.0f, 50.0f, 0.4f, 131.0f},
                        {-20.5f, 230.0f, 1.0f, 131.0f},  {100.0f, 100.0f, -1.0f, 1e6f},
                        {120.0f, -300.0f, 1.0f, 131.0f}, {0.0f, 199.0f, -1.0f, 20.0f}};
    for (const Eye& eye : eyes) {
        SCOPED_TRACE(testing::Message() << "eye at " << eye.x << ", " << eye.y);
        SeaGridRun runs[2 * cells];
        const int count = nearSeaGridRuns(eye.x, eye.y, eye.lookX, eye.reach, runs);

        std::vector<int> seen(cells * cells, 0);
        float lastGap = 0.0f;
        for (int k = 0; k < count; ++k) {
            const std::vector<Cell> list = cellsOf(runs[k]);
            ASSERT_FALSE(list.empty());
            const int row = list.front().row;
            const float gap = std::max({0.0f, row - eye.y, eye.y - (row + 1.0f)});
            EXPECT_GE(gap, lastGap) << "row " << row << " after a nearer one";
            lastGap = gap;
            // Where a row takes two runs, the first lies on the side looked to.
            const bool rowStarts = k == 0 || cellsOf(runs[k - 1]).front().row != row;
            const bool rowGoesOn = k + 1 < count && cellsOf(runs[k + 1]).front().row == row;
            if (rowStarts && rowGoesOn) {
                EXPECT_EQ(runs[k].mirrored, eye.lookX < 0.0f) << "row " << row;
            }
            float lastAlong = -1.0f;
            for (const Cell& cell : list) {
                EXPECT_EQ(cell.row, row);
                ++seen[cell.row * cells + cell.column];
                const float along = std::fabs(cell.column + 0.5f - eye.x);
                EXPECT_GE(along, lastAlong) << "inwards at column " << cell.column;
                lastAlong = along;
            }
        }
        for (int row = 0; row < cells; ++row) {
            for (int column = 0; column < cells; ++column) {
                const bool within = distanceTo({row, column}, eye.x, eye.y) < eye.reach;
                ASSERT_EQ(seen[row * cells + column], within ? 1 : 0)
                    << "cell " << column << ", " << row;
            }
        }
    }
}

class SeaGridTest : public GlTest {};

TEST_F(SeaGridTest, MirroredIndicesHoldTheSameQuadsWithEachRowReversed) {
    IndexBuffer* plain = createSeaGridIndices();
    IndexBuffer* mirrored = createMirroredSeaGridIndices();
    ASSERT_EQ(plain->indexCount, mirrored->indexCount);
    const uint32_t* mapped = plain->map(true, false);
    const std::vector<uint32_t> rows(mapped, mapped + plain->indexCount);
    plain->unmap();
    const uint32_t* reversed = mirrored->map(true, false);
    for (int row = 0; row < cells; ++row) {
        for (int position = 0; position < cells; ++position) {
            const int column = cells - 1 - position;
            for (int corner = 0; corner < 4; ++corner) {
                ASSERT_EQ(reversed[(row * cells + position) * 4 + corner],
                          rows[(row * cells + column) * 4 + corner])
                    << "row " << row << " column " << column;
            }
        }
    }
    mirrored->unmap();
    delete plain;
    delete mirrored;
}

} // namespace
