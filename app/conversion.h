// One map converted end to end: output names, the reader that fits the map, the writer,
// and the outcome both front ends report.
#pragma once

#include <string>

#include "app/map_entries.h"

namespace app {

struct OutputNames {
    std::string text_path;    // the ".txt" output
    std::string binary_path;  // the ".pyxm" output
};
// Every ".tmx" of the path becomes ".txt", then every ".txt" of that becomes ".pyxm"; a
// path without ".tmx" gets ".txt" and ".pyxm" appended instead, so no output is the input.
// With an output folder, the names keep their file part and move into that folder.
OutputNames derive_output_names(const std::string& input_path, const std::string& output_folder = "");

struct ConversionResult {
    bool ok = false;
    std::string reason;  // why the map was refused
    OutputNames outputs;
    MapSummary summary;
};
// Converts one map; on refusal no output file is written or changed.
ConversionResult convert_map(const std::string& input_path, const std::string& output_folder = "");

// "Cannot convert NAME: REASON".
std::string refusal_text(const std::string& name, const std::string& reason);

}  // namespace app
