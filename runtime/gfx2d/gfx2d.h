// Every public header of this module, for runtime/runtime.h.
#pragma once

#include "runtime/gfx2d/colour.h"
#include "runtime/gfx2d/drawing_2d.h"
#include "runtime/gfx2d/image_files.h"
#include "runtime/gfx2d/opengl_rainbows.h"
#include "runtime/gfx2d/render_targets.h"
#include "runtime/gfx2d/texture_upload.h"
