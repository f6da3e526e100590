// Buffered line cutting with the piece, CR LF and zero-byte rules of read_line.
#include "app/line_reader.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace app {

namespace {
constexpr size_t BUFFER_SIZE = size_t{1} << 20;
}

LineReader::~LineReader() { close(); }

bool LineReader::open(const std::string& path, std::string& reason) {
    close();
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
        reason = std::string("the file cannot be opened (") + std::strerror(errno) + ")";
        return false;
    }
    struct stat info {};
    if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
        reason = "it is not a regular file";
        close();
        return false;
    }
    // Opens share the file with nobody, like every open of the runtime.
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        reason = "the file is in use by another program";
        close();
        return false;
    }
    size_ = static_cast<uint64_t>(info.st_size);
    buffer_.resize(BUFFER_SIZE);
    return rewind();
}

bool LineReader::rewind() {
    if (fd_ < 0 || ::lseek(fd_, 0, SEEK_SET) != 0) {
        failed_ = true;
        return false;
    }
    consumed_ = loaded_ = 0;
    begin_ = end_ = 0;
    failed_ = false;
    return true;
}

void LineReader::close() {
    if (fd_ >= 0) {
        ::close(fd_);  // closing drops the lock
        fd_ = -1;
    }
    begin_ = end_ = 0;
    raw_ = {};
}

// Moves the unread bytes to the front and reads more, until a full piece and its line
// end are in the buffer or the file's recorded size is reached.
bool LineReader::fill() {
    if (begin_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    while (end_ < buffer_.size() && loaded_ < size_) {
        size_t want = buffer_.size() - end_;
        if (want > size_ - loaded_) want = static_cast<size_t>(size_ - loaded_);
        ssize_t got = ::read(fd_, buffer_.data() + end_, want);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            // The file shrank under us or the read failed: nothing sound can follow.
            failed_ = got < 0;
            size_ = loaded_;
            break;
        }
        end_ += static_cast<size_t>(got);
        loaded_ += static_cast<uint64_t>(got);
        if (end_ - begin_ > LINE_PIECE_LIMIT) break;
    }
    return !failed_;
}

bool LineReader::next(std::string_view& line) {
    if (fd_ < 0 || failed_ || consumed_ >= size_) return false;
    if (end_ - begin_ <= LINE_PIECE_LIMIT && loaded_ < size_ && !fill()) return false;
    const char* start = buffer_.data() + begin_;
    size_t available = end_ - begin_;
    size_t window = available < LINE_PIECE_LIMIT ? available : LINE_PIECE_LIMIT;
    const void* lf = std::memchr(start, '\n', window);
    size_t length = 0, used = 0;
    if (lf != nullptr) {
        length = static_cast<size_t>(static_cast<const char*>(lf) - start);
        used = length + 1;
        if (length > 0 && start[length - 1] == '\r') --length;
    } else if (available < LINE_PIECE_LIMIT) {
        // The file ends inside this line: its end counts as a line end (and the CR
        // before it is dropped, as read_line's stored line feed does).
        length = used = available;
        if (length > 0 && start[length - 1] == '\r') --length;
    } else {
        length = used = LINE_PIECE_LIMIT;
    }
    raw_ = std::string_view(start, length);
    const void* zero = std::memchr(start, '\0', length);
    if (zero != nullptr) length = static_cast<size_t>(static_cast<const char*>(zero) - start);
    line = std::string_view(start, length);
    begin_ += used;
    consumed_ += used;
    return true;
}

}  // namespace app
