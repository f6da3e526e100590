// File dialogs through zenity or kdialog, started without a shell; the chosen name
// comes back on the program's standard output, cancelling is its exit code 1.
#include <cstdlib>

#include "runtime/platform/dialogs.h"
#include "runtime/platform/process.h"
#include "runtime/platform/window.h"

namespace runtime::platform {

namespace {
// Longer answers are not a file name we could hand on.
constexpr size_t MAX_DIALOG_OUTPUT = 8192;

std::string base_name(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// "*.tmx;*.xml" -> "*.tmx *.xml"; the any-file pattern "*.*" also matches names
// without a dot, as it does in the dialogs this filter syntax comes from.
std::string unix_patterns(const std::string& patterns) {
    std::string out;
    size_t start = 0;
    while (start <= patterns.size()) {
        size_t end = patterns.find(';', start);
        if (end == std::string::npos) end = patterns.size();
        std::string one = patterns.substr(start, end - start);
        while (!one.empty() && one.front() == ' ') one.erase(0, 1);
        while (!one.empty() && one.back() == ' ') one.pop_back();
        if (one == "*.*") one = "*";
        if (!one.empty()) {
            if (!out.empty()) out += ' ';
            out += one;
        }
        start = end + 1;
    }
    return out;
}

std::string folder_with_slash(const std::string& folder) {
    if (folder.empty() || folder.back() == '/') return folder;
    return folder + "/";
}
}  // namespace

std::vector<std::string> zenity_arguments(const std::string& program,
                                          const FileDialogRequest& request) {
    std::vector<std::string> args{program, "--file-selection"};
    if (!request.open) {
        args.emplace_back("--save");
        args.emplace_back("--confirm-overwrite");
    }
    if (!request.folder.empty()) args.push_back("--filename=" + folder_with_slash(request.folder));
    // zenity selects its first filter, as the first pair is selected here.
    for (const auto& [description, patterns] : request.filters) {
        const std::string unix = unix_patterns(patterns);
        if (unix.empty()) continue;
        args.push_back("--file-filter=" + description + " | " + unix);
    }
    return args;
}

std::vector<std::string> kdialog_arguments(const std::string& program,
                                           const FileDialogRequest& request) {
    std::vector<std::string> args{program,
                                  request.open ? "--getopenfilename" : "--getsavefilename"};
    args.push_back(request.folder.empty() ? "." : folder_with_slash(request.folder));
    // kdialog's filter: one "patterns|description" line per pair.
    std::string filter;
    for (const auto& [description, patterns] : request.filters) {
        const std::string unix = unix_patterns(patterns);
        if (unix.empty()) continue;
        if (!filter.empty()) filter += '\n';
        filter += unix + "|" + description;
    }
    if (!filter.empty()) args.push_back(filter);
    return args;
}

std::string file_dialog_program() {
    const char* setting = std::getenv(FILE_DIALOG_SETTING);
    const std::string chosen = setting != nullptr ? setting : "";
    if (chosen == "builtin" || chosen == "none") return "";
    if (!chosen.empty()) return program_available(chosen) ? chosen : "";
    // Without a display a desktop dialog has nowhere to appear.
    if (!real_display_attached()) return "";
    if (program_available("zenity")) return "zenity";
    if (program_available("kdialog")) return "kdialog";
    return "";
}

DialogOutcome run_file_dialog(const FileDialogRequest& request, std::string& chosen) {
    chosen.clear();
    const std::string program = file_dialog_program();
    if (program.empty()) return DialogOutcome::UNAVAILABLE;
    const bool kde = base_name(program).rfind("kdialog", 0) == 0;
    const std::vector<std::string> args =
        kde ? kdialog_arguments(program, request) : zenity_arguments(program, request);
    std::string output;
    int exit_code = -1;
    if (!run_and_capture(args, output, exit_code, MAX_DIALOG_OUTPUT))
        return DialogOutcome::UNAVAILABLE;
    if (exit_code == 1) return DialogOutcome::CANCELLED;
    if (exit_code != 0) return DialogOutcome::UNAVAILABLE;
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
    if (output.empty() || output.find('\n') != std::string::npos)
        return DialogOutcome::CANCELLED;
    chosen = output;
    return DialogOutcome::CHOSEN;
}

}  // namespace runtime::platform
