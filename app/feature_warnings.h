// "warning:" lines for what a map holds that the ".txt"/".pyxm" pair does not carry.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/map_entries.h"

namespace app {

// A sink in front of another that counts, in the tile entries (every word entry after
// the header's five), the tiles carrying flip flags and the tile numbers above 65535.
class TileNumberCount : public EntrySink {
public:
    TileNumberCount(EntrySink& next, MapFeatures& features) : next_(next), features_(features) {}
    void add(std::string_view entry) override;
    void add_text_only(std::string_view entry) override { next_.add_text_only(entry); }

private:
    EntrySink& next_;
    MapFeatures& features_;
    uint64_t entries_ = 0;
    uint64_t words_ = 0;
};

// One line per kind of feature the outputs drop or change, with its count; a map without
// any tile layer says so. Empty for a plain orthogonal map of tile layers and one tileset.
std::vector<std::string> feature_warnings(const MapSummary& summary);

}  // namespace app
