// Tile maps as the converter writes them (".pyxm": 16-bit little-endian words: width,
// height, tile width, tile height, layer count, then every cell's tile number, layer by
// layer, row by row), read into a three-dimensional number array.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "runtime/core/dyn_array.h"
#include "runtime/core/dyn_string.h"

namespace runtime {

// Reads the map into `cells`, dimensioned width x height x layers: element(cells, x, y,
// layer) is the tile number of that cell, 0 for none. The number of layers; 0 (cells
// left as they were, an error-log line) for a missing file or one whose sizes do not
// match its length. The file name goes through the packed-file lookup.
double load_tile_map(const DynString& file, DynArray<double>& cells);
double load_tile_map(const char* file, DynArray<double>& cells);
// Tile width and height in pixels of the map last loaded; 0 after a failed load.
double tile_map_tile_width();
double tile_map_tile_height();

// The byte parser behind load_tile_map: a header and the cells, or a reason.
struct TileMapData {
    int width = 0, height = 0, tile_width = 0, tile_height = 0, layers = 0;
    std::vector<uint16_t> cells;  // width * height * layers, first index fastest
    std::string error;            // empty when the bytes are a tile map
};
TileMapData parse_tile_map(std::span<const uint8_t> bytes);

// Words before the cells.
constexpr size_t TILE_MAP_HEADER_WORDS = 5;
// The most cells a map may have (4096 x 4096 x 1): a 32 MiB file, 128 MiB of numbers.
constexpr uint64_t TILE_MAP_CELL_LIMIT = 4096 * 4096;

}  // namespace runtime
