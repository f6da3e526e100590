// find_path: parameters from the command's numbers, one planner on the stack per call,
// the path handed back in a number array.
#include "runtime/path/find_path.h"

#include "runtime/path/planner.h"

namespace runtime {

namespace {

// Truncation towards zero; NaN and values beyond 32 bits become -1, which every grid
// refuses as a coordinate (a plain cast would be undefined there).
int32_t coordinate(double value) {
    if (!(value > -2147483649.0 && value < 2147483648.0)) return -1;
    return static_cast<int32_t>(value);
}

float clamped_weight(double weight) {
    if (!(weight >= 0)) return 0.0f;  // also NaN
    if (weight > 1) return 1.0f;
    return static_cast<float>(weight);
}

}  // namespace

double find_path(DynArray<double>& costs, DynArray<double>& path, double weight, double start_x,
                 double start_y, double goal_x, double goal_y) {
    PlannerParams params;
    params.start_x = coordinate(start_x);
    params.start_y = coordinate(start_y);
    params.goal_x = coordinate(goal_x);
    params.goal_y = coordinate(goal_y);
    params.scale_diagonal = 1;
    params.allow_diagonal = 0;
    params.node_capacity = 0;
    params.open_capacity = 0;
    params.hash_bits = 8;
    params.weight = clamped_weight(weight);
    params.width = costs.size0;
    params.height = costs.size1;
    params.costs = costs.elements;

    AStarPlanner planner;
    if (!planner.prepare(params)) return 0;
    planner.start();
    planner.search();

    // Parent links only lead to cheaper nodes, so the chain ends; the bound is a guard.
    const int32_t limit = planner.factory.size();
    int32_t count = 0;
    for (const Node* node = planner.path_head; node != nullptr && count < limit;
         node = node->parent) {
        ++count;
    }
    if (count == 0) {
        dimension(path, 0, 0, 0, 0);
        return 0;
    }
    dimension(path, count, 2, 0, 0);
    const Node* node = planner.path_head;
    for (int32_t i = count - 1; i >= 0; --i, node = node->parent) {
        element(path, i, 0) = node->x;
        element(path, i, 1) = node->y;
    }
    planner.clear();
    return path.size0;
}

}  // namespace runtime
