// The event pump on SDL2: SDL events of our window become runtime::platform::Event and
// go to the listeners in order; push_event goes the other way for synthetic input.
#include <SDL2/SDL.h>

#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "runtime/platform/events.h"
#include "runtime/platform/keyboard.h"
#include "runtime/platform/sdl/sdl_window.h"

namespace runtime::platform {

namespace {

struct EventListeners {
    int next_id = 1;
    std::vector<std::pair<int, std::function<void(const Event&)>>> listeners;
};
EventListeners& event_listeners() {
    static EventListeners record;
    return record;
}

// Our mouse buttons: 1 left, 2 right, 3 middle; SDL has middle and right the other way.
int button_from_sdl(int b) {
    switch (b) {
    case SDL_BUTTON_LEFT: return 1;
    case SDL_BUTTON_RIGHT: return 2;
    case SDL_BUTTON_MIDDLE: return 3;
    default: return b;
    }
}
int button_to_sdl(int b) {
    switch (b) {
    case 1: return SDL_BUTTON_LEFT;
    case 2: return SDL_BUTTON_RIGHT;
    case 3: return SDL_BUTTON_MIDDLE;
    default: return b;
    }
}

bool ours(uint32_t window_id) {
    return window_id == 0 || window_id == sdl_window_state().window_id;
}

bool translate(const SDL_Event& in, Event& out) {
    switch (in.type) {
    case SDL_QUIT:
        out.kind = EventKind::QUIT_REQUEST;
        return true;
    case SDL_WINDOWEVENT:
        if (!ours(in.window.windowID)) return false;
        switch (in.window.event) {
        case SDL_WINDOWEVENT_CLOSE: out.kind = EventKind::QUIT_REQUEST; return true;
        case SDL_WINDOWEVENT_FOCUS_GAINED: out.kind = EventKind::FOCUS_GAINED; return true;
        case SDL_WINDOWEVENT_FOCUS_LOST: out.kind = EventKind::FOCUS_LOST; return true;
        case SDL_WINDOWEVENT_EXPOSED: out.kind = EventKind::WINDOW_EXPOSED; return true;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            out.kind = EventKind::WINDOW_RESIZED;
            out.x = in.window.data1;
            out.y = in.window.data2;
            return true;
        default: return false;
        }
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        if (!ours(in.key.windowID)) return false;
        out.kind = in.type == SDL_KEYDOWN ? EventKind::KEY_DOWN : EventKind::KEY_UP;
        out.scan_code = set1_from_platform_scancode(static_cast<int>(in.key.keysym.scancode));
        const SDL_Keycode sym = SDL_GetKeyFromScancode(in.key.keysym.scancode);
        // Keys named by position only (F-keys, arrows) have no character.
        out.layout_char = (sym & SDLK_SCANCODE_MASK) ? 0 : static_cast<int>(sym);
        out.repeat = in.key.repeat != 0;
        out.alt_down = (in.key.keysym.mod & KMOD_ALT) != 0;
        out.shift_down = (in.key.keysym.mod & KMOD_SHIFT) != 0;
        out.ctrl_down = (in.key.keysym.mod & KMOD_CTRL) != 0;
        return true;
    }
    case SDL_TEXTINPUT:
        if (!ours(in.text.windowID)) return false;
        out.kind = EventKind::TEXT_INPUT;
        std::strncpy(out.text, in.text.text, sizeof out.text - 1);
        out.text[sizeof out.text - 1] = '\0';
        return true;
    case SDL_MOUSEMOTION:
        if (!ours(in.motion.windowID)) return false;
        out.kind = EventKind::MOUSE_MOTION;
        out.x = in.motion.x;
        out.y = in.motion.y;
        out.dx = in.motion.xrel;
        out.dy = in.motion.yrel;
        return true;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        if (!ours(in.button.windowID)) return false;
        out.kind = in.type == SDL_MOUSEBUTTONDOWN ? EventKind::MOUSE_BUTTON_DOWN
                                                  : EventKind::MOUSE_BUTTON_UP;
        out.button = button_from_sdl(in.button.button);
        out.x = in.button.x;
        out.y = in.button.y;
        return true;
    case SDL_MOUSEWHEEL:
        if (!ours(in.wheel.windowID)) return false;
        out.kind = EventKind::MOUSE_WHEEL;
        out.wheel = in.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -in.wheel.y : in.wheel.y;
        return true;
    case SDL_JOYDEVICEADDED:
    case SDL_JOYDEVICEREMOVED:
        out.kind = in.type == SDL_JOYDEVICEADDED ? EventKind::JOYSTICK_ADDED
                                                 : EventKind::JOYSTICK_REMOVED;
        out.device = in.jdevice.which;
        return true;
    default: return false;
    }
}

}  // namespace

