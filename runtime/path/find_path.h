// find_path: the runtime command that plans a shortest four-connected path on a grid of
// cell costs held in a two-dimensional number array.
#pragma once

#include "runtime/core/dyn_array.h"

namespace runtime {

// Searches from (start_x, start_y) to (goal_x, goal_y) over costs[x, y] (values <= 0 are
// blocked); weight 0...1 blends path cost and estimate. Fills path as (n, 2) from start to
// goal and returns n; 0 with path dimensioned to 0 when the goal cannot be reached; 0 with
// path untouched when a coordinate is outside the grid, start equals goal or no cell is
// passable.
double find_path(DynArray<double>& costs, DynArray<double>& path, double weight, double start_x,
                 double start_y, double goal_x, double goal_y);

}  // namespace runtime
