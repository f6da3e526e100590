// The window procedure (activation pause, close, keys the frame loop tests), the hooks
// of the upper modules and the screen-mode command.
#include "runtime/screen/screen_state.h"

#include <string>
#include <utility>

#include "runtime/core/lifecycle.h"
#include "runtime/platform/events.h"
#include "runtime/platform/window.h"
#include "runtime/screen/frame.h"
#include "runtime/screen/gl_window.h"

namespace runtime {

namespace {

struct FrameHookList {
    int next_id = 1;
    std::vector<std::pair<int, std::function<void()>>> hooks;
};
FrameHookList& frame_hook_list() {
    static FrameHookList record;
    return record;
}

constexpr char PAUSE_SUFFIX[] = " <pause>";

}  // namespace

ScreenState& screen_state() {
    static ScreenState record;
    return record;
}

ScreenHooks& screen_hooks() {
    static ScreenHooks record;
    return record;
}

int add_frame_hook(std::function<void()> hook) {
    FrameHookList& list = frame_hook_list();
    const int id = list.next_id++;
    list.hooks.emplace_back(id, std::move(hook));
    return id;
}

void remove_frame_hook(int id) {
    auto& hooks = frame_hook_list().hooks;
    for (auto it = hooks.begin(); it != hooks.end(); ++it) {
        if (it->first == id) {
            hooks.erase(it);
            return;
        }
    }
}

void run_frame_hooks() {
    const auto snapshot = frame_hook_list().hooks;
    for (const auto& entry : snapshot) entry.second();
}

void window_procedure(const platform::Event& event) {
    ScreenState& s = screen_state();
    const bool pausing = process_state().debug_mode == 0 && s.auto_pause;
    switch (event.kind) {
    case platform::EventKind::FOCUS_LOST:
        if (pausing) {
            std::string title = s.window_title.buffer;
            title += PAUSE_SUFFIX;
            platform::set_window_title(title.c_str());
            s.paused = true;
        }
        break;
    case platform::EventKind::FOCUS_GAINED:
        if (pausing) {
            platform::set_window_title(s.window_title.buffer);
            s.paused = false;
        }
        break;
    case platform::EventKind::QUIT_REQUEST:
        end_program();
    case platform::EventKind::KEY_DOWN:
    case platform::EventKind::KEY_UP:
        if (event.scan_code > 0 && event.scan_code < static_cast<int>(s.keys_down.size()))
            s.keys_down[static_cast<size_t>(event.scan_code)] =
                event.kind == platform::EventKind::KEY_DOWN;
        break;
    default:
        break;
    }
}

void attach_window_events() {
    ScreenState& s = screen_state();
    if (s.event_listener != 0) return;
    s.event_listener = platform::add_event_listener(window_procedure);
    platform::disable_screen_saver();
}

bool frame_key_down(int scan_code) {
    const ScreenHooks& hooks = screen_hooks();
    if (hooks.key_down) return hooks.key_down(scan_code);
    const ScreenState& s = screen_state();
    return scan_code >= 0 && scan_code < static_cast<int>(s.keys_down.size()) &&
           s.keys_down[static_cast<size_t>(scan_code)];
}

void set_screen_mode(double width, double height, double fullscreen) {
    const auto to_int = [](double v) {
        if (!(v == v) || v >= 2147483647.0 || v <= -2147483648.0) return 0;
        return static_cast<int>(v);
    };
    const int w = to_int(width);
    const int h = to_int(height);
    const int fs = to_int(fullscreen);
    ProcessState& settings = process_state();
    settings.screen_width = w;
    settings.screen_height = h;
    settings.fullscreen = fs;
    WindowState& win = window_state();
    if (w != 0) win.screen_width = w;
    if (h != 0) win.screen_height = h;
    if (fs != 0)
        enter_fullscreen();
    else
        leave_fullscreen();
    screen_hooks().window_changed.call(win.window);
    for (int i = 0; i < 5; ++i) show_screen();
}

void set_window_title(const DynString& text) { set_window_title(text.text_of()); }

void set_window_title(const char* text) {
    ScreenState& s = screen_state();
    // A copy first: the text may be the stored title itself.
    std::string shown = text != nullptr ? text : "";
    s.window_title = shown.c_str();
    if (s.paused) shown += PAUSE_SUFFIX;
    platform::set_window_title(shown.c_str());
}

void set_auto_pause(double flag) { screen_state().auto_pause = flag != 0; }

void set_escape_ends_program(double flag) { screen_state().escape_ends_program = flag != 0; }

void reset_screen() {
    ScreenState& s = screen_state();
    if (s.event_listener != 0) platform::remove_event_listener(s.event_listener);
    // Hooks first: what they capture may already be gone when a test resets.
    screen_hooks() = ScreenHooks{};
    frame_hook_list().hooks.clear();
    destroy_gl_window();
    platform::delete_gl_context();
    s = ScreenState{};
    timing_seams() = TimingSeams{};
    limiter_state() = LimiterState{};
    // The software warning is once per process, not per window.
    WindowState& w = window_state();
    const bool warned = w.software_warning_shown;
    const std::string renderer = w.renderer;
    w = WindowState{};
    w.software_warning_shown = warned;
    w.renderer = renderer;
}

}  // namespace runtime
