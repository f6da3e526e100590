// Native file dialogs through a desktop dialog program (zenity, else kdialog). The
// program is chosen by the environment variable RUNTIME_FILE_DIALOG: unset or empty
// picks one when a display is attached; "builtin" (or "none") turns native dialogs
// off; anything else names the program to run (a path or a name in PATH), spoken to
// as kdialog when its file name starts with "kdialog", else as zenity.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace runtime::platform {

constexpr const char* FILE_DIALOG_SETTING = "RUNTIME_FILE_DIALOG";

struct FileDialogRequest {
    bool open = true;                                           // false: a save dialog
    std::vector<std::pair<std::string, std::string>> filters;   // (description, patterns)
    std::string folder;                                         // where the dialog starts
};

enum class DialogOutcome {
    CHOSEN,       // `chosen` holds the path
    CANCELLED,    // the user closed the dialog without a file
    UNAVAILABLE,  // no dialog program, no display, or the program failed
};

// The dialog program that would run now ("" when none).
std::string file_dialog_program();
// Shows the dialog and waits for it.
DialogOutcome run_file_dialog(const FileDialogRequest& request, std::string& chosen);

// The argument vectors handed to each program (exposed for tests).
std::vector<std::string> zenity_arguments(const std::string& program, const FileDialogRequest& request);
std::vector<std::string> kdialog_arguments(const std::string& program, const FileDialogRequest& request);

}  // namespace runtime::platform
