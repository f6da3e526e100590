// Web download: one HTTP/1.0 GET whose reply body goes into a local file.
#pragma once

#include "runtime/core/dyn_string.h"

namespace runtime {

// Fetches `path` from `host` on the low 16 bits of `port` and stores the body of the
// reply (whatever its status) in `file`, created anew once the connection stands.
// 1 when the server ended the connection after the reply; 0 when the download could
// not be made, stalled past the time-out (the file keeps what arrived), the reply's
// header passed 64 KiB (the file stays empty), or the host and path do not fit the
// 4096-byte request. A file that cannot be created is not an error: the body is dropped.
double download_to_file(const DynString& host, const DynString& path, double port,
                        const DynString& file);
// The time a connect or a read may wait for the server, in seconds (30 at start);
// 0 or less waits without limit.
void set_download_timeout(double seconds);

}  // namespace runtime
