// The command-line mode: converts the maps named on the command line, no window needed.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace app {

constexpr const char* CONVERTER_NAME = "brisel42_x9";

// What the arguments ask for; options may come in any order, before or after the files.
struct CommandOptions {
    std::vector<std::string> files;
    std::string output_folder;  // -o DIR
    std::string output_text;    // --to FILE: the outputs of the one map, FILE and its ".pyxm"
    bool quiet = false;         // -q: no report lines and no warnings, refusals only
    bool force = false;         // --force: replace files the converter did not write
    bool watch = false;         // --watch: convert on every save until ended
    bool window = false;        // --window: the desktop flow on the files
    bool help = false, version = false;
    bool install_extension = false;  // --install-editor-extension
};
// Parses the arguments after the program name; false with a usage error.
bool parse_command_line(const std::vector<std::string>& arguments, CommandOptions& options,
                        std::string& error);

// Runs `brisel42_x9 [options] FILE.tmx...` on the arguments after the program name and
// returns the exit status: 0 when every map converted, 1 when one was refused or the
// report could not be written, 2 on a usage error.
int run_command_line(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);
// The same on parsed options (neither --window nor --watch).
int run_conversions(const CommandOptions& options, std::ostream& out, std::ostream& err);

// Creates the folder of -o when missing and checks that outputs can be written into it;
// false with the reason ("it is a file, not a folder", "it is read-only", ...).
bool prepare_output_folder(const std::string& folder, std::string& reason);

// The -o folder is usable (see prepare_output_folder), or the error is printed.
bool output_folder_usable(const CommandOptions& options, std::ostream& err);

struct ConversionResult;
// Prints what became of one map: the report line (standard output) and its warnings, or
// the refusal (standard error); quiet leaves only refusals. True when it converted.
bool report_conversion(const std::string& input, const ConversionResult& result, bool quiet,
                       std::ostream& out, std::ostream& err);

// The usage text of --help.
std::string usage_text();

}  // namespace app
