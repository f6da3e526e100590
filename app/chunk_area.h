// Infinite maps: the chunks of every tile layer, the bounding rectangle they cover (the
// used area), and each layer's cells laid out row by row over that rectangle.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/layer_decoder.h"

namespace app {

// Chunk offsets beyond this many tiles from the origin are refused (the editor uses 32-bit
// positions); it keeps every sum of offsets and sizes far inside 64 bits.
constexpr int64_t CHUNK_OFFSET_LIMIT = int64_t{1} << 31;
// Cells of one layer's chunks held at once while it is laid out (4 bytes each).
constexpr uint64_t CHUNK_CELLS_LIMIT = uint64_t{1} << 28;

struct Chunk {
    int64_t x = 0, y = 0;           // in tiles, may be negative
    uint64_t width = 0, height = 0;
    std::vector<uint32_t> cells;    // width x height, row by row
};

// The rectangle over all chunks of all tile layers.
class UsedArea {
public:
    void add(const Chunk& chunk);
    bool empty() const { return empty_; }
    int64_t x() const { return left_; }
    int64_t y() const { return top_; }
    uint64_t width() const { return static_cast<uint64_t>(right_ - left_); }
    uint64_t height() const { return static_cast<uint64_t>(bottom_ - top_); }
    // "infinite map: converted over its used area from (X, Y), W x H".
    std::string description() const;

private:
    bool empty_ = true;
    int64_t left_ = 0, top_ = 0, right_ = 0, bottom_ = 0;
};

// Parses a chunk's offset or size written in decimal; false when it is not a whole number,
// is negative where a size is meant, or lies beyond the limits above.
bool parse_chunk_offset(std::string_view text, int64_t& value);
bool parse_chunk_size(std::string_view text, uint64_t& value);
// Whether the values themselves are within those limits (sizes 1 to 65535).
bool chunk_offset_in_range(int64_t value);
bool chunk_size_in_range(uint64_t value);

// Hands one layer's cells to the receiver row by row over the area: cells no chunk covers
// are 0; where chunks overlap, the later one in the file wins.
void lay_out_chunks(const std::vector<Chunk>& chunks, const UsedArea& area, CellReceiver& receiver);

}  // namespace app
