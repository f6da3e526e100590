// The transform stack's part that start_3d and set_camera use (not public).
#pragma once

namespace runtime {

class Rainbows3D;

// Back to level 0, reset to the identity.
void reset_transform_stack(Rainbows3D& scene);

}  // namespace runtime
