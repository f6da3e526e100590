// Building packed archives: each file LZO1X-compressed at the best level, the data
// blocks, the directory and the "qvK" trailer; offsets count from the start of the
// archive, or from the end of the file for an archive appended to another file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace packer {

struct PackInput {
    std::string name;  // stored bare name, 1..255 bytes
    std::vector<uint8_t> bytes;
};

// Archives must stay below 2 GiB: their offsets are signed 32-bit.
constexpr uint64_t ARCHIVE_SIZE_LIMIT = (uint64_t{1} << 31) - 1;

// The archive's bytes. from_end: offsets negative, counted from the end of whatever
// file the archive ends up at the end of (`prefix_size` bytes precede it there).
// Empty with a reason in `error` when an input cannot be packed.
std::vector<uint8_t> build_archive(const std::vector<PackInput>& inputs, bool from_end, uint64_t prefix_size,
                                   std::string& error);
// LZO1X-999 with the unpacked size in front, as an entry's data block.
std::vector<uint8_t> pack_entry_data(const std::vector<uint8_t>& bytes);
// A name fit to be stored: 1..255 bytes, no "/" or "\", not "." or "..", no zero byte.
bool is_storable_name(const std::string& name);

}  // namespace packer
