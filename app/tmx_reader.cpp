// The reader by element names. Expat streams the file through a 1 MiB buffer, so memory
// stays flat whatever the map's size (a tree parser would hold every <tile> element).
// Two passes over the file: the first checks everything and counts the tile layers (the
// count comes before the layer data in the output), the second hands on the entries.
#include "app/tmx_reader.h"

#include <expat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <exception>
#include <memory>
#include <vector>

#include "app/chunk_area.h"
#include "app/layer_decoder.h"
#include "app/map_file.h"
#include "app/reader_helpers.h"

namespace app {

namespace {

constexpr size_t READ_CHUNK = 1 << 20;
// One piece of markup (a tag with its attribute values, a comment) larger than this is refused.
constexpr uint64_t TOKEN_LIMIT = uint64_t{64} << 20;

enum class Pass { check, emit };

// What an open element is to the reader; everything else is passed over with its children.
enum class Kind { other, map, group, layer, data, chunk, tile, objectgroup, imagelayer };

const char* find_attribute(const XML_Char** attributes, const char* name) {
    for (size_t i = 0; attributes[i] != nullptr; i += 2) {
        if (std::strcmp(attributes[i], name) == 0) return attributes[i + 1];
    }
    return nullptr;
}

bool has_line_break(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

bool all_digits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// A size written with digits only; false when it is larger than 65535.
bool parse_size(std::string_view text, uint64_t& value) {
    while (text.size() > 1 && text.front() == '0') text.remove_prefix(1);
    if (text.size() > 5) return false;
    value = 0;
    for (char c : text) value = value * 10 + static_cast<uint64_t>(c - '0');
    return value <= LARGEST_WORD_VALUE;
}

class NumberText {
public:
    std::string_view of(uint64_t value) {
        const auto result = std::to_chars(digits_, digits_ + sizeof digits_, value);
        return std::string_view(digits_, static_cast<size_t>(result.ptr - digits_));
    }

private:
    char digits_[24];
};

// Cells of the emitting pass go straight to the sink as decimal entries.
class EntryCells : public CellReceiver {
public:
    explicit EntryCells(EntrySink* sink) : sink_(sink) {}
    void cell(uint32_t gid) override {
        if (sink_ != nullptr) sink_->add(number_.of(gid));
    }

private:
    EntrySink* sink_;
    NumberText number_;
};

// The header the check pass finds; the emit pass writes it before the first layer.
struct MapHeader {
    std::string version;
    uint64_t width = 0, height = 0, tile_width = 0, tile_height = 0;
    bool tileset_seen = false;
    std::string first_gid = "0";
    uint64_t layers = 0;
    uint64_t tiles = 0;
    bool infinite = false;
    UsedArea area;  // of an infinite map, once the check pass has seen every chunk
    MapFeatures features;  // counted by the check pass
};

// A chunk's cells go into the chunk in the emit pass; the check pass only counts them.
class ChunkCells : public CellReceiver {
public:
    explicit ChunkCells(std::vector<uint32_t>* cells) : cells_(cells) {}
    void cell(uint32_t gid) override {
        if (cells_ != nullptr) cells_->push_back(gid);
    }

private:
    std::vector<uint32_t>* cells_;
};

class ElementReader {
public:
    ElementReader(Pass pass, MapHeader& header, EntrySink* sink)
        : pass_(pass), header_(header), sink_(sink), cells_(pass == Pass::emit ? sink : nullptr) {}

    bool refused() const { return !reason_.empty() || out_of_memory_; }
    std::string reason() const { return out_of_memory_ ? NO_MEMORY : reason_; }
    void set_first_line(std::string line) { first_line_ = std::move(line); }
    uint64_t layers_seen() const { return layer_index_; }
    uint64_t tiles_seen() const { return tiles_; }

    void attach(XML_Parser parser) {
        parser_ = parser;
        XML_SetUserData(parser, this);
        XML_SetElementHandler(parser, &ElementReader::on_start, &ElementReader::on_end);
    }

private:
    // No exception may cross the parser's C frames: a failed allocation stops the parse.
    template <class Step>
    static void guarded(void* self, Step step) {
        auto* reader = static_cast<ElementReader*>(self);
        try {
            step(*reader);
        } catch (const std::exception&) {
            reader->out_of_memory_ = true;
            XML_StopParser(reader->parser_, XML_FALSE);
        }
    }
    static void XMLCALL on_start(void* self, const XML_Char* name, const XML_Char** attributes) {
        guarded(self, [&](ElementReader& reader) { reader.start(name, attributes); });
    }
    static void XMLCALL on_end(void* self, const XML_Char* /*name*/) {
        guarded(self, [](ElementReader& reader) { reader.end(); });
    }
    static void XMLCALL on_text(void* self, const XML_Char* text, int size) {
        guarded(self, [&](ElementReader& reader) { reader.text(std::string_view(text, static_cast<size_t>(size))); });
    }

    void refuse(std::string reason) {
        if (reason_.empty()) reason_ = std::move(reason);
        XML_StopParser(parser_, XML_FALSE);
    }

    std::string layer_label() const {
        return "layer " + std::to_string(layer_index_) + " (" + quoted_for_message(layer_name_) + ")";
    }

    void emit(std::string_view entry) {
        if (pass_ == Pass::emit) sink_->add(entry);
    }

    void start(std::string_view name, const XML_Char** attributes) {
        if (refused()) return;
        if (stack_.size() >= DEPTH_LIMIT) {
            return refuse("its elements are nested more than " + std::to_string(DEPTH_LIMIT) + " levels deep");
        }
        const Kind parent = stack_.empty() ? Kind::other : stack_.back();
        Kind kind = Kind::other;
        if (pass_ == Pass::check) count_feature(parent, name, attributes);
        if (stack_.empty()) {
            if (name != "map") return refuse("the file is not a map: its root element is " + quoted_for_message(name));
            start_map(attributes);
            kind = Kind::map;
        } else if (parent == Kind::map || parent == Kind::group) {
            if (name == "layer") {
                start_layer(attributes);
                kind = Kind::layer;
            } else if (name == "group") {
                kind = Kind::group;
            } else if (name == "objectgroup") {
                kind = Kind::objectgroup;
            } else if (name == "imagelayer") {
                kind = Kind::imagelayer;
            } else if (name == "tileset" && parent == Kind::map && !header_.tileset_seen) {
                start_first_tileset(attributes);
            }
        } else if (parent == Kind::layer) {
            if (name == "data") {
                start_data(attributes);
                kind = Kind::data;
            }
        } else if (parent == Kind::data && name == "chunk") {
            if (!header_.infinite) return refuse(layer_label() + " holds a chunk, but the map is not infinite");
            start_chunk(attributes);
            kind = Kind::chunk;
        } else if (parent == Kind::data || parent == Kind::chunk) {
            if (name != "tile" || encoding_ != LayerEncoding::xml || (header_.infinite && parent == Kind::data)) {
                return refuse(layer_label() + " holds an unexpected " + quoted_for_message(name) +
                              " element in its data");
            }
            add_tile(attributes);
            kind = Kind::tile;
        }
        if (!refused()) stack_.push_back(kind);
    }

    // What the outputs will not carry: objects, image layers, layer properties, hidden
    // layers, the orientation and every tileset.
    void count_feature(Kind parent, std::string_view name, const XML_Char** attributes) {
        MapFeatures& f = header_.features;
        const bool layer_parent = parent == Kind::layer || parent == Kind::group ||
                                  parent == Kind::objectgroup || parent == Kind::imagelayer;
        if (parent == Kind::other && stack_.empty()) {
            const char* orientation = find_attribute(attributes, "orientation");
            if (orientation != nullptr) f.orientation = orientation;
        } else if (parent == Kind::map || parent == Kind::group) {
            if (name == "tileset" && parent == Kind::map) ++f.tilesets;
            if (name == "objectgroup") ++f.object_layers;
            if (name == "imagelayer") ++f.image_layers;
            const char* visible = find_attribute(attributes, "visible");
            const bool layer =
                name == "layer" || name == "objectgroup" || name == "imagelayer" || name == "group";
            if (layer && visible != nullptr && std::string_view(visible) == "0") ++f.hidden_layers;
        } else if (layer_parent && name == "properties") {
            ++f.layers_with_properties;
        } else if (parent == Kind::objectgroup && name == "object") {
            ++f.objects;
        }
    }

    void start_map(const XML_Char** attributes) {
        const char* infinite = find_attribute(attributes, "infinite");
        header_.infinite = infinite != nullptr && std::string_view(infinite) != "0";
        const char* version = find_attribute(attributes, "version");
        header_.version = version != nullptr ? version : "";
        if (header_.version.size() > TEXT_ENTRY_LIMIT || has_line_break(header_.version)) {
            return refuse("the map's version attribute is longer than 255 characters or holds a line break");
        }
        const char* width = find_attribute(attributes, "width");
        const char* height = find_attribute(attributes, "height");
        const char* tile_width = find_attribute(attributes, "tilewidth");
        const char* tile_height = find_attribute(attributes, "tileheight");
        // An infinite map's size is its used area, found from its chunks.
        if (header_.infinite) width = height = "0";
        if (width == nullptr || height == nullptr) return refuse("the map has no width and height");
        if (tile_width == nullptr || tile_height == nullptr) return refuse("the map has no tile size");
        struct Size {
            const char* label;
            const char* text;
            uint64_t* value;
        };
        const Size sizes[] = {{"width", width, &header_.width},
                              {"height", height, &header_.height},
                              {"tile width", tile_width, &header_.tile_width},
                              {"tile height", tile_height, &header_.tile_height}};
        for (const Size& size : sizes) {
            if (!all_digits(size.text)) {
                return refuse(std::string("the map's ") + size.label + " " + quoted_for_message(size.text) +
                              " is not a whole number");
            }
            if (!parse_size(size.text, *size.value)) {
                return refuse(std::string("the map's ") + size.label + " " + quoted_for_message(size.text) +
                              " is larger than 65535, the largest number the .pyxm file holds");
            }
        }
        if (header_.tile_width == 0 || header_.tile_height == 0) return refuse("the map has no tile size");
        if (header_.infinite && pass_ == Pass::emit) {
            header_.width = header_.area.width();
            header_.height = header_.area.height();
        }
        cells_per_layer_ = header_.width * header_.height;
        if (pass_ == Pass::emit) emit_header();
    }

    void start_first_tileset(const XML_Char** attributes) {
        header_.tileset_seen = true;
        const char* first_gid = find_attribute(attributes, "firstgid");
        header_.first_gid = first_gid != nullptr ? first_gid : "0";
        if (header_.first_gid.size() > TEXT_ENTRY_LIMIT || has_line_break(header_.first_gid)) {
            refuse("the first tileset's firstgid is longer than 255 characters or holds a line break");
        }
    }

    void start_layer(const XML_Char** attributes) {
        ++layer_index_;
        const char* name = find_attribute(attributes, "name");
        layer_name_ = name != nullptr ? name : "";
        layer_has_data_ = false;
        layer_chunk_cells_ = 0;
    }

    void start_data(const XML_Char** attributes) {
        if (layer_has_data_) return refuse(layer_label() + " has more than one data element");
        layer_has_data_ = true;
        const char* encoding = find_attribute(attributes, "encoding");
        const char* compression = find_attribute(attributes, "compression");
        if (!layer_format_from_attributes(encoding != nullptr ? encoding : "",
                                          compression != nullptr ? compression : "", encoding_,
                                          compression_)) {
            return refuse(layer_label() + " uses the data encoding " +
                          quoted_for_message(encoding != nullptr ? encoding : "xml") + " with compression " +
                          quoted_for_message(compression != nullptr ? compression : "none") +
                          ", which the converter does not read");
        }
        // Text matters only inside encoded data; elsewhere the parser need not hand it over.
        if (encoding_ != LayerEncoding::xml) XML_SetCharacterDataHandler(parser_, &ElementReader::on_text);
        // An infinite layer is laid out over the used area once all its chunks are in.
        if (header_.infinite) return;
        decoder_ = std::make_unique<LayerDecoder>(encoding_, compression_, cells_per_layer_, cells_);
        emit("<data>");
    }

    void start_chunk(const XML_Char** attributes) {
        const char* x = find_attribute(attributes, "x");
        const char* y = find_attribute(attributes, "y");
        const char* width = find_attribute(attributes, "width");
        const char* height = find_attribute(attributes, "height");
        chunk_ = Chunk{};
        if (x == nullptr || y == nullptr || !parse_chunk_offset(x, chunk_.x) || !parse_chunk_offset(y, chunk_.y)) {
            return refuse(layer_label() + " has a chunk whose position is missing or beyond 2147483647 tiles");
        }
        if (width == nullptr || height == nullptr || !parse_chunk_size(width, chunk_.width) ||
            !parse_chunk_size(height, chunk_.height)) {
            return refuse(layer_label() + " has a chunk whose size is missing or not 1 to 65535 tiles");
        }
        const uint64_t cells = chunk_.width * chunk_.height;
        layer_chunk_cells_ += cells;
        if (layer_chunk_cells_ > CHUNK_CELLS_LIMIT) {
            return refuse(layer_label() + " has chunks of more than " + std::to_string(CHUNK_CELLS_LIMIT) + " cells");
        }
        chunk_cells_ = ChunkCells(pass_ == Pass::emit ? &chunk_.cells : nullptr);
        in_chunk_ = true;
        decoder_ = std::make_unique<LayerDecoder>(encoding_, compression_, cells, chunk_cells_);
    }

    void add_tile(const XML_Char** attributes) {
        const char* gid_text = find_attribute(attributes, "gid");
        uint32_t gid = 0;
        bool out_of_range = false;
        if (gid_text != nullptr && !parse_gid(gid_text, gid, out_of_range)) {
            return refuse(layer_label() + " has the tile number " + quoted_for_message(gid_text) + ", " +
                          (out_of_range ? "beyond 32 bits" : "not a whole number"));
        }
        check_decoded(decoder_->add_cell(gid));
    }

    void check_decoded(DecodeFailure failure) {
        if (failure == DecodeFailure::none) return;
        const uint64_t cells = decoder_->cells();
        std::string reason = layer_label() + " has " + describe(failure);
        if (failure == DecodeFailure::too_few_cells || failure == DecodeFailure::too_many_cells) {
            const bool chunk = in_chunk_;
            reason += " (" + (failure == DecodeFailure::too_few_cells ? std::to_string(cells) : "more than " + std::to_string(cells)) +
                      " tiles for " + std::to_string(chunk ? chunk_.width : header_.width) + " x " +
                      std::to_string(chunk ? chunk_.height : header_.height) + (chunk ? " cells of a chunk)" : " cells)");
        }
        refuse(reason);
    }

    void text(std::string_view piece) {
        // Text of a child element inside the data (refused anyway) is not layer data.
        if (refused() || stack_.empty()) return;
        const Kind kind = stack_.back();
        if (kind == Kind::data && header_.infinite) {
            if (piece.find_first_not_of(" \t\r\n") != std::string_view::npos) {
                refuse(layer_label() + " holds data outside its chunks");
            }
            return;
        }
        if (kind == Kind::data || kind == Kind::chunk) check_decoded(decoder_->feed(piece));
    }

    void end() {
        if (refused() || stack_.empty()) return;
        const Kind kind = stack_.back();
        stack_.pop_back();
        if (kind == Kind::chunk) {
            check_decoded(decoder_->finish());
            in_chunk_ = false;
            if (refused()) return;
            tiles_ += decoder_->cells();
            decoder_.reset();
            if (pass_ == Pass::check) header_.area.add(chunk_);
            else layer_chunks_.push_back(std::move(chunk_));
        } else if (kind == Kind::data && header_.infinite) {
            XML_SetCharacterDataHandler(parser_, nullptr);
            emit_infinite_layer();
        } else if (kind == Kind::data) {
            XML_SetCharacterDataHandler(parser_, nullptr);
            check_decoded(decoder_->finish());
            if (refused()) return;
            tiles_ += decoder_->cells();
            decoder_.reset();
            emit("</data>");
        } else if (kind == Kind::layer && !layer_has_data_ && header_.infinite) {
            emit_infinite_layer();
        } else if (kind == Kind::layer && !layer_has_data_) {
            // An empty map's layers need no cells; any other layer must list them all.
            if (cells_per_layer_ != 0) return refuse(layer_label() + " has no data element");
            emit("<data>");
            emit("</data>");
        }
    }

    // A layer of an infinite map: its chunks over the used area, 0 where none is.
    void emit_infinite_layer() {
        if (pass_ == Pass::emit) {
            emit("<data>");
            lay_out_chunks(layer_chunks_, header_.area, cells_);
            emit("</data>");
        }
        layer_chunks_.clear();
        layer_chunk_cells_ = 0;
    }

    void emit_header() {
        NumberText number;
        sink_->add(first_line_);
        sink_->add("<" + header_.version + ">");
        sink_->add(number.of(header_.width));
        sink_->add(number.of(header_.height));
        sink_->add(number.of(header_.tile_width));
        sink_->add(number.of(header_.tile_height));
        sink_->add("<" + header_.first_gid + ">");
        sink_->add(number.of(header_.layers));
    }

    Pass pass_;
    MapHeader& header_;
    EntrySink* sink_;
    EntryCells cells_;
    XML_Parser parser_ = nullptr;
    std::string reason_;
    std::vector<Kind> stack_;
    std::string first_line_;
    uint64_t cells_per_layer_ = 0;
    uint64_t layer_index_ = 0;
    std::string layer_name_;
    bool layer_has_data_ = false;
    LayerEncoding encoding_ = LayerEncoding::xml;
    LayerCompression compression_ = LayerCompression::none;
    std::unique_ptr<LayerDecoder> decoder_;
    Chunk chunk_;
    ChunkCells chunk_cells_{nullptr};
    std::vector<Chunk> layer_chunks_;
    uint64_t layer_chunk_cells_ = 0;
    bool in_chunk_ = false;
    uint64_t tiles_ = 0;
    bool out_of_memory_ = false;
};

struct ParserDeleter {
    void operator()(XML_ParserStruct* parser) const { XML_ParserFree(parser); }
};

// One pass of the parser over the whole file; false with a reason on refusal.
bool run_pass(int fd, ElementReader& reader, std::string& reason) {
    if (::lseek(fd, 0, SEEK_SET) != 0) {
        reason = std::string("the file cannot be read (") + std::strerror(errno) + ")";
        return false;
    }
    std::unique_ptr<XML_ParserStruct, ParserDeleter> parser(XML_ParserCreate(nullptr));
    if (parser == nullptr) {
        reason = NO_MEMORY;
        return false;
    }
    reader.attach(parser.get());
    uint64_t fed = 0;
    size_t chunk = READ_CHUNK;
    for (;;) {
        void* buffer = XML_GetBuffer(parser.get(), static_cast<int>(chunk));
        if (buffer == nullptr) {
            reason = NO_MEMORY;
            return false;
        }
        ssize_t got;
        do {
            got = ::read(fd, buffer, chunk);
        } while (got < 0 && errno == EINTR);
        if (got < 0) {
            reason = std::string("the file cannot be read (") + std::strerror(errno) + ")";
            return false;
        }
        const bool last = got == 0;
        fed += static_cast<uint64_t>(got);
        const XML_Status status = XML_ParseBuffer(parser.get(), static_cast<int>(got), last ? XML_TRUE : XML_FALSE);
        if (reader.refused()) {
            reason = reader.reason();
            return false;
        }
        if (status != XML_STATUS_OK) {
            reason = std::string("the file is not well-formed XML: ") + XML_ErrorString(XML_GetErrorCode(parser.get())) +
                     " (line " + std::to_string(XML_GetCurrentLineNumber(parser.get())) + ", column " +
                     std::to_string(XML_GetCurrentColumnNumber(parser.get())) + ")";
            return false;
        }
        if (last) return true;
        // Expat keeps an unfinished piece of markup and scans it again from its start on
        // every call; feeding at least as much as it keeps makes that linear, not quadratic.
        const XML_Index at = XML_GetCurrentByteIndex(parser.get());
        const uint64_t kept = at >= 0 && fed > static_cast<uint64_t>(at) ? fed - static_cast<uint64_t>(at) : 0;
        if (kept >= TOKEN_LIMIT) {
            reason = "it holds one piece of markup (a tag with its attributes, a comment) larger than " +
                     std::to_string(TOKEN_LIMIT >> 20) + " MiB, from byte " + std::to_string(at);
            return false;
        }
        // Fed up to the limit and still unfinished, a piece is over it: the limit is exact.
        chunk = static_cast<size_t>(std::min<uint64_t>(std::max<uint64_t>(READ_CHUNK, kept), TOKEN_LIMIT - kept));
    }
}

}  // namespace

ReadOutcome read_by_element_names(const std::string& path, EntrySink& sink) {
    ReadOutcome outcome;
    outcome.summary.reader = std::string(ELEMENT_NAMES_READER);
    MapFile file;
    if (!file.open(path, outcome.reason)) return outcome;

    std::string start_bytes;
    if (!file.read_start(FIRST_LINE_LIMIT + 4, start_bytes, outcome.reason)) return outcome;
    if (start_bytes.empty()) {
        outcome.reason = "the file is empty";
        return outcome;
    }
    if (start_bytes.substr(0, 2) == "\xFF\xFE" || start_bytes.substr(0, 2) == "\xFE\xFF") {
        outcome.reason = "the file is UTF-16 text; save the map as UTF-8";
        return outcome;
    }

    MapHeader header;
    ElementReader check(Pass::check, header, nullptr);
    if (!run_pass(file.fd(), check, outcome.reason)) return outcome;
    header.layers = check.layers_seen();
    header.tiles = check.tiles_seen();
    if (header.infinite && !check_used_area(header.area, outcome.reason)) return outcome;

    ElementReader emit(Pass::emit, header, &sink);
    emit.set_first_line(first_line_as_read(start_bytes));
    const uint64_t layers = header.layers;
    if (!run_pass(file.fd(), emit, outcome.reason)) return outcome;
    if (emit.layers_seen() != layers || emit.tiles_seen() != header.tiles) {
        outcome.reason = "the file changed while it was read";
        return outcome;
    }
    sink.add("</map>");

    fill_summary(outcome.summary, header.width, header.height, header.tile_width, header.tile_height, header.layers,
                 header.infinite ? header.layers * header.width * header.height : header.tiles,
                 header.infinite ? header.area.description() : "");
    outcome.summary.features = header.features;
    outcome.ok = true;
    return outcome;
}

}  // namespace app
