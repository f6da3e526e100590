// Files and folders, implemented on POSIX (posix/file_system.cpp): opens guarded by flock
// (readers share with the readers of other programs, writers share with nobody), whole
// reads and writes, replacing a file's content, the current folder and folder listings.
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

// An owned file descriptor holding a flock; closed by the destructor. A handle from
// the open functions below also marks its file as held by this program.
class FileHandle {
public:
    FileHandle() = default;
    explicit FileHandle(int fd) : fd_(fd) {}
    FileHandle(FileHandle&& other) noexcept;
    FileHandle& operator=(FileHandle&& other) noexcept;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() { close(); }

    bool is_open() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    void close();

private:
    friend class HeldFileMark;
    int fd_ = -1;
    bool marked_ = false;
    uint64_t device_ = 0, inode_ = 0;
};

// Opens an existing regular file for reading. Other programs may read it at the same
// time; a writer anywhere, or any open of it inside this program, makes the open fail.
// Closed handle when the file is missing, a folder, or held.
FileHandle open_for_reading(const char* system_name);
// Opens or creates a file for reading and writing with nobody else, and empties it
// only once that lock is held; a held file is left untouched.
FileHandle create_exclusive(const char* system_name);
// Creates a new file for reading and writing, with nobody else; fails when the name
// exists already, even as a link, so it never opens what someone else put there.
FileHandle create_new(const char* system_name);
// Replaces a file's whole content: takes the writer's lock on it first, writes a
// temporary file beside it and renames that into place, so the file is never seen
// partly written. False, and the file as it was, when it is held or the write fails.
bool replace_file(const char* system_name, const void* bytes, size_t n);
// A file's new content written as a stream (a download, say): into a temporary file
// beside it, which takes the file's place only at commit(). A failure at any point, or
// no commit, leaves the file as it was and removes the temporary file.
class FileReplacement {
public:
    // Creates the temporary file beside `system_name` (beside the file a link names);
    // is_open() is false when it cannot be made.
    explicit FileReplacement(const char* system_name);
    ~FileReplacement() { discard(); }
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    bool is_open() const { return out_.is_open(); }
    // Appends bytes; on failure (a full disk) the temporary file goes at once and false.
    bool write(const void* bytes, size_t n);
    // Puts the new content in place, keeping the old file's permissions; false (the
    // file as it was) when it is held here or by another program, or the rename fails.
    bool commit();
    // Drops what was written.
    void discard();

private:
    std::string target_, temp_;
    FileHandle out_;
};
// Deletes a file unless it is held (here or by another program); false when nothing
// was deleted.
bool delete_unheld(const char* system_name);

// A folder of this process's own for temporary files: made on first use with a fresh
// unguessable name and mode 0700, so no other user can plant or read files in it. A
// forked child makes its own instead of sharing its parent's.
class PrivateFolder {
public:
    // The folder ("/"-terminated), made inside `parent` when there is none yet;
    // empty when it cannot be made.
    const std::string& path(const std::string& parent);
    // Deletes the files inside and the folder; only the process that made it does.
    void remove();

private:
    std::string path_;
    int owner_ = 0;
};

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
