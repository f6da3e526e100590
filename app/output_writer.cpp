// Output files written through large buffers into "NAME.partXXXXXX" files in the target
// folder; a rename in the same folder replaces the old outputs in one step.
#include "app/output_writer.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/entry_words.h"

namespace app {

namespace {

constexpr size_t OUTPUT_BUFFER_SIZE = size_t{1} << 20;

// Creates a fresh temporary file next to final_path; -1 with errno on failure.
int create_temp(const std::string& final_path, std::string& temp_path) {
    temp_path = final_path + ".partXXXXXX";
    std::vector<char> name(temp_path.begin(), temp_path.end());
    name.push_back('\0');
    int fd = ::mkstemp(name.data());
    if (fd < 0) return -1;
    temp_path.assign(name.data());
    // mkstemp gives 0600; the outputs get the ordinary permissions of a new file.
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    ::flock(fd, LOCK_EX | LOCK_NB);
    return fd;
}

}  // namespace

OutputWriter::~OutputWriter() { discard(); }

bool OutputWriter::begin(const std::string& text_path, const std::string& binary_path, std::string& reason) {
    discard();
    error_.clear();
    for (Output* out : {&text_, &binary_}) {
        out->final_path = out == &text_ ? text_path : binary_path;
        out->fd = create_temp(out->final_path, out->temp_path);
        if (out->fd < 0) {
            reason = "cannot write " + out->final_path + " (" + std::strerror(errno) + ")";
            out->temp_path.clear();
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
    if (!entry_has_word(entry)) return;
    if (binary_.used + 2 > binary_.buffer.size()) flush(binary_);
    uint16_t word = entry_word(entry);
    binary_.buffer[binary_.used++] = static_cast<char>(word & 0xFF);
    binary_.buffer[binary_.used++] = static_cast<char>(word >> 8);
}

bool OutputWriter::commit(std::string& reason) {
    if (text_.fd < 0 || binary_.fd < 0) {
        reason = "no output was started";
        return false;
    }
    for (Output* out : {&text_, &binary_}) {
        if (error_.empty()) flush(*out);
        if (::close(out->fd) != 0 && error_.empty()) fail(*out, errno);
        out->fd = -1;
    }
    if (error_.empty()) {
        for (Output* out : {&text_, &binary_}) {
            if (::rename(out->temp_path.c_str(), out->final_path.c_str()) != 0) {
                fail(*out, errno);
                break;
            }
            out->temp_path.clear();
        }
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
        *out = Output{};
    }
}

}  // namespace app
