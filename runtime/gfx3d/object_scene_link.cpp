// The scene side of the object commands.
#include "runtime/gfx3d/object_scene_link.h"

namespace runtime {

void current_object_matrix(float matrix[16]) {
    for (int i = 0; i < 16; ++i) matrix[i] = (i % 5 == 0) ? 1.0f : 0.0f;
}

}  // namespace runtime
