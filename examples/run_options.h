// Options every example takes, so that it also runs by itself for a few frames without
// anybody at the keyboard (CI runs them headless this way); installed with the runtime's
// headers as "examples/run_options.h":
//   --frames N         end after N frames (default: run until Escape)
//   --screenshot FILE  save the last frame as a PNG before it is shown (FILE absolute, or
//                      relative to the program's folder, which start-up makes current)
//   --demo             play by itself
// Other words are left in `words` for the example.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/runtime.h"

namespace example {

struct RunOptions {
    long frames = -1;  // -1: no limit
    std::string screenshot;
    bool demo = false;
    std::vector<std::string> words;
};

inline RunOptions read_run_options() {
    RunOptions options;
    const std::vector<std::string> words = runtime::split_command_line(runtime::get_command_line().text_of());
    for (size_t i = 0; i < words.size(); ++i) {
        const bool has_value = i + 1 < words.size();
        if (words[i] == "--frames" && has_value) {
            options.frames = std::strtol(words[++i].c_str(), nullptr, 10);
        } else if (words[i] == "--screenshot" && has_value) {
            options.screenshot = words[++i];
        } else if (words[i] == "--demo") {
            options.demo = true;
        } else {
            options.words.push_back(words[i]);
        }
    }
    return options;
}

// Saves the frame drawn so far when a screenshot was asked for.
inline void save_screenshot(const RunOptions& options) {
    if (!options.screenshot.empty() && runtime::save_screen_image(options.screenshot.c_str()) == 0)
        std::fprintf(stderr, "cannot save %s\n", options.screenshot.c_str());
}

// Call after drawing frame number `frame` (from 0), before show_screen: true when it was
// the last one, whose picture is then saved.
inline bool last_frame(const RunOptions& options, long frame) {
    if (options.frames < 0 || frame + 1 < options.frames) return false;
    save_screenshot(options);
    return true;
}

// A file the example cannot do without is missing: say which, and stop with code 3.
[[noreturn]] inline void missing_file(const char* name) {
    std::fprintf(stderr, "cannot load %s (it belongs beside the program)\n", name);
    runtime::error_stop(3);
}

}  // namespace example
