// Streaming decoders for tile layer data. Everything works on pieces as the XML parser
// hands them over, so a layer of any size costs a few buffers, never its whole text.
#include "app/layer_decoder.h"

#include <zlib.h>
#include <zstd.h>
#include <zstd_errors.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <new>

namespace app {

namespace {

constexpr size_t INFLATE_CHUNK = 64 * 1024;
constexpr size_t ZSTD_HEADER_MAX = 18;  // the largest frame header the format allows
constexpr size_t BASE64_CHUNK = 48 * 1024;  // decoded bytes collected before they move on
constexpr uint64_t GID_LIMIT = 0xFFFFFFFFull;

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Value of a base64 character, -1 for anything else.
constexpr std::array<int8_t, 256> make_base64_table() {
    std::array<int8_t, 256> table{};
    for (auto& v : table) v = -1;
    const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int i = 0; i < 64; ++i) table[static_cast<unsigned char>(alphabet[i])] = static_cast<int8_t>(i);
    return table;
}
constexpr std::array<int8_t, 256> BASE64_VALUES = make_base64_table();

class VectorReceiver : public CellReceiver {
public:
    explicit VectorReceiver(std::vector<uint32_t>& cells) : cells_(cells) {}
    void cell(uint32_t gid) override { cells_.push_back(gid); }

private:
    std::vector<uint32_t>& cells_;
};

}  // namespace

const char* describe(DecodeFailure failure) {
    switch (failure) {
        case DecodeFailure::none: return "no failure";
        case DecodeFailure::bad_number: return "a tile number that is not a whole number";
        case DecodeFailure::number_out_of_range: return "a tile number beyond 32 bits";
        case DecodeFailure::empty_field: return "an empty CSV field";
        case DecodeFailure::bad_base64: return "invalid base64 text";
        case DecodeFailure::bad_compressed_data: return "corrupt compressed data";
        case DecodeFailure::truncated_compressed_data: return "compressed data that ends too early";
        case DecodeFailure::data_after_stream_end: return "data behind the end of the compressed stream";
        case DecodeFailure::partial_cell: return "a byte count that is not a whole number of tiles";
        case DecodeFailure::too_many_cells: return "more tiles than the map has cells";
        case DecodeFailure::too_few_cells: return "fewer tiles than the map has cells";
        case DecodeFailure::no_memory: return "not enough memory to decode it";
    }
    return "an unknown failure";
}

bool layer_format_from_attributes(std::string_view encoding, std::string_view compression,
                                  LayerEncoding& encoding_out, LayerCompression& compression_out) {
    compression_out = LayerCompression::none;
    if (encoding.empty()) {
        encoding_out = LayerEncoding::xml;
        return compression.empty();
    }
    if (encoding == "csv") {
        encoding_out = LayerEncoding::csv;
        return compression.empty();
    }
    if (encoding != "base64") return false;
    encoding_out = LayerEncoding::base64;
    if (compression.empty()) return true;
    if (compression == "zlib") {
        compression_out = LayerCompression::zlib;
    } else if (compression == "gzip") {
        compression_out = LayerCompression::gzip;
    } else if (compression == "zstd") {
        compression_out = LayerCompression::zstd;
    } else {
        return false;
    }
    return true;
}

bool parse_gid(std::string_view text, uint32_t& gid, bool& out_of_range) {
    out_of_range = false;
    if (text.empty()) return false;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<uint64_t>(c - '0');
        if (value > GID_LIMIT) {
            out_of_range = true;
            return false;
        }
    }
    gid = static_cast<uint32_t>(value);
    return true;
}

// The inflater or zstd stream of a compressed layer; its output goes to the cell assembly.
struct LayerDecoder::Decompressor {
    explicit Decompressor(LayerCompression kind) : compression(kind) {}
    ~Decompressor() {
        if (zlib_ready) inflateEnd(&zlib);
        if (zstd != nullptr) ZSTD_freeDStream(zstd);
    }
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;

    bool start() {
        if (compression == LayerCompression::zstd) {
            zstd = ZSTD_createDStream();
            return zstd != nullptr && !ZSTD_isError(ZSTD_initDStream(zstd));
        }
        zlib = z_stream{};
        // 15 + 32: the zlib or gzip header is recognised by itself, as the editor reads them.
        zlib_ready = inflateInit2(&zlib, 15 + 32) == Z_OK;
        return zlib_ready;
    }

