// GLSL shader programs in slots 0..254, and the program drawing uses.
#pragma once

#include "runtime/core/dyn_string.h"

namespace runtime {

// Compiles the vertex and fragment shader files (an empty name skips that stage) and
// links them into the slot; 1, or 0 with the logs sent to the error callback.
double load_shader(double slot, const DynString& vertex_file, const DynString& fragment_file);
// Draws with the slot's program from now on; -1 (or an empty slot): fixed function.
void use_shader(double slot);
// Sets a float uniform of the slot's program (1 to 4 values by the number given);
// unknown names and empty slots are ignored.
void set_shader_uniform(double slot, const DynString& name, double a);
void set_shader_uniform(double slot, const DynString& name, double a, double b);
void set_shader_uniform(double slot, const DynString& name, double a, double b, double c);
void set_shader_uniform(double slot, const DynString& name, double a, double b, double c,
                        double d);

}  // namespace runtime
