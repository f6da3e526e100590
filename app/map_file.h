// Opening a map for reading: never blocks on a FIFO or device, takes only regular files,
// and shares the file with every other reader (a shared lock conflicts only with writers).
#pragma once

#include <cstdint>
#include <string>

namespace app {

class MapFile {
public:
    MapFile() = default;
    ~MapFile() { close(); }
    MapFile(const MapFile&) = delete;
    MapFile& operator=(const MapFile&) = delete;

    // Opens path for reading; false with the reason of a refusal ("it is not a regular
    // file", "the file is in use by another program", ...).
    bool open(const std::string& path, std::string& reason);
    void close();
    int fd() const { return fd_; }
    // The size at opening: bytes beyond it are never read.
    uint64_t size() const { return size_; }
    // The first bytes of the file (at most limit); false with a reason when it cannot be read.
    bool read_start(size_t limit, std::string& bytes, std::string& reason) const;

private:
    int fd_ = -1;
    uint64_t size_ = 0;
};

}  // namespace app
