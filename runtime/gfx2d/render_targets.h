// Off-screen render targets: drawing into a sprite through a framebuffer object, or,
// without one, emulated on the back buffer by saving and restoring the screen.
#pragma once

#include <cstdint>

namespace runtime {

// Makes the sprite an empty (transparent) width x height picture and prepares target
// 0..31 to draw into it; other target numbers are ignored.
void create_render_target(double target, double sprite, double width, double height);
// Switches drawing to target 0..31; a negative number ends the target in use.
void use_render_target(double target);
// Switches drawing back to the screen.
void end_render_target();
// Deletes the target's framebuffer and depth buffer and zeroes its record.
void free_render_target(int32_t target);

}  // namespace runtime
