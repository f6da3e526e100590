// The one header an application includes: every runtime command.
#pragma once

#include "runtime/core/core.h"
#include "runtime/files/files.h"
#include "runtime/path/path.h"
#include "runtime/screen/screen.h"
#include "runtime/gfx2d/gfx2d.h"
#include "runtime/gfx3d/gfx3d.h"
#include "runtime/input/input.h"
#include "runtime/sound/sound.h"
#include "runtime/net/net.h"
#include "runtime/screen/startup.h"
