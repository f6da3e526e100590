// The shader slots' parts the scene's life uses (not part of the public interface).
#pragma once

namespace runtime {

class Rainbows3D;

// Program 0 current (when the entry points exist) and slot -1 in use.
void select_no_shader(Rainbows3D& scene);
// Deletes every slot's program and shaders (when a context exists).
void release_shader_programs(Rainbows3D& scene);

}  // namespace runtime
