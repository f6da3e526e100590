// The JSON reader. nlohmann's SAX parser streams the file, so memory does not grow with the
// map (a document tree would hold every cell as a JSON value; simdjson needs the whole file
// and an index of it in memory). Two passes, as for XML: the check pass reads everything,
// learns what comes late in the file (the editor writes keys in alphabetical order, so
// "width" follows "layers" and a chunk's position follows its data), and refuses what it
// must; the emit pass hands on the entries.
#include "app/json_reader.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <nlohmann/json.hpp>
#include <vector>

#include "app/chunk_area.h"
#include "app/json_byte_stream.h"
#include "app/layer_decoder.h"
#include "app/map_file.h"
#include "app/reader_helpers.h"

namespace app {

namespace {

using Json = nlohmann::json;

constexpr size_t FIRST_LINE_BYTES = FIRST_LINE_LIMIT + 4;  // room for a byte-order mark and CR LF
constexpr uint64_t GID_LIMIT = 0xFFFFFFFFull;

enum class Pass { check, emit };
// What an open object or array is to the reader; everything else is passed over.
enum class Frame { root, tilesets, tileset, layers, layer, chunks, chunk, data, objects, skip };

// One layer object, in the order layers start in the file.
struct LayerRecord {
    bool tile_layer = false;
    std::string name;
    std::string encoding, compression;
    bool has_data = false;
    bool data_is_text = false;
    uint64_t cells = 0;     // cells of the data, once known
    std::string held_data;  // base64 data waiting for its compression (check pass)
    bool compression_seen = false;
    bool decoded = false;  // counted on arrival, with this compression:
    std::string decoded_compression;
};

// Everything the check pass learns for the emit pass.
struct JsonMap {
    std::string version;
    bool version_seen = false;
    uint64_t width = 0, height = 0, tile_width = 0, tile_height = 0;
    bool width_seen = false, height_seen = false, tile_width_seen = false, tile_height_seen = false;
    std::string type;
    bool infinite = false;
    std::string first_gid = "0";
    bool tileset_seen = false;
    std::vector<LayerRecord> layers;  // every layer object, groups included
    uint64_t tile_layers = 0;
    std::vector<Chunk> chunk_shapes;  // every chunk's position and size, cells left empty
    UsedArea area;
    MapFeatures features;  // counted by the check pass
};

// Receives cells: to the sink as decimal entries, into a chunk, or only counted.
class CellTarget : public CellReceiver {
public:
    void to_sink(EntrySink* sink) { sink_ = sink, cells_ = nullptr; }
    void to_chunk(std::vector<uint32_t>* cells) { cells_ = cells, sink_ = nullptr; }
    void cell(uint32_t gid) override {
        if (sink_ != nullptr) {
            const auto end = std::to_chars(digits_, digits_ + sizeof digits_, gid).ptr;
            sink_->add(std::string_view(digits_, static_cast<size_t>(end - digits_)));
        } else if (cells_ != nullptr) {
            cells_->push_back(gid);
        }
    }

private:
    EntrySink* sink_ = nullptr;
    std::vector<uint32_t>* cells_ = nullptr;
    char digits_[16];
};

class JsonMapReader : public nlohmann::json_sax<Json>, public TextReceiver {
public:
    JsonMapReader(Pass pass, JsonMap& map, EntrySink* sink, std::string first_line)
        : pass_(pass), map_(map), sink_(sink), first_line_(std::move(first_line)) {}

    bool refused() const { return !reason_.empty(); }
    const std::string& reason() const { return reason_; }
    uint64_t layers_seen() const { return layer_count_; }
    void read_from(JsonByteStream* stream) { stream_ = stream; }

