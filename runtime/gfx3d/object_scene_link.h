// What the object commands take from the 3D scene: the object transform.
#pragma once

namespace runtime {

// The current matrix of the object transform stack (recomputed first), column-major.
void current_object_matrix(float matrix[16]);

}  // namespace runtime