    DecodeFailure push(const unsigned char* bytes, size_t size, LayerDecoder& decoder) {
        if (size == 0) return DecodeFailure::none;
        if (ended) return DecodeFailure::data_after_stream_end;
        return compression == LayerCompression::zstd ? push_zstd(bytes, size, decoder)
                                                     : push_zlib(bytes, size, decoder);
    }

    DecodeFailure push_zlib(const unsigned char* bytes, size_t size, LayerDecoder& decoder) {
        zlib.next_in = const_cast<Bytef*>(bytes);
        zlib.avail_in = static_cast<uInt>(size);
        while (zlib.avail_in > 0 && !ended) {
            zlib.next_out = output.data();
            zlib.avail_out = static_cast<uInt>(output.size());
            const int rc = inflate(&zlib, Z_NO_FLUSH);
            const size_t produced = output.size() - zlib.avail_out;
            const DecodeFailure taken = decoder.take_plain_bytes(output.data(), produced);
            if (taken != DecodeFailure::none) return taken;
            if (rc == Z_STREAM_END) {
                ended = true;
            } else if (rc == Z_MEM_ERROR) {
                return DecodeFailure::no_memory;
            } else if (rc != Z_OK && rc != Z_BUF_ERROR) {
                return DecodeFailure::bad_compressed_data;
            } else if (rc == Z_BUF_ERROR && produced == 0) {
                return DecodeFailure::bad_compressed_data;  // no progress with input left
            }
        }
        if (ended && zlib.avail_in > 0) return DecodeFailure::data_after_stream_end;
        return DecodeFailure::none;
    }

    DecodeFailure push_zstd(const unsigned char* bytes, size_t size, LayerDecoder& decoder) {
        keep_frame_header(bytes, size);
        ZSTD_inBuffer in{bytes, size, 0};
        while (in.pos < in.size) {
            if (ended) return DecodeFailure::data_after_stream_end;
            ZSTD_outBuffer out{output.data(), output.size(), 0};
            const size_t rc = ZSTD_decompressStream(zstd, &out, &in);
            if (ZSTD_isError(rc)) {
                return ZSTD_getErrorCode(rc) == ZSTD_error_memory_allocation ? DecodeFailure::no_memory
                                                                             : DecodeFailure::bad_compressed_data;
            }
            zstd_decoded += out.pos;
            const DecodeFailure taken = decoder.take_plain_bytes(output.data(), out.pos);
            if (taken != DecodeFailure::none) return taken;
            if (rc == 0) {  // the frame is complete
                ended = true;
                if (!frame_size_agrees()) return DecodeFailure::bad_compressed_data;
            }
        }
        return DecodeFailure::none;
    }

    // The frame's first bytes, enough for its header, so its declared size can be checked.
    void keep_frame_header(const unsigned char* bytes, size_t size) {
        const size_t n = std::min(size, zstd_header.size() - zstd_header_size);
        std::copy(bytes, bytes + n, zstd_header.begin() + static_cast<std::ptrdiff_t>(zstd_header_size));
        zstd_header_size += n;
    }

    // The library checks the size a frame declares when the whole frame comes in one call,
    // but not when it arrives in pieces and ends with an empty block; the same text must
    // fail however it is cut, so the check is made here for every frame (a skippable frame
    // declares 0, which is what it gives).
    bool frame_size_agrees() const {
        const unsigned long long declared = ZSTD_getFrameContentSize(zstd_header.data(), zstd_header_size);
        return declared == ZSTD_CONTENTSIZE_UNKNOWN || declared == ZSTD_CONTENTSIZE_ERROR || declared == zstd_decoded;
    }

