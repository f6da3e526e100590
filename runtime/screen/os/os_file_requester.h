// The file requester: a native open or save dialog, or the built-in file browser
// drawn in the window where no dialog program works.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "runtime/core/dyn_string.h"

namespace runtime {

// Size of the filter and file-name buffers; a longer filter or answer is a failure.
constexpr size_t FILE_REQUESTER_BUFFER = 1024;

// Asks for a file. filter: "description|pattern|description|pattern..." (patterns
// separated by ";"); open nonzero: open dialog, 0: save dialog. The chosen path with
// "/", or "NO_FILE" when cancelled or failed. The current folder is kept.
DynString file_requester(const DynString& filter, double open);

using FilterPairs = std::vector<std::pair<std::string, std::string>>;
// The (description, pattern) pairs of a filter text; a last description without a
// pattern gets an empty one. False when the text does not fit the filter buffer.
bool parse_file_filter(const char* filter, FilterPairs& pairs);

}  // namespace runtime
