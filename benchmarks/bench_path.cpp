// find_path against the plain reference planner on large random grids: time per query,
// speed-up, peak heap per cell, and a check that both return the same paths.
// Usage: bench_path [--queries N] [--check N] [--sizes 256,512,1024] [--weight W]
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "runtime/core/dyn_array.h"
#include "runtime/path/find_path.h"
#include "tests/path/reference_planner.h"

// ---- heap accounting: live and peak bytes of every operator new ----

namespace {
size_t live_bytes = 0;
size_t peak_bytes = 0;

void* counted_allocation(size_t size) {
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block != nullptr) {
        live_bytes += malloc_usable_size(block);
        peak_bytes = std::max(peak_bytes, live_bytes);
    }
    return block;
}
// Kept out of line: inlined into operator delete, free() would look mismatched to the compiler.
[[gnu::noinline]] void counted_release(void* block) {
    if (block == nullptr) return;
    live_bytes -= malloc_usable_size(block);
    std::free(block);
}
}  // namespace

void* operator new(size_t size) {
    void* block = counted_allocation(size);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}
void* operator new[](size_t size) { return operator new(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return counted_allocation(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return counted_allocation(size); }
void operator delete(void* block) noexcept { counted_release(block); }
void operator delete[](void* block) noexcept { counted_release(block); }
void operator delete(void* block, size_t) noexcept { counted_release(block); }
void operator delete[](void* block, size_t) noexcept { counted_release(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { counted_release(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { counted_release(block); }

namespace {

using Points = std::vector<std::pair<int32_t, int32_t>>;
using Clock = std::chrono::steady_clock;

struct Query {
    int32_t sx, sy, gx, gy;
};

constexpr int32_t CHECK_REACH = 48;

struct Settings {
    std::vector<int32_t> sizes = {256, 512, 1024};
    int timed_queries = -1;  // -1: a default per size
    int checked_queries = -1;
    double weight = 0.5;
};

// Random costs 1...9, 20 % of the cells blocked (0); x + size * y.
std::vector<double> make_grid(int32_t size, std::mt19937& random) {
    std::vector<double> values(static_cast<size_t>(size) * static_cast<size_t>(size));
    for (double& value : values) {
        value = random() % 100 < 20 ? 0.0 : 1.0 + static_cast<double>(random() % 9);
    }
    return values;
}

// A passable cell in the corner square of side size / 16 at (corner_x, corner_y).
std::pair<int32_t, int32_t> corner_cell(const std::vector<double>& grid, int32_t size,
                                        bool far_x, bool far_y, std::mt19937& random) {
    const int32_t side = std::max(1, size / 16);
    for (;;) {
        int32_t x = static_cast<int32_t>(random() % static_cast<uint32_t>(side));
        int32_t y = static_cast<int32_t>(random() % static_cast<uint32_t>(side));
        if (far_x) x = size - 1 - x;
        if (far_y) y = size - 1 - y;
        if (grid[static_cast<size_t>(x + size * y)] > 0) return {x, y};
    }
}

// From one corner region to the opposite one, over all four diagonals in turn.
Query corner_query(const std::vector<double>& grid, int32_t size, int index,
                   std::mt19937& random) {
    const bool flip_x = (index & 1) != 0;
    const bool flip_y = (index & 2) != 0;
    const auto start = corner_cell(grid, size, flip_x, flip_y, random);
    const auto goal = corner_cell(grid, size, !flip_x, !flip_y, random);
    return {start.first, start.second, goal.first, goal.second};
}

Points run_ours(runtime::DynArray<double>& costs, double weight, const Query& q) {
    runtime::DynArray<double> path;
    const double n = runtime::find_path(costs, path, weight, q.sx, q.sy, q.gx, q.gy);
    Points points;
    for (int32_t i = 0; i < static_cast<int32_t>(n); ++i) {
        points.emplace_back(static_cast<int32_t>(runtime::element(path, i, 0)),
                            static_cast<int32_t>(runtime::element(path, i, 1)));
    }
    return points;
}

Points run_reference(const std::vector<double>& grid, int32_t size, double weight,
                     const Query& q) {
    path_reference::Query query;
    query.start_x = q.sx;
    query.start_y = q.sy;
    query.goal_x = q.gx;
    query.goal_y = q.gy;
    query.weight = static_cast<float>(weight);
    query.width = size;
    query.height = size;
    query.costs = grid.data();
    return path_reference::find_path(query);
}

struct Measure {
    double milliseconds = 0;
    size_t peak = 0;  // heap bytes above what was live before the query
};

template <class F>
Measure measure(F&& query) {
    const size_t before = live_bytes;
    peak_bytes = live_bytes;
    const auto t0 = Clock::now();
    query();
    const auto t1 = Clock::now();
    return {std::chrono::duration<double, std::milli>(t1 - t0).count(), peak_bytes - before};
}

bool parse(int argc, char** argv, Settings& settings) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) return false;
        const std::string value = argv[++i];
        if (arg == "--queries") {
            settings.timed_queries = std::atoi(value.c_str());
        } else if (arg == "--check") {
            settings.checked_queries = std::atoi(value.c_str());
        } else if (arg == "--weight") {
            settings.weight = std::atof(value.c_str());
        } else if (arg == "--sizes") {
            settings.sizes.clear();
            for (size_t at = 0; at < value.size();) {
                settings.sizes.push_back(std::atoi(value.c_str() + at));
                const size_t comma = value.find(',', at);
                at = comma == std::string::npos ? value.size() : comma + 1;
            }
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Settings settings;
    if (!parse(argc, argv, settings)) {
        std::fprintf(stderr, "usage: bench_path [--queries N] [--check N] [--sizes a,b] [--weight W]\n");
        return 2;
    }
    std::printf("find_path vs plain reference planner: random costs 1-9, 20%% blocked, weight %.2f\n",
                settings.weight);
    std::printf("timed: corner region (side/16) to opposite corner region; checked: timed + random local"
                " queries (goal within %d cells per axis)\n\n", CHECK_REACH);
    std::printf("%6s %7s %12s %12s %9s %11s %11s %9s %s\n", "size", "timed", "plain ms/q",
                "ours ms/q", "speed-up", "plain B/cell", "ours B/cell", "checked", "identical");

    for (const int32_t size : settings.sizes) {
        std::mt19937 random(static_cast<uint32_t>(size) * 2654435761u);
        const std::vector<double> grid = make_grid(size, random);
        runtime::DynArray<double> costs;
        runtime::dimension(costs, size, size);
        std::memcpy(costs.elements, grid.data(), grid.size() * sizeof(double));

        // The plain planner takes seconds per corner-to-corner query from 512^2 on, so few
        // are timed there; the identity check uses local queries that it finishes quickly.
        const int timed = settings.timed_queries >= 0 ? settings.timed_queries
                          : size <= 256                ? 10
                          : size <= 512                ? 3
                                                       : 1;
        const int checked = settings.checked_queries >= 0 ? settings.checked_queries : 100;
        double plain_ms = 0;
        double ours_ms = 0;
        size_t plain_peak = 0;
        size_t ours_peak = 0;
        int identical = 0;
        for (int i = 0; i < timed; ++i) {
            const Query q = corner_query(grid, size, i, random);
            Points plain, ours;
            const Measure p = measure([&] { plain = run_reference(grid, size, settings.weight, q); });
            const Measure o = measure([&] { ours = run_ours(costs, settings.weight, q); });
            plain_ms += p.milliseconds;
            ours_ms += o.milliseconds;
            plain_peak = std::max(plain_peak, p.peak);
            ours_peak = std::max(ours_peak, o.peak);
            if (plain == ours) ++identical;
        }
        // Identity over random starts anywhere, goals up to CHECK_REACH cells away on each axis.
        for (int i = 0; i < checked; ++i) {
            Query q;
            q.sx = static_cast<int32_t>(random() % static_cast<uint32_t>(size));
            q.sy = static_cast<int32_t>(random() % static_cast<uint32_t>(size));
            const auto offset = [&] {
                return static_cast<int32_t>(random() % (2 * CHECK_REACH + 1)) - CHECK_REACH;
            };
            q.gx = std::clamp(q.sx + offset(), 0, size - 1);
            q.gy = std::clamp(q.sy + offset(), 0, size - 1);
            if (run_reference(grid, size, settings.weight, q) == run_ours(costs, settings.weight, q)) {
                ++identical;
            }
        }
        const double cells = static_cast<double>(size) * size;
        const double plain_per = timed > 0 ? plain_ms / timed : 0;
        const double ours_per = timed > 0 ? ours_ms / timed : 0;
        std::printf("%4d^2 %7d %12.1f %12.2f %8.1fx %11.1f %11.1f %9d %d/%d\n", size, timed,
                    plain_per, ours_per, ours_per > 0 ? plain_per / ours_per : 0.0,
                    static_cast<double>(plain_peak) / cells, static_cast<double>(ours_peak) / cells,
                    timed + checked, identical, timed + checked);
        std::fflush(stdout);
    }
    return 0;
}
