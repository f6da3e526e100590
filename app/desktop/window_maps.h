// Maps handed to the desktop flow on the command line (`--window FILE...`, as the
// desktop entry starts the program for files opened from the file manager): each is
// converted and reported in turn before the open dialog asks for more.
#pragma once

#include <deque>
#include <string>
#include <vector>

namespace app {

constexpr const char* WINDOW_OPTION = "--window";

// The maps still to convert before the dialog is asked, and the folder the dialog opens
// in; `WindowMaps{}` is the reset.
struct WindowMaps {
    std::deque<std::string> waiting;
    // Where the user started the program, then the folder of the last map: start-up makes
    // the program's own folder current, which is no place to look for maps.
    std::string dialog_folder;
    size_t given = 0;     // maps queued in all
    size_t position = 0;  // the queued map last handed out, counted from 1; 0 after a dialog
};
WindowMaps& window_maps();

// Queues the maps as absolute paths (start-up makes the program's folder current);
// empty names are left out. The first call also notes the current folder for the dialog.
void queue_window_maps(const std::vector<std::string>& maps);
// The desktop flow's next map: the first waiting one, else the open dialog's choice;
// empty when the dialog was cancelled. The dialog opens in `dialog_folder`; the runtime's
// current folder is the same afterwards.
std::string next_map_to_convert();
// "map i of n" for the map last handed out when several were queued, else empty.
std::string window_map_position();

}  // namespace app
