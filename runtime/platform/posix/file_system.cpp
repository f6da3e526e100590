// POSIX files: every open takes flock(LOCK_EX | LOCK_NB) so that a file open in one
// place cannot be opened again anywhere (this process or another) until it is closed.
#include "runtime/platform/posix/file_system.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace runtime::platform {

bool to_system_name(const char* name, char (&out)[NAME_BUFFER_SIZE]) {
    out[0] = 0;
    if (!name) return false;
    size_t n = strnlen(name, NAME_BUFFER_SIZE);
    if (n >= NAME_BUFFER_SIZE) return false;
    for (size_t i = 0; i < n; ++i) out[i] = name[i] == '\\' ? '/' : name[i];
    out[n] = 0;
    return true;
}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.release();
    }
    return *this;
}

int FileHandle::release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
}

void FileHandle::close() {
    // Closing the descriptor drops its flock as well.
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

namespace {

// Takes the exclusive lock without waiting; closes the descriptor when it is held elsewhere.
FileHandle lock_or_close(int fd) {
    if (fd < 0) return FileHandle();
    FileHandle file(fd);
    while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EINTR) return FileHandle();
    }
    return file;
}

}  // namespace

FileHandle open_exclusive_read(const char* system_name) {
    if (!system_name || !*system_name) return FileHandle();
    // O_NONBLOCK keeps a FIFO from hanging the open; only regular files are accepted.
    FileHandle file = lock_or_close(::open(system_name, O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!file.is_open()) return file;
    struct stat st {};
    if (fstat(file.fd(), &st) != 0 || !S_ISREG(st.st_mode)) return FileHandle();
    int flags = fcntl(file.fd(), F_GETFL);
    if (flags >= 0) fcntl(file.fd(), F_SETFL, flags & ~O_NONBLOCK);
    return file;
}

FileHandle create_exclusive(const char* system_name) {
    if (!system_name || !*system_name) return FileHandle();
    // No O_TRUNC: the content may only go once the lock shows nobody else holds the file.
    FileHandle file = lock_or_close(::open(system_name, O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666));
    if (!file.is_open()) return file;
    struct stat st {};
    if (fstat(file.fd(), &st) != 0 || !S_ISREG(st.st_mode)) return FileHandle();
    if (ftruncate(file.fd(), 0) != 0) return FileHandle();
    int flags = fcntl(file.fd(), F_GETFL);
    if (flags >= 0) fcntl(file.fd(), F_SETFL, flags & ~O_NONBLOCK);
    return file;
}

bool delete_unheld(const char* system_name) {
    if (!system_name || !*system_name) return false;
    int fd = ::open(system_name, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        // A file we may not read can still be deleted when nobody can hold it open.
        if (errno == ENOENT) return false;
        return unlink(system_name) == 0;
    }
    FileHandle file = lock_or_close(fd);
    if (!file.is_open()) return false;  // held by another opener
    return unlink(system_name) == 0;
}

int64_t file_length(const FileHandle& file) {
    struct stat st {};
    if (!file.is_open() || fstat(file.fd(), &st) != 0) return -1;
    return static_cast<int64_t>(st.st_size);
}

int64_t read_at(const FileHandle& file, void* into, size_t n, uint64_t offset) {
    if (!file.is_open()) return -1;
    if (offset > static_cast<uint64_t>(LLONG_MAX)) return 0;
    auto* p = static_cast<char*>(into);
    size_t done = 0;
    while (done < n) {
        ssize_t got = pread(file.fd(), p + done, n - done, static_cast<off_t>(offset + done));
        if (got < 0) {
            if (errno == EINTR) continue;
            return done ? static_cast<int64_t>(done) : -1;
        }
        if (got == 0) break;
        done += static_cast<size_t>(got);
    }
    return static_cast<int64_t>(done);
}

int64_t read_some(const FileHandle& file, void* into, size_t n) {
    if (!file.is_open()) return -1;
    auto* p = static_cast<char*>(into);
    size_t done = 0;
    while (done < n) {
        ssize_t got = ::read(file.fd(), p + done, n - done);
        if (got < 0) {
            if (errno == EINTR) continue;
            return done ? static_cast<int64_t>(done) : -1;
        }
        if (got == 0) break;
        done += static_cast<size_t>(got);
    }
    return static_cast<int64_t>(done);
}

bool write_all(const FileHandle& file, const void* bytes, size_t n) {
    if (!file.is_open()) return false;
    const auto* p = static_cast<const char*>(bytes);
    size_t done = 0;
    while (done < n) {
        ssize_t put = ::write(file.fd(), p + done, n - done);
        if (put < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (put == 0) return false;
        done += static_cast<size_t>(put);
    }
    return true;
}

bool seek_to(const FileHandle& file, uint64_t offset) {
    if (!file.is_open() || offset > static_cast<uint64_t>(LLONG_MAX)) return false;
    return lseek(file.fd(), static_cast<off_t>(offset), SEEK_SET) >= 0;
}

std::string current_folder() {
    std::vector<char> buffer(PATH_MAX + 1);
    while (!getcwd(buffer.data(), buffer.size())) {
        if (errno != ERANGE || buffer.size() > (1u << 20)) return std::string();
        buffer.resize(buffer.size() * 2);
    }
    return std::string(buffer.data());
}

bool change_folder(const char* system_name) {
    return system_name && *system_name && chdir(system_name) == 0;
}

bool list_folder(const char* system_name, std::vector<FolderEntry>& entries) {
    entries.clear();
    DIR* dir = opendir(system_name && *system_name ? system_name : ".");
    if (!dir) return false;
    while (dirent* e = readdir(dir)) {
        FolderEntry entry;
        entry.name = e->d_name;
        if (e->d_type == DT_DIR) {
            entry.is_directory = true;
        } else if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
            // A link to a folder lists as a folder, as the name would open as one.
            struct stat st {};
            entry.is_directory = fstatat(dirfd(dir), e->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
        }
        entries.push_back(std::move(entry));
    }
    closedir(dir);
    return true;
}

}  // namespace runtime::platform
