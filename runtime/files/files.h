// Every public header of this module, for runtime/runtime.h.
#pragma once

#include "runtime/files/data_folder.h"
#include "runtime/files/directory.h"
#include "runtime/files/file_channels.h"
#include "runtime/files/ini_file.h"
#include "runtime/files/line_store.h"
#include "runtime/files/tile_map.h"
