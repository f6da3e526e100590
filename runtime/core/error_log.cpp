// The shared error log: "ErrorLog.txt" in the temporary folder, opened with no sharing
// (an exclusive, non-blocking lock) for every single line.
#include "runtime/core/error_log.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace runtime {

namespace {

constexpr int LOG_ATTEMPTS = 5;
constexpr auto LOG_RETRY_WAIT = std::chrono::milliseconds(100);
// The temp path lives in a 1024-byte buffer: a longer path is no path.
constexpr size_t LOG_PATH_LIMIT = 1024;

bool write_all(int fd, const char* bytes, size_t n) {
    while (n > 0) {
        ssize_t written = ::write(fd, bytes, n);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes += written;
        n -= static_cast<size_t>(written);
    }
    return true;
}

// One attempt: open, lock exclusively without waiting, append. False when locked or unopenable.
bool try_append(const std::string& path, const std::string& line) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    write_all(fd, line.data(), line.size());
    ::close(fd);
    return true;
}

}  // namespace

std::string temp_folder() {
    const char* dir = std::getenv("TMPDIR");
    std::string folder = (dir != nullptr && dir[0] != 0) ? dir : "/tmp";
    if (folder.back() != '/') folder += '/';
    return folder;
}

std::string error_log_path() { return temp_folder() + "ErrorLog.txt"; }

void append_error_log(const char* text) {
    std::string path = error_log_path();
    if (path.size() >= LOG_PATH_LIMIT) return;
    std::string line = text != nullptr ? text : "";
    line += "\r\n";
    for (int attempt = 1; attempt <= LOG_ATTEMPTS; ++attempt) {
        if (try_append(path, line)) return;
        if (attempt < LOG_ATTEMPTS) std::this_thread::sleep_for(LOG_RETRY_WAIT);
    }
}

void delete_error_log() {
    std::string path = error_log_path();
    if (path.size() >= LOG_PATH_LIMIT) return;
    ::unlink(path.c_str());
}

}  // namespace runtime
