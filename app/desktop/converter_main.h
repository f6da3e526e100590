// The desktop flow: pick a map in the open dialog, convert it, show the report, then the
// next file on Return or the end on any other key.
#pragma once

#include <string>
#include <vector>

#include "app/conversion.h"

namespace app {

// The application's main routine, run by the runtime once the window is up.
void converter_main();

// The logo drawn in sprite 0 at the top left of the report.
constexpr const char* LOGO_FILE = "pyx.png";
constexpr const char* MAP_FILTER = "TMX|*.tmx|JSON|*.tmj;*.json|All|*.*";
constexpr const char* CONTACT_LINE = "brisel42_x9 map converter - questions and fixes: maps@brisel42.example";

// The report's own lines below the fixed texts: which of the given maps it is ("map i of
// n", when several were given), what was written and where, or why not, and the
// warnings; each cut to fit the 640-pixel screen.
std::vector<std::string> report_lines(const std::string& input_path, const ConversionResult& result,
                                      const std::string& position = "");
// Draws the report of one conversion into the frame (not yet presented).
void draw_report(const std::string& input_path, const ConversionResult& result,
                 const std::string& position = "");
// The question before a file the converter did not write is replaced, as lines.
std::vector<std::string> replace_question_lines(const std::string& foreign_output);

}  // namespace app
