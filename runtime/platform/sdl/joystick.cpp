// Joysticks on SDL's joystick API in DirectInput's reading layout.
#include <SDL2/SDL.h>

#include <algorithm>

#include "runtime/platform/input_devices.h"

namespace runtime::platform {

namespace {
struct JoystickTable {
    bool started = false;
};
JoystickTable& joystick_table() {
    static JoystickTable table;
    return table;
}

// SDL's -32768..32767 onto the symmetric -32768..32768 range the readings promise.
int32_t map_axis(Sint16 value) {
    if (value > 0) return static_cast<int32_t>((static_cast<int64_t>(value) * 32768) / 32767);
    return value;
}

uint32_t hat_to_pov(Uint8 hat) {
    switch (hat) {
    case SDL_HAT_UP: return 0;
    case SDL_HAT_RIGHTUP: return 4500;
    case SDL_HAT_RIGHT: return 9000;
    case SDL_HAT_RIGHTDOWN: return 13500;
    case SDL_HAT_DOWN: return 18000;
    case SDL_HAT_LEFTDOWN: return 22500;
    case SDL_HAT_LEFT: return 27000;
    case SDL_HAT_LEFTUP: return 31500;
    default: return 0xFFFFFFFFu;
    }
}
}  // namespace

bool start_joysticks() {
    JoystickTable& table = joystick_table();
    if (table.started) return true;
    // The window may never hold focus (headless, or behind a dialog); readings still count.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) return false;
    table.started = true;
    return true;
}

void stop_joysticks() {
    JoystickTable& table = joystick_table();
    if (!table.started) return;
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    table = JoystickTable{};
}

int joystick_device_count() {
    if (!joystick_table().started) return 0;
    SDL_JoystickUpdate();
    return std::max(SDL_NumJoysticks(), 0);
}

int joystick_id_at(int device_index) {
    if (!joystick_table().started) return -1;
    return SDL_JoystickGetDeviceInstanceID(device_index);
}

int open_joystick(int device_index, std::string& name) {
    if (!joystick_table().started) return -1;
    SDL_Joystick* joystick = SDL_JoystickOpen(device_index);
    if (joystick == nullptr) return -1;
    const char* product = SDL_JoystickName(joystick);
    // SDL has one name per device: it stands for both the instance and the product.
    const std::string base = product != nullptr ? product : "Joystick";
    name = base + ", " + base;
    return SDL_JoystickInstanceID(joystick);
}

bool joystick_attached(int id) {
    SDL_Joystick* joystick = SDL_JoystickFromInstanceID(id);
    return joystick != nullptr && SDL_JoystickGetAttached(joystick) == SDL_TRUE;
}

void close_joystick(int id) {
    SDL_Joystick* joystick = SDL_JoystickFromInstanceID(id);
    if (joystick != nullptr) SDL_JoystickClose(joystick);
}

bool read_joystick_state(int id, JoystickReading& out) {
    out = JoystickReading{};
    SDL_Joystick* joystick = SDL_JoystickFromInstanceID(id);
    if (joystick == nullptr || SDL_JoystickGetAttached(joystick) != SDL_TRUE) return false;
    SDL_JoystickUpdate();
    const int axes = SDL_JoystickNumAxes(joystick);
    for (int i = 0; i < 8 && i < axes; ++i) {
        const int32_t value = map_axis(SDL_JoystickGetAxis(joystick, i));
        if (i < 6) out.axes[i] = value;
        else out.sliders[i - 6] = value;
    }
    const int hats = SDL_JoystickNumHats(joystick);
    for (int i = 0; i < 4 && i < hats; ++i) out.pov[i] = hat_to_pov(SDL_JoystickGetHat(joystick, i));
    const int buttons = SDL_JoystickNumButtons(joystick);
    for (int i = 0; i < 32 && i < buttons; ++i)
        out.buttons[i] = SDL_JoystickGetButton(joystick, i) ? 0x80 : 0;
    return true;
}

bool rumble_joystick(int id, uint16_t low, uint16_t high, uint32_t duration_ms) {
    SDL_Joystick* joystick = SDL_JoystickFromInstanceID(id);
    if (joystick == nullptr || SDL_JoystickHasRumble(joystick) != SDL_TRUE) return false;
    return SDL_JoystickRumble(joystick, low, high, duration_ms) == 0;
}

}  // namespace runtime::platform
