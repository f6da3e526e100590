// Helpers shared by the files module's sources (not part of the public commands).
#pragma once

#include <cmath>
#include <cstdint>

namespace runtime::files_detail {

// Truncation towards zero to a 32-bit integer; NaN and values outside the range give
// INT32_MIN, as the hardware conversion does.
inline int32_t truncate_int32(double x) {
    if (!(x > -2147483649.0 && x < 2147483648.0)) return INT32_MIN;
    return static_cast<int32_t>(x);
}

// Registers the exit clean-up (channels 7..0 closed, INI and line stores written back)
// with the shut-down and with the process exit, so it runs once whichever comes first.
void ensure_exit_cleanup();
// The same for the packed-archive records' teardown.
void ensure_archive_teardown();

}  // namespace runtime::files_detail
