// The command-line mode: converts the maps named on the command line, no window needed.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace app {

constexpr const char* CONVERTER_NAME = "brisel42_x9";

// Runs `brisel42_x9 [options] FILE.tmx...` on the arguments after the program name and
// returns the exit status: 0 when every map converted, 1 when one was refused or the
// report could not be written, 2 on a usage error.
int run_command_line(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

// The usage text of --help.
std::string usage_text();

}  // namespace app
