// File channels. Reads go through a per-channel read-ahead window instead of the
// 64-byte reads and seek-back per line, with the same bytes, positions and stops.
#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <string>

#include "runtime/core/lifecycle.h"
#include "runtime/files/file_channel_table.h"
#include "runtime/files/files_internal.h"
#include "runtime/files/line_reader.h"

namespace runtime {

using files_detail::truncate_int32;

FileChannelTable& file_channel_table() {
    static FileChannelTable table;
    return table;
}

namespace {

std::string shown_number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

// "read_word: channel 2 (\"a.pyxm\")": the command, the channel and its file.
std::string about(const char* command, double channel, const FileChannel& ch) {
    std::string text = std::string(command) + ": channel " + shown_number(channel);
    if (!ch.name.empty()) text += " (\"" + ch.name + "\")";
    return text;
}

// A channel number outside 0..7 is a programming error: stop code 7.
FileChannel& channel_at(double channel, const char* command) {
    if (!(channel > -1.0 && channel < CHANNEL_COUNT))
        error_stop(STOP_RANGE,
                   std::string(command) + ": channel " + shown_number(channel) + " is outside 0 to 7");
    return file_channel_table().channels[static_cast<size_t>(static_cast<int>(channel))];
}

void clear_channel(FileChannel& ch) {
    ch.handle.close();
    ch.size = 0;
    ch.position = 0;
    ch.for_writing = false;
    ch.name.clear();
    ch.offset = 0;
    ch.file_length = 0;
    ch.buffer_start = 0;
    ch.buffer_length = 0;
    ch.buffer_at_end = false;
}

// Delivers up to `want` bytes from the read point (fewer only at the end of the file),
// refilling the window as needed; -1 when the system reports a failure.
int64_t take_bytes(FileChannel& ch, char* into, size_t want) {
    // A writing channel's file pointer always sits at the end of what it wrote.
    if (ch.for_writing) return 0;
    size_t done = 0;
    while (done < want) {
        uint64_t end = ch.buffer_start + ch.buffer_length;
        if (ch.offset >= ch.buffer_start && ch.offset < end) {
            size_t n = std::min<uint64_t>(end - ch.offset, want - done);
            std::memcpy(into + done, ch.buffer.data() + (ch.offset - ch.buffer_start), n);
            done += n;
            ch.offset += n;
            continue;
        }
        if (ch.buffer.empty()) ch.buffer.resize(CHANNEL_BUFFER_SIZE);
        int64_t got = platform::read_at(ch.handle, ch.buffer.data(), ch.buffer.size(), ch.offset);
        if (got < 0) {
            ch.buffer_length = 0;
            return done ? static_cast<int64_t>(done) : -1;
        }
        ch.buffer_start = ch.offset;
        ch.buffer_length = static_cast<uint32_t>(got);
        ch.buffer_at_end = static_cast<size_t>(got) < ch.buffer.size();
        if (got == 0) break;
    }
    return static_cast<int64_t>(done);
}

// Makes the window hold the next LINE_LIMIT bytes, or everything up to the end of the
// file; false when that cannot be had (a read failure), so the chunked path decides.
bool window_holds_a_line(FileChannel& ch) {
    if (ch.for_writing) return false;
    uint64_t end = ch.buffer_start + ch.buffer_length;
    bool inside = ch.offset >= ch.buffer_start && ch.offset <= end;
    if (inside && (end - ch.offset >= LINE_LIMIT || ch.buffer_at_end)) return true;
    if (ch.buffer.empty()) ch.buffer.resize(CHANNEL_BUFFER_SIZE);
    int64_t got = platform::read_at(ch.handle, ch.buffer.data(), ch.buffer.size(), ch.offset);
    if (got < 0) {
        ch.buffer_length = 0;
        return false;
    }
    ch.buffer_start = ch.offset;
    ch.buffer_length = static_cast<uint32_t>(got);
    ch.buffer_at_end = static_cast<size_t>(got) < ch.buffer.size();
    return true;
}

// read_line straight from the window: the same line, position and read point as the
// 64-byte chunks give, since chunk borders only matter where the data ends.
bool read_line_from_window(FileChannel& ch, char* line, bool& nothing_left) {
    if (!window_holds_a_line(ch)) return false;
    const char* from = ch.buffer.data() + (ch.offset - ch.buffer_start);
    uint64_t avail = ch.buffer_start + ch.buffer_length - ch.offset;
    size_t n = avail < LINE_LIMIT ? static_cast<size_t>(avail) : LINE_LIMIT;
    nothing_left = n == 0;
    if (nothing_left) return true;
    size_t length = n;
    size_t consumed = n;
    bool strip_return = true;
    if (const void* hit = std::memchr(from, '\n', n)) {
        length = static_cast<size_t>(static_cast<const char*>(hit) - from);
        consumed = length + 1;
    } else if (n == LINE_LIMIT) {
        strip_return = false;  // cut at the limit: the rest follows in the next read
    } else {
        consumed = n + 1;  // the end of the file ends the line, one beyond the size
    }
    std::memcpy(line, from, length);
    line[length] = 0;
    if (strip_return && length > 0 && line[length - 1] == '\r') line[length - 1] = 0;
    ch.offset += consumed;
    ch.position += static_cast<uint32_t>(consumed);
    return true;
}

// The line reader's view of a channel: chunks advance `position` by what they deliver.
struct ChannelLineSource {
    FileChannel& ch;
    int64_t read_chunk(char* into, size_t want) {
        int64_t got = take_bytes(ch, into, want);
        if (got > 0) ch.position += static_cast<uint32_t>(got);
        return got;
    }
    void give_back(int64_t n) {
        ch.offset -= static_cast<uint64_t>(n);
        ch.position -= static_cast<uint32_t>(n);
    }
};

// A reading channel that is open, or stop code 3.
FileChannel& readable_channel(double channel, const char* command) {
    FileChannel& ch = channel_at(channel, command);
    if (!ch.handle.is_open()) error_stop(STOP_FILE, about(command, channel, ch) + " is not open");
    return ch;
}

// The fixed-size reads: `position` moves first, then exactly n bytes or stop code 3.
[[noreturn]] void short_read(const char* command, double channel, const FileChannel& ch, size_t wanted) {
    error_stop(STOP_FILE,
               about(command, channel, ch) +
                   (ch.for_writing ? " is open for writing"
                                   : ": the file ends before " + std::to_string(wanted) + " more bytes"));
}

void read_exact(double channel, void* into, size_t n, const char* command) {
    FileChannel& ch = readable_channel(channel, command);
    ch.position += static_cast<uint32_t>(n);
    if (take_bytes(ch, static_cast<char*>(into), n) != static_cast<int64_t>(n))
        short_read(command, channel, ch, n);
}

// Files hold little-endian values; a big-endian host swaps.
template <class T>
T from_little_endian(T v) {
    static_assert(sizeof(T) == 2 || sizeof(T) == 4 || sizeof(T) == 8);
    if constexpr (std::endian::native == std::endian::big) {
        if constexpr (sizeof(T) == 2) return __builtin_bswap16(v);
        if constexpr (sizeof(T) == 4) return __builtin_bswap32(v);
        if constexpr (sizeof(T) == 8) return __builtin_bswap64(v);
    }
    return v;
}

template <class T>
T to_little_endian(T v) {
    return from_little_endian(v);
}

void write_exact(double channel, const void* bytes, size_t n, const char* command) {
    FileChannel& ch = channel_at(channel, command);
    if (!ch.handle.is_open()) error_stop(STOP_FILE, about(command, channel, ch) + " is not open");
    if (!platform::write_all(ch.handle, bytes, n))
        error_stop(STOP_FILE, about(command, channel, ch) + ": cannot write " + std::to_string(n) + " bytes" +
                                  (ch.for_writing ? "" : " (open for reading)"));
}

}  // namespace

double open_file_channel(double channel, const char* name, double mode) {
    FileChannel& ch = channel_at(channel, "open_file_channel");
    files_detail::ensure_exit_cleanup();
    clear_channel(ch);
    char system_name[platform::NAME_BUFFER_SIZE];
    if (!platform::to_system_name(name, system_name)) return 0;
    if (truncate_int32(mode) != 0) {
        platform::FileHandle file = platform::open_for_reading(system_name);
        if (!file.is_open()) return 0;
        int64_t length = platform::file_length(file);
        ch.file_length = length > 0 ? static_cast<uint64_t>(length) : 0;
        ch.size = static_cast<uint32_t>(ch.file_length);
        ch.handle = std::move(file);
    } else {
        // The old content goes only once the lock shows nobody else holds the file.
        platform::FileHandle file = platform::create_exclusive(system_name);
        if (!file.is_open()) return 0;
        ch.handle = std::move(file);
        ch.for_writing = true;
    }
    ch.name = name;
    return 1;
}

double open_file_channel(double channel, const DynString& name, double mode) {
    return open_file_channel(channel, name.text_of(), mode);
}

double close_file_channel(double channel) {
    clear_channel(channel_at(channel, "close_file_channel"));
    return 0;
}

double end_of_file(double channel) {
    const FileChannel& ch = channel_at(channel, "end_of_file");
    return ch.position >= ch.size ? 1 : 0;
}

void read_byte(double channel, double& value) {
    uint8_t b = 0;
    read_exact(channel, &b, 1, "read_byte");
    value = b;
}

void read_word(double channel, double& value) {
    uint16_t w = 0;
    read_exact(channel, &w, 2, "read_word");
    value = from_little_endian(w);
}

void read_long(double channel, double& value) {
    uint32_t l = 0;
    read_exact(channel, &l, 4, "read_long");
    value = from_little_endian(l);
}

void read_double(double channel, double& value) {
    uint64_t bits = 0;
    read_exact(channel, &bits, 8, "read_double");
    value = std::bit_cast<double>(from_little_endian(bits));
}

void read_bytes_text(double channel, double count, DynString& text) {
    int32_t n = truncate_int32(count);
    if (n <= 0) {
        text.assign("");
        return;
    }
    FileChannel& ch = readable_channel(channel, "read_bytes_text");
    // More than the file still holds can never be delivered: stop before allocating.
    if (ch.for_writing || static_cast<uint64_t>(n) + ch.offset > ch.file_length) {
        ch.position += static_cast<uint32_t>(n);
        short_read("read_bytes_text", channel, ch, static_cast<size_t>(n));
    }
    ch.position += static_cast<uint32_t>(n);
    char* into = text.writable_buffer(static_cast<uint32_t>(n));
    if (take_bytes(ch, into, static_cast<size_t>(n)) != n)
        short_read("read_bytes_text", channel, ch, static_cast<size_t>(n));
    into[n] = 0;
    text.recount_length();
}

void read_line(double channel, DynString& text) {
    FileChannel& ch = readable_channel(channel, "read_line");
    char* line = text.writable_buffer(LINE_LIMIT);
    bool nothing_left = false;
    if (read_line_from_window(ch, line, nothing_left)) {
        if (nothing_left) {
            line[0] = 0;
            text.recount_length();
            error_stop(STOP_FILE, about("read_line", channel, ch) + ": no line left");
        }
        text.recount_length();
        return;
    }
    ChannelLineSource source{ch};
    LineResult r = read_line_from(source, line);
    if (r.status == LineStatus::NOTHING_LEFT || r.status == LineStatus::FAILED) {
        line[0] = 0;
        text.recount_length();
        error_stop(STOP_FILE,
                   about("read_line", channel, ch) +
                       (r.status == LineStatus::FAILED ? ": the system cannot read it" : ": no line left"));
    }
    text.recount_length();
}

void read_line_number(double channel, double& value) {
    DynString line;
    read_line(channel, line);
    value = text_to_number(line);
}

void write_byte(double channel, double value) {
    // Through a 16-bit integer first: 70000 does not fit and becomes -32768, low byte 0.
    int16_t v = (value > -32769.0 && value < 32768.0) ? static_cast<int16_t>(value) : INT16_MIN;
    uint8_t b = static_cast<uint8_t>(static_cast<uint16_t>(v) & 0xFF);
    write_exact(channel, &b, 1, "write_byte");
}

void write_word(double channel, double value) {
    uint16_t w = to_little_endian(static_cast<uint16_t>(static_cast<uint32_t>(truncate_int32(value)) & 0xFFFF));
    write_exact(channel, &w, 2, "write_word");
}

void write_long(double channel, double value) {
    uint32_t l = to_little_endian(static_cast<uint32_t>(truncate_int32(value)));
    write_exact(channel, &l, 4, "write_long");
}

void write_double(double channel, double value) {
    uint64_t bits = to_little_endian(std::bit_cast<uint64_t>(value));
    write_exact(channel, &bits, 8, "write_double");
}

void write_text(double channel, const DynString& text) {
    write_exact(channel, text.buffer, text.length > 0 ? static_cast<size_t>(text.length) : 0, "write_text");
}

void write_line(double channel, const DynString& text) {
    size_t n = text.length > 0 ? static_cast<size_t>(text.length) : 0;
    char small[1024];
    std::string large;
    char* out = small;
    if (n + 2 > sizeof small) {
        large.resize(n + 2);
        out = large.data();
    }
    if (n) std::memcpy(out, text.buffer, n);
    out[n] = '\r';
    out[n + 1] = '\n';
    write_exact(channel, out, n + 2, "write_line");
}

void write_line_number(double channel, double value) {
    write_line(channel, number_to_text(value));
}

void close_all_file_channels() {
    for (int c = CHANNEL_COUNT - 1; c >= 0; --c) clear_channel(file_channel_table().channels[static_cast<size_t>(c)]);
}

}  // namespace runtime
