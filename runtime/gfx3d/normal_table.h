// The 162 vertex normals a packed vertex refers to by index, and the rule that picks
// the index for a free normal.
#pragma once

#include <cstdint>

namespace runtime {

constexpr int32_t NORMAL_COUNT = 162;

// Unit vectors spread evenly over the sphere; entry 5 points along +z.
extern const float NORMAL_TABLE[NORMAL_COUNT][3];

// The index of the table normal nearest to n: n is normalised unless it is zero, then the entry t
// minimising |n . (n - t)| wins (the later one on ties, so a zero normal gives the last index).
int32_t nearest_normal_index(const float n[3]);

}  // namespace runtime