    // Values.
    bool null() override { return value(Value{Value::other, 0, {}, nullptr}); }
    bool boolean(bool v) override { return value(Value{v ? Value::yes : Value::no, 0, {}, nullptr}); }
    bool number_integer(number_integer_t v) override {
        return v >= 0 ? number_unsigned(static_cast<number_unsigned_t>(v))
                      : value(Value{Value::negative, 0, std::to_string(v), nullptr});
    }
    bool number_unsigned(number_unsigned_t v) override { return value(Value{Value::whole, v, {}, nullptr}); }
    bool number_float(number_float_t, const string_t& text) override {
        return value(Value{Value::fraction, 0, text, nullptr});
    }
    bool string(string_t& text) override { return value(Value{Value::text, 0, {}, &text}); }
    bool binary(binary_t&) override { return value(Value{Value::other, 0, {}, nullptr}); }

    // Structure.
    bool key(string_t& key) override {
        stack_.back().key = key;
        const Frame frame = stack_.back().frame;
        if (key == "data" && (frame == Frame::layer || frame == Frame::chunk))
            return guarded([&] { begin_text(frame == Frame::chunk); });
        return true;
    }

    // A diverted data string arrives here in pieces.
    void text_piece(std::string_view piece) override {
        if (text_hold_ != nullptr) {
            text_hold_->append(piece);
        } else if (text_decoder_ != nullptr && text_failure_ == DecodeFailure::none) {
            text_failure_ = text_decoder_->feed(piece);
        }
    }
    bool start_object(std::size_t) override {
        return guarded([&] { open(true); });
    }
    bool start_array(std::size_t) override {
        return guarded([&] { open(false); });
    }
    bool end_object() override {
        return guarded([&] { close(); });
    }
    bool end_array() override {
        return guarded([&] { close(); });
    }

    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& error) override {
        if (reason_.empty()) {
            std::string what = error.what();
            const size_t bracket = what.find("] ");
            if (what.rfind("[json.exception", 0) == 0 && bracket != std::string::npos)
                what.erase(0, bracket + 2);
            reason_ = "the file is not valid JSON: " + what;
        }
        return false;
    }

private:
    struct Value {
        enum Kind { whole, negative, fraction, text, yes, no, other } kind;
        uint64_t number = 0;
        std::string written;  // a negative or fractional number as written
        std::string* string = nullptr;
    };
    struct Open {
        Frame frame;
        bool object;
        std::string key;
    };

    template <class Step>
    bool guarded(Step step) {
        try {
            step();
        } catch (const std::bad_alloc&) {
            refuse(NO_MEMORY);
        }
        return !refused();
    }

    void refuse(std::string reason) {
        if (reason_.empty()) reason_ = std::move(reason);
    }

    LayerRecord& layer() { return map_.layers[layer_stack_.back()]; }
    std::string layer_label() {
        return "layer " + std::to_string(label_number_) + " (" +
               quoted_for_message(layer_stack_.empty() ? "" : layer().name) + ")";
    }

    static std::string written(const Value& v) {
        if (v.kind == Value::whole) return std::to_string(v.number);
        if (v.kind == Value::text) return *v.string;
        return v.written;
    }

    void open(bool object) {
        if (stack_.size() >= DEPTH_LIMIT) {
            return refuse("its objects and arrays are nested more than " + std::to_string(DEPTH_LIMIT) +
                          " levels deep");
        }
        Frame frame = Frame::skip;
        if (stack_.empty()) {
            if (!object) return refuse("the file is not a map: it is a JSON array");
            frame = Frame::root;
            if (pass_ == Pass::emit) emit_header();
        } else {
            const Open& parent = stack_.back();
            const std::string& key = parent.key;
            if (parent.frame == Frame::root && !object && key == "tilesets")
                frame = Frame::tilesets;
            else if (parent.frame == Frame::tilesets && object)
                frame = Frame::tileset;
            else if ((parent.frame == Frame::root || parent.frame == Frame::layer) && !object &&
                     key == "layers")
                frame = Frame::layers;
            else if (parent.frame == Frame::layers && object)
                frame = Frame::layer;
            else if (parent.frame == Frame::layer && !object && key == "chunks")
                frame = Frame::chunks;
            else if (parent.frame == Frame::chunks && object)
                frame = Frame::chunk;
            else if (parent.frame == Frame::layer && !object && key == "objects")
                frame = Frame::objects;
            else if ((parent.frame == Frame::layer || parent.frame == Frame::chunk) && key == "data") {
                if (object)
                    return refuse(data_label() +
                                  " has data that is neither a list of tile numbers nor a text");
                frame = Frame::data;
                start_array_data();
            }
        }
        if (frame == Frame::layer) start_layer();
        if (frame == Frame::chunk) start_chunk();
        if (pass_ == Pass::check && !stack_.empty()) count_feature(stack_.back(), frame, object);
        if (!refused()) stack_.push_back({frame, object, {}});
    }

