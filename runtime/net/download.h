// Web download: one HTTP/1.0 GET whose reply body goes into a local file.
#pragma once

#include "runtime/core/dyn_string.h"

namespace runtime {

// Fetches `path` from `host` on the low 16 bits of `port` and stores the body of the
// reply (whatever its status) in `file`, which the new content replaces only once the
// reply has arrived whole: 1 when the server ended the connection after the reply, or
// the body reached the length the reply declared. 0, with `file` as it was and nothing
// partial beside it, when the download could not be made, a host or path holds a line
// break or zero byte, the time-out or the size limit was reached, the body is shorter
// than declared, the reply's header passed 64 KiB, the request passed 4096 bytes, or
// the body could not be written. A file that cannot be created or replaced is not an
// error: the body is dropped.
double download_to_file(const DynString& host, const DynString& path, double port,
                        const DynString& file);
// The time a whole download call may take, in seconds (30 at start); 0 or less waits
// without limit.
void set_download_timeout(double seconds);
// The largest body a download takes, in bytes (truncated); a larger one fails it.
// 0 or less: no limit (as at start).
void set_download_limit(double bytes);

}  // namespace runtime
