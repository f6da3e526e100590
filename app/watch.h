// Watch mode: `brisel42_x9 --watch DIR|MAP...` converts a map again each time it is saved.
#pragma once

#include <ostream>
#include <string>

#include "app/command_line.h"

namespace app {

// Files of these extensions are maps when a folder is watched.
bool has_map_extension(const std::string& name);

// Converts every watched map once, says "Watching ...", then converts each map after it is
// saved (written and closed, or renamed into place, as editors save) and a short quiet
// spell has passed, printing one line per conversion or refusal. Runs until a signal ends
// the program (the interruption handlers keep their guarantees); returns only when the
// watch cannot be set up (status 2) or a watched folder goes away (status 1).
int run_watch(const CommandOptions& options, std::ostream& out, std::ostream& err);

}  // namespace app
