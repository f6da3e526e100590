// Mouse pointer and joystick services of the platform layer. Key and mouse state come
// from the event pump (events.h); this header covers what is not an event.
#pragma once

#include <cstdint>
#include <string>

namespace runtime::platform {

// Pointer: relative mode hides the pointer and reports unbounded motion. False on failure.
bool set_relative_mouse_mode(bool on);
// Shows or hides the system pointer over the window.
void show_system_cursor(bool show);
// Moves the system pointer to a position in the window with the GL context.
void warp_mouse_in_window(int x, int y);
// Window-relative pointer position and button mask (bit 0 left, 1 right, 2 middle)
// as the window system last reported them.
void query_mouse(int& x, int& y, unsigned& buttons);

// One joystick reading: DirectInput's layout, axes in -32768..32768, POV in
// hundredths of a degree (0xFFFFFFFF centred), button bytes 0x80 when down.
struct JoystickReading {
    int32_t axes[6] = {};     // X, Y, Z, X rotation, Y rotation, Z rotation
    int32_t sliders[2] = {};
    uint32_t pov[4] = {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu};
    uint8_t buttons[32] = {};
};

// Starts the joystick service (background reading allowed). False when unavailable.
bool start_joysticks();
// Closes every open joystick and stops the service.
void stop_joysticks();
// Joysticks attached now.
int joystick_device_count();
// Opens attached joystick `device_index`; its stable id (>= 0) or -1. `name` gets
// "instance name, product name" as far as the system knows them.
int open_joystick(int device_index, std::string& name);
// Whether an open joystick with this id is still attached.
bool joystick_attached(int id);
// Id of the attached joystick `device_index` (-1 when none), without opening it.
int joystick_id_at(int device_index);
void close_joystick(int id);
// Reads the current state; false (reading zeroed) when the joystick is gone.
bool read_joystick_state(int id, JoystickReading& out);
// Rumble with both motors at the given strengths (0..65535); false when unsupported.
bool rumble_joystick(int id, uint16_t low, uint16_t high, uint32_t duration_ms);

}  // namespace runtime::platform
