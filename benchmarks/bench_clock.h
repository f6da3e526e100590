// Clocks and order statistics the benchmark programs share.
#pragma once

#include <time.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace bench {

// A clock's reading in milliseconds: CLOCK_MONOTONIC for wall time, CLOCK_PROCESS_CPUTIME_ID
// for the whole process (driver threads included), CLOCK_THREAD_CPUTIME_ID for this thread.
inline double clock_ms(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// The value below which the fraction p (0..1] of the values lie; 0 for none.
template <typename T>
double percentile(std::vector<T> values, double p) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    const size_t at = static_cast<size_t>(std::ceil(p * static_cast<double>(values.size()))) - 1;
    return static_cast<double>(values[std::min(at, values.size() - 1)]);
}

}  // namespace bench