    // What the outputs will not carry, seen as objects and arrays open: every tileset, a
    // layer's properties, the objects of an object layer.
    void count_feature(const Open& parent, Frame frame, bool object) {
        MapFeatures& f = map_.features;
        if (frame == Frame::tileset) ++f.tilesets;
        if (parent.frame == Frame::layer && parent.key == "properties") ++f.layers_with_properties;
        if (parent.frame == Frame::objects && object) ++f.objects;
    }

    void close() {
        const Frame frame = stack_.back().frame;
        stack_.pop_back();
        if (frame == Frame::tileset) ++tilesets_seen_;
        if (frame == Frame::chunk) end_chunk();
        if (frame == Frame::layer) end_layer();
        if (frame == Frame::data) end_array_data();
        if (frame == Frame::root && pass_ == Pass::check) end_map();
    }

    bool value(const Value& v) {
        return guarded([&] {
            if (stack_.empty()) return refuse("the file is not a map: it is a single JSON value");
            const Open& open = stack_.back();
            switch (open.frame) {
                case Frame::root:
                    return root_value(open.key, v);
                case Frame::tileset:
                    if (tilesets_seen_ == 0 && open.key == "firstgid") first_gid(v);
                    return;
                case Frame::layer:
                    return layer_value(open.key, v);
                case Frame::chunk:
                    return chunk_value(open.key, v);
                case Frame::data:
                    return data_cell(v);
                default:
                    return;
            }
        });
    }

    // The map object's own values.
    void root_value(const std::string& key, const Value& v) {
        if (pass_ == Pass::emit) return;
        struct Size {
            const char* key;
            const char* label;
            uint64_t* value;
            bool* seen;
        };
        const Size sizes[] = {{"width", "width", &map_.width, &map_.width_seen},
                              {"height", "height", &map_.height, &map_.height_seen},
                              {"tilewidth", "tile width", &map_.tile_width, &map_.tile_width_seen},
                              {"tileheight", "tile height", &map_.tile_height, &map_.tile_height_seen}};
        for (const Size& size : sizes) {
            if (key != size.key) continue;
            if (v.kind != Value::whole) {
                return refuse(std::string("the map's ") + size.label + " " + quoted_for_message(written(v)) +
                              " is not a whole number");
            }
            if (v.number > LARGEST_WORD_VALUE) {
                return refuse(std::string("the map's ") + size.label + " " + quoted_for_message(written(v)) +
                              " is larger than 65535, the largest number the .pyxm file holds");
            }
            *size.value = v.number;
            *size.seen = true;
            return;
        }
        if (key == "version") {
            if (v.kind == Value::yes || v.kind == Value::no || v.kind == Value::other) {
                return refuse("the map's version is neither a text nor a number");
            }
            map_.version = written(v);
            map_.version_seen = true;
            if (map_.version.size() > TEXT_ENTRY_LIMIT ||
                map_.version.find_first_of("\r\n") != std::string::npos) {
                refuse("the map's version attribute is longer than 255 characters or holds a line break");
            }
        } else if (key == "type") {
            map_.type = v.kind == Value::text ? *v.string : "(" + written(v) + ")";
        } else if (key == "orientation" && v.kind == Value::text) {
            map_.features.orientation = *v.string;
        } else if (key == "infinite") {
            if (v.kind != Value::yes && v.kind != Value::no)
                return refuse("the map's \"infinite\" is not true or false");
            map_.infinite = v.kind == Value::yes;
        }
    }

