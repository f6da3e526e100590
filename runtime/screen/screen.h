// Every public header of this module, for runtime/runtime.h.
#pragma once

#include "runtime/screen/font.h"
#include "runtime/screen/frame.h"
#include "runtime/screen/gl_window.h"
#include "runtime/screen/os_file_requester.h"
#include "runtime/screen/os_process.h"
#include "runtime/screen/os_system.h"
#include "runtime/screen/os_video.h"
#include "runtime/screen/window_commands.h"
