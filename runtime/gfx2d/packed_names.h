// The name lookup every picture load goes through: a loose file wins, else the
// packed-file archive supplies one.
#pragma once

#include <string>

namespace runtime {

// The name of a readable file for the picture; false when there is none.
bool resolve_image_name(const char* file_name, std::string& resolved);

}  // namespace runtime
