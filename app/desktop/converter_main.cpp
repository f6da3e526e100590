// The desktop cycle on the runtime's commands: logo, open dialog, conversion, report
// texts, show_screen, key_wait; Return gives the next file, another key the end.
#include "app/desktop/converter_main.h"

#include <filesystem>

#include "app/desktop/window_maps.h"
#include "runtime/runtime.h"
#include "runtime/screen/os/os_file_requester.h"

namespace app {

namespace {

constexpr size_t REPORT_COLUMNS = 76;  // characters of the default font across the screen
constexpr int REPORT_X = 10;
constexpr int REPORT_TOP = 190;
constexpr int REPORT_LINE_STEP = 16;
constexpr int REPORT_BOTTOM = 430;  // the contact line sits below

std::string file_name_of(const std::string& path) {
    std::string name = std::filesystem::path(path).filename().string();
    return name.empty() ? path : name;
}

// Cuts text into lines of at most REPORT_COLUMNS characters, at blanks where possible.
void wrap_into(const std::string& text, std::vector<std::string>& lines) {
    std::string rest = text;
    while (rest.size() > REPORT_COLUMNS) {
        size_t cut = rest.rfind(' ', REPORT_COLUMNS);
        if (cut == std::string::npos || cut < REPORT_COLUMNS / 2) cut = REPORT_COLUMNS;
        lines.push_back(rest.substr(0, cut));
        rest.erase(0, cut == REPORT_COLUMNS ? cut : cut + 1);
        rest.insert(0, "  ");
    }
    lines.push_back(rest);
}

// Asks before a file the converter did not write is replaced: Y replaces it.
bool replace_confirmed(const std::string& foreign_output) {
    runtime::draw_sprite(0, 0, 0);
    int y = REPORT_TOP;
    for (const std::string& line : replace_question_lines(foreign_output)) {
        runtime::print_text(line.c_str(), REPORT_X, y);
        y += REPORT_LINE_STEP;
    }
    runtime::show_screen();
    runtime::key_wait();
    return runtime::key_state(runtime::KEY_Y) != 0;
}

}  // namespace

std::vector<std::string> report_lines(const std::string& input_path, const ConversionResult& result,
                                      const std::string& position) {
    std::vector<std::string> lines;
    if (!position.empty()) lines.push_back(position);
    std::string name = file_name_of(input_path);
    if (!result.ok) {
        wrap_into(refusal_text(name, result.reason), lines);
    } else {
        const MapSummary& s = result.summary;
        wrap_into(name + " -> " + file_name_of(result.outputs.text_path) + ", " +
                      file_name_of(result.outputs.binary_path),
                  lines);
        wrap_into(std::to_string(s.width) + " x " + std::to_string(s.height) + " map, " +
                      std::to_string(s.tile_width) + " x " + std::to_string(s.tile_height) + " tiles, " +
                      std::to_string(s.layers) + (s.layers == 1 ? " layer, " : " layers, ") +
                      std::to_string(s.tiles) + (s.tiles == 1 ? " tile" : " tiles") + " (" + s.reader + ")",
                  lines);
        if (!s.area_note.empty()) wrap_into(s.area_note, lines);
        std::error_code error;
        const std::filesystem::path folder =
            std::filesystem::absolute(result.outputs.text_path, error).parent_path();
        wrap_into(
            "Output folder: " +
                (error ? std::filesystem::path(result.outputs.text_path).parent_path() : folder).string(),
            lines);
    }
    for (const std::string& warning : result.summary.warnings) wrap_into("warning: " + warning, lines);
    return lines;
}

std::vector<std::string> replace_question_lines(const std::string& foreign_output) {
    std::vector<std::string> lines;
    wrap_into(foreign_output + " exists, and brisel42_x9 did not write it.", lines);
    lines.push_back("Press Y to replace it with the converted map,");
    lines.push_back("any other key to keep it (the map is then not converted).");
    return lines;
}

void draw_report(const std::string& input_path, const ConversionResult& result, const std::string& position) {
    using runtime::print_text;
    runtime::draw_sprite(0, 0, 0);
    // A map without a tile layer converted to its header alone: no "Done" for that.
    if (result.ok) print_text(result.summary.layers > 0 ? "Done...." : "No tile layer in this map", 100, 100);
    print_text("Press return for next file", 100, 130);
    print_text("Press any key for end", 100, 150);
    int y = REPORT_TOP;
    for (const std::string& line : report_lines(input_path, result, position)) {
        if (y > REPORT_BOTTOM) break;
        print_text(line.c_str(), REPORT_X, y);
        y += REPORT_LINE_STEP;
    }
    print_text(CONTACT_LINE, 10, 450);
}

void converter_main() {
    for (;;) {
        runtime::load_sprite(LOGO_FILE, 0);
        // A cancelled dialog ends the program, as it always did (now without an error stop).
        std::string input_path = next_map_to_convert();
        if (input_path.empty()) return;
        ConversionResult result = convert_map(input_path);
        if (!result.foreign_output.empty() && replace_confirmed(result.foreign_output)) {
            result = convert_map(input_path, "", Replace::anything);
        }
        draw_report(input_path, result, window_map_position());
        runtime::show_screen();
        runtime::key_wait();
        if (runtime::key_state(runtime::KEY_RETURN) == 0) return;
    }
}

}  // namespace app
