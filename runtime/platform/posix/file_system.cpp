// POSIX files. Opens take flock without waiting: readers a shared lock, writers an
// exclusive one, so another program may read what we read but never sees a file we
// write, and nobody empties or deletes a file that someone holds. flock lets two
// shared locks of one process coexist, so this program also keeps a list of the files
// its own handles hold: inside the program every open excludes every other.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>

#include "runtime/platform/files.h"

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

namespace {

// The files this program's handles hold, by device and inode (a file may be held
// once). Never destroyed: handles in static records close after other statics go.
struct HeldFiles {
    std::mutex guard;
    std::vector<std::pair<uint64_t, uint64_t>> keys;
};
HeldFiles& held_files() {
    static HeldFiles* record = new HeldFiles;
    return *record;
}

bool is_held(uint64_t device, uint64_t inode) {
    HeldFiles& held = held_files();
    std::lock_guard<std::mutex> lock(held.guard);
    for (const auto& key : held.keys)
        if (key.first == device && key.second == inode) return true;
    return false;
}

enum class Access { READ, WRITE, PROBE };

}  // namespace

// Marks and unmarks handles in the held list.
class HeldFileMark {
public:
    // False when the file is held already.
    static bool mark(FileHandle& file, const struct stat& st) {
        HeldFiles& held = held_files();
        std::lock_guard<std::mutex> lock(held.guard);
        const auto key = std::make_pair(static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino));
        for (const auto& k : held.keys)
            if (k == key) return false;
        held.keys.push_back(key);
        file.marked_ = true;
        file.device_ = key.first;
        file.inode_ = key.second;
        return true;
    }
    static void unmark(FileHandle& file) {
        if (!file.marked_) return;
        HeldFiles& held = held_files();
        std::lock_guard<std::mutex> lock(held.guard);
        const auto key = std::make_pair(file.device_, file.inode_);
        for (size_t i = 0; i < held.keys.size(); ++i) {
            if (held.keys[i] != key) continue;
            held.keys[i] = held.keys.back();
            held.keys.pop_back();
            break;
        }
        file.marked_ = false;
    }
    // Takes the lock an access needs on a freshly opened descriptor; a closed handle
    // when the file is no regular file or is held here or elsewhere. A probe only
    // checks that the file could be taken and marks nothing.
    static FileHandle take(int fd, Access access) {
        if (fd < 0) return FileHandle();
        FileHandle file(fd);
        struct stat st {};
        if (fstat(fd, &st) != 0) return FileHandle();
        if (access == Access::PROBE) {
            if (is_held(st.st_dev, st.st_ino)) return FileHandle();
        } else if (!S_ISREG(st.st_mode) || !mark(file, st)) {
            return FileHandle();
        }
        const int kind = access == Access::READ ? LOCK_SH : LOCK_EX;
        while (flock(fd, kind | LOCK_NB) != 0) {
            if (errno != EINTR) return FileHandle();
        }
        // O_NONBLOCK only kept a FIFO from hanging the open.
        int flags = fcntl(fd, F_GETFL);
        if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
        return file;
    }
};

FileHandle::FileHandle(FileHandle&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      marked_(std::exchange(other.marked_, false)),
      device_(other.device_),
      inode_(other.inode_) {}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
        marked_ = std::exchange(other.marked_, false);
        device_ = other.device_;
        inode_ = other.inode_;
    }
    return *this;
}

