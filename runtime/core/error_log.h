// "ErrorLog.txt" in the temporary folder: one line per append, retried while locked.
#pragma once

#include <string>

namespace runtime {

// The temporary folder ($TMPDIR, else /tmp), ending in "/".
std::string temp_folder();
// Full path of the error log.
std::string error_log_path();
// Appends text and "\r\n"; five attempts 100 ms apart, then gives up silently.
void append_error_log(const char* text);
// Deletes the log (start-up does this so the log holds the current run only).
void delete_error_log();

}  // namespace runtime
