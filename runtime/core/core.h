// Every public header of this module, for runtime/runtime.h.
#pragma once

#include "runtime/core/dyn_array.h"
#include "runtime/core/dyn_string.h"
#include "runtime/core/error_log.h"
#include "runtime/core/lifecycle.h"
#include "runtime/core/string_functions.h"
