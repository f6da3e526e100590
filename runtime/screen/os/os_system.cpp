// Console, platform information, debugger hook and window handle on Linux.
#include "runtime/screen/os/os_system.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>

#include "runtime/input/input_numbers.h"
#include "runtime/input/input_state.h"
#include "runtime/platform/gl_extensions.h"
#include "runtime/platform/window.h"
#include "runtime/screen/screen_state.h"

namespace runtime {

namespace {
std::string upper_case(const char* text) {
    std::string out = text;
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return out;
}

// The first eight hex digits of /etc/machine-id, the stable number of this system.
bool read_machine_serial(uint32_t& serial) {
    std::ifstream file("/etc/machine-id");
    std::string line;
    if (!file || !std::getline(file, line) || line.size() < 8) return false;
    uint32_t value = 0;
    for (size_t i = 0; i < 8; ++i) {
        const char c = line[i];
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0) return false;
        value = value * 16 + static_cast<uint32_t>(digit);
    }
    serial = value;
    return true;
}

// The system OpenGL library, opened once (it is usually loaded already).
void* gl_library() {
    static void* handle = [] {
        void* h = dlopen("libGL.so.1", RTLD_LAZY | RTLD_LOCAL | RTLD_NOLOAD);
        if (h == nullptr) h = dlopen("libGL.so.1", RTLD_LAZY | RTLD_LOCAL);
        if (h == nullptr) h = dlopen("libOpenGL.so.0", RTLD_LAZY | RTLD_LOCAL);
        return h;
    }();
    return handle;
}
}  // namespace

void open_console() {
    const bool in_tty = isatty(STDIN_FILENO) != 0;
    const bool out_tty = isatty(STDOUT_FILENO) != 0;
    if (in_tty && out_tty) return;
    // Only reopen onto a terminal that can really be opened: a failed freopen would
    // lose the stream.
    const int probe = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (probe < 0) return;
    close(probe);
    std::fflush(stdout);
    if (!in_tty && std::freopen("/dev/tty", "r", stdin) == nullptr) return;
    if (!out_tty) std::freopen("/dev/tty", "w", stdout);
}

bool gl_entry_point_exists(const char* name) {
    if (name == nullptr || name[0] == '\0') return false;
    // The context's lookup answers any name; the library exports real ones only and
    // is case-sensitive.
    void* library = gl_library();
    if (library == nullptr || dlsym(library, name) == nullptr) return false;
    return platform::has_gl_context() && platform::gl_entry_point(name) != nullptr;
}

DynString machine_id_text(uint32_t serial) {
    const uint32_t value = serial ^ MACHINE_ID_MASK;
    char text[9];
    std::snprintf(text, sizeof text, "%02X%02X%02X%02X", value & 0xFFu, (value >> 8) & 0xFFu,
                  (value >> 16) & 0xFFu, (value >> 24) & 0xFFu);
    return DynString(text);
}

DynString time_text(int year, int month, int day, int hour, int minute, int second) {
    char format[16];
    std::snprintf(format, sizeof format, "%%%d.%df", 2, 0);
    char h[32], m[32], s[32];
    std::snprintf(h, sizeof h, format, static_cast<double>(hour));
    std::snprintf(m, sizeof m, format, static_cast<double>(minute));
    std::snprintf(s, sizeof s, format, static_cast<double>(second));
    char text[160];
    std::snprintf(text, sizeof text, "%d-%d-%d %s:%s:%s", year, month, day, h, m, s);
    return DynString(text);
}

DynString platform_info(const DynString& key) {
    const std::string upper = upper_case(key.text_of());
    static const std::string GLEXT = "GLEXT:";
    if (upper.empty()) return DynString("LINUX");
    if (upper.compare(0, GLEXT.size(), GLEXT) == 0)
        return DynString(gl_entry_point_exists(key.text_of() + GLEXT.size()) ? "1" : "0");
    if (upper == "ID") {
        uint32_t serial = FALLBACK_MACHINE_SERIAL;
        if (!read_machine_serial(serial)) serial = FALLBACK_MACHINE_SERIAL;
        return machine_id_text(serial);
    }
    if (upper == "DEVICE") return DynString("DESKTOP");
    if (upper == "TIME") {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        return time_text(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                         local.tm_sec);
    }
    return DynString("NO_DATA");
}

bool debugger_attached() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, 10, "TracerPid:") != 0) continue;
        return std::strtol(line.c_str() + 10, nullptr, 10) != 0;
    }
    return false;
}

void send_debugger_text(const char* text) {
    std::fprintf(stderr, "%s\n", text);
    std::fflush(stderr);
}

void debug_breakpoint(double number) {
    if (!debugger_attached()) return;
    platform::hide_window();
    char text[32];
    const auto value = static_cast<uint32_t>(input_int(number));
    std::snprintf(text, sizeof text, "BP%x", value);
    send_debugger_text(text);
    screen_state().paused = false;
    if (InputState* input = input_state()) {
        poll_keyboard(*input);
        input->mouse_fresh = 1;
    }
}

double get_window_handle() { return static_cast<double>(screen_state().main_window); }

}  // namespace runtime
