// The records behind the file channels: one per channel, with its open file and its
// read-ahead window. The channel commands are in file_channels.h.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/files/file_channels.h"
#include "runtime/platform/files.h"

namespace runtime {

// Bytes each reading channel keeps ahead of the application's reads.
constexpr uint32_t CHANNEL_BUFFER_SIZE = 64 * 1024;

struct FileChannel {
    platform::FileHandle handle;
    uint32_t size = 0;      // file size taken at opening for reading; 0 when writing
    uint32_t position = 0;  // bytes consumed by the reads
    bool for_writing = false;
    std::string name;  // as the application gave it, for the error-stop messages
    // Read-ahead: where the next read starts, and the window of file bytes kept.
    uint64_t offset = 0;
    uint64_t file_length = 0;  // the full size, beyond 32 bits too
    std::vector<char> buffer;
    uint64_t buffer_start = 0;
    uint32_t buffer_length = 0;
    bool buffer_at_end = false;  // the window reaches the end of the file
};

struct FileChannelTable {
    std::array<FileChannel, CHANNEL_COUNT> channels;
};
FileChannelTable& file_channel_table();

}  // namespace runtime