void FileHandle::close() {
    HeldFileMark::unmark(*this);
    // Closing the descriptor drops its flock as well.
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

FileHandle open_for_reading(const char* system_name) {
    if (!system_name || !*system_name) return FileHandle();
    return HeldFileMark::take(::open(system_name, O_RDONLY | O_CLOEXEC | O_NONBLOCK), Access::READ);
}

FileHandle create_exclusive(const char* system_name) {
    if (!system_name || !*system_name) return FileHandle();
    // No O_TRUNC: the content may only go once the lock shows nobody else holds the file.
    FileHandle file = HeldFileMark::take(
        ::open(system_name, O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666), Access::WRITE);
    if (file.is_open() && ftruncate(file.fd(), 0) != 0) return FileHandle();
    return file;
}

FileHandle create_new(const char* system_name) {
    if (!system_name || !*system_name) return FileHandle();
    return HeldFileMark::take(
        ::open(system_name, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600),
        Access::WRITE);
}

namespace {

// Writes the bytes into the held file itself: for files we may not replace by renaming.
bool rewrite_in_place(const FileHandle& file, const char* system_name, const void* bytes, size_t n) {
    if (ftruncate(file.fd(), 0) == 0 && lseek(file.fd(), 0, SEEK_SET) == 0 && write_all(file, bytes, n))
        return true;
    unlink(system_name);  // a partial file must not pass for the content
    return false;
}

// A link stays a link: the file it names gets the new content.
std::string replacement_target(const char* system_name) {
    std::string target = system_name;
    struct stat link {};
    if (lstat(system_name, &link) == 0 && S_ISLNK(link.st_mode)) {
        if (char* real = realpath(system_name, nullptr)) {
            target = real;
            std::free(real);
        }
    }
    return target;
}

}  // namespace

bool replace_file(const char* system_name, const void* bytes, size_t n) {
    if (!system_name || !*system_name) return false;
    const std::string target = replacement_target(system_name);
    bool created = false;
    int fd = ::open(target.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0 && errno == ENOENT) {
        fd = ::open(target.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NONBLOCK, 0666);
        created = fd >= 0;
    }
    FileHandle held = HeldFileMark::take(fd, Access::WRITE);
    if (!held.is_open()) return false;
    struct stat st {};
    if (fstat(held.fd(), &st) != 0) return false;
    // Another owner's file keeps its owner: it is written where it is.
    if (st.st_uid != geteuid()) return rewrite_in_place(held, target.c_str(), bytes, n);

    std::string temp = target + ".partXXXXXX";
    const int temp_fd = mkostemp(temp.data(), O_CLOEXEC);
    // A folder we may not create in still lets us write a file we may write.
    if (temp_fd < 0) return rewrite_in_place(held, target.c_str(), bytes, n);
    FileHandle out(temp_fd);
    bool ok = write_all(out, bytes, n) && fchmod(temp_fd, st.st_mode & 07777) == 0;
    out.close();
    ok = ok && rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        unlink(temp.c_str());
        if (created) unlink(target.c_str());
    }
    return ok;
}

FileReplacement::FileReplacement(const char* system_name) {
    if (!system_name || !*system_name) return;
    target_ = replacement_target(system_name);
    // The name is made here rather than by mkstemp so that a new file gets the mode
    // the umask gives (0666 less the umask), as any file the program creates.
    static std::atomic<unsigned> serial{0};
    for (int attempt = 0; attempt < 100 && !out_.is_open(); ++attempt) {
        temp_ = target_ + ".part" + std::to_string(getpid()) + "-" + std::to_string(serial++);
        const int fd = ::open(temp_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
        out_ = HeldFileMark::take(fd, Access::WRITE);
        if (fd >= 0 && !out_.is_open()) unlink(temp_.c_str());
    }
    if (!out_.is_open()) temp_.clear();
}

bool FileReplacement::write(const void* bytes, size_t n) {
    if (write_all(out_, bytes, n)) return true;
    discard();
    return false;
}

bool FileReplacement::commit() {
    if (!out_.is_open()) return false;
    // The writer's lock on the old file, as replace_file takes it: nobody may hold it.
    FileHandle old;
    const int fd = ::open(target_.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (fd >= 0 || errno != ENOENT) {
        old = HeldFileMark::take(fd, Access::WRITE);
        struct stat st {};
        if (!old.is_open() || fstat(old.fd(), &st) != 0) {
            discard();
            return false;
        }
        // The new content keeps the old file's permissions, and its owner where we may
        // give it away (otherwise it becomes ours).
        fchmod(out_.fd(), st.st_mode & 07777);
        [[maybe_unused]] const int owner_kept =
            st.st_uid == geteuid() ? 0 : fchown(out_.fd(), st.st_uid, st.st_gid);
    }
    out_.close();
    if (rename(temp_.c_str(), target_.c_str()) != 0) {
        discard();
        return false;
    }
    temp_.clear();
    return true;
}

void FileReplacement::discard() {
    out_.close();
    if (!temp_.empty()) unlink(temp_.c_str());
    temp_.clear();
}

bool delete_unheld(const char* system_name) {
    if (!system_name || !*system_name) return false;
    int fd = ::open(system_name, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        // A file we may not read can still be deleted when nobody can hold it open.
        if (errno == ENOENT) return false;
        return unlink(system_name) == 0;
    }
    if (!HeldFileMark::take(fd, Access::PROBE).is_open()) return false;
    return unlink(system_name) == 0;
}

const std::string& PrivateFolder::path(const std::string& parent) {
    if (!path_.empty() && owner_ == getpid()) return path_;
    path_ = parent.empty() ? "/tmp" : parent;
    if (path_.back() != '/') path_ += '/';
    path_ += "runtime-XXXXXX";
    // mkdtemp makes the folder with mode 0700 under a name nobody could take first.
    if (!mkdtemp(path_.data())) {
        path_.clear();
        return path_;
    }
    path_ += '/';
    owner_ = getpid();
    return path_;
}

void PrivateFolder::remove() {
    if (!path_.empty() && owner_ == getpid()) {
        std::vector<FolderEntry> entries;
        if (list_folder(path_.c_str(), entries)) {
            for (const FolderEntry& e : entries)
                if (!e.is_directory) unlink((path_ + e.name).c_str());
        }
        rmdir(path_.c_str());
    }
    path_.clear();
    owner_ = 0;
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
