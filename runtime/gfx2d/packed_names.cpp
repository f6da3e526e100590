// Picture names through the packed-file lookup.
#include "runtime/gfx2d/packed_names.h"

#include <cstring>

#include "runtime/files/packed_archive.h"

namespace runtime {

bool resolve_image_name(const char* file_name, std::string& resolved) {
    if (!file_name || !*file_name) return false;
    // The lookup works in fixed buffers of ARCHIVE_PATH_SIZE: a longer name fails cleanly.
    if (std::strlen(file_name) >= ARCHIVE_PATH_SIZE) return false;
    char out[ARCHIVE_PATH_SIZE] = {};
    if (resolve_packed_name(file_name, out) == 0) return false;
    resolved = out;
    return true;
}

}  // namespace runtime
