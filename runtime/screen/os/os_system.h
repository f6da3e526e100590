// Console, platform information, the debugger hook and the window handle.
#pragma once

#include "runtime/core/dyn_string.h"

namespace runtime {

// Gives the program a terminal for standard input and output. When both already are
// a terminal there is nothing to do; otherwise the controlling terminal (/dev/tty) is
// taken for the one that is not, and without one nothing changes.
void open_console();
// "" "LINUX"; "DEVICE" "DESKTOP"; "ID" 8 hex digits; "TIME" local time;
// "GLEXT:name" "1"/"0"; anything else "NO_DATA". The key is case-insensitive.
DynString platform_info(const DynString& key);
// With a debugger attached: hides the window and sends "BP" + the number in hex.
void debug_breakpoint(double number);
// The main window as a number (0 while there is none).
double get_window_handle();

// A tracer (debugger) is attached to the process (/proc/self/status).
bool debugger_attached();
// Text for the debugger: written to standard error with a line end.
void send_debugger_text(const char* text);

// The fixed values behind the "ID" key.
constexpr uint32_t MACHINE_ID_MASK = 0x5A3C96E1u;
constexpr uint32_t FALLBACK_MACHINE_SERIAL = 0x1F2E3D4Cu;
// The "ID" text of a serial: serial ^ mask, bytes in little-endian order as hex pairs.
DynString machine_id_text(uint32_t serial);
// The "TIME" text of a local time.
DynString time_text(int year, int month, int day, int hour, int minute, int second);
// Whether the system OpenGL library exports the entry point and the context resolves it.
bool gl_entry_point_exists(const char* name);

}  // namespace runtime
