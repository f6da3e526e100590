// The layout works one row of the area at a time, so memory is the chunks' cells and one
// row, never the whole rectangle (which may be 65535 x 65535 for two distant chunks).
#include "app/chunk_area.h"

#include <algorithm>
#include <charconv>

namespace app {

namespace {
constexpr uint64_t LARGEST_SIZE = 65535;
}

void UsedArea::add(const Chunk& chunk) {
    const int64_t right = chunk.x + static_cast<int64_t>(chunk.width);
    const int64_t bottom = chunk.y + static_cast<int64_t>(chunk.height);
    if (empty_) {
        left_ = chunk.x, top_ = chunk.y, right_ = right, bottom_ = bottom;
        empty_ = false;
        return;
    }
    left_ = std::min(left_, chunk.x);
    top_ = std::min(top_, chunk.y);
    right_ = std::max(right_, right);
    bottom_ = std::max(bottom_, bottom);
}

std::string UsedArea::description() const {
    return "infinite map: converted over its used area from (" + std::to_string(left_) + ", " + std::to_string(top_) +
           "), " + std::to_string(width()) + " x " + std::to_string(height());
}

bool chunk_offset_in_range(int64_t value) { return value > -CHUNK_OFFSET_LIMIT && value < CHUNK_OFFSET_LIMIT; }
bool chunk_size_in_range(uint64_t value) { return value >= 1 && value <= LARGEST_SIZE; }

bool parse_chunk_offset(std::string_view text, int64_t& value) {
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return result.ec == std::errc() && result.ptr == end && chunk_offset_in_range(value);
}

bool parse_chunk_size(std::string_view text, uint64_t& value) {
    if (text.empty() || text[0] == '-' || text[0] == '+') return false;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return result.ec == std::errc() && result.ptr == end && chunk_size_in_range(value);
}

void lay_out_chunks(const std::vector<Chunk>& chunks, const UsedArea& area, CellReceiver& receiver) {
    // Chunks in the order their rows start; the active ones are kept in file order.
    std::vector<size_t> by_top(chunks.size());
    for (size_t i = 0; i < chunks.size(); ++i) by_top[i] = i;
    std::stable_sort(by_top.begin(), by_top.end(), [&](size_t a, size_t b) { return chunks[a].y < chunks[b].y; });
    std::vector<size_t> active;
    std::vector<uint32_t> row(area.width());
    size_t next = 0;
    for (int64_t y = area.y(); y < area.y() + static_cast<int64_t>(area.height()); ++y) {
        bool changed = false;
        for (; next < by_top.size() && chunks[by_top[next]].y == y; ++next, changed = true) active.push_back(by_top[next]);
        const auto ended = [&](size_t i) { return y >= chunks[i].y + static_cast<int64_t>(chunks[i].height); };
        active.erase(std::remove_if(active.begin(), active.end(), ended), active.end());
        if (changed) std::sort(active.begin(), active.end());
        std::fill(row.begin(), row.end(), 0u);
        for (size_t i : active) {
            const Chunk& chunk = chunks[i];
            const uint64_t from = static_cast<uint64_t>(y - chunk.y) * chunk.width;
            std::copy_n(chunk.cells.begin() + static_cast<std::ptrdiff_t>(from), chunk.width,
                        row.begin() + (chunk.x - area.x()));
        }
        for (uint32_t cell : row) receiver.cell(cell);
    }
}

}  // namespace app
