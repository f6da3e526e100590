// Every public header of this module, for runtime/runtime.h.
#pragma once

#include "runtime/input/joysticks.h"
#include "runtime/input/key_codes.h"
#include "runtime/input/keys.h"
#include "runtime/input/line_editor.h"
#include "runtime/input/mouse.h"