    void first_gid(const Value& v) {
        if (pass_ == Pass::emit) return;
        if (v.kind != Value::whole || v.number > GID_LIMIT) {
            return refuse("the first tileset's firstgid " + quoted_for_message(written(v)) +
                          " is not a whole number of 32 bits");
        }
        map_.first_gid = std::to_string(v.number);
        map_.tileset_seen = true;
    }

    // Layers.
    void start_layer() {
        if (pass_ == Pass::check) map_.layers.emplace_back();
        if (layer_count_ >= map_.layers.size()) return refuse("the file changed while it was read");
        layer_stack_.push_back(layer_count_++);
        // In the check pass a layer's type may come late: number it as the next tile layer.
        label_number_ = map_.tile_layers + 1;
        if (pass_ == Pass::emit && layer().tile_layer) {
            label_number_ = ++tile_layer_index_;
            emit("<data>");
            layer_chunks_.clear();
        }
    }

    void layer_value(const std::string& key, const Value& v) {
        if (key == "data") return data_text(v);
        if (pass_ == Pass::emit) return;
        std::string* field = key == "type"          ? nullptr
                             : key == "name"        ? &layer().name
                             : key == "encoding"    ? &layer().encoding
                             : key == "compression" ? &layer().compression
                                                    : nullptr;
        if (key == "compression") layer().compression_seen = true;
        if (key == "visible" && v.kind == Value::no) ++map_.features.hidden_layers;
        if (key == "type") {
            layer().tile_layer = v.kind == Value::text && *v.string == "tilelayer";
            if (v.kind == Value::text && *v.string == "objectgroup") ++map_.features.object_layers;
            if (v.kind == Value::text && *v.string == "imagelayer") ++map_.features.image_layers;
        } else if (field != nullptr) {
            if (v.kind != Value::text) return refuse("a layer's \"" + key + "\" is not a text");
            *field = *v.string;
        }
    }

    void end_layer() {
        LayerRecord& record = layer();
        if (pass_ == Pass::emit) {
            layer_stack_.pop_back();
            if (!record.tile_layer) return;
            if (map_.infinite) {
                cells_.to_sink(sink_);
                lay_out_chunks(layer_chunks_, map_.area, cells_);
            }
            emit("</data>");
            return;
        }
        end_layer_check(record);
        layer_stack_.pop_back();
    }

    void end_layer_check(LayerRecord& record) {
        if (!record.tile_layer) {
            if (map_.chunk_shapes.size() > layer_first_chunk_)
                refuse("layer " + quoted_for_message(record.name) + " has chunks but is not a tile layer");
            return;
        }
        ++map_.tile_layers;
        // Chunks waiting for the layer's encoding (it may follow them in the file).
        for (size_t i = layer_first_chunk_; i < map_.chunk_shapes.size() && !refused(); ++i) {
            const auto& [is_text, text] = pending_chunks_[i - layer_first_chunk_];
            if (is_text) decode_held(record, text, map_.chunk_shapes[i].width * map_.chunk_shapes[i].height);
        }
        pending_chunks_.clear();
        layer_first_chunk_ = map_.chunk_shapes.size();
    }

    // Layer data: a list of numbers, or base64 text.
    std::string data_label() { return layer_label(); }

    void start_array_data() {
        array_cells_ = 0;
        if (pass_ == Pass::check) return;
        if (stack_.back().frame == Frame::chunk) {
            chunk_.cells.clear();
            cells_.to_chunk(&chunk_.cells);
        } else {
            cells_.to_sink(sink_);
        }
    }

