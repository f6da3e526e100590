// Process entry of the converter: file arguments run the command-line mode (no window);
// without arguments, or with --window FILE..., the desktop flow runs through the runtime's entry.
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/converter_main.h"
#include "app/window_maps.h"
#include "runtime/core/lifecycle.h"
#include "runtime/screen/startup.h"

namespace {

// A window can open: a display server is named, or SDL is told to draw off screen.
bool display_available() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && value[0] != '\0') return true;
    }
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    return driver != nullptr && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
}

}  // namespace

int main(int argc, char** argv) {
    const bool window = argc > 1 && std::strcmp(argv[1], app::WINDOW_OPTION) == 0;
    if (argc > 1 && !window) {
        std::vector<std::string> arguments(argv + 1, argv + argc);
        return app::run_command_line(arguments, std::cout, std::cerr);
    }
    if (!display_available()) {
        std::cerr << app::CONVERTER_NAME << ": no display to open the window on.\n"
                  << "Convert maps from the command line instead: " << app::CONVERTER_NAME
                  << " [options] FILE.tmx...  (see " << app::CONVERTER_NAME << " --help)\n";
        return 2;
    }
    if (window) app::queue_window_maps(std::vector<std::string>(argv + 2, argv + argc));
    return runtime::program_entry(argc, argv, runtime::initialise_runtime, app::converter_main);
}
