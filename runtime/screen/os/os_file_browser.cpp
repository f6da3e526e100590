// The built-in file browser: a small frame loop of its own that lists a folder in
// font 0 and answers keys and mouse, for systems without a desktop dialog program.
#include "runtime/screen/os/os_file_browser.h"

#include <fnmatch.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "runtime/input/input_state.h"
#include "runtime/input/key_codes.h"
#include "runtime/input/mouse.h"
#include "runtime/screen/frame.h"
#include "runtime/screen/gl_window.h"
#include "runtime/screen/screen_state.h"
#include "runtime/screen/text/font.h"

namespace runtime {

namespace {
namespace fs = std::filesystem;

// Text rows above and below the list.
constexpr int HEADER_ROWS = 4;
constexpr int FOOTER_ROWS = 3;

std::string trim(const std::string& text) {
    size_t a = 0, b = text.size();
    while (a < b && text[a] == ' ') ++a;
    while (b > a && text[b - 1] == ' ') --b;
    return text.substr(a, b - a);
}

std::string current_folder() {
    char folder[FILE_REQUESTER_BUFFER] = {};
    if (getcwd(folder, sizeof folder) == nullptr) return "/";
    return folder;
}

std::string join(const std::string& folder, const std::string& name) {
    if (!name.empty() && name[0] == '/') return name;
    if (!folder.empty() && folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

// Keeps the end of a text that is too long for the row: the file name matters most.
std::string fit(const std::string& text, int columns) {
    if (columns <= 3 || static_cast<int>(text.size()) <= columns) return text;
    return "..." + text.substr(text.size() - static_cast<size_t>(columns - 3));
}

struct Browser {
    const FilterPairs& filters;
    bool open;
    std::string folder = current_folder();
    std::vector<BrowserEntry> entries;
    int selected = 0;
    int top = 0;
    size_t filter = 0;
    std::string name;  // save mode: the typed file name
    bool was_clicked = false;

    Browser(const FilterPairs& f, bool o) : filters(f), open(o) { reload(); }

    std::string patterns() const { return filter < filters.size() ? filters[filter].second : std::string(); }
    void reload() {
        entries = list_folder(folder, patterns());
        selected = std::clamp(selected, 0, static_cast<int>(entries.size()) - 1);
        top = std::min(top, selected);
    }
    void enter(const std::string& sub) {
        // The current folder follows the browsing, as with the desktop dialogs.
        const std::string target = sub == ".." ? fs::path(folder).parent_path().string() : join(folder, sub);
        if (chdir(target.c_str()) != 0) return;
        folder = current_folder();
        selected = top = 0;
        reload();
    }
    // Opens the selected folder or takes the selected file; true when a file is chosen.
    bool activate(std::string& chosen) {
        if (selected < 0 || selected >= static_cast<int>(entries.size())) return false;
        const BrowserEntry& entry = entries[static_cast<size_t>(selected)];
        if (entry.folder) {
            enter(entry.name);
            return false;
        }
        chosen = join(folder, entry.name);
        return true;
    }
    void keep_selection_in_view(int rows) {
        selected = std::clamp(selected, 0, std::max(static_cast<int>(entries.size()) - 1, 0));
        if (selected < top) top = selected;
        if (selected >= top + rows) top = selected - rows + 1;
    }
    // One key press; true when the browser is done (`result` tells whether with a file).
    bool take_key(const KeyPress& press, int rows, std::string& chosen, bool& result) {
        const int count = static_cast<int>(entries.size());
        switch (press.scan_code) {
            case KEY_ESCAPE:
                return true;
            case KEY_RETURN:
            case KEY_PAD_ENTER:
                if (!open && !name.empty()) {
                    chosen = join(folder, name);
                    return result = true;
                }
                return result = activate(chosen);
            case KEY_BACKSPACE:
                if (!open && !name.empty())
                    name.pop_back();
                else
                    enter("..");
                break;
            case KEY_TAB:
                if (!filters.empty()) {
                    filter = (filter + 1) % filters.size();
                    selected = top = 0;
                    reload();
                }
                break;
            case KEY_UP:
                --selected;
                break;
            case KEY_DOWN:
                ++selected;
                break;
            case KEY_PAGE_UP:
                selected -= rows;
                break;
            case KEY_PAGE_DOWN:
                selected += rows;
                break;
            case KEY_HOME:
                selected = 0;
                break;
            case KEY_END:
                selected = count - 1;
                break;
            default: {
                const int ch = press_char(press);
                if (!open && ch >= 32 && name.size() + 1 < FILE_REQUESTER_BUFFER)
                    name += static_cast<char>(ch);
                break;
            }
        }
        keep_selection_in_view(rows);
        return false;
    }
    int list_rows(double cell_h) const {
        const int rows = static_cast<int>(window_state().screen_height / cell_h) - HEADER_ROWS - FOOTER_ROWS;
        return std::max(rows, 1);
    }
    void draw(double cell_w, double cell_h) const {
        const int columns = std::max(static_cast<int>(window_state().screen_width / cell_w), 8);
        int row = 0;
        auto line = [&](const std::string& text) {
            print_text(DynString(fit(text, columns).c_str()), 0, row * cell_h);
            ++row;
        };
        line(open ? "Open file" : "Save file");
        line("Folder: " + folder);
        if (filter < filters.size())
            line("Type: " + filters[filter].first + " (" + filters[filter].second + ")" +
                 (filters.size() > 1 ? "  Tab: next" : ""));
        else
            line("Type: all files");
        ++row;
        const int rows = list_rows(cell_h);
        for (int i = top; i < static_cast<int>(entries.size()) && i < top + rows; ++i) {
            const BrowserEntry& e = entries[static_cast<size_t>(i)];
            line((i == selected ? "> " : "  ") + e.name + (e.folder && e.name != ".." ? "/" : ""));
        }
        row = HEADER_ROWS + rows + 1;
        if (!open)
            line("Name: " + name + "_");
        else
            ++row;
        line("Return: open  Esc: cancel");
    }
};
}  // namespace

bool matches_patterns(const std::string& name, const std::string& patterns) {
    if (trim(patterns).empty()) return true;
    size_t start = 0;
    while (start <= patterns.size()) {
        size_t end = patterns.find(';', start);
        if (end == std::string::npos) end = patterns.size();
        const std::string one = trim(patterns.substr(start, end - start));
        if (one == "*.*" || one == "*") return true;
        if (!one.empty() && fnmatch(one.c_str(), name.c_str(), FNM_CASEFOLD) == 0) return true;
        start = end + 1;
    }
    return false;
}

std::vector<BrowserEntry> list_folder(const std::string& folder, const std::string& patterns) {
    std::vector<BrowserEntry> folders, files;
    std::error_code error;
    for (fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, error), end;
         !error && it != end; it.increment(error)) {
        const std::string entry_name = it->path().filename().string();
        if (entry_name.empty() || entry_name[0] == '.') continue;  // hidden
        std::error_code type_error;
        if (it->is_directory(type_error))
            folders.push_back({entry_name, true});
        else if (matches_patterns(entry_name, patterns))
            files.push_back({entry_name, false});
    }
    const auto by_name = [](const BrowserEntry& a, const BrowserEntry& b) { return a.name < b.name; };
    std::sort(folders.begin(), folders.end(), by_name);
    std::sort(files.begin(), files.end(), by_name);
    std::vector<BrowserEntry> out;
    if (folder != "/") out.push_back({"..", true});
    out.insert(out.end(), folders.begin(), folders.end());
    out.insert(out.end(), files.begin(), files.end());
    return out;
}

bool run_file_browser(const FilterPairs& filters, bool open, std::string& chosen) {
    chosen.clear();
    Browser browser(filters, open);
    // Escape cancels the browser instead of ending the program.
    ScreenState& screen = screen_state();
    const bool escape_ends = screen.escape_ends_program;
    screen.escape_ends_program = false;
    const int32_t font = font_state().current_font;
    set_font(0);
    double cell_w = 8, cell_h = 8;
    get_font_size(cell_w, cell_h);
    if (cell_w < 1) cell_w = 8;
    if (cell_h < 1) cell_h = 8;
    // Keys pressed before the browser opened do not count. Presses are taken from the
    // queue, so none pressed and released between two frames is missed.
    InputState* input = input_state();
    if (input) take_key_presses(*input);
    double mx, my, left, right;
    get_mouse_state(mx, my, left, right);
    browser.was_clicked = left != 0.0;

    bool done = false, result = false;
    while (!done) {
        browser.draw(cell_w, cell_h);
        show_screen();
        const int rows = browser.list_rows(cell_h);
        if (input) {
            for (const KeyPress& press : take_key_presses(*input)) {
                done = browser.take_key(press, rows, chosen, result);
                if (done) break;
            }
        }
        const int count = static_cast<int>(browser.entries.size());
        if (!done) {
            get_mouse_state(mx, my, left, right);
            const bool click = left != 0.0 && !browser.was_clicked;
            browser.was_clicked = left != 0.0;
            const int wheel = static_cast<int>(mouse_axis(2));
            browser.selected -= wheel * 3;
            if (click) {
                const int row = static_cast<int>(my / cell_h) - HEADER_ROWS;
                const int index = browser.top + row;
                if (row >= 0 && row < rows && index < count) {
                    if (index == browser.selected) {
                        if (browser.activate(chosen)) done = result = true;
                    } else {
                        browser.selected = index;
                    }
                }
            }
        }
        browser.keep_selection_in_view(rows);
    }
    set_font(font);
    screen.escape_ends_program = escape_ends;
    return result;
}

}  // namespace runtime
