// What the download commands share: their settings, the bound on one call's time, and
// the check that keeps line breaks out of a request.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/core/dyn_string.h"

namespace runtime::download_detail {

constexpr double DEFAULT_TIMEOUT_S = 30;

struct DownloadSettings {
    int timeout_ms = static_cast<int>(DEFAULT_TIMEOUT_S * 1000);  // < 0: no limit
    uint64_t limit = 0;                                           // body bytes; 0: no limit
    std::string ca_file;                                          // empty: the system's
    int last_status = 0;  // of the last download_url_to_file; 0: no reply
};
DownloadSettings& download_settings();

// The end of a call's time, fixed when the call starts.
class Deadline {
public:
    explicit Deadline(int timeout_ms);
    // Milliseconds left (0 once the time is up); -1 without a limit.
    int left_ms() const;

private:
    double end_ms_ = 0;
    bool limited_ = false;
};

// True when the text holds a carriage return, a line feed or a zero byte, any of which
// would let it add lines of its own to a request.
bool has_line_breaks_or_zeros(const DynString& text);

}  // namespace runtime::download_detail
