// Parsing and unpacking of the packed archive; every offset and length taken from the
// file is checked against the file's real size before anything is read or allocated.
#include "runtime/files/archive_format.h"

#include <cstring>
#include <lzo/lzo1x.h>

namespace runtime {

namespace {

int32_t read_i32(const uint8_t* p) {
    uint32_t v = uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
    return static_cast<int32_t>(v);
}

uint32_t read_u32(const uint8_t* p) { return static_cast<uint32_t>(read_i32(p)); }

char lower_ascii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool equal_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lower_ascii(a[i]) != lower_ascii(b[i])) return false;
    return true;
}

// Resolves a stored offset (from the end of the file when the archive counts from there).
bool absolute_offset(int64_t stored, bool from_end, uint64_t size, uint64_t& out) {
    int64_t at = from_end ? static_cast<int64_t>(size) + stored : stored;
    if (at < 0 || static_cast<uint64_t>(at) > size) return false;
    out = static_cast<uint64_t>(at);
    return true;
}

}  // namespace

bool MemoryArchiveSource::read_at(uint64_t offset, void* into, size_t n) {
    if (offset > size_ || n > size_ - offset) return false;
    if (n) std::memcpy(into, data_ + offset, n);
    return true;
}

std::string_view bare_file_name(std::string_view requested) {
    size_t cut = requested.find_last_of("/\\");
    return cut == std::string_view::npos ? requested : requested.substr(cut + 1);
}

ArchiveStatus read_archive_trailer(ArchiveSource& source, uint64_t& directory_start, bool& from_end) {
    uint64_t size = source.size();
    uint8_t trailer[ARCHIVE_TRAILER_SIZE];
    if (size < ARCHIVE_TRAILER_SIZE || !source.read_at(size - ARCHIVE_TRAILER_SIZE, trailer, sizeof trailer))
        return ArchiveStatus::BAD_TRAILER;
    if (std::memcmp(trailer, ARCHIVE_MAGIC, sizeof ARCHIVE_MAGIC) != 0) return ArchiveStatus::BAD_TRAILER;
    int32_t d = read_i32(trailer + 3);
    from_end = d < 0;
    if (!absolute_offset(d, from_end, size, directory_start)) return ArchiveStatus::DAMAGED;
    return ArchiveStatus::FOUND;
}

ArchiveStatus walk_archive_directory(ArchiveSource& source,
                                     const std::function<bool(const ArchiveEntry&)>& visit) {
    uint64_t at = 0;
    bool from_end = false;
    ArchiveStatus trailer = read_archive_trailer(source, at, from_end);
    if (trailer != ArchiveStatus::FOUND) return trailer;
    ArchiveEntry entry;
    for (;;) {
        uint8_t length = 0;
        if (!source.read_at(at, &length, 1)) return ArchiveStatus::DAMAGED;
        if (length == 0) return ArchiveStatus::NOT_FOUND;
        entry.name.resize(length);
        uint8_t numbers[8];
        if (!source.read_at(at + 1, entry.name.data(), length) || !source.read_at(at + 1 + length, numbers, 8))
            return ArchiveStatus::DAMAGED;
        at += 1u + length + 8u;
        entry.data_offset = read_i32(numbers);
        entry.packed_size = read_i32(numbers + 4);
        entry.data_start = 0;
        // The entry's bytes must lie wholly inside the file and hold the unpacked size.
        entry.data_inside = entry.packed_size >= 4 &&
                            absolute_offset(entry.data_offset, from_end, source.size(), entry.data_start) &&
                            static_cast<uint64_t>(entry.packed_size) <= source.size() - entry.data_start;
        if (!visit(entry)) return ArchiveStatus::FOUND;
    }
}

ArchiveStatus find_archive_entry(ArchiveSource& source, std::string_view requested, ArchiveEntry& found) {
    std::string_view bare = bare_file_name(requested);
    bool hit = false;
    ArchiveStatus status = walk_archive_directory(source, [&](const ArchiveEntry& e) {
        if (!equal_ignoring_case(e.name, bare)) return true;
        found = e;
        hit = true;
        return false;
    });
    if (!hit) return status;
    return found.data_inside ? ArchiveStatus::FOUND : ArchiveStatus::DAMAGED;
}

bool unpack_archive_entry(const uint8_t* packed, size_t packed_size, std::vector<uint8_t>& out) {
    out.clear();
    if (packed_size < 4) return false;
    static const bool lzo_ready = lzo_init() == LZO_E_OK;
    if (!lzo_ready) return false;
    uint64_t unpacked = read_u32(packed);
    uint64_t stream = packed_size - 4;
    // LZO1X turns one byte of stream into at most 255 bytes of data; more is damage.
    if (unpacked > ARCHIVE_UNPACKED_LIMIT || unpacked > stream * 256 + 256) return false;
    out.resize(static_cast<size_t>(unpacked));
    lzo_uint out_length = static_cast<lzo_uint>(unpacked);
    int rc = lzo1x_decompress_safe(packed + 4, static_cast<lzo_uint>(stream), out.data(), &out_length, nullptr);
    if (rc != LZO_E_OK || out_length != unpacked) {
        out.clear();
        return false;
    }
    return true;
}

}  // namespace runtime
