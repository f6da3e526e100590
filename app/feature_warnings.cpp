#include "app/feature_warnings.h"

#include <cmath>

#include "app/entry_words.h"

namespace app {

namespace {

constexpr uint64_t HEADER_WORDS = 5;         // width, height, tile width, tile height, layer count
constexpr uint64_t FLAG_BITS = 0xF0000000u;  // flips, diagonal flip, hexagonal rotation
constexpr uint64_t LARGEST_WORD = 65535;

std::string counted(int64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

void TileNumberCount::add(std::string_view entry) {
    // The map's first line is no tile whatever it holds.
    if (entries_++ != 0 && entry_has_word(entry) && words_++ >= HEADER_WORDS) {
        const double number = entry_number(entry);
        if (std::isfinite(number) && number >= 0) {
            const double whole = std::trunc(number);
            const uint64_t gid = whole < 18446744073709551616.0 ? static_cast<uint64_t>(whole) : UINT64_MAX;
            const bool flagged = gid <= UINT32_MAX && (gid & FLAG_BITS) != 0;
            if (flagged) ++features_.flipped_tiles;
            if ((flagged ? gid & ~FLAG_BITS : gid) > LARGEST_WORD) ++features_.large_tiles;
        }
    }
    next_.add(entry);
}

std::vector<std::string> feature_warnings(const MapSummary& summary) {
    const MapFeatures& f = summary.features;
    std::vector<std::string> lines;
    if (summary.layers == 0) lines.push_back("the map has no tile layer: the outputs hold its header only");
    if (f.objects > 0 || f.object_layers > 0) {
        lines.push_back(counted(f.objects, "object", "objects") + " in " +
                        counted(f.object_layers, "object layer", "object layers") + " not converted");
    }
    if (f.image_layers > 0)
        lines.push_back(counted(f.image_layers, "image layer", "image layers") + " not converted");
    if (f.layers_with_properties > 0) {
        lines.push_back(counted(f.layers_with_properties, "layer has", "layers have") +
                        " properties, not converted");
    }
    if (f.hidden_layers > 0) {
        lines.push_back(counted(f.hidden_layers, "hidden layer", "hidden layers") +
                        ": the outputs do not say so (hidden tile layers are converted like visible ones)");
    }
    if (!f.orientation.empty() && f.orientation != "orthogonal") {
        lines.push_back("the map is " + f.orientation +
                        ", which the outputs do not say (they read as orthogonal)");
    }
    if (f.flipped_tiles > 0) {
        lines.push_back(counted(f.flipped_tiles, "tile carries", "tiles carry") +
                        " flip flags: kept in the .txt, dropped in the .pyxm");
    }
    if (f.large_tiles > 0) {
        lines.push_back(counted(f.large_tiles, "tile number is", "tile numbers are") +
                        " above 65535: the .pyxm keeps only the low 16 bits");
    }
    if (f.tilesets > 1) {
        lines.push_back(counted(f.tilesets, "tileset", "tilesets") +
                        ": the outputs carry only the first one's first tile number");
    }
    return lines;
}

}  // namespace app
