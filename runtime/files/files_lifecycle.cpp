// The files module's part in the end of the program: the archive records' teardown
// and the exit clean-up, run by the shut-down and, failing that, at process exit.
#include <cstdlib>

#include "runtime/core/lifecycle.h"
#include "runtime/files/file_channel_table.h"
#include "runtime/files/files_internal.h"
#include "runtime/files/ini_file.h"
#include "runtime/files/line_store.h"
#include "runtime/files/packed_archive.h"

namespace runtime::files_detail {

namespace {

struct FilesExitState {
    bool cleanup_pending = false;
    bool archives_pending = false;
    bool exit_handler_installed = false;
};

FilesExitState& exit_state() {
    static FilesExitState state;
    return state;
}

// Channels 7..0 closed, then the changed INI and line stores written back.
void run_exit_cleanup() {
    if (!exit_state().cleanup_pending) return;
    exit_state().cleanup_pending = false;
    close_all_file_channels();
    ini_write_back(ini_store());
    line_store_write_back();
}

void run_archive_teardown() {
    if (!exit_state().archives_pending) return;
    exit_state().archives_pending = false;
    close_packed_archives();
}

// A plain return from main or std::exit skips the shut-down; this catches those ends.
void at_process_exit() {
    run_archive_teardown();
    run_exit_cleanup();
}

void install_exit_handler() {
    if (exit_state().exit_handler_installed) return;
    // Build every record first: statics made after atexit would be gone when it runs.
    file_channel_table();
    ini_store();
    line_store();
    packed_archive_records();
    exit_state().exit_handler_installed = true;
    std::atexit(at_process_exit);
}

}  // namespace

void ensure_exit_cleanup() {
    install_exit_handler();
    if (exit_state().cleanup_pending) return;
    exit_state().cleanup_pending = true;
    register_shutdown_step(ShutdownStep::EXIT_CLEANUP, run_exit_cleanup);
}

void ensure_archive_teardown() {
    install_exit_handler();
    if (exit_state().archives_pending) return;
    exit_state().archives_pending = true;
    register_shutdown_step(ShutdownStep::PACKED_ARCHIVES, run_archive_teardown);
}

}  // namespace runtime::files_detail
