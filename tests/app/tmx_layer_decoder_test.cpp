// Layer data decoders: every encoding the editor writes, exact cell counts, every failure.
#include <gtest/gtest.h>
#include <zlib.h>
#include <zstd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/layer_decoder.h"

using app::decode_layer_text;
using app::DecodeFailure;
using app::LayerCompression;
using app::LayerEncoding;

namespace {

const std::vector<uint32_t> CELLS = {1, 0, 30, 2147483649u, 70000, 4294967295u};

std::string little_endian(const std::vector<uint32_t>& cells) {
    std::string bytes;
    for (uint32_t c : cells) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>((c >> (8 * i)) & 0xFF));
    }
    return bytes;
}

std::string base64(const std::string& bytes) {
    static const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const uint32_t v = (static_cast<uint8_t>(bytes[i]) << 16) | (static_cast<uint8_t>(bytes[i + 1]) << 8) |
                           static_cast<uint8_t>(bytes[i + 2]);
        for (int s = 18; s >= 0; s -= 6) out.push_back(alphabet[(v >> s) & 63]);
    }
    if (bytes.size() - i == 1) {
        const uint32_t v = static_cast<uint8_t>(bytes[i]) << 16;
        out += std::string{alphabet[(v >> 18) & 63], alphabet[(v >> 12) & 63], '=', '='};
    } else if (bytes.size() - i == 2) {
        const uint32_t v = (static_cast<uint8_t>(bytes[i]) << 16) | (static_cast<uint8_t>(bytes[i + 1]) << 8);
        out += std::string{alphabet[(v >> 18) & 63], alphabet[(v >> 12) & 63], alphabet[(v >> 6) & 63], '='};
    }
    return out;
}

