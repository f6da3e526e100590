// Every public header of this module, for runtime/runtime.h.
#pragma once

#include "runtime/screen/text/font.h"