int add_event_listener(std::function<void(const Event&)> listener) {
    EventListeners& r = event_listeners();
    const int id = r.next_id++;
    r.listeners.emplace_back(id, std::move(listener));
    return id;
}

void remove_event_listener(int id) {
    auto& list = event_listeners().listeners;
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (it->first == id) {
            list.erase(it);
            return;
        }
    }
}

int pump_events() {
    if (!sdl_window_state().video_ok) return 0;
    int taken = 0;
    SDL_Event in;
    while (SDL_PollEvent(&in)) {
        ++taken;
        Event out;
        if (!translate(in, out)) continue;
        // A listener may add or remove listeners while it runs: walk a copy.
        const auto snapshot = event_listeners().listeners;
        for (const auto& entry : snapshot) entry.second(out);
    }
    return taken;
}

bool push_event(const Event& event) {
    if (!sdl_window_state().video_ok) return false;
    SDL_Event e;
    std::memset(&e, 0, sizeof e);
    const uint32_t id = sdl_window_state().window_id;
    switch (event.kind) {
    case EventKind::QUIT_REQUEST:
    case EventKind::FOCUS_GAINED:
    case EventKind::FOCUS_LOST:
    case EventKind::WINDOW_EXPOSED:
    case EventKind::WINDOW_RESIZED:
        e.type = SDL_WINDOWEVENT;
        e.window.windowID = id;
        e.window.event = event.kind == EventKind::QUIT_REQUEST    ? SDL_WINDOWEVENT_CLOSE
                         : event.kind == EventKind::FOCUS_GAINED  ? SDL_WINDOWEVENT_FOCUS_GAINED
                         : event.kind == EventKind::FOCUS_LOST    ? SDL_WINDOWEVENT_FOCUS_LOST
                         : event.kind == EventKind::WINDOW_EXPOSED ? SDL_WINDOWEVENT_EXPOSED
                                                                   : SDL_WINDOWEVENT_SIZE_CHANGED;
        e.window.data1 = event.x;
        e.window.data2 = event.y;
        break;
    case EventKind::KEY_DOWN:
    case EventKind::KEY_UP: {
        e.type = event.kind == EventKind::KEY_DOWN ? SDL_KEYDOWN : SDL_KEYUP;
        e.key.windowID = id;
        e.key.state = event.kind == EventKind::KEY_DOWN ? SDL_PRESSED : SDL_RELEASED;
        e.key.repeat = event.repeat ? 1 : 0;
        const int sc = platform_scancode_from_set1(event.scan_code);
        if (sc == 0) return false;
        e.key.keysym.scancode = static_cast<SDL_Scancode>(sc);
        e.key.keysym.sym = SDL_GetKeyFromScancode(e.key.keysym.scancode);
        uint16_t mod = 0;
        if (event.alt_down) mod |= KMOD_LALT;
        if (event.shift_down) mod |= KMOD_LSHIFT;
        if (event.ctrl_down) mod |= KMOD_LCTRL;
        e.key.keysym.mod = mod;
        break;
    }
    case EventKind::TEXT_INPUT:
        e.type = SDL_TEXTINPUT;
        e.text.windowID = id;
        std::snprintf(e.text.text, sizeof e.text.text, "%s", event.text);
        break;
    case EventKind::MOUSE_MOTION:
        e.type = SDL_MOUSEMOTION;
        e.motion.windowID = id;
        e.motion.x = event.x;
        e.motion.y = event.y;
        e.motion.xrel = event.dx;
        e.motion.yrel = event.dy;
        break;
    case EventKind::MOUSE_BUTTON_DOWN:
    case EventKind::MOUSE_BUTTON_UP:
        e.type = event.kind == EventKind::MOUSE_BUTTON_DOWN ? SDL_MOUSEBUTTONDOWN
                                                             : SDL_MOUSEBUTTONUP;
        e.button.windowID = id;
        e.button.button = static_cast<uint8_t>(button_to_sdl(event.button));
        e.button.state = event.kind == EventKind::MOUSE_BUTTON_DOWN ? SDL_PRESSED : SDL_RELEASED;
        e.button.x = event.x;
        e.button.y = event.y;
        break;
    case EventKind::MOUSE_WHEEL:
        e.type = SDL_MOUSEWHEEL;
        e.wheel.windowID = id;
        e.wheel.y = event.wheel;
        break;
    case EventKind::JOYSTICK_ADDED:
    case EventKind::JOYSTICK_REMOVED:
        e.type = event.kind == EventKind::JOYSTICK_ADDED ? SDL_JOYDEVICEADDED
                                                         : SDL_JOYDEVICEREMOVED;
        e.jdevice.which = event.device;
        break;
    }
    e.common.timestamp = SDL_GetTicks();
    return SDL_PushEvent(&e) == 1;
}

}  // namespace runtime::platform
