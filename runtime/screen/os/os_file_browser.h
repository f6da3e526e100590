// The built-in file browser: folders, "..", and the files of the selected pattern,
// drawn with font 0 in the window and worked with keys and mouse.
#pragma once

#include <string>
#include <vector>

#include "runtime/screen/os/os_file_requester.h"

namespace runtime {

// Runs the browser in the current folder (it changes the current folder while the user
// browses; the caller restores it). True with an absolute path in `chosen`, false when
// cancelled. Keys: arrows, Page Up/Down, Home/End, Return (open folder / choose),
// Backspace (parent folder; in save mode it edits the name), Tab (next pattern),
// Escape (cancel). Mouse: click selects, a click on the selected entry opens it,
// the wheel scrolls. In save mode typed characters make the file name.
bool run_file_browser(const FilterPairs& filters, bool open, std::string& chosen);

// One entry of a listed folder.
struct BrowserEntry {
    std::string name;
    bool folder = false;
};
// The entries of a folder: "..", then folders, then files matching the patterns
// (";"-separated, letter case ignored, "*.*" matches every name), each group sorted.
std::vector<BrowserEntry> list_folder(const std::string& folder, const std::string& patterns);
// Whether a file name matches a ";"-separated pattern list.
bool matches_patterns(const std::string& name, const std::string& patterns);

}  // namespace runtime
