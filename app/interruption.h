// SIGINT, SIGTERM and SIGHUP end the converter at once and leave nothing behind: named
// temporary outputs are removed, a dialog it waits for ends with it, and the exit status
// is 128 + the signal. A commit in progress is finished first, so a pair is never split.
#pragma once

#include <string>

namespace app {

// What the handlers do last, before the exit: hands the signal on to whatever the
// program waits for (the front end's dialog). It must be async-signal-safe.
using InterruptionHook = void (*)(int signal_number);

// Installs the handlers (not for a signal the program was started with ignored); call
// before the window library starts, which then keeps them.
void install_interruption_handlers(InterruptionHook before_exit = nullptr);

// A temporary file the handlers remove; a slot number, or -1 when none is free (the file
// then stays behind if the program is interrupted).
int remember_temporary_file(const std::string& path);
// The file is gone or has become an output: the handlers leave it alone.
void forget_temporary_file(int slot);

// While one lives, an interruption waits: the program ends when the hold is released.
class InterruptionHold {
public:
    InterruptionHold();
    ~InterruptionHold();
    InterruptionHold(const InterruptionHold&) = delete;
    InterruptionHold& operator=(const InterruptionHold&) = delete;
};

}  // namespace app
