// Numbers of the input commands: doubles truncated towards zero to int32 (0 for NaN,
// saturated beyond the range).
#pragma once

#include <cstdint>

namespace runtime {

inline int32_t input_int(double value) {
    if (!(value == value)) return 0;
    if (value >= 2147483647.0) return INT32_MAX;
    if (value <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(value);
}

}  // namespace runtime
