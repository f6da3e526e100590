// Output files written through large buffers. The pair commit: the new text is exchanged
// with the old one (which waits under the temporary name), then the binary is renamed into
// place; if that fails, the exchange is undone. A folder lock keeps two converters'
// commits apart, and interruptions wait until the commit is over.
#include "app/output_writer.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "app/entry_words.h"
#include "app/interruption.h"
#include "app/previous_output.h"

namespace app {

namespace {

constexpr size_t OUTPUT_BUFFER_SIZE = size_t{1} << 20;

std::string folder_of(const std::string& path) {
    std::string folder = std::filesystem::path(path).parent_path().string();
    return folder.empty() ? "." : folder;
}

// A name beside final_path that no other writer of this or another process picks.
std::string fresh_temp_name(const std::string& final_path) {
    static std::atomic<unsigned> counter{0};
    return final_path + ".part" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
}

bool retry_on_interrupt(int result) { return result != 0 && errno == EINTR; }

// Holds an exclusive lock on the folders of both outputs (one lock when they share it).
class FolderLocks {
public:
    FolderLocks(const std::string& a, const std::string& b) {
        std::string first = folder_of(a), second = folder_of(b);
        if (second < first) std::swap(first, second);
        lock(first, fds_[0]);
        if (second != first) lock(second, fds_[1]);
    }
    ~FolderLocks() {
        for (int fd : fds_)
            if (fd >= 0) ::close(fd);  // closing drops the lock
    }
    FolderLocks(const FolderLocks&) = delete;
    FolderLocks& operator=(const FolderLocks&) = delete;

private:
    // A folder that cannot be opened for locking is written without the lock.
    static void lock(const std::string& folder, int& fd) {
        fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return;
        while (retry_on_interrupt(::flock(fd, LOCK_EX))) {
        }
    }
    int fds_[2] = {-1, -1};
};

bool exchange_supported(int error) { return error != EINVAL && error != ENOSYS && error != EOPNOTSUPP; }

}  // namespace

OutputWriter::~OutputWriter() { discard(); }

void OutputWriter::set_temp_path(Output& out, const std::string& path) {
    forget_temporary_file(out.slot);
    out.slot = path.empty() ? -1 : remember_temporary_file(path);
    out.temp_path = path;
}

bool OutputWriter::create_temporary(Output& out) {
    static const bool proc_links = ::access("/proc/self/fd", X_OK) == 0;
    if (temporaries_ == Temporaries::anonymous_where_possible && proc_links) {
        out.fd = ::open(folder_of(out.final_path).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (out.fd >= 0) return true;
    }
    std::string name = out.final_path + ".partXXXXXX";
    out.fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (out.fd < 0) return false;
    set_temp_path(out, name);
    // mkstemp gives 0600; the outputs get the ordinary permissions of a new file.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(out.fd, 0666 & ~mask);
    return true;
}

// An anonymous temporary gets a name beside its output, just before the commit.
bool OutputWriter::give_name(Output& out) {
    if (!out.temp_path.empty()) return true;
    const std::string fd_link = "/proc/self/fd/" + std::to_string(out.fd);
    for (;;) {
        const std::string name = fresh_temp_name(out.final_path);
        if (::linkat(AT_FDCWD, fd_link.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            set_temp_path(out, name);
            return true;
        }
        if (errno != EEXIST) {
            fail(out, errno);
            return false;
        }
    }
}

bool OutputWriter::begin(const std::string& text_path, const std::string& binary_path, std::string& reason) {
    discard();
    error_.clear();
    for (Output* out : {&text_, &binary_}) {
        out->final_path = out == &text_ ? text_path : binary_path;
        if (!create_temporary(*out)) {
            reason = "cannot write " + out->final_path + " (" + std::strerror(errno) + ")";
            discard();
            return false;
        }
        out->buffer.resize(OUTPUT_BUFFER_SIZE);
        out->used = 0;
    }
    return true;
}

void OutputWriter::fail(const Output& out, int error) {
    if (error_.empty()) error_ = "cannot write " + out.final_path + " (" + std::strerror(error) + ")";
}

bool OutputWriter::flush(Output& out) {
    size_t done = 0;
    while (done < out.used) {
        ssize_t n = ::write(out.fd, out.buffer.data() + done, out.used - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            fail(out, n < 0 ? errno : ENOSPC);
            out.used = 0;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    out.used = 0;
    return true;
}

void OutputWriter::add(std::string_view entry) {
    add_text_only(entry);
    if (text_.fd < 0 || !error_.empty() || !entry_has_word(entry)) return;
    if (binary_.used + 2 > binary_.buffer.size()) flush(binary_);
    uint16_t word = entry_word(entry);
    binary_.buffer[binary_.used++] = static_cast<char>(word & 0xFF);
    binary_.buffer[binary_.used++] = static_cast<char>(word >> 8);
}

void OutputWriter::add_text_only(std::string_view entry) {
    if (text_.fd < 0 || !error_.empty()) return;
    // Entries are at most a line of input long, far below the buffer size.
    if (text_.used + entry.size() + 2 > text_.buffer.size()) {
        flush(text_);
        if (entry.size() + 2 > text_.buffer.size()) text_.buffer.resize(entry.size() + 2);
    }
    std::memcpy(text_.buffer.data() + text_.used, entry.data(), entry.size());
    text_.used += entry.size();
    text_.buffer[text_.used++] = '\r';
    text_.buffer[text_.used++] = '\n';
}

// Both temporaries are named and closed. Leaves error_ empty only when both are in place.
void OutputWriter::place_pair() {
    const std::string& text_temp = text_.temp_path;
    struct stat info {};
    const bool had_text = ::lstat(text_.final_path.c_str(), &info) == 0;
    // An exchange would move a folder away instead of failing as a rename does.
    if (had_text && S_ISDIR(info.st_mode)) return fail(text_, EISDIR);
    std::string old_text;  // where the earlier text waits while the binary is placed
    bool exchanged = false;
    if (had_text && ::renameat2(AT_FDCWD, text_temp.c_str(), AT_FDCWD, text_.final_path.c_str(), RENAME_EXCHANGE) == 0) {
        exchanged = true;
        old_text = text_temp;
    } else if (had_text && exchange_supported(errno)) {
        return fail(text_, errno);
    } else if (had_text) {
        // No exchange on this file system: the earlier text steps aside under a new name.
        old_text = fresh_temp_name(text_.final_path);
        if (::rename(text_.final_path.c_str(), old_text.c_str()) != 0) return fail(text_, errno);
        if (::rename(text_temp.c_str(), text_.final_path.c_str()) != 0) {
            const int error = errno;
            ::rename(old_text.c_str(), text_.final_path.c_str());
            return fail(text_, error);
        }
    } else if (::rename(text_temp.c_str(), text_.final_path.c_str()) != 0) {
        return fail(text_, errno);
    }

    if (::rename(binary_.temp_path.c_str(), binary_.final_path.c_str()) != 0) {
        const int error = errno;
        if (exchanged) {
            ::renameat2(AT_FDCWD, text_temp.c_str(), AT_FDCWD, text_.final_path.c_str(), RENAME_EXCHANGE);
        } else if (had_text) {
            ::rename(old_text.c_str(), text_.final_path.c_str());
        } else {
            ::unlink(text_.final_path.c_str());
        }
        return fail(binary_, error);
    }
    if (!old_text.empty()) ::unlink(old_text.c_str());
    set_temp_path(text_, "");
    set_temp_path(binary_, "");
}

bool OutputWriter::commit(std::string& reason, bool replace_anything) {
    if (text_.fd < 0 || binary_.fd < 0) {
        reason = "no output was started";
        return false;
    }
    for (Output* out : {&text_, &binary_}) {
        if (error_.empty()) flush(*out);
        if (error_.empty()) give_name(*out);
        if (::close(out->fd) != 0 && error_.empty()) fail(*out, errno);
        out->fd = -1;
    }
    if (error_.empty()) {
        InterruptionHold hold;
        FolderLocks locks(text_.final_path, binary_.final_path);
        if (!replace_anything) foreign_ = app::foreign_output(text_.final_path, binary_.final_path);
        if (foreign_.empty())
            place_pair();
        else
            error_ = foreign_output_reason(foreign_);
    }
    if (!error_.empty()) {
        reason = error_;
        discard();
        return false;
    }
    text_ = Output{};
    binary_ = Output{};
    return true;
}

void OutputWriter::discard() {
    for (Output* out : {&text_, &binary_}) {
        if (out->fd >= 0) ::close(out->fd);
        if (!out->temp_path.empty()) ::unlink(out->temp_path.c_str());
        forget_temporary_file(out->slot);
        *out = Output{};
    }
}

}  // namespace app
