// The shader slots' parts the scene's life uses (not part of the public interface).
#pragma once

#include <cstdint>

namespace runtime {

class Rainbows3D;

// Makes the program current (when the entry points exist); 0: the fixed function.
void use_program(uint32_t program);
// The program of the slot drawing uses, or 0.
uint32_t program_in_use(const Rainbows3D& scene);

// Program 0 current (when the entry points exist) and slot -1 in use.
void select_no_shader(Rainbows3D& scene);
// Deletes every slot's program and shaders (when a context exists).
void release_shader_programs(Rainbows3D& scene);

}  // namespace runtime
