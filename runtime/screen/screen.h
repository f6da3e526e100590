// Every public header of this module, for runtime/runtime.h.
#pragma once

#include "runtime/screen/frame.h"
#include "runtime/screen/gl_window.h"
#include "runtime/screen/window_commands.h"
