// Tile layer data in the encodings the map editor writes (XML tiles, CSV, base64 raw, zlib,
// gzip, zstd), decoded as a stream into gids with the cell count checked exactly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace app {

enum class LayerEncoding { xml, csv, base64 };
enum class LayerCompression { none, zlib, gzip, zstd };

enum class DecodeFailure {
    none,
    bad_number,           // a CSV field or tile gid that is not a whole number
    number_out_of_range,  // a gid beyond 32 bits
    empty_field,          // two CSV separators with nothing between them
    bad_base64,
    bad_compressed_data,
    truncated_compressed_data,
    data_after_stream_end,  // bytes behind the end of the compressed stream
    partial_cell,           // decoded bytes not a multiple of 4
    too_many_cells,
    too_few_cells,
    no_memory,
};

// A short phrase for a failure, for the refusal reason ("the CSV data holds ...").
const char* describe(DecodeFailure failure);

// The encoding and compression named by a data element's attributes (absent = empty);
// false for a value or combination the editor does not write.
bool layer_format_from_attributes(std::string_view encoding, std::string_view compression,
                                  LayerEncoding& encoding_out, LayerCompression& compression_out);

// Receives the decoded cells in order.
class CellReceiver {
public:
    virtual ~CellReceiver() = default;
    virtual void cell(uint32_t gid) = 0;
};

// Parses a gid written in decimal digits (no sign, no blanks); false when it is not one
// or does not fit in 32 bits (then out_of_range tells which).
bool parse_gid(std::string_view text, uint32_t& gid, bool& out_of_range);

// One layer's data, fed in pieces as they arrive. Never hands on more than expected_cells
// cells; finish() fails unless exactly expected_cells arrived. The first failure sticks.
class LayerDecoder {
public:
    LayerDecoder(LayerEncoding encoding, LayerCompression compression, uint64_t expected_cells,
                 CellReceiver& receiver);
    ~LayerDecoder();
    LayerDecoder(const LayerDecoder&) = delete;
    LayerDecoder& operator=(const LayerDecoder&) = delete;

    // A piece of the data element's text (CSV or base64); ignored for XML tiles.
    DecodeFailure feed(std::string_view text);
    // One cell of an XML tile layer (a <tile> element).
    DecodeFailure add_cell(uint32_t gid);
    // The end of the data element.
    DecodeFailure finish();
    uint64_t cells() const { return cells_; }

private:
    struct Decompressor;
    DecodeFailure fail(DecodeFailure failure);
    DecodeFailure feed_csv(std::string_view text);
    DecodeFailure feed_base64(std::string_view text);
    DecodeFailure take_bytes(const unsigned char* bytes, size_t size);  // after base64
    DecodeFailure bad_base64(const unsigned char* decoded, size_t size);
    DecodeFailure take_plain_bytes(const unsigned char* bytes, size_t size);  // uncompressed

    LayerEncoding encoding_;
    LayerCompression compression_;
    uint64_t expected_cells_;
    CellReceiver& receiver_;
    uint64_t cells_ = 0;
    DecodeFailure failure_ = DecodeFailure::none;
    bool finished_ = false;
    // CSV state.
    uint64_t csv_value_ = 0;
    bool csv_digits_ = false;      // digits seen in the current field
    bool csv_after_digits_ = false;  // blanks after the digits of the current field
    bool csv_any_ = false;         // any field or separator seen at all
    // base64 state.
    uint32_t b64_bits_ = 0;
    int b64_count_ = 0;     // sextets collected in b64_bits_
    int b64_padding_ = 0;   // '=' seen; only blanks may follow
    // Cell assembly from bytes.
    uint32_t partial_ = 0;
    int partial_bytes_ = 0;
    std::unique_ptr<Decompressor> decompressor_;
};

// A whole layer's text in one call, for small layers and tests.
DecodeFailure decode_layer_text(std::string_view text, LayerEncoding encoding,
                                LayerCompression compression, uint64_t expected_cells,
                                std::vector<uint32_t>& cells);

}  // namespace app
