// Option parsing and the per-file report lines of the command-line mode.
#include "app/command_line.h"

#include <filesystem>
#include <system_error>

#include "app/conversion.h"
#include "app/version.h"

namespace app {

namespace {

std::string plural(int64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string report_line(const std::string& input, const ConversionResult& result) {
    const MapSummary& s = result.summary;
    return input + " -> " + result.outputs.text_path + ", " + result.outputs.binary_path + ": " +
           std::to_string(s.width) + " x " + std::to_string(s.height) + " map, " +
           std::to_string(s.tile_width) + " x " + std::to_string(s.tile_height) + " tiles, " +
           plural(s.layers, "layer", "layers") + ", " + plural(s.tiles, "tile", "tiles") + " (" + s.reader + ")" +
           (s.area_note.empty() ? "" : "; " + s.area_note);
}

}  // namespace

std::string usage_text() {
    return std::string("Usage: ") + CONVERTER_NAME + " [options] FILE.tmx...\n"
           "Converts Tiled maps into a text file (.txt) and a binary map of 16-bit words (.pyxm).\n"
           "Without files, opens the desktop window and asks for a map in a file dialog.\n"
           "\n"
           "Options:\n"
           "  -o DIR      write the outputs into DIR (created when missing) instead of beside each map\n"
           "  -q          quiet: print only refusals and warnings\n"
           "  --window FILE...  show each map's conversion in the desktop window, then ask for more\n"
           "  --help      show this text\n"
           "  --version   show the version\n"
           "  --          every following argument is a file\n"
           "\n"
           "Exit status: 0 when every map converted, 1 when a map was refused or the report could not\n"
           "be written, 2 on a usage error, 128 + N when ended by signal N.\n";
}

int run_command_line(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    std::vector<std::string> files;
    std::string output_folder;
    bool quiet = false;
    bool options_done = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& arg = arguments[i];
        if (options_done || arg.empty() || arg[0] != '-' || arg == "-") {
            files.push_back(arg);
        } else if (arg == "--") {
            options_done = true;
        } else if (arg == "--help" || arg == "-h") {
            out << usage_text();
            return 0;
        } else if (arg == "--version") {
            out << CONVERTER_NAME << " " << CONVERTER_VERSION << "\n";
            return 0;
        } else if (arg == "-q" || arg == "--quiet") {
            quiet = true;
        } else if (arg == "-o") {
            if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
                err << CONVERTER_NAME << ": -o needs a folder\n";
                return 2;
            }
            output_folder = arguments[++i];
        } else {
            err << CONVERTER_NAME << ": unknown option " << arg << "\n"
                << "Try '" << CONVERTER_NAME << " --help'.\n";
            return 2;
        }
    }
    if (files.empty()) {
        err << CONVERTER_NAME << ": no map files given\n" << "Try '" << CONVERTER_NAME << " --help'.\n";
        return 2;
    }
    if (!output_folder.empty()) {
        std::error_code error;
        std::filesystem::create_directories(output_folder, error);
        if (!std::filesystem::is_directory(output_folder, error)) {
            err << CONVERTER_NAME << ": cannot use output folder " << output_folder << "\n";
            return 2;
        }
    }
    size_t converted = 0;
    for (const PlannedMap& map : plan_run(files, output_folder)) {
        if (!map.refusal.empty()) {
            err << refusal_text(map.input, map.refusal) << "\n";
            continue;
        }
        ConversionResult result = convert_map_to(map.input, map.outputs);
        for (const std::string& warning : result.summary.warnings) err << "Warning: " << map.input << ": " << warning << "\n";
        if (!result.ok) {
            err << refusal_text(map.input, result.reason) << "\n";
            continue;
        }
        ++converted;
        if (!quiet) out << report_line(map.input, result) << "\n";
    }
    if (!quiet) {
        out << converted << " of " << plural(static_cast<int64_t>(files.size()), "map", "maps") << " converted";
        if (converted < files.size()) out << ", " << files.size() - converted << " refused";
        out << "\n";
    }
    // A report that did not arrive is a failure, as with any command-line tool.
    if (!out.flush()) {
        err << CONVERTER_NAME << ": cannot write the report to standard output\n";
        return 1;
    }
    return converted == files.size() ? 0 : 1;
}

}  // namespace app
