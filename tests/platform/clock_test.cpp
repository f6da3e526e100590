// The monotonic clock and sleep of the platform layer.
#include <gtest/gtest.h>

#include "runtime/platform/clock.h"

namespace runtime::platform {
namespace {

TEST(PlatformClock, NeverGoesBackwards) {
    double previous = now_ms();
    for (int i = 0; i < 10000; ++i) {
        const double t = now_ms();
        ASSERT_GE(t, previous);
        previous = t;
    }
}

TEST(PlatformClock, SleepLastsAtLeastTheTimeAsked) {
    const double start = now_ms();
    sleep_for_ms(15.0);
    EXPECT_GE(now_ms() - start, 15.0);
}

TEST(PlatformClock, SleepUntilWakesNoEarlierThanTheDeadline) {
    const double deadline = now_ms() + 15.0;
    sleep_until_ms(deadline);
    EXPECT_GE(now_ms(), deadline);
}

TEST(PlatformClock, SleepOfZeroOrLessReturnsAtOnce) {
    const double start = now_ms();
    sleep_for_ms(0.0);
    sleep_for_ms(-1e9);
    sleep_until_ms(start - 1e9);
    // A negative sleep taken literally (or wrapped) would last days; the bound leaves room
    // for a loaded machine.
    EXPECT_LT(now_ms() - start, 5000.0);
}

}  // namespace
}  // namespace runtime::platform
