// The one header an application includes: every runtime command.
#pragma once

#include "runtime/core/core.h"
#include "runtime/files/files.h"
#include "runtime/gfx2d/gfx2d.h"
#include "runtime/gfx3d/gfx3d.h"
#include "runtime/input/input.h"
#include "runtime/net/net.h"
#include "runtime/path/path.h"
#include "runtime/screen/os/os.h"
#include "runtime/screen/screen.h"
#include "runtime/screen/startup/startup.h"
#include "runtime/screen/text/text.h"
#include "runtime/sound/sound.h"