    void data_cell(const Value& v) {
        if (v.kind != Value::whole || v.number > GID_LIMIT) {
            const bool beyond =
                v.kind == Value::whole ||
                (v.kind == Value::fraction && v.written.find_first_of(".eE") == std::string::npos);
            return refuse(data_label() + " has the tile number " + quoted_for_message(written(v)) + ", " +
                          (beyond ? "beyond 32 bits" : "not a whole number"));
        }
        ++array_cells_;
        if (pass_ == Pass::emit && layer().tile_layer) cells_.cell(static_cast<uint32_t>(v.number));
    }

    void end_array_data() {
        const bool chunk = stack_.back().frame == Frame::chunk;
        if (chunk) {
            chunk_cells_ = array_cells_;
            chunk_has_data_ = true;
        } else {
            layer().has_data = true;
            layer().cells = array_cells_;
        }
    }

    // Where the coming data text goes: held until its compression is known, decoded as it
    // arrives, or passed over (data of a layer that is not a tile layer).
    void begin_text(bool chunk) {
        text_hold_ = nullptr;
        text_decoder_.reset();
        text_failure_ = DecodeFailure::none;
        text_exact_ = true;
        text_format_ok_ = true;
        if (layer_stack_.empty()) return;
        LayerRecord& record = layer();
        uint64_t expected = 0;
        if (pass_ == Pass::check) {
            // The editor writes a layer's compression before its data, a chunk's size after it.
            if (chunk) {
                chunk_text_.clear();
                text_hold_ = &chunk_text_;
                stream_->divert_next_string(this);
                return;
            }
            if (!record.compression_seen) {
                record.held_data.clear();
                text_hold_ = &record.held_data;
                stream_->divert_next_string(this);
                return;
            }
            // The map's size usually comes later: count up to the largest, judge at the end.
            text_exact_ = map_.width_seen && map_.height_seen;
            expected = text_exact_ ? map_.width * map_.height : LARGEST_WORD_VALUE * LARGEST_WORD_VALUE;
            text_cells_.to_sink(nullptr);
        } else {
            if (!record.tile_layer) {
                stream_->divert_next_string(this);
                return;
            }
            if (chunk) {
                const Chunk& shape = map_.chunk_shapes[chunk_index_];
                expected = shape.width * shape.height;
                chunk_.cells.clear();
                text_cells_.to_chunk(&chunk_.cells);
            } else {
                expected = map_.width * map_.height;
                text_cells_.to_sink(sink_);
            }
        }
        LayerEncoding encoding;
        LayerCompression compression;
        text_format_ok_ = layer_format_from_attributes("base64", record.compression, encoding, compression);
        if (text_format_ok_)
            text_decoder_ = std::make_unique<LayerDecoder>(encoding, compression, expected, text_cells_);
        stream_->divert_next_string(this);
    }

    void data_text(const Value& v) {
        if (v.kind != Value::text)
            return refuse(data_label() + " has data that is neither a list of tile numbers nor a text");
        if (!stream_->take_diverted()) text_piece(*v.string);
        const bool chunk = stack_.back().frame == Frame::chunk;
        LayerRecord& record = layer();
        if (pass_ == Pass::check && chunk) {
            chunk_has_data_ = chunk_is_text_ = true;
            return;
        }
        if (pass_ == Pass::check) record.has_data = record.data_is_text = true;
        if (text_hold_ != nullptr || (pass_ == Pass::emit && !record.tile_layer)) return;
        if (!text_format_ok_) {
            return refuse(layer_label() + " has text data with the compression " +
                          quoted_for_message(record.compression) + ", which the converter does not read");
        }
        if (text_failure_ == DecodeFailure::none) text_failure_ = text_decoder_->finish();
        if (text_failure_ == DecodeFailure::too_few_cells && !text_exact_)
            text_failure_ = DecodeFailure::none;
        if (text_failure_ != DecodeFailure::none)
            return refuse(layer_label() + " has " + describe(text_failure_));
        if (pass_ == Pass::check) {
            record.cells = text_decoder_->cells();
            record.decoded = true;
            record.decoded_compression = record.compression;
        }
        text_decoder_.reset();
    }

