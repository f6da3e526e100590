// Every public header of this module, for runtime/runtime.h.
#pragma once

#include "runtime/screen/os/os_file_requester.h"
#include "runtime/screen/os/os_process.h"
#include "runtime/screen/os/os_system.h"
#include "runtime/screen/os/os_video.h"
