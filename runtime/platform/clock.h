// The runtime's clock: milliseconds on a monotonic clock, and sleeping on it.
#pragma once

namespace runtime::platform {

// Milliseconds since an arbitrary fixed point; never goes backwards, never jumps.
double now_ms();
// Sleeps for about the given milliseconds (0 or less returns at once).
void sleep_for_ms(double ms);
// Sleeps until now_ms() reaches the deadline; returns at once when it has passed.
void sleep_until_ms(double deadline_ms);

}  // namespace runtime::platform
