// Every public header of this module, for runtime/runtime.h.
#pragma once

#include "runtime/path/find_path.h"
#include "runtime/path/planner.h"
