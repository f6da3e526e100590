// Reading the converter's tile maps: the whole file is checked against its header before
// a cell is stored, so a damaged map changes nothing.
#include "runtime/files/tile_map.h"

#include <algorithm>
#include <fstream>

#include "runtime/core/error_log.h"
#include "runtime/files/packed_archive.h"

namespace runtime {

namespace {

struct TileSize {
    double width = 0, height = 0;
};

TileSize& last_tile_size() {
    static TileSize size;
    return size;
}

uint16_t word_at(std::span<const uint8_t> bytes, size_t index) {
    return static_cast<uint16_t>(bytes[index * 2] | bytes[index * 2 + 1] << 8);
}

// Fills the header fields of `map` from the first bytes of a file of `file_length`
// bytes; false (with the reason in map.error) when that length cannot hold the map.
bool read_header(std::span<const uint8_t> bytes, uint64_t file_length, TileMapData& map) {
    if (bytes.size() < TILE_MAP_HEADER_WORDS * 2) {
        map.error = "shorter than its " + std::to_string(TILE_MAP_HEADER_WORDS * 2) + "-byte header";
        return false;
    }
    map.width = word_at(bytes, 0);
    map.height = word_at(bytes, 1);
    map.tile_width = word_at(bytes, 2);
    map.tile_height = word_at(bytes, 3);
    map.layers = word_at(bytes, 4);
    const std::string shape =
        std::to_string(map.width) + " x " + std::to_string(map.height) + " x " + std::to_string(map.layers);
    if (map.width == 0 || map.height == 0 || map.layers == 0) {
        map.error = "a map of " + shape + " cells holds nothing";
        return false;
    }
    // At most 65535^3 cells: the product fits in 64 bits.
    const uint64_t count = static_cast<uint64_t>(map.width) * static_cast<uint64_t>(map.height) *
                           static_cast<uint64_t>(map.layers);
    if (count > TILE_MAP_CELL_LIMIT) {
        map.error =
            shape + " cells are more than the " + std::to_string(TILE_MAP_CELL_LIMIT) + " a map may have";
        return false;
    }
    const uint64_t expected = (TILE_MAP_HEADER_WORDS + count) * 2;
    if (file_length != expected) {
        map.error = shape + " cells need " + std::to_string(expected) + " bytes, the file has " +
                    std::to_string(file_length);
        return false;
    }
    return true;
}

}  // namespace

TileMapData parse_tile_map(std::span<const uint8_t> bytes) {
    TileMapData map;
    if (!read_header(bytes, bytes.size(), map)) return map;
    map.cells.resize(bytes.size() / 2 - TILE_MAP_HEADER_WORDS);
    for (size_t i = 0; i < map.cells.size(); ++i) map.cells[i] = word_at(bytes, TILE_MAP_HEADER_WORDS + i);
    return map;
}

double load_tile_map(const char* file, DynArray<double>& cells) {
    last_tile_size() = {};
    const std::string requested = file != nullptr ? file : "";
    char path[ARCHIVE_PATH_SIZE] = {};
    std::ifstream in;
    if (resolve_packed_name(requested.c_str(), path) != 0) in.open(path, std::ios::binary | std::ios::ate);
    const std::streamoff length = in ? static_cast<std::streamoff>(in.tellg()) : -1;
    if (length < 0) {
        append_error_log(("load_tile_map: cannot read \"" + requested + "\"").c_str());
        return 0;
    }
    // The header is checked against the length before the rest is read.
    std::vector<uint8_t> bytes(
        static_cast<size_t>(std::min<std::streamoff>(length, TILE_MAP_HEADER_WORDS * 2)));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    TileMapData map;
    if (in && read_header(bytes, static_cast<uint64_t>(length), map)) {
        bytes.resize(static_cast<size_t>(length));
        in.read(reinterpret_cast<char*>(bytes.data() + TILE_MAP_HEADER_WORDS * 2),
                static_cast<std::streamsize>(bytes.size() - TILE_MAP_HEADER_WORDS * 2));
        if (in)
            map = parse_tile_map(bytes);
        else
            map.error = "it cannot be read to its end";
    } else if (map.error.empty()) {
        map.error = "it cannot be read";
    }
    if (!map.error.empty()) {
        append_error_log(("load_tile_map: \"" + requested + "\" is damaged: " + map.error).c_str());
        return 0;
    }
    dimension(cells, map.width, map.height, map.layers);
    // The file's order is the array's: x fastest, then y, then the layer.
    for (size_t i = 0; i < map.cells.size(); ++i) cells.elements[i] = map.cells[i];
    last_tile_size() = {static_cast<double>(map.tile_width), static_cast<double>(map.tile_height)};
    return map.layers;
}

double load_tile_map(const DynString& file, DynArray<double>& cells) {
    return load_tile_map(file.text_of(), cells);
}

double tile_map_tile_width() { return last_tile_size().width; }

double tile_map_tile_height() { return last_tile_size().height; }

}  // namespace runtime
