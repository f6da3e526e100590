// find_path on real number arrays: the documented edge cases, optimality against a plain
// Dijkstra on random grids, and point-for-point equality with the plain reference planner.
#include "runtime/path/find_path.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include <cmath>
#include <functional>
#include <limits>
#include <queue>
#include <random>
#include <utility>
#include <vector>

#include "tests/path/reference_planner.h"

namespace {

using runtime::DynArray;
using runtime::dimension;
using runtime::element;
using runtime::find_path;
using Points = std::vector<std::pair<int32_t, int32_t>>;

// A width x height cost array, x the first index.
struct Grid {
    int32_t width;
    int32_t height;
    std::vector<double> values;  // x + width * y

    DynArray<double> array() const {
        DynArray<double> costs;
        dimension(costs, width, height);
        for (int32_t y = 0; y < height; ++y) {
            for (int32_t x = 0; x < width; ++x) element(costs, x, y) = at(x, y);
        }
        return costs;
    }
    double at(int32_t x, int32_t y) const { return values[static_cast<size_t>(x + width * y)]; }
};

Grid random_grid(std::mt19937& random, int32_t width, int32_t height, int blocked_percent,
                 bool whole_costs) {
    Grid grid{width, height, std::vector<double>(static_cast<size_t>(width * height))};
    std::uniform_real_distribution<double> real(0.01, 50.0);
    for (double& value : grid.values) {
        if (static_cast<int>(random() % 100) < blocked_percent) {
            value = -static_cast<double>(random() % 3);  // 0 or negative
        } else {
            value = whole_costs ? 1.0 + static_cast<double>(random() % 9) : real(random);
        }
    }
    return grid;
}

Points points_of(DynArray<double>& path) {
    Points points;
    for (int32_t i = 0; i < path.size0; ++i) {
        points.emplace_back(static_cast<int32_t>(element(path, i, 0)),
                            static_cast<int32_t>(element(path, i, 1)));
    }
    return points;
}

// Runs find_path on a fresh path array; checks the result count against the array.
Points run(const Grid& grid, double weight, double sx, double sy, double gx, double gy) {
    DynArray<double> costs = grid.array();
    DynArray<double> path;
    const double n = find_path(costs, path, weight, sx, sy, gx, gy);
    EXPECT_EQ(n, path.size0);
    if (n > 0) {
        EXPECT_EQ(path.size1, 2);
        EXPECT_EQ(path.dimension_count, 2);
    }
    return points_of(path);
}

bool passable(double value) { return value > 0 && std::isfinite(value); }

// Normalised cost of entering a cell, as the planner sees it.
std::vector<double> normalised(const Grid& grid) {
    double maximum = 0;
    for (double v : grid.values) {
        if (passable(v)) maximum = std::max(maximum, v);
    }
    std::vector<double> out;
    for (double v : grid.values) out.push_back(passable(v) ? v / maximum + 1.0 : -1.0);
    return out;
}

// Optimal four-connected cost from start to goal (infinity when unreachable). The start
// cell is left at once and costs nothing, even when it is blocked.
double dijkstra(const Grid& grid, int32_t sx, int32_t sy, int32_t gx, int32_t gy) {
    const std::vector<double> cost = normalised(grid);
    std::vector<double> best(cost.size(), std::numeric_limits<double>::infinity());
    using Entry = std::pair<double, int32_t>;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<>> queue;
    best[static_cast<size_t>(sx + grid.width * sy)] = 0;
    queue.emplace(0.0, sx + grid.width * sy);
    while (!queue.empty()) {
        const auto [d, cell] = queue.top();
        queue.pop();
        if (d > best[static_cast<size_t>(cell)]) continue;
        const int32_t x = cell % grid.width;
        const int32_t y = cell / grid.width;
        const int32_t dx[4] = {1, -1, 0, 0};
        const int32_t dy[4] = {0, 0, 1, -1};
        for (int k = 0; k < 4; ++k) {
            const int32_t nx = x + dx[k];
            const int32_t ny = y + dy[k];
            if (nx < 0 || ny < 0 || nx >= grid.width || ny >= grid.height) continue;
            const int32_t next = nx + grid.width * ny;
            const double c = cost[static_cast<size_t>(next)];
            if (c < 0 || d + c >= best[static_cast<size_t>(next)]) continue;
            best[static_cast<size_t>(next)] = d + c;
            queue.emplace(d + c, next);
        }
    }
    return best[static_cast<size_t>(gx + grid.width * gy)];
}

Points reference_path(const Grid& grid, float weight, int32_t sx, int32_t sy, int32_t gx,
                      int32_t gy) {
    path_reference::Query query;
    query.start_x = sx;
    query.start_y = sy;
    query.goal_x = gx;
    query.goal_y = gy;
    query.weight = weight;
    query.width = grid.width;
    query.height = grid.height;
    query.costs = grid.values.data();
    return path_reference::find_path(query);
}

// ---- edge cases ----

// A path array that already holds something, to see whether find_path touched it.
DynArray<double> marked_path() {
    DynArray<double> path;
    dimension(path, 3, 2);
    element(path, 2, 1) = 42;
    return path;
}

void expect_untouched(DynArray<double>& path) {
    EXPECT_EQ(path.size0, 3);
    EXPECT_EQ(path.size1, 2);
    EXPECT_EQ(element(path, 2, 1), 42);
}

TEST(FindPathRefusal, StartEqualsGoalOrOutsideLeavesPathUntouched) {
    DynArray<double> costs = Grid{4, 3, std::vector<double>(12, 1.0)}.array();
    struct Case {
        double sx, sy, gx, gy;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const Case& c : {Case{1, 1, 1, 1}, Case{1.7, 1, 1.2, 1.9}, Case{-1, 0, 3, 2},
                          Case{0, 0, 4, 2}, Case{0, 0, 3, 3}, Case{0, -1, 3, 2},
                          Case{nan, 0, 3, 2}, Case{0, 0, 1e20, 2}, Case{0, 0, 3, -1e20}}) {
        DynArray<double> path = marked_path();
        EXPECT_EQ(find_path(costs, path, 0.5, c.sx, c.sy, c.gx, c.gy), 0);
        expect_untouched(path);
    }
}

TEST(FindPathRefusal, NoPositiveCellLeavesPathUntouched) {
    for (double value : {0.0, -1.0, -0.0, std::numeric_limits<double>::quiet_NaN()}) {
        DynArray<double> costs = Grid{3, 3, std::vector<double>(9, value)}.array();
        DynArray<double> path = marked_path();
        EXPECT_EQ(find_path(costs, path, 0.5, 0, 0, 2, 2), 0);
        expect_untouched(path);
    }
}

TEST(FindPathRefusal, CostArraysWithoutTwoDimensionsAreRefused) {
    DynArray<double> flat;
    dimension(flat, 5);
    for (int i = 0; i < 5; ++i) element(flat, i) = 1;
    DynArray<double> never_dimensioned;
    for (DynArray<double>* costs : {&flat, &never_dimensioned}) {
        DynArray<double> path = marked_path();
        EXPECT_EQ(find_path(*costs, path, 0.5, 0, 0, 4, 0), 0);
        expect_untouched(path);
    }
}

TEST(FindPath, BlockedGoalIsNeverReachedAndEmptiesPath) {
    Grid grid{3, 3, std::vector<double>(9, 1.0)};
    grid.values[8] = 0;
    DynArray<double> costs = grid.array();
    DynArray<double> path = marked_path();
    EXPECT_EQ(find_path(costs, path, 0.5, 0, 0, 2, 2), 0);
    EXPECT_EQ(path.size0, 0);
    EXPECT_EQ(path.dimension_count, 0);
}

TEST(FindPath, WalledOffGoalEmptiesPath) {
    // Row 1 is a wall between the start row and the goal row.
    const Grid grid{3, 3, {1, 1, 1, 0, -5, 0, 1, 1, 1}};
    DynArray<double> costs = grid.array();
    DynArray<double> path = marked_path();
    EXPECT_EQ(find_path(costs, path, 0, 0, 0, 2, 2), 0);
    EXPECT_EQ(path.size0, 0);
}

TEST(FindPath, BlockedStartStillExpands) {
    Grid grid{3, 1, {0, 1, 1}};
    EXPECT_EQ(run(grid, 0.5, 0, 0, 2, 0), (Points{{0, 0}, {1, 0}, {2, 0}}));
}

TEST(FindPath, OpenRowOfThreeCells) {
    const Grid grid{3, 1, {1, 1, 1}};
    DynArray<double> costs = grid.array();
    DynArray<double> path;
    ASSERT_EQ(find_path(costs, path, 0.5, 0, 0, 2, 0), 3);
    EXPECT_EQ(path.size0, 3);
    EXPECT_EQ(path.size1, 2);
    EXPECT_EQ(points_of(path), (Points{{0, 0}, {1, 0}, {2, 0}}));
    // Coordinates are truncated towards zero: -0.9 is column 0, 2.9 column 2.
    EXPECT_EQ(run(grid, 0.5, -0.9, 0.5, 2.9, 0), (Points{{0, 0}, {1, 0}, {2, 0}}));
}

TEST(FindPath, WorksWhenPathAndCostsAreTheSameArray) {
    const Grid grid{4, 1, {1, 2, 3, 4}};
    DynArray<double> both = grid.array();
    ASSERT_EQ(find_path(both, both, 0.5, 3, 0, 0, 0), 4);
    EXPECT_EQ(points_of(both), (Points{{3, 0}, {2, 0}, {1, 0}, {0, 0}}));
}

TEST(FindPath, WeightIsClampedToZeroToOne) {
    // Find a grid where weights 0 and 1 pick different paths, then check the clamping.
    std::mt19937 random(5);
    int differing = 0;
    for (int round = 0; round < 200 && differing < 5; ++round) {
        const Grid grid = random_grid(random, 12, 12, 20, true);
        const Points cheapest = run(grid, 0, 0, 0, 11, 11);
        const Points greedy = run(grid, 1, 0, 0, 11, 11);
        if (cheapest == greedy) continue;
        ++differing;
        EXPECT_EQ(run(grid, -2, 0, 0, 11, 11), cheapest);
        EXPECT_EQ(run(grid, std::numeric_limits<double>::quiet_NaN(), 0, 0, 11, 11), cheapest);
        EXPECT_EQ(run(grid, 5, 0, 0, 11, 11), greedy);
    }
    EXPECT_EQ(differing, 5);
}

TEST(FindPath, LeavesNoStorageBehind) {
    std::mt19937 random(3);
    const Grid grid = random_grid(random, 200, 150, 20, true);
    DynArray<double> costs = grid.array();
    DynArray<double> path;
    // The first call sizes the path array; the same query again fits into it.
    const double first = find_path(costs, path, 0.5, 0, 0, 199, 149);
    const struct mallinfo2 before = mallinfo2();
    const double second = find_path(costs, path, 0.5, 0, 0, 199, 149);
    const struct mallinfo2 after = mallinfo2();
    EXPECT_EQ(first, second);
    EXPECT_EQ(after.uordblks + after.hblkhd, before.uordblks + before.hblkhd);
}

// ---- properties on random grids ----

void check_shape(const Grid& grid, const Points& path, int32_t sx, int32_t sy, int32_t gx,
                 int32_t gy) {
    ASSERT_GE(path.size(), 2u);
    EXPECT_EQ(path.front(), std::make_pair(sx, sy));
    EXPECT_EQ(path.back(), std::make_pair(gx, gy));
    for (size_t i = 1; i < path.size(); ++i) {
        const int32_t dx = std::abs(path[i].first - path[i - 1].first);
        const int32_t dy = std::abs(path[i].second - path[i - 1].second);
        EXPECT_EQ(dx + dy, 1) << "step " << i << " is not to a four-connected neighbour";
        EXPECT_TRUE(passable(grid.at(path[i].first, path[i].second))) << "blocked cell " << i;
    }
}

double path_cost(const Grid& grid, const Points& path) {
    const std::vector<double> cost = normalised(grid);
    double total = 0;
    for (size_t i = 1; i < path.size(); ++i) {
        total += cost[static_cast<size_t>(path[i].first + grid.width * path[i].second)];
    }
    return total;
}

TEST(FindPathProperty, OptimalFourConnectedPathsWithWeightZeroAndHalf) {
    std::mt19937 random(2024);
    int reached = 0;
    int unreachable = 0;
    for (int round = 0; round < 400; ++round) {
        const auto width = static_cast<int32_t>(1 + random() % 40);
        const auto height = static_cast<int32_t>(1 + random() % 40);
        const Grid grid = random_grid(random, width, height, static_cast<int>(random() % 40),
                                      round % 2 == 0);
        const auto sx = static_cast<int32_t>(random() % static_cast<uint32_t>(width));
        const auto sy = static_cast<int32_t>(random() % static_cast<uint32_t>(height));
        const auto gx = static_cast<int32_t>(random() % static_cast<uint32_t>(width));
        const auto gy = static_cast<int32_t>(random() % static_cast<uint32_t>(height));
        if (sx == gx && sy == gy) continue;
        bool any_passable = false;
        for (double v : grid.values) any_passable = any_passable || passable(v);
        if (!any_passable) continue;
        const double optimal = dijkstra(grid, sx, sy, gx, gy);
        for (double weight : {0.0, 0.5}) {
            const Points path = run(grid, weight, sx, sy, gx, gy);
            if (std::isinf(optimal)) {
                EXPECT_TRUE(path.empty()) << "round " << round;
                ++unreachable;
                continue;
            }
            ++reached;
            check_shape(grid, path, sx, sy, gx, gy);
            EXPECT_NEAR(path_cost(grid, path), optimal, 1e-4 * optimal)
                << "round " << round << " weight " << weight;
        }
    }
    // The random grids must cover both outcomes for the test to mean something.
    EXPECT_GT(reached, 200);
    EXPECT_GT(unreachable, 20);
}

TEST(FindPathProperty, GreedyPathsAreStillFourConnectedAndAvoidBlockedCells) {
    std::mt19937 random(99);
    for (int round = 0; round < 200; ++round) {
        const Grid grid = random_grid(random, 30, 30, 25, true);
        const Points path = run(grid, static_cast<double>(random() % 3) / 4.0 + 0.5, 0, 0, 29, 29);
        if (std::isinf(dijkstra(grid, 0, 0, 29, 29))) {
            EXPECT_TRUE(path.empty());
        } else {
            check_shape(grid, path, 0, 0, 29, 29);
        }
    }
}

TEST(FindPathProperty, SamePathsAsThePlainPlanner) {
    std::mt19937 random(77);
    for (int round = 0; round < 300; ++round) {
        const bool large = round % 20 == 0;
        const auto width = static_cast<int32_t>(large ? 120 : 2 + random() % 40);
        const auto height = static_cast<int32_t>(large ? 90 : 1 + random() % 40);
        // Equal costs in every fourth grid: the order among equal scores decides.
        Grid grid = random_grid(random, width, height, static_cast<int>(random() % 35), true);
        if (round % 4 == 1) {
            for (double& v : grid.values) v = v > 0 ? 3.0 : v;
        }
        const auto sx = static_cast<int32_t>(random() % static_cast<uint32_t>(width));
        const auto sy = static_cast<int32_t>(random() % static_cast<uint32_t>(height));
        const auto gx = static_cast<int32_t>(random() % static_cast<uint32_t>(width));
        const auto gy = static_cast<int32_t>(random() % static_cast<uint32_t>(height));
        const float weight = static_cast<float>(random() % 5) / 4.0f;
        ASSERT_EQ(run(grid, weight, sx, sy, gx, gy), reference_path(grid, weight, sx, sy, gx, gy))
            << "round " << round << " weight " << weight;
    }
}

}  // namespace
