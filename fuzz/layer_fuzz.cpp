// Links: converter
// The layer decoders (CSV, base64, base64 with zlib, gzip or zstd) fed in random pieces:
// pieces must give what the whole text gives (the same cells, the same failure), never
// more cells than expected, and all of them when nothing failed.
//
// Input: byte 0 the format, bytes 1-3 the expected cells, byte 4 flags (bit 0: the rest is
// binary that the harness writes as base64, so compressed streams are reached directly),
// bytes 5-8 the seed of the piece sizes and line breaks, then the data.
#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "app/layer_decoder.h"
#include "support/fuzz_support.h"

namespace {

using app::LayerCompression;
using app::LayerEncoding;

constexpr size_t HEADER = 9;
constexpr uint32_t EXPECTED_LIMIT = 1u << 17;

struct Format {
    LayerEncoding encoding;
    LayerCompression compression;
};
constexpr Format FORMATS[] = {{LayerEncoding::csv, LayerCompression::none},
                              {LayerEncoding::base64, LayerCompression::none},
                              {LayerEncoding::base64, LayerCompression::zlib},
                              {LayerEncoding::base64, LayerCompression::gzip},
                              {LayerEncoding::base64, LayerCompression::zstd}};

// A small generator for piece sizes, so an input always cuts the same way.
struct Pieces {
    uint32_t state;
    uint32_t next(uint32_t limit) {
        state = state * 1103515245u + 12345u;
        return (state >> 8) % limit;
    }
};

std::string base64_lines(const uint8_t* bytes, size_t size, Pieces& pieces) {
    static const char* ALPHABET = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    const uint32_t line = 4 + pieces.next(80);
    for (size_t i = 0; i < size; i += 3) {
        uint32_t group = uint32_t{bytes[i]} << 16;
        if (i + 1 < size) group |= uint32_t{bytes[i + 1]} << 8;
        if (i + 2 < size) group |= bytes[i + 2];
        for (size_t k = 0; k < 4; ++k) out.push_back(k <= size - i ? ALPHABET[(group >> (18 - 6 * k)) & 63] : '=');
        if (out.size() % line < 4) out += "\n   ";
    }
    return out;
}

class KeptCells : public app::CellReceiver {
public:
    void cell(uint32_t gid) override { cells.push_back(gid); }
    std::vector<uint32_t> cells;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < HEADER) return 0;
    const Format format = FORMATS[data[0] % std::size(FORMATS)];
    const uint64_t expected = fuzz::header_field(data, size, 1, 3) % (EXPECTED_LIMIT + 1);
    const bool binary = (data[4] & 1) != 0 && format.encoding == LayerEncoding::base64;
    Pieces pieces{fuzz::header_field(data, size, 5, 4)};
    const std::string text = binary ? base64_lines(data + HEADER, size - HEADER, pieces)
                                    : std::string(reinterpret_cast<const char*>(data) + HEADER, size - HEADER);

    std::vector<uint32_t> whole;
    const app::DecodeFailure whole_failure =
        app::decode_layer_text(text, format.encoding, format.compression, expected, whole);

    KeptCells in_pieces;
    app::DecodeFailure failure = app::DecodeFailure::none;
    {
        app::LayerDecoder decoder(format.encoding, format.compression, expected, in_pieces);
        for (size_t at = 0; at < text.size() && failure == app::DecodeFailure::none;) {
            const size_t n = 1 + pieces.next(96);
            failure = decoder.feed(std::string_view(text).substr(at, n));
            at += n;
        }
        if (failure == app::DecodeFailure::none) failure = decoder.finish();
        fuzz::require(decoder.cells() == in_pieces.cells.size(), "the decoder counts the cells it handed on");
    }
    fuzz::require((failure == app::DecodeFailure::none) == (whole_failure == app::DecodeFailure::none),
                  "pieces fail where the whole text fails");
    if (whole_failure == app::DecodeFailure::none) {
        fuzz::require(in_pieces.cells == whole, "pieces give the cells the whole text gives");
    } else {
        // zstd reports a fault without the output of the same call, so the cells before a
        // failure, and whether too many of them came first, depend on the pieces there.
        const size_t common = std::min(whole.size(), in_pieces.cells.size());
        fuzz::require(std::equal(whole.begin(), whole.begin() + common, in_pieces.cells.begin()),
                      "cells before a failure agree");
        fuzz::require(failure == whole_failure || format.compression == LayerCompression::zstd,
                      "pieces meet the failure the whole text meets");
    }
    fuzz::require(whole.size() <= expected, "never more cells than expected");
    fuzz::require(whole_failure != app::DecodeFailure::none || whole.size() == expected, "success means every cell");
    return 0;
}