    // Base64 text through the layer decoder; the cells it gave. With `exact`, anything but
    // the expected count is refused; without, fewer cells are judged later by the caller.
    uint64_t decode_text(const LayerRecord& record, std::string_view text, uint64_t expected,
                         bool assume_base64 = false, bool exact = true) {
        LayerEncoding encoding;
        LayerCompression compression;
        const std::string named = assume_base64             ? "base64"
                                  : record.encoding.empty() ? std::string("csv")
                                                            : record.encoding;
        if (named != "base64" ||
            !layer_format_from_attributes("base64", record.compression, encoding, compression)) {
            refuse(layer_label() + " has text data with the encoding " + quoted_for_message(named) +
                   " and compression " +
                   quoted_for_message(record.compression.empty() ? "none" : record.compression) +
                   ", which the converter does not read");
            return 0;
        }
        LayerDecoder decoder(encoding, compression, expected, cells_);
        DecodeFailure failure = decoder.feed(text);
        if (failure == DecodeFailure::none) failure = decoder.finish();
        if (failure == DecodeFailure::too_few_cells && !exact) failure = DecodeFailure::none;
        if (failure != DecodeFailure::none) refuse(layer_label() + " has " + describe(failure));
        return decoder.cells();
    }

    void decode_held(const LayerRecord& record, const std::string& text, uint64_t expected) {
        CellTarget counter = cells_;
        cells_ = CellTarget{};
        decode_text(record, text, expected);
        cells_ = counter;
    }

    // Chunks of infinite maps.
    void start_chunk() {
        chunk_ = Chunk{};
        chunk_has_data_ = chunk_is_text_ = false;
        chunk_text_.clear();
        chunk_cells_ = 0;
        chunk_x_seen_ = chunk_y_seen_ = false;
        if (pass_ == Pass::emit) {
            chunk_index_ = chunks_seen_++;
            if (chunk_index_ >= map_.chunk_shapes.size()) refuse("the file changed while it was read");
        }
    }

    void chunk_value(const std::string& key, const Value& v) {
        if (key == "data") return data_text(v);
        if (pass_ == Pass::emit) return;
        if (key == "x" || key == "y") {
            int64_t offset = 0;
            bool fits = false;
            if (v.kind == Value::whole && v.number < static_cast<uint64_t>(CHUNK_OFFSET_LIMIT)) {
                offset = static_cast<int64_t>(v.number);
                fits = true;
            } else if (v.kind == Value::negative) {
                fits = parse_chunk_offset(v.written, offset);
            }
            if (!fits) {
                return refuse(data_label() + " has a chunk whose position " + quoted_for_message(written(v)) +
                              " is not a whole number within 2147483647 tiles");
            }
            (key == "x" ? chunk_.x : chunk_.y) = offset;
            (key == "x" ? chunk_x_seen_ : chunk_y_seen_) = true;
        } else if (key == "width" || key == "height") {
            if (v.kind != Value::whole || !chunk_size_in_range(v.number)) {
                return refuse(data_label() + " has a chunk whose size " + quoted_for_message(written(v)) +
                              " is not 1 to 65535 tiles");
            }
            (key == "width" ? chunk_.width : chunk_.height) = v.number;
        }
    }

