// Reading maps saved in the editor's JSON format (".tmj", ".json") with a streaming JSON
// parser: the same entries by meaning as the XML map of the same content.
#pragma once

#include <string>
#include <string_view>

#include "app/map_entries.h"

namespace app {

// The reader's name in the summary, the per-file line and the report.
inline constexpr std::string_view JSON_READER = "read as a JSON map";

// Whether a file starting with these bytes is a JSON document (its first character after
// blanks and a byte-order mark opens an object); the reader then decides if it is a map.
bool starts_like_json(std::string_view start_of_file);

// Reads the JSON map at path and hands its entries to sink in output order; the whole file
// is checked first, so a refused map gives a reason and no entry.
ReadOutcome read_json_map(const std::string& path, EntrySink& sink);

}  // namespace app
