// Process entry of the converter: file arguments run the command-line mode (no window);
// without arguments, or with --window FILE..., the desktop flow runs through the runtime's entry.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/desktop/converter_main.h"
#include "app/desktop/window_maps.h"
#include "app/interruption.h"
#include "runtime/core/lifecycle.h"
#include "runtime/screen/os/os_process.h"
#include "runtime/screen/startup/startup.h"

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

// A standard stream started closed would be handed to the next file opened, and the
// report would land in an output. Standard output then leads to /dev/full, so writing
// the report fails as it should; the others lead to /dev/null.
void fill_closed_standard_streams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        const int opened = ::open(fd == 1 ? "/dev/full" : "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != fd) {
            ::dup2(opened, fd);
            ::close(opened);
        }
    }
}

int run(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    app::CommandOptions options;
    std::string error;
    // Options in any order: --window anywhere asks for the desktop flow on the maps given.
    const bool window = app::parse_command_line(arguments, options, error) && options.window &&
                        !options.help && !options.version && !options.install_extension;
    if (argc > 1 && !window) return app::run_command_line(arguments, std::cout, std::cerr);
    if (!display_available()) {
        std::cerr << app::CONVERTER_NAME << ": no display to open the window on.\n"
                  << "Convert maps from the command line instead: " << app::CONVERTER_NAME
                  << " [options] FILE.tmx...  (see " << app::CONVERTER_NAME << " --help)\n";
        return 2;
    }
    app::queue_window_maps(options.files);
    return runtime::program_entry(argc, argv, runtime::initialise_runtime, app::converter_main);
}

}  // namespace

int main(int argc, char** argv) {
    fill_closed_standard_streams();
    // A dialog the desktop flow waits for ends with the converter.
    app::install_interruption_handlers(runtime::signal_waited_program);
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc&) {
        std::cerr << app::CONVERTER_NAME << ": not enough memory\n";
    } catch (const std::exception& failure) {
        std::cerr << app::CONVERTER_NAME << ": " << failure.what() << "\n";
    }
    return 1;
}
