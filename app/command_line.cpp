// Option parsing and the per-file report lines of the command-line mode.
#include "app/command_line.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "app/conversion.h"
#include "app/editor_extension.h"
#include "app/version.h"
#include "app/watch.h"

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

std::string system_reason(int error) {
    switch (error) {
        case EROFS:
            return "it is read-only (read-only file system)";
        case EACCES:
        case EPERM:
            return "it is read-only (permission denied)";
        case ENOTDIR:
            return "it cannot be created: a part of its path is a file";
        default:
            return std::strerror(error);
    }
}

}  // namespace

bool prepare_output_folder(const std::string& folder, std::string& reason) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::file_status status = fs::status(folder, error);
    if (fs::exists(status) && !fs::is_directory(status)) {
        reason = "it is a file, not a folder";
        return false;
    }
    if (!fs::exists(status)) {
        fs::create_directories(folder, error);
        if (error) {
            reason = error.value() == ENOTDIR ? system_reason(ENOTDIR)
                                              : "it cannot be created (" + error.message() + ")";
            return false;
        }
    }
    // Whether a file can be made there, asked of the file system itself: permissions
    // alone do not tell (a read-only mount, or root).
    const int probe = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (probe >= 0) {
        ::close(probe);
        return true;
    }
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        reason = system_reason(errno);
        return false;
    }
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        reason = system_reason(errno);
        return false;
    }
    return true;
}

std::string usage_text() {
    return std::string("Usage: ") + CONVERTER_NAME +
           " [options] MAP...\n"
           "Converts Tiled maps (.tmx, or .tmj/.json in the editor's JSON format) into a text file (.txt)\n"
           "and a binary map of 16-bit words (.pyxm). Without maps, opens the desktop window and asks\n"
           "for a map in a file dialog.\n"
           "\n"
           "Options (in any order):\n"
           "  -o DIR        write the outputs into DIR (created when missing) instead of beside each map\n"
           "  --to FILE     write the one map's outputs as FILE and FILE's name with .pyxm for .txt\n"
           "  -q, --quiet   print only refusals (no report lines, no warnings)\n"
           "  --force       replace existing files at the output names even when the converter did\n"
           "                not write them (otherwise such a map is refused)\n"
           "  --watch       convert each map again whenever it is saved; MAP may be a folder (every\n"
           "                .tmx, .tmj and .json map in it); ends on Ctrl-C\n"
           "  --window      show each map's conversion in the desktop window, then ask for more\n"
           "  --install-editor-extension\n"
           "                install the map editor's export format \"brisel42_x9 map (*.txt)\"\n"
           "  -h, --help    show this text\n"
           "  --version     show the version\n"
           "  --            every following argument is a map\n"
           "\n"
           "Exit status: 0 when every map converted, 1 when a map was refused or the report could not\n"
           "be written, 2 on a usage error, 128 + N when ended by signal N.\n";
}

bool parse_command_line(const std::vector<std::string>& arguments, CommandOptions& options,
                        std::string& error) {
    bool options_done = false;
    const auto value_of = [&](size_t& i, const char* what) -> const std::string* {
        if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
            error = arguments[i] + " needs " + what;
            return nullptr;
        }
        return &arguments[++i];
    };
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& arg = arguments[i];
        if (options_done || arg.empty() || arg[0] != '-' || arg == "-") {
            options.files.push_back(arg);
        } else if (arg == "--") {
            options_done = true;
        } else if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg == "-q" || arg == "--quiet") {
            options.quiet = true;
        } else if (arg == "--force") {
            options.force = true;
        } else if (arg == "--watch") {
            options.watch = true;
        } else if (arg == "--window") {
            options.window = true;
        } else if (arg == "--install-editor-extension") {
            options.install_extension = true;
        } else if (arg == "-o") {
            const std::string* folder = value_of(i, "a folder");
            if (folder == nullptr) return false;
            options.output_folder = *folder;
        } else if (arg == "--to") {
            const std::string* file = value_of(i, "a file name");
            if (file == nullptr) return false;
            options.output_text = *file;
        } else {
            error = "unknown option " + arg;
            return false;
        }
    }
    if (!options.output_text.empty()) {
        if (!options.output_folder.empty())
            error = "-o and --to cannot be used together";
        else if (options.files.size() != 1 || options.watch)
            error = "--to names the outputs of one map, converted once";
    }
    if (options.window && options.watch) error = "--window and --watch cannot be used together";
    return error.empty();
}

bool output_folder_usable(const CommandOptions& options, std::ostream& err) {
    std::string reason;
    if (options.output_folder.empty() || prepare_output_folder(options.output_folder, reason)) return true;
    err << CONVERTER_NAME << ": cannot write into the output folder " << options.output_folder << ": "
        << reason << "\n";
    return false;
}

bool report_conversion(const std::string& input, const ConversionResult& result, bool quiet,
                       std::ostream& out, std::ostream& err) {
    if (!result.ok) {
        err << refusal_text(input, result.reason) << "\n";
        return false;
    }
    if (quiet) return true;
    for (const std::string& warning : result.summary.warnings)
        err << "warning: " << input << ": " << warning << "\n";
    out << report_line(input, result) << "\n";
    return true;
}

int run_conversions(const CommandOptions& options, std::ostream& out, std::ostream& err) {
    if (!output_folder_usable(options, err)) return 2;
    const std::vector<std::string>& files = options.files;
    std::vector<PlannedMap> plan = plan_run(files, options.output_folder);
    if (!options.output_text.empty()) plan.front().outputs = outputs_named_by_text(options.output_text);
    size_t converted = 0;
    for (const PlannedMap& map : plan) {
        if (!map.refusal.empty()) {
            err << refusal_text(map.input, map.refusal) << "\n";
            continue;
        }
        ConversionResult result = convert_map_to(
            map.input, map.outputs, options.force ? Replace::anything : Replace::converter_outputs_only);
        if (report_conversion(map.input, result, options.quiet, out, err)) ++converted;
    }
    if (!options.quiet) {
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

int run_command_line(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    CommandOptions options;
    std::string error;
    if (!parse_command_line(arguments, options, error)) {
        err << CONVERTER_NAME << ": " << error << "\n"
            << "Try '" << CONVERTER_NAME << " --help'.\n";
        return 2;
    }
    if (options.help) {
        out << usage_text();
        return 0;
    }
    if (options.version) {
        out << CONVERTER_NAME << " " << CONVERTER_VERSION << "\n";
        return 0;
    }
    if (options.install_extension) return install_editor_extension(out, err) ? 0 : 1;
    if (options.files.empty()) {
        err << CONVERTER_NAME << ": no map files given\n"
            << "Try '" << CONVERTER_NAME << " --help'.\n";
        return 2;
    }
    if (options.watch) return run_watch(options, out, err);
    return run_conversions(options, out, err);
}

}  // namespace app
