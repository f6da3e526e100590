// Directory and whole-file commands: the current folder, listings with a wildcard
// pattern, existence and size through the reading open, delete and copy.
#pragma once

#include "runtime/core/dyn_array.h"
#include "runtime/core/dyn_string.h"

namespace runtime {

// Block size of copy_file.
constexpr int COPY_BLOCK_SIZE = 4096;

// The current folder with "/" separators, always ending in "/".
DynString current_directory();
// 1 when the current folder was changed, else 0.
double set_current_directory(const DynString& path);
// Folders first ("." and ".." included), then files matching the pattern, in the
// system's order; returns files + 65536 * folders. The array is dimensioned anew.
double list_directory(const DynString& pattern, DynArray<DynString>& names);
// 1 when the name matches ("*" any run, "?" one character other than ".", letters
// without case), else 0.
double wildcard_match(const char* pattern, const char* name);
// 1 when the file can be opened for reading (not held here, not being written
// elsewhere), else 0.
double file_exists(const DynString& name);
// The file's size in bytes; 0 when it cannot be opened.
double file_size(const DynString& name);
// Deletes the file; silent when it is missing or held by an opener.
void delete_file(const DynString& name);
// Copies source to destination in 4096-byte blocks; a failed copy leaves no destination.
void copy_file(const DynString& source, const DynString& destination);
// Turns every "\" into "/" in place; returns the length.
double to_forward_slashes(DynString& text);

}  // namespace runtime
