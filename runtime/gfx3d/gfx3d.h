// Every public header of the 3D module (scene and objects), for runtime/runtime.h.
#pragma once

#include "runtime/gfx3d/object_commands.h"
