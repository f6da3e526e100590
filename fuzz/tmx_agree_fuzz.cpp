// Links: converter
// Wherever the classic-layout test says yes, the line steps must read the map, and the
// reader by element names must give the same entries (or refuse only XML the parser
// cannot take); the test on the file and on the same bytes in memory must agree.
#include "app/classic_layout.h"
#include "app/classic_reader.h"
#include "app/tmx_reader.h"
#include "support/map_sink.h"

namespace {
constexpr std::string_view NOT_WELL_FORMED = "the file is not well-formed XML";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const bool classic_text = app::follows_classic_layout_text(text);
    const std::string path = fuzz::scratch_file("map.tmx", text);
    fuzz::require(app::follows_classic_layout(path) == classic_text, "the test gives one answer for file and bytes");

    fuzz::KeptEntries classic;
    app::ClassicLayoutCheck check;
    const app::ReadOutcome by_lines = app::read_classic_layout(path, classic, &check);
    fuzz::check_read(by_lines, classic);
    fuzz::require(check.follows() == classic_text, "the reader's own test gives the same answer");
    if (!classic_text) return 0;

    fuzz::require(by_lines.ok, "the line steps read a classic map");
    fuzz::KeptEntries names;
    const app::ReadOutcome by_names = app::read_by_element_names(path, names);
    if (!by_names.ok) {
        // The line steps never parsed XML: a classic map the XML parser rejects still
        // converts as it always did. Any other refusal would be a disagreement.
        fuzz::require(by_names.reason.rfind(NOT_WELL_FORMED, 0) == 0, "the element reader reads a classic map");
        return 0;
    }
    fuzz::require(classic.entries == names.entries, "both readers give the same entries");
    const app::MapSummary& a = by_lines.summary;
    const app::MapSummary& b = by_names.summary;
    fuzz::require(a.width == b.width && a.height == b.height && a.tile_width == b.tile_width &&
                      a.tile_height == b.tile_height && a.layers == b.layers && a.tiles == b.tiles,
                  "both readers tell the same map size, layers and tiles");
    return 0;
}