    // At the end of the text: output still held inside the stream is drained first.
    DecodeFailure finish(LayerDecoder& decoder) {
        if (ended) return DecodeFailure::none;
        if (compression == LayerCompression::zstd) {
            for (;;) {
                ZSTD_inBuffer in{nullptr, 0, 0};
                ZSTD_outBuffer out{output.data(), output.size(), 0};
                const size_t rc = ZSTD_decompressStream(zstd, &out, &in);
                if (ZSTD_isError(rc)) return DecodeFailure::bad_compressed_data;
                const DecodeFailure taken = decoder.take_plain_bytes(output.data(), out.pos);
                if (taken != DecodeFailure::none) return taken;
                if (rc == 0) return DecodeFailure::none;
                if (out.pos == 0) return DecodeFailure::truncated_compressed_data;
            }
        }
        for (;;) {
            zlib.next_in = nullptr;
            zlib.avail_in = 0;
            zlib.next_out = output.data();
            zlib.avail_out = static_cast<uInt>(output.size());
            const int rc = inflate(&zlib, Z_FINISH);
            const size_t produced = output.size() - zlib.avail_out;
            const DecodeFailure taken = decoder.take_plain_bytes(output.data(), produced);
            if (taken != DecodeFailure::none) return taken;
            if (rc == Z_STREAM_END) return DecodeFailure::none;
            if (rc == Z_DATA_ERROR) return DecodeFailure::bad_compressed_data;
            if (produced == 0) return DecodeFailure::truncated_compressed_data;
        }
    }

    LayerCompression compression;
    z_stream zlib{};
    bool zlib_ready = false;
    ZSTD_DStream* zstd = nullptr;
    std::array<unsigned char, ZSTD_HEADER_MAX> zstd_header{};
    size_t zstd_header_size = 0;
    uint64_t zstd_decoded = 0;
    bool ended = false;
    std::array<unsigned char, INFLATE_CHUNK> output{};
};

LayerDecoder::LayerDecoder(LayerEncoding encoding, LayerCompression compression, uint64_t expected_cells,
                           CellReceiver& receiver)
    : encoding_(encoding), compression_(compression), expected_cells_(expected_cells), receiver_(receiver) {
    if (encoding_ == LayerEncoding::base64 && compression_ != LayerCompression::none) {
        decompressor_.reset(new (std::nothrow) Decompressor(compression_));
        if (decompressor_ == nullptr || !decompressor_->start()) failure_ = DecodeFailure::no_memory;
    }
}

LayerDecoder::~LayerDecoder() = default;

DecodeFailure LayerDecoder::fail(DecodeFailure failure) {
    if (failure_ == DecodeFailure::none) failure_ = failure;
    return failure_;
}

DecodeFailure LayerDecoder::add_cell(uint32_t gid) {
    if (failure_ != DecodeFailure::none) return failure_;
    if (cells_ >= expected_cells_) return fail(DecodeFailure::too_many_cells);
    ++cells_;
    receiver_.cell(gid);
    return DecodeFailure::none;
}

DecodeFailure LayerDecoder::feed(std::string_view text) {
    if (failure_ != DecodeFailure::none) return failure_;
    switch (encoding_) {
        case LayerEncoding::xml: return DecodeFailure::none;
        case LayerEncoding::csv: return feed_csv(text);
        case LayerEncoding::base64: return feed_base64(text);
    }
    return DecodeFailure::none;
}

// Fields are separated by commas; blanks (the editor's line ends) may surround a number.
DecodeFailure LayerDecoder::feed_csv(std::string_view text) {
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            if (csv_after_digits_) return fail(DecodeFailure::bad_number);
            csv_value_ = csv_value_ * 10 + static_cast<uint64_t>(c - '0');
            if (csv_value_ > GID_LIMIT) return fail(DecodeFailure::number_out_of_range);
            csv_digits_ = true;
            csv_any_ = true;
        } else if (c == ',') {
            if (!csv_digits_) return fail(DecodeFailure::empty_field);
            if (add_cell(static_cast<uint32_t>(csv_value_)) != DecodeFailure::none) return failure_;
            csv_value_ = 0;
            csv_digits_ = false;
            csv_after_digits_ = false;
            csv_any_ = true;
        } else if (is_blank(c)) {
            if (csv_digits_) csv_after_digits_ = true;
        } else {
            return fail(DecodeFailure::bad_number);
        }
    }
    return DecodeFailure::none;
}

