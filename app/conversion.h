// One map converted end to end: output names, the reader that fits the map, the writer,
// and the outcome both front ends report; and the plan of a run of several maps.
#pragma once

#include <string>
#include <vector>

#include "app/map_entries.h"

namespace app {

struct OutputNames {
    std::string text_path;    // the ".txt" output
    std::string binary_path;  // the ".pyxm" output
};
// The rule works on the file name, never on its folder: a ".tmj" or ".json" extension is
// replaced by ".txt" and ".pyxm"; otherwise every ".tmx" of the name becomes ".txt", then
// every ".txt" of that becomes ".pyxm"; a name with neither gets ".txt" and ".pyxm"
// appended instead, so no output is the input. With an output folder, the
// outputs go there instead of beside the input.
OutputNames derive_output_names(const std::string& input_path, const std::string& output_folder = "");
// Outputs named after the text output's name (--to, the editor's export): the text is
// text_path, the binary the same name with ".pyxm" for a final ".txt" (else added).
OutputNames outputs_named_by_text(const std::string& text_path);

// One map of a run: its outputs, or why it is refused before anything is written.
struct PlannedMap {
    std::string input;
    OutputNames outputs;
    std::string refusal;  // empty: convert it
};
// Names the outputs of every map of a run before any is written, and refuses a map whose
// outputs are another map of the run or the outputs of an earlier map of the run.
std::vector<PlannedMap> plan_run(const std::vector<std::string>& inputs, const std::string& output_folder = "");

struct ConversionResult {
    bool ok = false;
    std::string reason;  // why the map was refused
    std::string foreign_output;  // refused for this file, which the converter did not write
    OutputNames outputs;
    MapSummary summary;
};
// Whether existing files the converter did not write (see previous_output.h) are replaced.
enum class Replace { converter_outputs_only, anything };

// Converts one map; on refusal no output file is written or changed.
ConversionResult convert_map(const std::string& input_path, const std::string& output_folder = "",
                             Replace replace = Replace::converter_outputs_only);
// The same with outputs already named (by plan_run).
ConversionResult convert_map_to(const std::string& input_path, const OutputNames& outputs,
                                Replace replace = Replace::converter_outputs_only);

// "Cannot convert NAME: REASON".
std::string refusal_text(const std::string& name, const std::string& reason);

}  // namespace app