// window_bits 15 gives a zlib stream, 31 a gzip stream.
std::string deflated(const std::string& bytes, int window_bits) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, 9, Z_DEFLATED, window_bits, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::string out(deflateBound(&z, static_cast<uLong>(bytes.size())) + 64, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = static_cast<uInt>(bytes.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

std::string zstd_compressed(const std::string& bytes) {
    std::string out(ZSTD_compressBound(bytes.size()), '\0');
    const size_t size = ZSTD_compress(out.data(), out.size(), bytes.data(), bytes.size(), 3);
    EXPECT_FALSE(ZSTD_isError(size));
    out.resize(size);
    return out;
}

std::string compressed(const std::string& bytes, LayerCompression compression) {
    switch (compression) {
        case LayerCompression::none: return bytes;
        case LayerCompression::zlib: return deflated(bytes, 15);
        case LayerCompression::gzip: return deflated(bytes, 31);
        case LayerCompression::zstd: return zstd_compressed(bytes);
    }
    return bytes;
}

class CountingReceiver : public app::CellReceiver {
public:
    void cell(uint32_t gid) override {
        ++count;
        last = gid;
    }
    uint64_t count = 0;
    uint32_t last = 0;
};

}  // namespace

TEST(LayerFormat, NamesFromAttributes) {
    struct Case {
        const char* encoding;
        const char* compression;
        bool known;
        LayerEncoding encoding_out;
        LayerCompression compression_out;
    };
    const Case cases[] = {
        {"", "", true, LayerEncoding::xml, LayerCompression::none},
        {"csv", "", true, LayerEncoding::csv, LayerCompression::none},
        {"base64", "", true, LayerEncoding::base64, LayerCompression::none},
        {"base64", "zlib", true, LayerEncoding::base64, LayerCompression::zlib},
        {"base64", "gzip", true, LayerEncoding::base64, LayerCompression::gzip},
        {"base64", "zstd", true, LayerEncoding::base64, LayerCompression::zstd},
        {"base64", "lzma", false, LayerEncoding::base64, LayerCompression::none},
        {"csv", "zlib", false, LayerEncoding::csv, LayerCompression::none},
        {"", "zlib", false, LayerEncoding::xml, LayerCompression::none},
        {"base32", "", false, LayerEncoding::xml, LayerCompression::none},
        {"CSV", "", false, LayerEncoding::xml, LayerCompression::none},
    };
    for (const Case& c : cases) {
        LayerEncoding encoding{};
        LayerCompression compression{};
        EXPECT_EQ(app::layer_format_from_attributes(c.encoding, c.compression, encoding, compression), c.known)
            << c.encoding << "/" << c.compression;
        if (c.known) {
            EXPECT_EQ(encoding, c.encoding_out) << c.encoding;
            EXPECT_EQ(compression, c.compression_out) << c.compression;
        }
    }
}

TEST(LayerFormat, ParseGid) {
    uint32_t gid = 0;
    bool out_of_range = false;
    EXPECT_TRUE(app::parse_gid("0", gid, out_of_range));
    EXPECT_EQ(gid, 0u);
    EXPECT_TRUE(app::parse_gid("4294967295", gid, out_of_range));
    EXPECT_EQ(gid, 4294967295u);
    EXPECT_TRUE(app::parse_gid("007", gid, out_of_range));
    EXPECT_EQ(gid, 7u);
    EXPECT_FALSE(app::parse_gid("4294967296", gid, out_of_range));
    EXPECT_TRUE(out_of_range);
    for (const char* bad : {"", "-1", "+1", " 1", "1 ", "1.0", "x"}) {
        EXPECT_FALSE(app::parse_gid(bad, gid, out_of_range)) << bad;
        EXPECT_FALSE(out_of_range) << bad;
    }
}

TEST(CsvLayer, DecodesTheEditorsForms) {
    const char* forms[] = {
        "1,0,30,2147483649,70000,4294967295",
        "\n1,0,30,\n2147483649,70000,4294967295\n",
        "1, 0 ,30,\t2147483649,70000,4294967295",
        "1,0,30,2147483649,70000,4294967295,",  // one trailing comma, as the editor accepts
        "\r\n1,0,30,\r\n2147483649,70000,4294967295\r\n",
    };
    for (const char* text : forms) {
        std::vector<uint32_t> cells;
        EXPECT_EQ(decode_layer_text(text, LayerEncoding::csv, LayerCompression::none, CELLS.size(), cells),
                  DecodeFailure::none)
            << text;
        EXPECT_EQ(cells, CELLS) << text;
    }
}

TEST(CsvLayer, RefusesWhatIsNotOneNumberPerCell) {
    struct Case {
        const char* text;
        uint64_t expected;
        DecodeFailure failure;
    };
    const Case cases[] = {
        {"1,2,3", 4, DecodeFailure::too_few_cells},
        {"1,2,3,4,5", 4, DecodeFailure::too_many_cells},
        {"1,,3,4", 4, DecodeFailure::empty_field},
        {",1,2,3", 3, DecodeFailure::empty_field},
        {"1,2,3,4,,", 4, DecodeFailure::empty_field},
        {",", 0, DecodeFailure::empty_field},
        {"1,2 3,4", 3, DecodeFailure::bad_number},
        {"1,-2,3", 3, DecodeFailure::bad_number},
        {"1,2.5,3", 3, DecodeFailure::bad_number},
        {"1,a,3", 3, DecodeFailure::bad_number},
        {"1,4294967296,3", 3, DecodeFailure::number_out_of_range},
        {"", 1, DecodeFailure::too_few_cells},
        {"  \n ", 0, DecodeFailure::none},
    };
    for (const Case& c : cases) {
        std::vector<uint32_t> cells;
        EXPECT_EQ(decode_layer_text(c.text, LayerEncoding::csv, LayerCompression::none, c.expected, cells),
                  c.failure)
            << "\"" << c.text << "\"";
    }
}

TEST(Base64Layer, EveryCompressionGivesTheSameCells) {
    for (LayerCompression compression :
         {LayerCompression::none, LayerCompression::zlib, LayerCompression::gzip, LayerCompression::zstd}) {
        const std::string text = "\n   " + base64(compressed(little_endian(CELLS), compression)) + "\n  ";
        std::vector<uint32_t> cells;
        EXPECT_EQ(decode_layer_text(text, LayerEncoding::base64, compression, CELLS.size(), cells), DecodeFailure::none)
            << static_cast<int>(compression);
        EXPECT_EQ(cells, CELLS) << static_cast<int>(compression);
    }
}

TEST(Base64Layer, GzipAndZlibHeadersAreBothRecognised) {
    // The editor's reader takes either header under either name; so does ours.
    std::vector<uint32_t> cells;
    const std::string gzip_text = base64(compressed(little_endian(CELLS), LayerCompression::gzip));
    EXPECT_EQ(decode_layer_text(gzip_text, LayerEncoding::base64, LayerCompression::zlib, CELLS.size(), cells),
              DecodeFailure::none);
    EXPECT_EQ(cells, CELLS);
}

TEST(Base64Layer, PaddingAndBlanks) {
    // 1 cell = 4 bytes ends in "==", 2 cells = 8 bytes in "=".
    for (const std::vector<uint32_t>& expected : {std::vector<uint32_t>{5}, std::vector<uint32_t>{5, 6}}) {
        const std::string padded = base64(little_endian(expected));
        const size_t padding = expected.size() == 1 ? 2 : 1;
        ASSERT_EQ(padded.substr(padded.size() - padding), std::string(padding, '='));
        const std::string unpadded = padded.substr(0, padded.size() - padding);
        std::string spaced;
        for (char c : padded) {
            spaced += c;
            spaced += " \n";
        }
        for (const std::string& text : {padded, unpadded, spaced}) {
            std::vector<uint32_t> cells;
            EXPECT_EQ(decode_layer_text(text, LayerEncoding::base64, LayerCompression::none, expected.size(), cells),
                      DecodeFailure::none)
                << text;
            EXPECT_EQ(cells, expected) << text;
        }
    }
}

TEST(Base64Layer, RefusesBadTextAndWrongSizes) {
    const std::string good = base64(little_endian(CELLS));
    struct Case {
        std::string text;
        LayerCompression compression;
        uint64_t expected;
        DecodeFailure failure;
    };
    const std::string zlib_stream = compressed(little_endian(CELLS), LayerCompression::zlib);
    const std::string zstd_stream = compressed(little_endian(CELLS), LayerCompression::zstd);
    std::string corrupt = zlib_stream;
    for (size_t i = 2; i < corrupt.size(); ++i) corrupt[i] = static_cast<char>(0xFF);
    const Case cases[] = {
        {"AAA*", LayerCompression::none, 1, DecodeFailure::bad_base64},
        {"A", LayerCompression::none, 0, DecodeFailure::bad_base64},
        {"AAAAA", LayerCompression::none, 1, DecodeFailure::bad_base64},
        {"AA=A", LayerCompression::none, 1, DecodeFailure::bad_base64},
        {"A===", LayerCompression::none, 1, DecodeFailure::bad_base64},
        {good + "AAAA", LayerCompression::none, CELLS.size(), DecodeFailure::partial_cell},
        {good, LayerCompression::none, CELLS.size() + 1, DecodeFailure::too_few_cells},
        {good, LayerCompression::none, CELLS.size() - 1, DecodeFailure::too_many_cells},
        {base64(corrupt), LayerCompression::zlib, CELLS.size(), DecodeFailure::bad_compressed_data},
        {base64(zlib_stream.substr(0, zlib_stream.size() - 6)), LayerCompression::zlib, CELLS.size(),
         DecodeFailure::truncated_compressed_data},
        {base64(zlib_stream + zlib_stream), LayerCompression::zlib, CELLS.size(), DecodeFailure::data_after_stream_end},
        {base64(zstd_stream.substr(0, zstd_stream.size() - 3)), LayerCompression::zstd, CELLS.size(),
         DecodeFailure::truncated_compressed_data},
        {base64("not zstd at all"), LayerCompression::zstd, CELLS.size(), DecodeFailure::bad_compressed_data},
        {"", LayerCompression::zlib, 0, DecodeFailure::truncated_compressed_data},
    };
    for (const Case& c : cases) {
        std::vector<uint32_t> cells;
        EXPECT_EQ(decode_layer_text(c.text, LayerEncoding::base64, c.compression, c.expected, cells), c.failure)
            << c.text << " " << app::describe(c.failure);
    }
}

TEST(LayerDecoder, PiecesOfAnySizeGiveTheSameCells) {
    // The XML parser hands text over in pieces that may split numbers and base64 groups.
    std::vector<uint32_t> many;
    for (uint32_t i = 0; i < 5000; ++i) many.push_back(i * 2654435761u);
    std::string csv;
    for (uint32_t c : many) csv += std::to_string(c) + ",\n";
    csv.pop_back();
    csv.pop_back();
    const std::string zstd_text = base64(compressed(little_endian(many), LayerCompression::zstd));
    const std::string zlib_text = base64(compressed(little_endian(many), LayerCompression::zlib));
    struct Case {
        const std::string* text;
        LayerEncoding encoding;
        LayerCompression compression;
    };
    const Case cases[] = {{&csv, LayerEncoding::csv, LayerCompression::none},
                          {&zstd_text, LayerEncoding::base64, LayerCompression::zstd},
                          {&zlib_text, LayerEncoding::base64, LayerCompression::zlib}};
    for (const Case& c : cases) {
        for (size_t piece : {size_t{1}, size_t{3}, size_t{7}, size_t{4096}}) {
            std::vector<uint32_t> cells;
            struct Into : app::CellReceiver {
                explicit Into(std::vector<uint32_t>& out) : cells(out) {}
                void cell(uint32_t gid) override { cells.push_back(gid); }
                std::vector<uint32_t>& cells;
            } receiver(cells);
            app::LayerDecoder decoder(c.encoding, c.compression, many.size(), receiver);
            for (size_t at = 0; at < c.text->size(); at += piece) {
                ASSERT_EQ(decoder.feed(std::string_view(*c.text).substr(at, piece)), DecodeFailure::none);
            }
            EXPECT_EQ(decoder.finish(), DecodeFailure::none);
            EXPECT_EQ(cells, many) << "piece " << piece;
        }
    }
}

TEST(LayerDecoder, XmlCellsAreCountedExactly) {
    CountingReceiver receiver;
    app::LayerDecoder decoder(LayerEncoding::xml, LayerCompression::none, 2, receiver);
    EXPECT_EQ(decoder.feed("\n   \n"), DecodeFailure::none);  // blanks between the tile elements
    EXPECT_EQ(decoder.add_cell(7), DecodeFailure::none);
    EXPECT_EQ(decoder.finish(), DecodeFailure::too_few_cells);

    CountingReceiver second;
    app::LayerDecoder full(LayerEncoding::xml, LayerCompression::none, 2, second);
    EXPECT_EQ(full.add_cell(7), DecodeFailure::none);
    EXPECT_EQ(full.add_cell(8), DecodeFailure::none);
    EXPECT_EQ(full.add_cell(9), DecodeFailure::too_many_cells);
    EXPECT_EQ(full.finish(), DecodeFailure::too_many_cells);  // the first failure sticks
    EXPECT_EQ(second.count, 2u);
}

TEST(LayerDecoder, ACompressionBombStopsAtTheMapsSize) {
    // 64 MiB of zeros compress to about 64 KiB; a 10-cell layer must stop after 10 cells
    // instead of inflating everything.
    const std::string zeros(64u << 20, '\0');
    const std::string text = base64(compressed(zeros, LayerCompression::zlib));
    CountingReceiver receiver;
    app::LayerDecoder decoder(LayerEncoding::base64, LayerCompression::zlib, 10, receiver);
    EXPECT_EQ(decoder.feed(text), DecodeFailure::too_many_cells);
    EXPECT_EQ(receiver.count, 10u);
}

TEST(LayerDecoder, ABadCharacterFailsAsItWouldInAnyPieces) {
    // The bytes before a bad character are decoded first, whether they came in an earlier
    // piece or in the same one: here they already hold more cells than the layer has.
    const std::string text = base64(compressed(little_endian({1, 2, 3}), LayerCompression::zlib)) + "!";
    for (size_t piece : {size_t{1}, size_t{5}, text.size()}) {
        CountingReceiver receiver;
        app::LayerDecoder decoder(LayerEncoding::base64, LayerCompression::zlib, 2, receiver);
        DecodeFailure failure = DecodeFailure::none;
        for (size_t at = 0; at < text.size() && failure == DecodeFailure::none; at += piece) {
            failure = decoder.feed(std::string_view(text).substr(at, piece));
        }
        EXPECT_EQ(failure, DecodeFailure::too_many_cells) << "piece " << piece;
        EXPECT_EQ(receiver.count, 2u) << "piece " << piece;
    }
}

TEST(LayerDecoder, AZstdFrameMustHoldTheSizeItDeclaresInAnyPieces) {
    // Two cells in a raw block, then an empty last block; the header's one-byte size says
    // how much the frame holds. Whole, the library checks that size itself; in pieces it
    // does not, and the decoder must fail all the same.
    for (const auto& [declared, failure] : {std::pair{8, DecodeFailure::none}, std::pair{16, DecodeFailure::bad_compressed_data}}) {
        std::string frame = "\x28\xB5\x2F\xFD\x20";
        frame += static_cast<char>(declared);
        frame += std::string("\x40\x00\x00", 3) + little_endian({5, 6}) + std::string("\x01\x00\x00", 3);
        const std::string text = base64(frame);
        for (size_t piece : {size_t{1}, size_t{4}, text.size()}) {
            CountingReceiver receiver;
            app::LayerDecoder decoder(LayerEncoding::base64, LayerCompression::zstd, 2, receiver);
            DecodeFailure met = DecodeFailure::none;
            for (size_t at = 0; at < text.size() && met == DecodeFailure::none; at += piece) {
                met = decoder.feed(std::string_view(text).substr(at, piece));
            }
            if (met == DecodeFailure::none) met = decoder.finish();
            EXPECT_EQ(met, failure) << "declared " << declared << ", piece " << piece;
        }
    }
}