    void end_chunk() {
        if (pass_ == Pass::emit) {
            if (!layer().tile_layer) return;
            chunk_.x = map_.chunk_shapes[chunk_index_].x;
            chunk_.y = map_.chunk_shapes[chunk_index_].y;
            chunk_.width = map_.chunk_shapes[chunk_index_].width;
            chunk_.height = map_.chunk_shapes[chunk_index_].height;
            layer_chunks_.push_back(std::move(chunk_));
            return;
        }
        if (!chunk_x_seen_ || !chunk_y_seen_ || chunk_.width == 0 || chunk_.height == 0) {
            return refuse(data_label() + " has a chunk without its position and size");
        }
        if (!chunk_has_data_) return refuse(data_label() + " has a chunk without data");
        const uint64_t cells = chunk_.width * chunk_.height;
        layer_chunk_cells_ += cells;
        if (layer_chunk_cells_ > CHUNK_CELLS_LIMIT) {
            return refuse(data_label() + " has chunks of more than " + std::to_string(CHUNK_CELLS_LIMIT) +
                          " cells");
        }
        if (!chunk_is_text_ && chunk_cells_ != cells) {
            return refuse(data_label() + " has a chunk with " + std::to_string(chunk_cells_) + " tiles for " +
                          std::to_string(chunk_.width) + " x " + std::to_string(chunk_.height) + " cells");
        }
        pending_chunks_.emplace_back(chunk_is_text_, std::move(chunk_text_));
        map_.chunk_shapes.push_back(chunk_);
        map_.area.add(chunk_);
    }

    // The end of the check pass: what could only be judged with the whole file read.
    void end_map() {
        if (map_.type != "map") {
            return refuse("the file is not a map: " + (map_.type.empty()
                                                           ? std::string("it has no \"type\": \"map\"")
                                                           : "its type is " + quoted_for_message(map_.type)));
        }
        if (!map_.tile_width_seen || !map_.tile_height_seen || map_.tile_width == 0 ||
            map_.tile_height == 0) {
            return refuse("the map has no tile size");
        }
        if (map_.infinite) {
            for (const LayerRecord& record : map_.layers) {
                if (record.tile_layer && record.has_data)
                    return refuse("layer " + quoted_for_message(record.name) +
                                  " holds data outside its chunks");
            }
            if (!check_used_area(map_.area, reason_)) return;
            map_.width = map_.area.width();
            map_.height = map_.area.height();
            return;
        }
        if (!map_.chunk_shapes.empty()) return refuse("the map has chunks, but it is not infinite");
        if (!map_.width_seen || !map_.height_seen) return refuse("the map has no width and height");
        const uint64_t cells = map_.width * map_.height;
        tile_layer_index_ = 0;
        for (size_t i = 0; i < map_.layers.size() && !refused(); ++i) {
            LayerRecord& record = map_.layers[i];
            if (!record.tile_layer) continue;
            label_number_ = ++tile_layer_index_;
            layer_stack_.assign(1, i);
            if (record.data_is_text && !record.decoded) {
                decode_held(record, record.held_data, cells);
                std::string().swap(record.held_data);
                continue;
            }
            if (record.decoded &&
                (record.encoding != "base64" || record.compression != record.decoded_compression)) {
                return refuse(layer_label() + " has text data with the encoding " +
                              quoted_for_message(record.encoding) +
                              ", which the converter does not read as such");
            }
            if (!record.has_data && cells != 0) return refuse(layer_label() + " has no data");
            if (record.has_data && record.cells != cells) {
                return refuse(layer_label() + " has " + (record.cells < cells ? "fewer" : "more") +
                              " tiles than the map has cells (" + std::to_string(record.cells) +
                              " tiles for " + std::to_string(map_.width) + " x " +
                              std::to_string(map_.height) + " cells)");
            }
        }
        layer_stack_.clear();
    }

    void emit(std::string_view entry) {
        if (pass_ == Pass::emit) sink_->add(entry);
    }

    void emit_header() {
        sink_->add_text_only(first_line_);
        sink_->add("<" + map_.version + ">");
        for (uint64_t n : {map_.width, map_.height, map_.tile_width, map_.tile_height})
            sink_->add(std::to_string(n));
        sink_->add("<" + map_.first_gid + ">");
        sink_->add(std::to_string(map_.tile_layers));
    }