DecodeFailure LayerDecoder::feed_base64(std::string_view text) {
    std::array<unsigned char, BASE64_CHUNK> bytes;
    size_t filled = 0;
    for (char c : text) {
        if (is_blank(c)) continue;
        if (c == '=') {
            // Padding completes a group of 2 or 3 characters; at most two of them.
            if (b64_count_ + b64_padding_ < 2 || b64_padding_ >= 2 ||
                b64_count_ + b64_padding_ >= 4) {
                return bad_base64(bytes.data(), filled);
            }
            ++b64_padding_;
            continue;
        }
        const int value = BASE64_VALUES[static_cast<unsigned char>(c)];
        if (value < 0 || b64_padding_ > 0) return bad_base64(bytes.data(), filled);
        b64_bits_ = (b64_bits_ << 6) | static_cast<uint32_t>(value);
        if (++b64_count_ == 4) {
            bytes[filled++] = static_cast<unsigned char>(b64_bits_ >> 16);
            bytes[filled++] = static_cast<unsigned char>(b64_bits_ >> 8);
            bytes[filled++] = static_cast<unsigned char>(b64_bits_);
            b64_bits_ = 0;
            b64_count_ = 0;
            if (filled + 3 > bytes.size()) {
                if (take_bytes(bytes.data(), filled) != DecodeFailure::none) return failure_;
                filled = 0;
            }
        }
    }
    if (filled > 0) take_bytes(bytes.data(), filled);
    return failure_;
}

// The bytes decoded before a bad character move on first, so that where the text is cut
// into pieces never changes which failure is met first.
DecodeFailure LayerDecoder::bad_base64(const unsigned char* decoded, size_t size) {
    if (size > 0 && take_bytes(decoded, size) != DecodeFailure::none) return failure_;
    return fail(DecodeFailure::bad_base64);
}

DecodeFailure LayerDecoder::take_bytes(const unsigned char* bytes, size_t size) {
    if (failure_ != DecodeFailure::none) return failure_;
    if (decompressor_ == nullptr) return take_plain_bytes(bytes, size);
    const DecodeFailure result = decompressor_->push(bytes, size, *this);
    return result == DecodeFailure::none ? failure_ : fail(result);
}

// Four bytes per cell, least significant first, as the editor writes them.
DecodeFailure LayerDecoder::take_plain_bytes(const unsigned char* bytes, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        partial_ |= static_cast<uint32_t>(bytes[i]) << (8 * partial_bytes_);
        if (++partial_bytes_ == 4) {
            if (add_cell(partial_) != DecodeFailure::none) return failure_;
            partial_ = 0;
            partial_bytes_ = 0;
        }
    }
    return failure_;
}

DecodeFailure LayerDecoder::finish() {
    if (failure_ != DecodeFailure::none || finished_) return failure_;
    finished_ = true;
    if (encoding_ == LayerEncoding::csv) {
        // One trailing comma is tolerated, as the editor's own reader does.
        if (csv_digits_) {
            if (add_cell(static_cast<uint32_t>(csv_value_)) != DecodeFailure::none) return failure_;
        } else if (csv_any_ && cells_ == 0) {
            return fail(DecodeFailure::empty_field);
        }
    } else if (encoding_ == LayerEncoding::base64) {
        // A last group without its padding is accepted; one lone character is not.
        const int group = b64_count_;
        if (group == 1 || (b64_padding_ > 0 && group + b64_padding_ != 4)) return fail(DecodeFailure::bad_base64);
        unsigned char tail[2];
        size_t tail_size = 0;
        if (group == 2) {
            tail[tail_size++] = static_cast<unsigned char>(b64_bits_ >> 4);
        } else if (group == 3) {
            tail[tail_size++] = static_cast<unsigned char>(b64_bits_ >> 10);
            tail[tail_size++] = static_cast<unsigned char>(b64_bits_ >> 2);
        }
        if (tail_size > 0 && take_bytes(tail, tail_size) != DecodeFailure::none) return failure_;
        if (decompressor_ != nullptr) {
            const DecodeFailure drained = decompressor_->finish(*this);
            if (drained != DecodeFailure::none) return fail(drained);
            if (failure_ != DecodeFailure::none) return failure_;
        }
        if (partial_bytes_ != 0) return fail(DecodeFailure::partial_cell);
    }
    if (cells_ < expected_cells_) return fail(DecodeFailure::too_few_cells);
    return DecodeFailure::none;
}

DecodeFailure decode_layer_text(std::string_view text, LayerEncoding encoding, LayerCompression compression,
                                uint64_t expected_cells, std::vector<uint32_t>& cells) {
    cells.clear();
    VectorReceiver receiver(cells);
    LayerDecoder decoder(encoding, compression, expected_cells, receiver);
    const DecodeFailure fed = decoder.feed(text);
    if (fed != DecodeFailure::none) return fed;
    return decoder.finish();
}

}  // namespace app
