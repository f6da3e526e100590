// Conversion of one map: names first (the input must never be an output), the input
// opened and checked before any output exists, then the reader streams into the writer,
// which commits both outputs together or leaves nothing.
#include "app/conversion.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <new>
#include <system_error>
#include <utility>

#include "app/classic_reader.h"
#include "app/feature_warnings.h"
#include "app/json_reader.h"
#include "app/map_file.h"
#include "app/output_writer.h"
#include "app/tmx_reader.h"

namespace app {

namespace {

namespace fs = std::filesystem;

std::string replace_every(const std::string& text, const std::string& search, const std::string& replacement) {
    std::string out;
    size_t p = 0;
    for (size_t i; (i = text.find(search, p)) != std::string::npos; p = i + search.size()) {
        out.append(text, p, i - p);
        out += replacement;
    }
    out.append(text, p, std::string::npos);
    return out;
}

// Where a path leads: the absolute path with the links of its existing part resolved,
// and for an existing file its identity, so hard links and "a/../b" meet too.
struct Place {
    std::string path;
    bool exists = false;
    std::pair<dev_t, ino_t> inode{};
};

Place place_of(const std::string& path) {
    Place place;
    std::error_code error;
    fs::path absolute = fs::absolute(path, error);
    fs::path canonical = fs::weakly_canonical(absolute, error);
    place.path = (error ? absolute.lexically_normal() : canonical).string();
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
        place.exists = true;
        place.inode = {info.st_dev, info.st_ino};
    }
    return place;
}

bool same_place(const Place& a, const Place& b) {
    return a.path == b.path || (a.exists && b.exists && a.inode == b.inode);
}

// Places with the index of the run's map they belong to, found by path or by identity.
class PlaceIndex {
public:
    void add(const Place& place, size_t map) {
        by_path_.emplace(place.path, map);
        if (place.exists) by_inode_.emplace(place.inode, map);
    }
    // The first map other than `except` at this place, or npos.
    size_t find(const Place& place, size_t except) const {
        size_t found = NONE;
        const auto consider = [&](size_t map) {
            if (map != except && map < found) found = map;
        };
        for (auto [it, end] = by_path_.equal_range(place.path); it != end; ++it) consider(it->second);
        if (place.exists) {
            for (auto [it, end] = by_inode_.equal_range(place.inode); it != end; ++it) consider(it->second);
        }
        return found;
    }
    static constexpr size_t NONE = static_cast<size_t>(-1);

private:
    std::multimap<std::string, size_t> by_path_;
    std::multimap<std::pair<dev_t, ino_t>, size_t> by_inode_;
};

// A refusal said in the designer's words: a file that is no map at all (a picture, notes,
// a tileset) is "not a map: ...", not a parser's complaint.
std::string refusal_for(const std::string& start, const std::string& reason) {
    const std::string not_a_map = "the file is not a map: ";
    if (reason.starts_with(not_a_map)) return "not a map: " + reason.substr(not_a_map.size());
    if (!reason.starts_with("the file is not well-formed XML")) return reason;
    size_t at = start.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    while (at < start.size() && std::string_view(" \t\r\n").find(start[at]) != std::string_view::npos) ++at;
    if (at < start.size() && start[at] == '<') return reason;  // XML gone wrong: the parser says where
    if (start.starts_with("\x89PNG")) return "not a map: it is a PNG image";
    if (start.find('\0') != std::string::npos) return "not a map: it is a binary file";
    return at == start.size() ? "not a map: it is empty" : "not a map: it is neither XML nor JSON";
}

// A file opening a JSON object is read as a JSON map. Classic-layout maps go through the
// original line steps; every other map is read by element names. The layout is decided
// during the line reader's first pass.
ReadOutcome read_map(const MapFile& map, const std::string& path, EntrySink& sink) {
    std::string start, reason;
    const bool started = map.read_start(64, start, reason);
    ReadOutcome outcome;
    if (started && starts_like_json(start)) {
        outcome = read_json_map(path, sink);
    } else {
        ClassicLayoutCheck check;
        outcome = read_classic_layout(path, sink, &check);
        if (!outcome.ok && outcome.reason.empty() && !check.follows())
            outcome = read_by_element_names(path, sink);
    }
    if (!outcome.ok) outcome.reason = refusal_for(start, outcome.reason);
    return outcome;
}

}  // namespace

