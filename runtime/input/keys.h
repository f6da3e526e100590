// Keyboard commands: key state, typed characters and the waits for a key or a button.
#pragma once

#include "runtime/core/dyn_string.h"

namespace runtime {

// 1 while the key (scan code, low 8 bits used) is down, else 0.
double key_state(double code);
// The character of the key with the lowest code that types one, once per press; "" else.
DynString typed_char();
// 1 when typed_char would give a character (sharing its memory of the last one), else 0.
double key_hit();
// Waits until a key that types a character is pressed (not Shift, Escape, arrows...).
void key_wait();
// Waits until every mouse button is up and then one goes down.
void mouse_wait();
// Returns on any key, mouse or joystick activity, else after about 75 ms.
void wait_for_activity();

// The byte typed_char and key_hit share (0 for none).
int typed_byte();

// Rounds and sleep of wait_for_activity.
constexpr int ACTIVITY_ROUNDS = 15;
constexpr int ACTIVITY_SLEEP_MS = 5;

}  // namespace runtime
