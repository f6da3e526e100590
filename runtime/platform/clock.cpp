// Monotonic clock and sleep on POSIX clock_gettime / clock_nanosleep.
#include "runtime/platform/clock.h"

#include <cerrno>
#include <ctime>

namespace runtime::platform {

double now_ms() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1.0e6;
}

void sleep_for_ms(double ms) {
    if (!(ms > 0)) return;
    timespec ts{};
    const double whole = static_cast<double>(static_cast<long long>(ms / 1000.0));
    ts.tv_sec = static_cast<time_t>(whole);
    ts.tv_nsec = static_cast<long>((ms - whole * 1000.0) * 1.0e6);
    // A signal may cut the sleep short; sleep the rest.
    while (clock_nanosleep(CLOCK_MONOTONIC, 0, &ts, &ts) == EINTR) {
    }
}

}  // namespace runtime::platform
