// Finding where the body of an HTTP reply starts, chunk by chunk as reads deliver it:
// after the first two line feeds with nothing but carriage returns between them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace runtime {

// The longest reply header taken, blank line included; a longer one fails the download.
constexpr size_t HTTP_HEADER_LIMIT = 65536;

struct ReplyHeaderScan {
    int line_feeds = 0;  // consecutive line feeds so far, kept across chunks
    size_t size = 0;     // header bytes so far
    bool ended() const { return line_feeds >= 2; }
    // HTTP_HEADER_LIMIT bytes went by without the blank line: nothing after is body.
    bool too_long() const { return !ended() && size >= HTTP_HEADER_LIMIT; }
    // Scans one chunk: the offset in it where the body starts (the chunk's size when
    // the header does not end in it or is too long; 0 once it has ended before).
    size_t feed(std::span<const uint8_t> chunk);
};

}  // namespace runtime