    Pass pass_;
    JsonMap& map_;
    EntrySink* sink_;
    std::string first_line_;
    std::string reason_;
    std::vector<Open> stack_;
    std::vector<size_t> layer_stack_;  // the open layer objects (groups hold layers)
    size_t layer_count_ = 0;           // layer objects started so far
    uint64_t tile_layer_index_ = 0;    // tile layers started (emit pass) or judged (end of the check)
    uint64_t label_number_ = 0;        // the number messages give the current layer
    size_t tilesets_seen_ = 0;
    uint64_t array_cells_ = 0;
    CellTarget cells_;
    JsonByteStream* stream_ = nullptr;
    // The data text being read.
    std::string* text_hold_ = nullptr;
    std::unique_ptr<LayerDecoder> text_decoder_;
    CellTarget text_cells_;
    DecodeFailure text_failure_ = DecodeFailure::none;
    bool text_exact_ = true, text_format_ok_ = true;
    // Chunks.
    Chunk chunk_;
    bool chunk_has_data_ = false, chunk_is_text_ = false, chunk_x_seen_ = false, chunk_y_seen_ = false;
    std::string chunk_text_;
    uint64_t chunk_cells_ = 0;
    uint64_t layer_chunk_cells_ = 0;
    std::vector<std::pair<bool, std::string>>
        pending_chunks_;  // check pass: the current layer's chunks: text?, text
    size_t layer_first_chunk_ = 0;
    size_t chunks_seen_ = 0, chunk_index_ = 0;
    std::vector<Chunk> layer_chunks_;  // emit pass: the current layer's chunks with cells
};

// One pass of the parser over the whole file; false with a reason on refusal.
bool run_pass(const MapFile& file, JsonMapReader& reader, std::string& reason) {
    JsonByteStream stream(file.fd());
    reader.read_from(&stream);
    bool parsed = false;
    try {
        parsed = Json::sax_parse(JsonByteStream::Iterator(&stream), JsonByteStream::Iterator(), &reader,
                                 nlohmann::detail::input_format_t::json, true, false);
    } catch (const std::bad_alloc&) {
        reason = NO_MEMORY;
        return false;
    }
    if (stream.failed()) {
        reason = std::string("the file cannot be read (") + std::strerror(errno) + ")";
        return false;
    }
    if (stream.value_too_large()) {
        reason = "it holds one text or number larger than " + std::to_string(JSON_VALUE_LIMIT >> 20) + " MiB";
        return false;
    }
    if (reader.refused() || !parsed) {
        reason = reader.refused() ? reader.reason() : "the file is not valid JSON";
        return false;
    }
    return true;
}

}  // namespace

bool starts_like_json(std::string_view start) {
    if (start.substr(0, 3) == "\xEF\xBB\xBF") start.remove_prefix(3);
    const size_t first = start.find_first_not_of(" \t\r\n");
    return first != std::string_view::npos && start[first] == '{';
}

ReadOutcome read_json_map(const std::string& path, EntrySink& sink) {
    ReadOutcome outcome;
    outcome.summary.reader = std::string(JSON_READER);
    MapFile file;
    if (!file.open(path, outcome.reason)) return outcome;
    std::string start;
    if (!file.read_start(FIRST_LINE_BYTES, start, outcome.reason)) return outcome;

    JsonMap map;
    JsonMapReader check(Pass::check, map, nullptr, "");
    if (!run_pass(file, check, outcome.reason)) return outcome;
    JsonMapReader emit(Pass::emit, map, &sink, first_line_as_read(start));
    if (!run_pass(file, emit, outcome.reason)) return outcome;
    if (emit.layers_seen() != map.layers.size()) {
        outcome.reason = "the file changed while it was read";
        return outcome;
    }
    sink.add("</map>");

    fill_summary(outcome.summary, map.width, map.height, map.tile_width, map.tile_height, map.tile_layers,
                 map.tile_layers * map.width * map.height, map.infinite ? map.area.description() : "");
    outcome.summary.features = map.features;
    outcome.ok = true;
    return outcome;
}

}  // namespace app
