// Links: runtime_files
// read_line over arbitrary bytes on a real file channel, mixed with byte and block reads,
// against the line reader's 64-byte chunk steps on the same bytes in memory: the channel's
// read-ahead window must give the same lines, the same positions and the same end.
//
// Input: 3 bytes of padding length, 1 byte of operation count, the operations, the file.
// The padding (up to 140000 bytes, skipped by one block read) moves the interesting bytes
// across the channel's 64 KiB window.
#include <algorithm>
#include <cstring>
#include <string>

#include "runtime/files/file_channel_table.h"
#include "runtime/files/line_reader.h"
#include "support/fuzz_support.h"

namespace {

constexpr uint32_t PADDING_LIMIT = 140000;
constexpr uint32_t OPERATIONS_LIMIT = 8;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const uint32_t padding = fuzz::header_field(data, size, 0, 3) % (PADDING_LIMIT + 1);
    const size_t op_count = size > 3 ? data[3] % (OPERATIONS_LIMIT + 1) : 0;
    const size_t ops_at = 4;
    const size_t body_at = std::min(size, ops_at + op_count);
    std::string file(padding, 'p');
    file.append(reinterpret_cast<const char*>(data) + body_at, size - body_at);
    const std::string path = fuzz::scratch_file("channel.bin", file);

    fuzz::require(runtime::open_file_channel(0, path.c_str(), 1) == 1, "the file opens on a channel");
    const runtime::FileChannel& channel = runtime::file_channel_table().channels[0];
    runtime::MemoryLineSource model{file.data(), file.size(), 0};
    runtime::DynString text;
    char expected[runtime::LINE_LIMIT + 1];
    if (padding > 0) {
        runtime::read_bytes_text(0, padding, text);
        model.position = padding;
    }
    for (size_t step = 0; !model.at_end(); ++step) {
        const uint8_t op = body_at > ops_at ? data[ops_at + step % (body_at - ops_at)] : 0;
        const uint64_t left = file.size() - model.position;
        if (op % 4 == 1 && left >= 1) {
            double value = -1;
            runtime::read_byte(0, value);
            fuzz::require(value == static_cast<uint8_t>(file[model.position]), "read_byte gives the next byte");
            model.position += 1;
        } else if (op % 4 == 2 && left >= op / 4u + 1) {
            const uint32_t n = op / 4u + 1;
            runtime::read_bytes_text(0, n, text);
            const size_t zero = file.find('\0', model.position);
            const size_t length = std::min<size_t>(n, (zero == std::string::npos ? file.size() : zero) - model.position);
            fuzz::require(text.length == static_cast<int32_t>(length) &&
                              std::memcmp(text.text_of(), file.data() + model.position, length) == 0,
                          "a block read gives its bytes up to the first zero");
            model.position += n;
        } else {
            runtime::read_line(0, text);
            runtime::read_line_from(model, expected);
            fuzz::require(std::strcmp(text.text_of(), expected) == 0, "read_line gives the line the chunk steps give");
        }
        fuzz::require(channel.position == model.position, "the channel's position follows the chunk steps");
        fuzz::require(runtime::end_of_file(0) == (model.at_end() ? 1 : 0), "the end of the file shows when reached");
    }
    runtime::close_file_channel(0);
    return 0;
}
