// Everything the handler touches is a lock-free atomic or a fixed buffer, and it calls
// only async-signal-safe functions. The handler may run on any thread (the window and
// sound libraries have their own), so the commit hold is a small state machine, not a mask.
#include "app/interruption.h"

#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <climits>
#include <cstring>

namespace app {

namespace {

constexpr int HANDLED_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP};
constexpr size_t TEMPORARY_SLOTS = 8;  // one run writes two outputs at a time

enum SlotState : int { SLOT_FREE, SLOT_FILLING, SLOT_READY };
enum HoldState : int { FREE, HELD, ENDING };

struct InterruptionState {
    std::array<std::atomic<int>, TEMPORARY_SLOTS> slot_state{};
    char paths[TEMPORARY_SLOTS][PATH_MAX] = {};
    std::atomic<int> hold{FREE};
    std::atomic<int> pending_signal{0};
    std::atomic<InterruptionHook> before_exit{nullptr};
};
InterruptionState& interruption_state() {
    static InterruptionState state;
    return state;
}

[[noreturn]] void end_on_signal(int signal_number) {
    InterruptionState& state = interruption_state();
    for (size_t i = 0; i < TEMPORARY_SLOTS; ++i) {
        if (state.slot_state[i].load() == SLOT_READY) ::unlink(state.paths[i]);
    }
    if (InterruptionHook hook = state.before_exit.load()) hook(signal_number);
    _exit(128 + signal_number);
}

void on_signal(int signal_number) {
    InterruptionState& state = interruption_state();
    int expected = FREE;
    if (state.hold.compare_exchange_strong(expected, ENDING)) end_on_signal(signal_number);
    if (expected != HELD) return;  // another thread is ending the program already
    // A commit is under way: its end takes the signal. Look again in case it ended meanwhile.
    state.pending_signal.store(signal_number);
    expected = FREE;
    if (state.hold.compare_exchange_strong(expected, ENDING)) end_on_signal(signal_number);
}

}  // namespace

void install_interruption_handlers(InterruptionHook before_exit) {
    // Also builds the state before any signal can need it.
    interruption_state().before_exit.store(before_exit);
    struct sigaction action {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    for (int s : HANDLED_SIGNALS) sigaddset(&action.sa_mask, s);
    action.sa_flags = SA_RESTART;
    for (int s : HANDLED_SIGNALS) {
        // A signal ignored by whoever started us (nohup, a background job) stays ignored.
        struct sigaction before {};
        if (sigaction(s, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
        sigaction(s, &action, nullptr);
    }
}

int remember_temporary_file(const std::string& path) {
    InterruptionState& state = interruption_state();
    if (path.size() >= PATH_MAX) return -1;
    for (size_t i = 0; i < TEMPORARY_SLOTS; ++i) {
        int expected = SLOT_FREE;
        if (!state.slot_state[i].compare_exchange_strong(expected, SLOT_FILLING)) continue;
        std::memcpy(state.paths[i], path.c_str(), path.size() + 1);
        state.slot_state[i].store(SLOT_READY);
        return static_cast<int>(i);
    }
    return -1;
}

void forget_temporary_file(int slot) {
    if (slot >= 0 && static_cast<size_t>(slot) < TEMPORARY_SLOTS) interruption_state().slot_state[static_cast<size_t>(slot)].store(SLOT_FREE);
}

InterruptionHold::InterruptionHold() {
    InterruptionState& state = interruption_state();
    int expected = FREE;
    // Holds are not nested, so a failure means another thread is ending the program:
    // let it, and never start the commit.
    if (!state.hold.compare_exchange_strong(expected, HELD)) {
        for (;;) ::pause();
    }
}

InterruptionHold::~InterruptionHold() {
    InterruptionState& state = interruption_state();
    state.hold.store(FREE);
    const int pending = state.pending_signal.exchange(0);
    if (pending != 0) on_signal(pending);
}

}  // namespace app
