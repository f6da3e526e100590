// Reading the header of an HTTP reply chunk by chunk as reads deliver it: where the
// body starts (after the first two line feeds with nothing but carriage returns
// between them) and the body length the header declares.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace runtime {

// The longest reply header taken, blank line included; a longer one fails the download.
constexpr size_t HTTP_HEADER_LIMIT = 65536;

struct ReplyHeaderScan {
    int line_feeds = 0;  // consecutive line feeds so far, kept across chunks
    size_t size = 0;     // header bytes so far
    std::string text;    // the header's bytes so far (at most HTTP_HEADER_LIMIT)
    bool ended() const { return line_feeds >= 2; }
    // HTTP_HEADER_LIMIT bytes went by without the blank line: nothing after is body.
    bool too_long() const { return !ended() && size >= HTTP_HEADER_LIMIT; }
    // Scans one chunk: the offset in it where the body starts (the chunk's size when
    // the header does not end in it or is too long; 0 once it has ended before).
    size_t feed(std::span<const uint8_t> chunk);
};

// What a header says of the body's length: nothing, a number of bytes, or something
// that cannot be trusted (not a decimal number, beyond 64 bits, or two different
// Content-Length lines), which fails the download.
enum class DeclaredLength { NONE, BYTES, INVALID };
// Reads the Content-Length lines of a whole header (any case, blanks around the value).
DeclaredLength declared_length(std::string_view header, uint64_t& bytes);

}  // namespace runtime
