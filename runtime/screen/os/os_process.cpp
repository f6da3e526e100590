// Processes through posix_spawn and libraries through dlopen, with the library cache.
#include "runtime/screen/os/os_process.h"

#include <dlfcn.h>

#include <cstdlib>
#include <string>

#include "runtime/core/lifecycle.h"
#include "runtime/platform/process.h"
#include "runtime/screen/os/os_system.h"

namespace runtime {

double run_process(const DynString& command, double wait, double show, double& exit_code) {
    (void)show;
    exit_code = 0.0;
    std::vector<std::string> words = split_command_line(command.text_of());
    if (words.empty()) return 0.0;
    // The program name reaches the system with "/" where the application wrote "\\".
    for (char& c : words[0])
        if (c == '\\') c = '/';
    int code = 0;
    const bool waiting = wait != 0.0;
    if (!platform::spawn_process(words, waiting, &code)) return 0.0;
    if (waiting) exit_code = code;
    return 1.0;
}

void signal_waited_program(int signal_number) { platform::signal_waited_child(signal_number); }

LibraryCache& library_cache() {
    static LibraryCache cache;
    return cache;
}

void free_library_cache() {
    LibraryCache& cache = library_cache();
    for (void* handle : cache.handles) dlclose(handle);
    cache.names.clear();
    cache.handles.clear();
}

void get_library_function(const DynString& library, const DynString& function, void*& address) {
    address = nullptr;
    DynString key(library);
    for (int32_t i = 0; i < key.length; ++i) {
        const char c = key.buffer[i];
        if (c >= 'A' && c <= 'Z') key.buffer[i] = static_cast<char>(c + 32);
    }
    LibraryCache& cache = library_cache();
    void* handle = nullptr;
    for (size_t i = 0; i < cache.names.size(); ++i) {
        if (cache.names[i].length == key.length && compare_raw(cache.names[i], key.text_of()) == 0) {
            handle = cache.handles[i];
            break;
        }
    }
    if (handle == nullptr) {
        // File names are case-sensitive here: load exactly what was asked for.
        handle = library.length > 0 ? dlopen(library.text_of(), RTLD_NOW | RTLD_LOCAL) : nullptr;
        if (handle == nullptr) {
            if (process_state().debug_mode != 0 && debugger_attached())
                send_debugger_text((std::string("TX") + "Failed to load: " + library.text_of()).c_str());
            return;
        }
        cache.names.push_back(key);
        cache.handles.push_back(handle);
        ++cache.loads;
        if (!cache.exit_hook) {
            cache.exit_hook = true;
            std::atexit(free_library_cache);
        }
    }
    if (function.length == 0) return;
    address = dlsym(handle, function.text_of());
}

}  // namespace runtime
