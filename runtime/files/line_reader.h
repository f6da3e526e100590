// The line splitting shared by read_line, the INI reader and the line store: up to
// 1024 bytes taken in 64-byte chunks, LF or CR LF ends a line, the end of the data
// ends the last one. Works on any source, so memory buffers can drive it too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace runtime {

constexpr uint32_t READ_CHUNK = 64;
constexpr uint32_t LINE_LIMIT = 1024;

enum class LineStatus {
    LINE_FEED,     // ended by a line feed in the data
    END_OF_DATA,   // ended by the end of the data (the read point moved one beyond it)
    LIMIT,         // 1024 bytes without a line feed; the rest follows in the next read
    NOTHING_LEFT,  // not a single byte was left to read
    FAILED,        // the source reported an error
};

struct LineResult {
    LineStatus status = LineStatus::NOTHING_LEFT;
    uint32_t length = 0;  // bytes up to the first zero byte (the string's length)
};

// Source: int64_t read_chunk(char* into, size_t want) delivers `want` bytes unless the
// data ends first (-1 on failure); void give_back(int64_t n) moves the read point back
// by n bytes (forward when n is negative).
// `line` must have room for LINE_LIMIT + 1 bytes; it receives the zero-terminated line.
template <class Source>
LineResult read_line_from(Source& source, char* line) {
    uint32_t total = 0;
    while (total < LINE_LIMIT) {
        uint32_t want = LINE_LIMIT - total < READ_CHUNK ? LINE_LIMIT - total : READ_CHUNK;
        int64_t got = source.read_chunk(line + total, want);
        if (got < 0) return {LineStatus::FAILED, 0};
        uint32_t end = total + static_cast<uint32_t>(got);
        uint32_t feed = end;  // index of the line feed that ends the line
        LineStatus status = LineStatus::END_OF_DATA;
        if (got == 0) {
            // A line cut off exactly at a chunk's end still ends at the end of the data.
            if (total == 0) return {LineStatus::NOTHING_LEFT, 0};
            source.give_back(-1);
        } else {
            const void* hit = std::memchr(line + total, '\n', static_cast<size_t>(got));
            if (hit) {
                feed = static_cast<uint32_t>(static_cast<const char*>(hit) - line);
                status = LineStatus::LINE_FEED;
                source.give_back(static_cast<int64_t>(end) - (feed + 1));
            } else if (static_cast<uint32_t>(got) < want) {
                // A short chunk: the end of the data acts as a line feed behind it, and the
                // read point moves one beyond the data as that feed is "consumed".
                source.give_back(-1);
            } else {
                total = end;
                continue;
            }
        }
        line[feed] = 0;
        if (feed > 0 && line[feed - 1] == '\r') line[feed - 1] = 0;
        return {status, static_cast<uint32_t>(strnlen(line, feed))};
    }
    line[LINE_LIMIT] = 0;
    return {LineStatus::LIMIT, static_cast<uint32_t>(strnlen(line, LINE_LIMIT))};
}

// A read-only memory buffer as a line source; `position` may end one beyond `size`.
struct MemoryLineSource {
    const char* data = nullptr;
    size_t size = 0;
    uint64_t position = 0;

    int64_t read_chunk(char* into, size_t want) {
        if (position >= size) return 0;
        size_t n = size - position < want ? size - position : want;
        std::memcpy(into, data + position, n);
        position += n;
        return static_cast<int64_t>(n);
    }
    void give_back(int64_t n) { position -= static_cast<uint64_t>(n); }
    bool at_end() const { return position >= size; }
};

// Reads one line for the stores that keep lines of at most `width` - 1 bytes: a longer
// line is cut there and the rest of it is skipped, so it never turns into a further line.
template <class Source>
LineResult read_cut_line(Source& source, char* line, uint32_t width) {
    LineResult r = read_line_from(source, line);
    if (r.status == LineStatus::LIMIT) {
        char rest[LINE_LIMIT + 1];
        LineResult more;
        do {
            more = read_line_from(source, rest);
        } while (more.status == LineStatus::LIMIT);
        if (more.status == LineStatus::FAILED) r.status = LineStatus::FAILED;
    }
    if (width > 0 && r.length >= width) {
        line[width - 1] = 0;
        r.length = width - 1;
    }
    return r;
}

}  // namespace runtime
