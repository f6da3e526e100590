// A private temporary folder per test, removed with everything in it afterwards.
#pragma once

#include <filesystem>
#include <string>

namespace test_support {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Full path of a file inside the folder, as a string with "/".
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// Writes bytes to a file, replacing it; returns false on failure.
bool write_file(const std::string& path, const std::string& bytes);
// Reads a whole file; empty when it cannot be read.
std::string read_file(const std::string& path);

}  // namespace test_support
