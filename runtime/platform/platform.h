// The platform contract: everything the runtime asks of the operating system and the
// window system, one header per area. No SDL type crosses these headers.
#pragma once

#include "runtime/platform/audio.h"
#include "runtime/platform/clock.h"
#include "runtime/platform/dialogs.h"
#include "runtime/platform/events.h"
#include "runtime/platform/files.h"
#include "runtime/platform/gl_extensions.h"
#include "runtime/platform/input_devices.h"
#include "runtime/platform/keyboard.h"
#include "runtime/platform/media.h"
#include "runtime/platform/net.h"
#include "runtime/platform/process.h"
#include "runtime/platform/window.h"
