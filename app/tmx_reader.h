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

// A name or value quoted for a refusal reason: at most 64 characters, line breaks as blanks.
std::string quoted_for_message(std::string_view text);

// An infinite map's used area, once all chunks are known: false with the reason when it
// is empty or larger than the ".pyxm" words hold.
bool check_used_area(const UsedArea& area, std::string& reason);

// The first line of a file's bytes as the line reader delivers it: without a UTF-8
// byte-order mark, without LF or CR LF, at most 1024 bytes, cut at a zero byte.
std::string first_line_as_read(std::string_view start_of_file);

}  // namespace app
