// The file requester: the filter pairs, the native dialog with the window out of the
// way, the built-in browser as fall-back, and the current folder kept in every case.
#include "runtime/screen/os/os_file_requester.h"

#include <unistd.h>

#include <cstring>

#include "runtime/core/lifecycle.h"
#include "runtime/platform/dialogs.h"
#include "runtime/screen/gl_window.h"
#include "runtime/screen/os/os_file_browser.h"

namespace runtime {

namespace {
constexpr char NO_FILE[] = "NO_FILE";

// A folder that vanished meanwhile cannot be returned to; there is nothing better.
void return_to(const char* folder) {
    if (chdir(folder) != 0) return;
}

void restore_window() {
    if (process_state().fullscreen != 0)
        enter_fullscreen();
    else
        leave_fullscreen();
}
}  // namespace

bool parse_file_filter(const char* filter, FilterPairs& pairs) {
    pairs.clear();
    const size_t length = std::strlen(filter);
    // The text, its terminator and the list's second terminator must fit.
    if (length + 2 > FILE_REQUESTER_BUFFER) return false;
    std::vector<std::string> parts;
    std::string part;
    for (size_t i = 0; i < length; ++i) {
        if (filter[i] == '|') {
            parts.push_back(part);
            part.clear();
        } else {
            part += filter[i];
        }
    }
    if (!part.empty() || (length > 0 && filter[length - 1] == '|')) parts.push_back(part);
    for (size_t i = 0; i < parts.size(); i += 2) {
        // An empty description ends the list, as a double terminator would.
        if (parts[i].empty()) break;
        pairs.emplace_back(parts[i], i + 1 < parts.size() ? parts[i + 1] : std::string());
    }
    return true;
}

DynString file_requester(const DynString& filter, double open) {
    FilterPairs pairs;
    if (!parse_file_filter(filter.text_of(), pairs)) return DynString(NO_FILE);

    char folder[FILE_REQUESTER_BUFFER] = {};
    const bool have_folder = getcwd(folder, sizeof folder) != nullptr;

    platform::FileDialogRequest request;
    request.open = open != 0.0;
    request.filters = pairs;
    request.folder = have_folder ? folder : "";

    std::string chosen;
    bool answered = false;
    if (!platform::file_dialog_program().empty()) {
        hide_gl_window();
        const platform::DialogOutcome outcome = platform::run_file_dialog(request, chosen);
        if (have_folder) return_to(folder);
        restore_window();
        answered = outcome != platform::DialogOutcome::UNAVAILABLE;
        if (outcome != platform::DialogOutcome::CHOSEN) chosen.clear();
    }
    if (!answered) {
        // No dialog program works here: the browser in our own window.
        if (!run_file_browser(pairs, request.open, chosen)) chosen.clear();
        if (have_folder) return_to(folder);
    }

    if (chosen.empty() || chosen.size() >= FILE_REQUESTER_BUFFER) return DynString(NO_FILE);
    for (char& c : chosen)
        if (c == '\\') c = '/';
    return DynString(chosen.c_str());
}

}  // namespace runtime
