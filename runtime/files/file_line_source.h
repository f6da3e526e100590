// A file opened for reading as a line source for the INI and line-store readers,
// read through a window so the 64-byte chunks cost no system calls.
#pragma once

#include <cstring>
#include <vector>

#include "runtime/platform/files.h"

namespace runtime::files_detail {

class FileLineSource {
public:
    explicit FileLineSource(const platform::FileHandle& file) : file_(file) {
        int64_t n = platform::file_length(file);
        size_ = n > 0 ? static_cast<uint64_t>(n) : 0;
    }
    int64_t read_chunk(char* into, size_t want) {
        size_t done = 0;
        while (done < want) {
            if (position_ >= start_ && position_ < start_ + length_) {
                size_t n = static_cast<size_t>(start_ + length_ - position_);
                if (n > want - done) n = want - done;
                std::memcpy(into + done, window_.data() + (position_ - start_), n);
                done += n;
                position_ += n;
                continue;
            }
            window_.resize(WINDOW);
            int64_t got = platform::read_at(file_, window_.data(), WINDOW, position_);
            if (got < 0) return done ? static_cast<int64_t>(done) : -1;
            start_ = position_;
            length_ = static_cast<uint64_t>(got);
            if (got == 0) break;
        }
        return static_cast<int64_t>(done);
    }
    void give_back(int64_t n) { position_ -= static_cast<uint64_t>(n); }
    bool at_end() const { return position_ >= size_; }

private:
    static constexpr size_t WINDOW = 64 * 1024;
    const platform::FileHandle& file_;
    uint64_t size_ = 0;
    uint64_t position_ = 0;
    std::vector<char> window_;
    uint64_t start_ = 0;
    uint64_t length_ = 0;
};

}  // namespace runtime::files_detail
