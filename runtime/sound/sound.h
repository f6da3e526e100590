// Every public header of this module, for runtime/runtime.h.
#pragma once

#include "runtime/sound/sound_commands.h"
#include "runtime/sound/wave_file.h"
