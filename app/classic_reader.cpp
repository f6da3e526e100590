// The classic line steps: the first line as read, the map line's values, the tileset's
// first gid, the count of "</data>" lines, then the markers and gid lines of the body up
// to the "</map>" line. Two passes over the file: the count comes before the body.
#include "app/classic_reader.h"

#include <cstdint>
#include <string>

#include "app/line_reader.h"

namespace app {

namespace {

constexpr size_t QUOTE_SKIP_KEEP = 255;  // a skip past a quote keeps at most this much
constexpr char QUOTE = '"';

bool contains(std::string_view text, std::string_view needle) { return text.find(needle) != std::string_view::npos; }

// The double-quote cutting steps on a work line, remembering whether a quote was missing.
struct QuoteCutter {
    std::string_view work;
    bool missing = false;

    // work = mid_text(work, find(work, q) + 1, 255)
    void skip() {
        size_t q = work.find(QUOTE);
        size_t start = 0;
        if (q == std::string_view::npos) missing = true;
        else start = q + 1;
        work = work.substr(start, QUOTE_SKIP_KEEP);
    }
    // mid_text(work, 0, find(work, q))
    std::string take() {
        size_t q = work.find(QUOTE);
        if (q == std::string_view::npos) {
            missing = true;
            return std::string();
        }
        return std::string(work.substr(0, q));
    }
};

// Every occurrence removed, searching on at the place of each removal.
void remove_all(std::string& text, std::string_view needle) {
    size_t p = 0;
    while ((p = text.find(needle, p)) != std::string::npos) text.erase(p, needle.size());
}

void remove_char(std::string& text, char c) {
    size_t out = 0;
    for (char b : text)
        if (b != c) text[out++] = b;
    text.resize(out);
}

int64_t whole_value(std::string_view digits) {
    int64_t value = 0;
    for (char c : digits) {
        if (value > (INT64_MAX - 9) / 10) return INT64_MAX;
        value = value * 10 + (c - '0');
    }
    return value;
}

// The value of name="..." in a line, for naming a layer in a warning.
std::string attribute_value(std::string_view line, std::string_view name) {
    std::string key(" ");
    key.append(name).append("=\"");
    size_t at = line.find(key);
    if (at == std::string_view::npos) return std::string();
    size_t start = at + key.size();
    size_t end = line.find(QUOTE, start);
    if (end == std::string_view::npos) return std::string();
    return std::string(line.substr(start, end - start));
}

// What the first pass learns.
// What the outputs will not carry, seen in the lines the steps skip: an element is known by
// its opening on a line, as the writer puts one element on each line.
class ClassicFeatureCount {
public:
    explicit ClassicFeatureCount(MapFeatures& features) : f_(features) {}
    void add_skipped_line(std::string_view line) {
        const bool object_layer = contains(line, "<objectgroup");
        const bool layer = object_layer || contains(line, "<layer") || contains(line, "<imagelayer") ||
                           contains(line, "<group");
        if (layer) {
            in_layer_ = true;
            if (contains(line, "visible=\"0\"")) ++f_.hidden_layers;
            if (object_layer) ++f_.object_layers;
            if (contains(line, "<imagelayer")) ++f_.image_layers;
        } else if (contains(line, "<object ") || contains(line, "<object>") || contains(line, "<object/")) {
            ++f_.objects;
            in_layer_ = false;  // properties from here on are the object's
        } else if (contains(line, "<properties") && in_layer_) {
            ++f_.layers_with_properties;
            in_layer_ = false;
        } else if (contains(line, "<tileset") || contains(line, "<data")) {
            in_layer_ = false;
        }
    }

private:
    MapFeatures& f_;
    bool in_layer_ = false;  // a layer opened, and neither its data nor an object began since
};

struct FirstPass {
    uint64_t lines = 0;
    int64_t tilesets = 0;
    uint64_t data_end_lines = 0;  // lines holding "</data>": the layer count
    bool map_end_found = false;   // a "</map>" line where the body looks for it
    std::string first, map, tileset;
};

}  // namespace

MapLineValues cut_map_line(std::string_view line) {
    QuoteCutter cut{line};
    MapLineValues values;
    cut.skip();
    values.version = cut.take();
    for (int i = 0; i < 4; ++i) cut.skip();
    values.width = cut.take();
    std::string* rest[] = {&values.height, &values.tile_width, &values.tile_height};
    for (std::string* value : rest) {
        cut.skip();
        cut.skip();
        *value = cut.take();
    }
    values.complete = !cut.missing;
    return values;
}

std::string cut_tileset_line(std::string_view line) {
    QuoteCutter cut{line};
    cut.skip();
    return cut.take();
}

bool is_whole_number(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

ReadOutcome read_classic_layout(const std::string& path, EntrySink& sink, ClassicLayoutCheck* layout_check) {
    ReadOutcome outcome;
    outcome.summary.reader = "classic layout";
    LineReader reader;
    if (!reader.open(path, outcome.reason)) return outcome;

    FirstPass first;
    std::string_view line;
    while (reader.next(line)) {
        if (first.lines == 0) first.first.assign(line);
        else if (first.lines == 1) first.map.assign(line);
        else if (first.lines == 2) first.tileset.assign(line);
        if (contains(line, "</data>")) ++first.data_end_lines;
        if (contains(line, "<tileset")) ++first.tilesets;
        if (first.lines >= 3 && !first.map_end_found && contains(line, "</map>")) first.map_end_found = true;
        ++first.lines;
        // A file that is not classic goes elsewhere: no need to read further.
        // The check sees the bytes behind a zero byte too: they are not what the XML says.
        if (layout_check != nullptr && !layout_check->add_line(reader.raw_line())) break;
    }
    if (reader.failed()) {
        outcome.reason = "the file cannot be read";
        return outcome;
    }
    if (layout_check != nullptr && !layout_check->follows()) return outcome;
    if (first.lines < 3) {
        outcome.reason = "it has fewer than three lines";
        return outcome;
    }
    if (!first.map_end_found) {
        outcome.reason = "it has no \"</map>\" line";
        return outcome;
    }
    MapLineValues values = cut_map_line(first.map);
    if (!values.complete) {
        outcome.reason = "its second line is not a map element with six quoted values";
        return outcome;
    }
    if (!is_whole_number(values.width) || !is_whole_number(values.height) ||
        !is_whole_number(values.tile_width) || !is_whole_number(values.tile_height)) {
        outcome.reason = "the third to sixth values of its map line are not the whole numbers "
                         "width, height, tilewidth, tileheight";
        return outcome;
    }

    MapSummary& summary = outcome.summary;
    summary.width = whole_value(values.width);
    summary.height = whole_value(values.height);
    summary.tile_width = whole_value(values.tile_width);
    summary.tile_height = whole_value(values.tile_height);
    summary.layers = static_cast<int64_t>(first.data_end_lines);
    summary.features.orientation = attribute_value(first.map, "orientation");
    summary.features.tilesets = first.tilesets;

    sink.add(first.first);
    sink.add("<" + values.version + ">");
    sink.add(values.width);
    sink.add(values.height);
    sink.add(values.tile_width);
    sink.add(values.tile_height);
    sink.add("<" + cut_tileset_line(first.tileset) + ">");
    sink.add(std::to_string(first.data_end_lines));

    // The body: the lines after the tileset line, up to and including the "</map>" line.
    if (!reader.rewind()) {
        outcome.reason = "the file cannot be read";
        return outcome;
    }
    for (int i = 0; i < 3; ++i) reader.next(line);
    std::string work;
    std::string layer_name;
    ClassicFeatureCount features(summary.features);
    bool finished = false;
    while (!finished && reader.next(line)) {
        if (contains(line, "</map>")) {
            work.assign(line);
            remove_char(work, ' ');
            sink.add(work);
            finished = true;
            break;
        }
        work.assign(line);
        bool used = false;
        if (contains(work, "</data>")) {
            remove_char(work, ' ');
            sink.add(work);
            used = true;
        }
        if (contains(work, "<data>")) {
            remove_char(work, ' ');
            sink.add(work);
            used = true;
        }
        if (contains(work, "<tile gid=")) {
            remove_all(work, "<tile gid=");
            remove_char(work, '>');
            remove_char(work, QUOTE);
            remove_char(work, '/');
            remove_char(work, ' ');
            sink.add(work);
            ++summary.tiles;
            used = true;
        }
        if (used) continue;
        features.add_skipped_line(line);
        // Skipped lines: keep track of layers to name one whose tiles stay encoded.
        if (contains(line, "<layer")) {
            layer_name = attribute_value(line, "name");
        } else if (contains(line, "<data") && contains(line, "encoding=")) {
            std::string encoding = attribute_value(line, "encoding");
            std::string compression = attribute_value(line, "compression");
            if (!compression.empty()) encoding += "+" + compression;
            summary.warnings.push_back("layer \"" + layer_name + "\" is stored as " + encoding +
                                       "; its tiles were not converted");
        }
    }
    if (!finished) {
        // The file changed between the passes.
        outcome.reason = "the file cannot be read";
        return outcome;
    }
    outcome.ok = true;
    return outcome;
}

}  // namespace app