OutputNames derive_output_names(const std::string& input_path, const std::string& output_folder) {
    const fs::path input(input_path);
    const std::string name = input.filename().string();
    std::string text_name, binary_name;
    const auto ends_with = [&](std::string_view ending) {
        return name.size() > ending.size() && name.compare(name.size() - ending.size(), ending.size(), ending) == 0;
    };
    if (ends_with(".tmj") || ends_with(".json")) {
        const std::string stem = name.substr(0, name.rfind('.'));
        text_name = stem + ".txt";
        binary_name = stem + ".pyxm";
    } else if (name.find(".tmx") != std::string::npos) {
        text_name = replace_every(name, ".tmx", ".txt");
        binary_name = replace_every(text_name, ".txt", ".pyxm");
    } else {
        text_name = name + ".txt";
        binary_name = name + ".pyxm";
    }
    const fs::path folder = output_folder.empty() ? input.parent_path() : fs::path(output_folder);
    return {(folder / text_name).string(), (folder / binary_name).string()};
}

OutputNames outputs_named_by_text(const std::string& text_path) {
    const std::string ending = ".txt";
    const std::string name = fs::path(text_path).filename().string();
    const bool ends_txt = name.size() > ending.size() && name.ends_with(ending);
    return {text_path,
            (ends_txt ? text_path.substr(0, text_path.size() - ending.size()) : text_path) + ".pyxm"};
}

std::vector<PlannedMap> plan_run(const std::vector<std::string>& inputs, const std::string& output_folder) {
    std::vector<PlannedMap> plan;
    PlaceIndex input_places, output_places;
    for (size_t i = 0; i < inputs.size(); ++i) {
        plan.push_back({inputs[i], derive_output_names(inputs[i], output_folder), ""});
        input_places.add(place_of(inputs[i]), i);
    }
    for (size_t i = 0; i < plan.size(); ++i) {
        PlannedMap& map = plan[i];
        const std::string* outputs[] = {&map.outputs.text_path, &map.outputs.binary_path};
        const Place places[] = {place_of(*outputs[0]), place_of(*outputs[1])};
        for (size_t k = 0; k < 2 && map.refusal.empty(); ++k) {
            const size_t other = input_places.find(places[k], i);
            if (other != PlaceIndex::NONE) {
                map.refusal = "its output " + *outputs[k] + " would overwrite " + inputs[other] + ", another map of this run";
            }
        }
        for (size_t k = 0; k < 2 && map.refusal.empty(); ++k) {
            const size_t earlier = output_places.find(places[k], i);
            if (earlier != PlaceIndex::NONE) {
                map.refusal = "its output " + *outputs[k] + " is also the output of " + inputs[earlier] +
                              ", converted earlier in this run";
            }
        }
        if (!map.refusal.empty()) continue;
        for (const Place& place : places) output_places.add(place, i);
    }
    return plan;
}

ConversionResult convert_map(const std::string& input_path, const std::string& output_folder,
                             Replace replace) {
    return convert_map_to(input_path, derive_output_names(input_path, output_folder), replace);
}

ConversionResult convert_map_to(const std::string& input_path, const OutputNames& outputs, Replace replace) {
    ConversionResult result;
    result.outputs = outputs;
    try {
        const Place input = place_of(input_path);
        if (same_place(place_of(outputs.text_path), input) || same_place(place_of(outputs.binary_path), input) ||
            outputs.text_path == outputs.binary_path) {
            result.reason = "its outputs would overwrite the input";
            return result;
        }
        // The input is opened and checked (a regular file, not held by a writer) before
        // any output exists, and stays open, shared with other readers, while it is read.
        MapFile map;
        if (!map.open(input_path, result.reason)) return result;
        OutputWriter writer;
        if (!writer.begin(outputs.text_path, outputs.binary_path, result.reason)) return result;
        MapFeatures tile_numbers;
        TileNumberCount counting(writer, tile_numbers);
        ReadOutcome outcome = read_map(map, input_path, counting);
        result.summary = outcome.summary;
        result.summary.features.flipped_tiles = tile_numbers.flipped_tiles;
        result.summary.features.large_tiles = tile_numbers.large_tiles;
        for (std::string& warning : feature_warnings(result.summary))
            result.summary.warnings.push_back(std::move(warning));
        if (!outcome.ok) {
            result.reason = outcome.reason;
            return result;
        }
        result.ok = writer.commit(result.reason, replace == Replace::anything);
        result.foreign_output = writer.foreign_output();
    } catch (const std::bad_alloc&) {
        result.ok = false;
        result.reason = "not enough memory to convert the map";
    }
    return result;
}

std::string refusal_text(const std::string& name, const std::string& reason) {
    return "Cannot convert " + name + ": " + reason;
}

}  // namespace app
