// Numbers of the network commands (private to the module).
#pragma once

#include <cstdint>

namespace runtime::net_detail {

// Truncation towards zero to a 32-bit integer; NaN and values outside the range give
// INT32_MIN, as the hardware conversion does.
inline int32_t whole(double x) {
    if (!(x > -2147483649.0 && x < 2147483648.0)) return INT32_MIN;
    return static_cast<int32_t>(x);
}

}  // namespace runtime::net_detail
