// Reads a map file line by line the way the runtime's read_line cuts lines, but through
// one large buffer: LF or CR LF end a line, a line longer than 1024 bytes arrives in
// 1024-byte pieces, a zero byte ends the text of its line, the last line needs no end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace app {

// Longest piece one read delivers; longer lines continue in the next piece.
constexpr size_t LINE_PIECE_LIMIT = 1024;

class LineReader {
public:
    LineReader() = default;
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // Opens the file for reading, locked against other openers; false with a reason.
    bool open(const std::string& path, std::string& reason);
    // Starts again at the first byte (the file stays open and locked).
    bool rewind();
    // The next line (valid until the next call); false at the end of the file or on a
    // read failure (then failed() is true).
    bool next(std::string_view& line);
    // The last line before its cut at a zero byte (the bytes a layout check must see).
    std::string_view raw_line() const { return raw_; }
    bool failed() const { return failed_; }
    void close();

private:
    bool fill();

    int fd_ = -1;
    uint64_t size_ = 0;      // taken at open: bytes beyond it are never read
    uint64_t consumed_ = 0;  // bytes handed out as lines so far
    uint64_t loaded_ = 0;    // bytes read from the file so far
    std::vector<char> buffer_;
    size_t begin_ = 0, end_ = 0;  // unread part of buffer_
    std::string_view raw_;
    bool failed_ = false;
};

}  // namespace app
