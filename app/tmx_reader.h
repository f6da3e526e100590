// Reading a map by element names with a streaming XML parser: every attribute order,
// header, line end and layer encoding the editor writes gives the same entries.
#pragma once

#include <string>
#include <string_view>

#include "app/chunk_area.h"
#include "app/map_entries.h"

namespace app {

// The reader's name in the summary, the per-file line and the report.
inline constexpr std::string_view ELEMENT_NAMES_READER = "read by element names";

// Reads the map at path and hands its entries to sink in output order. The whole file is
// checked before the first entry is handed on; a refused map gives a reason and no entry
// (unless the file changes while it is read). The file is only read, shared with other readers.
ReadOutcome read_by_element_names(const std::string& path, EntrySink& sink);

}  // namespace app
