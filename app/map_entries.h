// What a map reader hands on: the entries of the outputs, one at a time, in output order.
// Every entry is one line of the ".txt" output; an entry without "<" also gives one
// 16-bit word of the ".pyxm" output (the low 16 bits of its integer value).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace app {

class EntrySink {
public:
    virtual ~EntrySink() = default;
    // One entry, without its line end.
    virtual void add(std::string_view entry) = 0;
    // An entry of the text alone, whatever it holds (a JSON map's first line has no "<");
    // sinks that write words override it.
    virtual void add_text_only(std::string_view entry) { add(entry); }
};

// What a map holds that the outputs do not carry, counted by the readers (the tile
// numbers' flags and sizes are counted from the entries, see feature_warnings.h).
struct MapFeatures {
    std::string orientation;  // as the map names it; empty when it does not
    int64_t tilesets = 0;
    int64_t object_layers = 0, objects = 0;
    int64_t image_layers = 0;
    int64_t layers_with_properties = 0;
    int64_t hidden_layers = 0;
    int64_t flipped_tiles = 0;  // tiles carrying the editor's flip flags
    int64_t large_tiles = 0;    // tile numbers above 65535, flags aside
};

// What a reader tells about the map it read, for the report and the command line.
struct MapSummary {
    std::string reader;           // "classic layout" or "read by element names"
    int64_t width = 0, height = 0;
    int64_t tile_width = 0, tile_height = 0;
    int64_t layers = 0;           // tile layers counted
    int64_t tiles = 0;            // tile entries written
    std::vector<std::string> warnings;  // one line each, e.g. a layer whose tiles were not converted
    std::string area_note;        // for an infinite map: where its used area starts, and its size
    MapFeatures features;
};

// The summary's figures, all at once.
inline void fill_summary(MapSummary& summary, uint64_t width, uint64_t height, uint64_t tile_width, uint64_t tile_height,
                         uint64_t layers, uint64_t tiles, std::string area_note) {
    summary.width = static_cast<int64_t>(width);
    summary.height = static_cast<int64_t>(height);
    summary.tile_width = static_cast<int64_t>(tile_width);
    summary.tile_height = static_cast<int64_t>(tile_height);
    summary.layers = static_cast<int64_t>(layers);
    summary.tiles = static_cast<int64_t>(tiles);
    summary.area_note = std::move(area_note);
}

// The outcome of reading one map: ok, or refused with a reason for "Cannot convert NAME: REASON".
struct ReadOutcome {
    bool ok = false;
    std::string reason;
    MapSummary summary;
};

}  // namespace app
