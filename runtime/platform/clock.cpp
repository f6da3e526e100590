// Monotonic clock and sleeps (relative and to an absolute deadline) on POSIX
// clock_gettime / clock_nanosleep.
#include "runtime/platform/clock.h"

#include <cerrno>
#include <cmath>
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

void sleep_until_ms(double deadline_ms) {
    if (!(deadline_ms > now_ms())) return;
    timespec ts{};
    const double seconds = std::floor(deadline_ms / 1000.0);
    ts.tv_sec = static_cast<time_t>(seconds);
    ts.tv_nsec = static_cast<long>((deadline_ms - seconds * 1000.0) * 1.0e6);
    if (ts.tv_nsec >= 1000000000L) {
        ts.tv_sec += 1;
        ts.tv_nsec -= 1000000000L;
    }
    // An absolute deadline: a signal that cuts the sleep short costs no drift.
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
    }
}

}  // namespace runtime::platform
