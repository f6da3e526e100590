// The packed archive's byte layout: a 7-byte trailer ("qvK" + signed 32-bit directory
// offset) at the end of the file, a directory of (name length, name, data offset,
// packed size) entries ended by a zero length, and entries of (unpacked size, LZO1X
// stream). The parsers read through a bounds-checked source, so memory buffers and
// damaged files alike are safe to hand them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace runtime {

constexpr char ARCHIVE_MAGIC[3] = {'q', 'v', 'K'};
constexpr uint32_t ARCHIVE_TRAILER_SIZE = 7;
constexpr uint32_t ARCHIVE_ENTRY_FIXED_SIZE = 9;  // length byte + two 32-bit numbers
// No entry may claim to unpack to more than this (or than its stream can produce).
constexpr uint64_t ARCHIVE_UNPACKED_LIMIT = uint64_t{1} << 30;

// Random access to the archive's bytes; read_at gives false unless all n bytes came.
class ArchiveSource {
public:
    virtual ~ArchiveSource() = default;
    virtual uint64_t size() const = 0;
    virtual bool read_at(uint64_t offset, void* into, size_t n) = 0;
};

class MemoryArchiveSource : public ArchiveSource {
public:
    MemoryArchiveSource(const void* data, size_t size) : data_(static_cast<const uint8_t*>(data)), size_(size) {}
    uint64_t size() const override { return size_; }
    bool read_at(uint64_t offset, void* into, size_t n) override;

private:
    const uint8_t* data_;
    size_t size_;
};

enum class ArchiveStatus {
    FOUND,        // the entry is located and its bytes lie inside the file
    NOT_FOUND,    // the directory ended without a match
    BAD_TRAILER,  // no "qvK" trailer (or the file is shorter than one)
    DAMAGED,      // an offset, size or name runs outside the file
};

struct ArchiveEntry {
    std::string name;
    int32_t data_offset = 0;  // as stored
    int32_t packed_size = 0;  // as stored
    uint64_t data_start = 0;  // absolute position of the entry's bytes in the file
    bool data_inside = false; // the bytes lie wholly inside the file (4 at least)
};

// Reads the trailer: the absolute directory start, or BAD_TRAILER / DAMAGED.
ArchiveStatus read_archive_trailer(ArchiveSource& source, uint64_t& directory_start, bool& from_end);
// Walks the directory, calling visit for each entry until it returns false (FOUND);
// NOT_FOUND at the closing entry, DAMAGED when the directory runs outside the file.
ArchiveStatus walk_archive_directory(ArchiveSource& source,
                                     const std::function<bool(const ArchiveEntry&)>& visit);
// The first entry whose name equals the last component of `requested` (after the last
// "/" or "\"), ignoring ASCII letter case.
ArchiveStatus find_archive_entry(ArchiveSource& source, std::string_view requested, ArchiveEntry& found);
// Unpacks an entry's bytes (32-bit unpacked size + LZO1X stream) with the bounds-checked
// decompressor; false (out empty) when the stream is damaged or claims an unreasonable size.
bool unpack_archive_entry(const uint8_t* packed, size_t packed_size, std::vector<uint8_t>& out);
// The last path component of a requested name.
std::string_view bare_file_name(std::string_view requested);

}  // namespace runtime
