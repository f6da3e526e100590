// Files and folders on POSIX: exclusive ("no sharing") opens through flock, whole
// reads and writes, the current folder and folder listings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace runtime::platform {

// Work area for names handed to the system; a name must be shorter than this.
constexpr size_t NAME_BUFFER_SIZE = 1024;

// Copies name into out with every "\" turned into "/"; false (out empty) when the
// name has NAME_BUFFER_SIZE bytes or more.
bool to_system_name(const char* name, char (&out)[NAME_BUFFER_SIZE]);

// An owned file descriptor holding an exclusive flock; closed by the destructor.
class FileHandle {
public:
    FileHandle() = default;
    explicit FileHandle(int fd) : fd_(fd) {}
    FileHandle(FileHandle&& other) noexcept : fd_(other.release()) {}
    FileHandle& operator=(FileHandle&& other) noexcept;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() { close(); }

    bool is_open() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    int release();
    void close();

private:
    int fd_ = -1;
};

// Opens an existing regular file for reading, exclusively; closed handle when it is
// missing, a folder, or held by another opener.
FileHandle open_exclusive_read(const char* system_name);
// Opens or creates a file for reading and writing, exclusively, and empties it once
// the lock is held; a file held by another opener is left untouched.
FileHandle create_exclusive(const char* system_name);
// Deletes a file unless another opener holds it; false when nothing was deleted.
bool delete_unheld(const char* system_name);

// Size of the open file in bytes; -1 on failure.
int64_t file_length(const FileHandle& file);
// Reads up to n bytes at offset, retrying short reads until the end of the file;
// the bytes read, or -1 on failure.
int64_t read_at(const FileHandle& file, void* into, size_t n, uint64_t offset);
// Reads up to n bytes at the current file position; bytes read or -1.
int64_t read_some(const FileHandle& file, void* into, size_t n);
// Writes all n bytes at the current file position; false when not all were written.
bool write_all(const FileHandle& file, const void* bytes, size_t n);
// Moves the file position; false on failure.
bool seek_to(const FileHandle& file, uint64_t offset);

// The current folder as the system reports it (no trailing "/" added); empty on failure.
std::string current_folder();
bool change_folder(const char* system_name);

struct FolderEntry {
    std::string name;
    bool is_directory = false;
};
// Every entry of a folder, "." and ".." included, in the order the system gives them.
bool list_folder(const char* system_name, std::vector<FolderEntry>& entries);

}  // namespace runtime::platform
