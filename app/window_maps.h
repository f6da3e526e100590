// Maps handed to the desktop flow on the command line (`--window FILE...`, as the
// desktop entry starts the program for files opened from the file manager): each is
// converted and reported in turn before the open dialog asks for more.
#pragma once

#include <deque>
#include <string>
#include <vector>

namespace app {

constexpr const char* WINDOW_OPTION = "--window";

// The maps still to convert before the dialog is asked; `WindowMaps{}` is the reset.
struct WindowMaps {
    std::deque<std::string> waiting;
};
WindowMaps& window_maps();

// Queues the maps as absolute paths (start-up makes the program's folder current);
// empty names are left out.
void queue_window_maps(const std::vector<std::string>& maps);
// The desktop flow's next map: the first waiting one, else the open dialog's choice;
// empty when the dialog was cancelled.
std::string next_map_to_convert();

}  // namespace app
