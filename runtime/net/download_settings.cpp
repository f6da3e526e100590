#include "runtime/net/download_settings.h"

#include <cmath>
#include <cstring>

#include "runtime/net/download.h"
#include "runtime/platform/clock.h"

namespace runtime {

namespace download_detail {

DownloadSettings& download_settings() {
    static DownloadSettings settings;
    return settings;
}

Deadline::Deadline(int timeout_ms) : limited_(timeout_ms >= 0) {
    if (limited_) end_ms_ = platform::now_ms() + timeout_ms;
}

int Deadline::left_ms() const {
    if (!limited_) return -1;
    const double left = std::ceil(end_ms_ - platform::now_ms());
    return left > 0 ? static_cast<int>(left) : 0;
}

bool has_line_breaks_or_zeros(const DynString& text) {
    const size_t n = static_cast<size_t>(text.size());
    const char* bytes = text.text_of();
    return strnlen(bytes, n) != n || std::memchr(bytes, '\r', n) || std::memchr(bytes, '\n', n);
}

}  // namespace download_detail

void set_download_timeout(double seconds) {
    const double ms = std::ceil(seconds * 1000);
    download_detail::download_settings().timeout_ms = !(ms > 0)            ? -1
                                                      : ms >= 2147483647.0 ? 2147483647
                                                                           : static_cast<int>(ms);
}

void set_download_limit(double bytes) {
    // 2^64 and more (or not a number) cannot be a limit.
    const double whole = std::trunc(bytes);
    download_detail::download_settings().limit =
        whole >= 1 && whole < 18446744073709551616.0 ? static_cast<uint64_t>(whole) : 0;
}

}  // namespace runtime
