// File channels 0 to 7: open a file for reading or writing and move bytes, numbers
// and text lines through it, little-endian on any host. Every failure other than
// opening is an error stop (3: cannot transfer / not open, 7: bad channel).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "runtime/core/dyn_string.h"
#include "runtime/platform/files.h"

namespace runtime {

constexpr int CHANNEL_COUNT = 8;
// Bytes each reading channel keeps ahead of the application's reads.
constexpr uint32_t CHANNEL_BUFFER_SIZE = 64 * 1024;

struct FileChannel {
    platform::FileHandle handle;
    uint32_t size = 0;      // file size taken at opening for reading; 0 when writing
    uint32_t position = 0;  // bytes consumed by the reads
    bool for_writing = false;
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

// 1 when the file is open on the channel, else 0. mode != 0: read an existing file;
// mode 0: create the file anew (emptied) for writing. Inside this program both hold
// the file exclusively; other programs may read alongside a reader, never a writer.
double open_file_channel(double channel, const DynString& name, double mode);
double open_file_channel(double channel, const char* name, double mode);
// Closes the channel (a closed one too); 0.
double close_file_channel(double channel);
// 1 when every byte has been read (also for closed and writing channels), else 0.
double end_of_file(double channel);

void read_byte(double channel, double& value);
void read_word(double channel, double& value);
void read_long(double channel, double& value);
void read_double(double channel, double& value);
// Exactly count bytes; the text ends at the first zero among them. count <= 0: "".
void read_bytes_text(double channel, double count, DynString& text);
// The next line without its line end (at most 1024 bytes; a longer line continues
// in the next call).
void read_line(double channel, DynString& text);
// read_line, then text_to_number of the line.
void read_line_number(double channel, double& value);

void write_byte(double channel, double value);
void write_word(double channel, double value);
void write_long(double channel, double value);
void write_double(double channel, double value);
// The string's bytes, no terminator, no line end.
void write_text(double channel, const DynString& text);
// The string's bytes and CR LF in one write.
void write_line(double channel, const DynString& text);
void write_line_number(double channel, double value);

// Closes every open channel, from 7 down to 0 (the exit clean-up does this).
void close_all_file_channels();

}  // namespace runtime
