// Every public header of the 3D module (scene and objects), for runtime/runtime.h.
#pragma once

#include "runtime/gfx3d/camera.h"
#include "runtime/gfx3d/debug_draw.h"
#include "runtime/gfx3d/lights.h"
#include "runtime/gfx3d/object_commands.h"
#include "runtime/gfx3d/rainbows3d.h"
#include "runtime/gfx3d/shaders.h"
#include "runtime/gfx3d/shadow_pass.h"
#include "runtime/gfx3d/transforms.h"
