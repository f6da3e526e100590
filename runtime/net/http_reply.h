// Finding where the body of an HTTP reply starts, chunk by chunk as reads deliver it:
// after the first two line feeds with nothing but carriage returns between them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace runtime {

struct ReplyHeaderScan {
    int line_feeds = 0;  // consecutive line feeds so far, kept across chunks
    bool ended() const { return line_feeds >= 2; }
    // Scans one chunk: the offset in it where the body starts (the chunk's size when
    // the header does not end in it; 0 once it has ended before).
    size_t feed(std::span<const uint8_t> chunk);
};

}  // namespace runtime
