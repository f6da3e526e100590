// The non-blocking open keeps a FIFO without a writer from stalling the converter; the
// type is checked on the open descriptor, so a file swapped in meanwhile cannot slip by.
#include "app/map_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace app {

namespace {
constexpr const char* NOT_REGULAR = "it is not a regular file";
}

bool MapFile::open(const std::string& path, std::string& reason) {
    close();
    fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd_ < 0) {
        const int error = errno;
        // A socket cannot be opened at all; name it for what it is.
        struct stat info {};
        if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode)) {
            reason = NOT_REGULAR;
        } else {
            reason = std::string("the file cannot be opened (") + std::strerror(error) + ")";
        }
        return false;
    }
    struct stat info {};
    if (::fstat(fd_, &info) != 0) {
        reason = std::string("the file cannot be read (") + std::strerror(errno) + ")";
        close();
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        reason = S_ISDIR(info.st_mode) ? "not a map: it is a folder" : NOT_REGULAR;
        close();
        return false;
    }
    const int flags = ::fcntl(fd_, F_GETFL);
    if (flags >= 0) ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK);
    // Readers share the file; only a program writing it (an exclusive lock) keeps us out.
    if (::flock(fd_, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        reason = "the file is in use by another program";
        close();
        return false;
    }
    size_ = static_cast<uint64_t>(info.st_size);
    return true;
}

bool MapFile::read_start(size_t limit, std::string& bytes, std::string& reason) const {
    bytes.resize(limit);
    ssize_t got;
    do {
        got = ::pread(fd_, bytes.data(), limit, 0);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        reason = std::string("the file cannot be read (") + std::strerror(errno) + ")";
        bytes.clear();
        return false;
    }
    bytes.resize(static_cast<size_t>(got));
    return true;
}

void MapFile::close() {
    if (fd_ >= 0) ::close(fd_);  // closing drops the lock
    fd_ = -1;
    size_ = 0;
}

}  // namespace app
