// The classic-layout reader: the original line steps, byte for byte, streamed into a sink.
#pragma once

#include <string>
#include <string_view>

#include "app/classic_layout.h"
#include "app/map_entries.h"

namespace app {

// The text the map line's quoted values give, cut as the line steps cut them.
struct MapLineValues {
    bool complete = false;  // every step found its double quote
    std::string version, width, height, tile_width, tile_height;
};
MapLineValues cut_map_line(std::string_view line);
// The value the tileset line's first double-quoted value gives ("" without quotes).
std::string cut_tileset_line(std::string_view line);
// Whether a text is a whole number written with digits only.
bool is_whole_number(std::string_view text);

// Reads the map at path line by line and hands every entry to sink; a map the steps
// cannot convert soundly is refused with its reason before any entry is handed on.
// With a layout check, the first pass feeds it every line, and a file that turns out not
// to follow the classic layout is left alone: no entry, not ok, an empty reason.
ReadOutcome read_classic_layout(const std::string& path, EntrySink& sink, ClassicLayoutCheck* layout_check = nullptr);

}  // namespace app
