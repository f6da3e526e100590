// find_path on large random grids, against two baselines measured in the same run:
// a textbook binary-heap A* (time and CPU time per query, ratio, equal path costs), and
// the plain reference planner (speed-up, peak heap per cell, identical paths).
// Usage: bench_path [--heap-queries N] [--grid N] [--reach N] [--queries N] [--check N]
//                   [--sizes 256,512,1024] [--weight W]
#include <malloc.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <new>
#include <queue>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "runtime/core/dyn_array.h"
#include "bench_clock.h"
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
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    return counted_allocation(size);
}
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
    int heap_queries = 1000;  // per grid kind
    int32_t heap_grid = 512;
    // Tables of goals anywhere (0) and at most this many cells from the start on each axis.
    std::vector<int32_t> heap_reaches = {0, 32};
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
std::pair<int32_t, int32_t> corner_cell(const std::vector<double>& grid, int32_t size, bool far_x,
                                        bool far_y, std::mt19937& random) {
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
Query corner_query(const std::vector<double>& grid, int32_t size, int index, std::mt19937& random) {
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

Points run_reference(const std::vector<double>& grid, int32_t size, double weight, const Query& q) {
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

// ---- baseline: a textbook binary-heap A* on the same normalised costs ----

// g-scores, closed flags and parents in flat arrays, std::priority_queue with lazy
// deletion, f = g + Manhattan distance. Same input and output as find_path.
Points textbook_astar(const runtime::DynArray<double>& costs, const Query& q) {
    const int32_t w = costs.size0, h = costs.size1;
    const size_t cells = static_cast<size_t>(w) * static_cast<size_t>(h);
    double maximum = 0;
    for (size_t i = 0; i < cells; ++i) maximum = std::max(maximum, costs.elements[i]);
    std::vector<float> cost(cells);
    for (size_t i = 0; i < cells; ++i) {
        const double v = costs.elements[i];
        cost[i] = v > 0 ? static_cast<float>(v / maximum + 1.0) : -1.0f;
    }
    std::vector<float> g(cells, std::numeric_limits<float>::infinity());
    std::vector<int32_t> parent(cells, -1);
    std::vector<uint8_t> closed(cells, 0);
    using Entry = std::pair<float, int32_t>;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<>> open;
    const int32_t start = q.sx + w * q.sy, goal = q.gx + w * q.gy;
    g[static_cast<size_t>(start)] = 0;
    open.emplace(0.0f, start);
    bool found = false;
    while (!open.empty()) {
        const int32_t cell = open.top().second;
        open.pop();
        if (closed[static_cast<size_t>(cell)] != 0) continue;
        if (cell == goal) {
            found = true;
            break;
        }
        closed[static_cast<size_t>(cell)] = 1;
        const int32_t x = cell % w, y = cell / w;
        const float base = g[static_cast<size_t>(cell)];
        const int32_t nx[4] = {x, x + 1, x - 1, x}, ny[4] = {y - 1, y, y, y + 1};
        for (int k = 0; k < 4; ++k) {
            if (nx[k] < 0 || ny[k] < 0 || nx[k] >= w || ny[k] >= h) continue;
            const int32_t next = nx[k] + w * ny[k];
            const float c = cost[static_cast<size_t>(next)];
            if (c < 0 || closed[static_cast<size_t>(next)] != 0) continue;
            const float ng = base + c;
            if (!(ng < g[static_cast<size_t>(next)])) continue;
            g[static_cast<size_t>(next)] = ng;
            parent[static_cast<size_t>(next)] = cell;
            open.emplace(ng + static_cast<float>(std::abs(q.gx - nx[k]) + std::abs(q.gy - ny[k])),
                         next);
        }
    }
    Points path;
    if (!found) return path;
    for (int32_t cell = goal; cell >= 0; cell = parent[static_cast<size_t>(cell)]) {
        path.emplace_back(cell % w, cell / w);
    }
    std::reverse(path.begin(), path.end());
    return path;
}

// Cost of a path on the normalised grid (the start cell is left, not entered).
double path_cost(const std::vector<double>& grid, int32_t width, double maximum,
                 const Points& path) {
    double sum = 0;
    for (size_t i = 1; i < path.size(); ++i) {
        sum += grid[static_cast<size_t>(path[i].first + width * path[i].second)] / maximum + 1.0;
    }
    return sum;
}

// Random start and goal among the passable cells: anywhere, or the goal within `reach`
// cells of the start on each axis.
Query random_query(const std::vector<double>& grid, int32_t size, int32_t reach,
                   std::mt19937& random) {
    const auto passable = [&](int32_t x, int32_t y) {
        return grid[static_cast<size_t>(x + size * y)] > 0;
    };
    const auto any = [&] { return static_cast<int32_t>(random() % static_cast<uint32_t>(size)); };
    const auto near = [&](int32_t around) {
        const auto offset = static_cast<int32_t>(random() % static_cast<uint32_t>(2 * reach + 1));
        return std::clamp(around + offset - reach, 0, size - 1);
    };
    for (;;) {
        const int32_t sx = any(), sy = any();
        const int32_t gx = reach > 0 ? near(sx) : any(), gy = reach > 0 ? near(sy) : any();
        if ((sx != gx || sy != gy) && passable(sx, sy) && passable(gx, gy)) return {sx, sy, gx, gy};
    }
}

// Weight 0.5 orders the open list as g + h does, so both searches are classic A*.
void heap_baseline_table(const Settings& settings, int32_t reach) {
    const int32_t size = settings.heap_grid;
    std::printf(
        "find_path (weight 0.5) vs textbook binary-heap A*: %d^2 grids, %d random queries each"
        " (goal %s), queries alternate between the two\n\n",
        size, settings.heap_queries,
        reach > 0 ? ("within " + std::to_string(reach) + " cells per axis").c_str() : "anywhere");
    std::printf("%-18s %11s %11s %7s %12s %12s %7s %s\n", "grid", "heap ms/q", "ours ms/q", "ratio",
                "heap cpu/q", "ours cpu/q", "ratio", "equal costs");
    struct Kind {
        const char* name;
        int blocked_percent;
        bool unit_costs;
    };
    for (const Kind& kind :
         {Kind{"10% blocked, 1", 10, true}, Kind{"10% blocked, 1-9", 10, false},
          Kind{"20% blocked, 1", 20, true}, Kind{"20% blocked, 1-9", 20, false}}) {
        std::mt19937 random(
            static_cast<uint32_t>(kind.blocked_percent * 7919 + (kind.unit_costs ? 1 : 2)));
        std::vector<double> grid(static_cast<size_t>(size) * static_cast<size_t>(size));
        for (double& value : grid) {
            const bool blocked = static_cast<int>(random() % 100) < kind.blocked_percent;
            value = blocked ? 0.0 : kind.unit_costs ? 1.0 : 1.0 + static_cast<double>(random() % 9);
        }
        const double maximum = *std::max_element(grid.begin(), grid.end());
        runtime::DynArray<double> costs;
        runtime::dimension(costs, size, size);
        std::memcpy(costs.elements, grid.data(), grid.size() * sizeof(double));
        double heap_ms = 0, ours_ms = 0, heap_cpu = 0, ours_cpu = 0;
        int equal = 0;
        for (int i = 0; i < settings.heap_queries; ++i) {
            const Query q = random_query(grid, size, reach, random);
            Points ours, heap;
            double c0 = bench::clock_ms(CLOCK_THREAD_CPUTIME_ID);
            heap_ms += measure([&] { heap = textbook_astar(costs, q); }).milliseconds;
            double c1 = bench::clock_ms(CLOCK_THREAD_CPUTIME_ID);
            ours_ms += measure([&] { ours = run_ours(costs, 0.5, q); }).milliseconds;
            const double c2 = bench::clock_ms(CLOCK_THREAD_CPUTIME_ID);
            heap_cpu += c1 - c0;
            ours_cpu += c2 - c1;
            const double a = path_cost(grid, size, maximum, ours),
                         b = path_cost(grid, size, maximum, heap);
            if (ours.empty() == heap.empty() && std::fabs(a - b) <= 1e-4 * std::max(1.0, b))
                ++equal;
        }
        const double n = std::max(1, settings.heap_queries);
        std::printf("%-18s %11.3f %11.3f %6.2fx %12.3f %12.3f %6.2fx %d/%d\n", kind.name,
                    heap_ms / n, ours_ms / n, heap_ms > 0 ? ours_ms / heap_ms : 0.0, heap_cpu / n,
                    ours_cpu / n, heap_cpu > 0 ? ours_cpu / heap_cpu : 0.0, equal,
                    settings.heap_queries);
        std::fflush(stdout);
    }
    std::printf("\n");
}

bool parse(int argc, char** argv, Settings& settings) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) return false;
        const std::string value = argv[++i];
        if (arg == "--heap-queries") {
            settings.heap_queries = std::atoi(value.c_str());
        } else if (arg == "--reach") {
            settings.heap_reaches = {std::max(0, std::atoi(value.c_str()))};
        } else if (arg == "--grid") {
            settings.heap_grid = std::max(2, std::atoi(value.c_str()));
        } else if (arg == "--queries") {
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
        std::fprintf(
            stderr,
            "usage: bench_path [--heap-queries N] [--grid N] [--reach N] [--queries N] [--check N]"
            " [--sizes a,b] [--weight W]\n");
        return 2;
    }
    for (const int32_t reach : settings.heap_reaches) {
        if (settings.heap_queries > 0) heap_baseline_table(settings, reach);
    }
    std::printf(
        "find_path vs plain reference planner: random costs 1-9, 20%% blocked, weight %.2f\n",
        settings.weight);
    std::printf(
        "timed: corner region (side/16) to opposite corner region; checked: timed + random local"
        " queries (goal within %d cells per axis)\n\n",
        CHECK_REACH);
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
                          : size <= 256               ? 10
                          : size <= 512               ? 3
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
            const Measure p =
                measure([&] { plain = run_reference(grid, size, settings.weight, q); });
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
            if (run_reference(grid, size, settings.weight, q) ==
                run_ours(costs, settings.weight, q)) {
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
