// BMP and PNG reading and writing. Files come from outside, so every size in a header
// is checked against the file before anything is allocated or read.
#include "runtime/gfx2d/image_files.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "runtime/platform/files.h"

namespace runtime {

ImageBuffer::~ImageBuffer() { clear(); }

void ImageBuffer::clear() {
    std::free(pixels);
    pixels = nullptr;
    width = height = capacity = 0;
}

bool ImageBuffer::resize(int32_t w, int32_t h) {
    if (w < 0 || h < 0 || w > MAX_PICTURE_SIDE || h > MAX_PICTURE_SIDE) {
        clear();
        return false;
    }
    const int64_t bytes = static_cast<int64_t>(w) * h * 4;
    if (bytes > MAX_PICTURE_BYTES) {
        clear();
        return false;
    }
    if (bytes > capacity || pixels == nullptr) {
        clear();
        // At least one byte so that an empty picture still owns a buffer.
        pixels = static_cast<uint8_t*>(std::malloc(bytes > 0 ? static_cast<size_t>(bytes) : 1));
        if (!pixels) return false;
        capacity = static_cast<int32_t>(bytes);
    }
    width = w;
    height = h;
    return true;
}

std::string os_file_name(const char* file_name) {
    std::string name = file_name ? file_name : "";
    for (char& c : name) {
        if (c == '\\') c = '/';
    }
    return name;
}

void apply_colour_key(ImageBuffer& image, int64_t colour_key) {
    if (colour_key < 0) return;
    const uint8_t kr = static_cast<uint8_t>(colour_key & 0xFF),
                  kg = static_cast<uint8_t>((colour_key >> 8) & 0xFF),
                  kb = static_cast<uint8_t>((colour_key >> 16) & 0xFF);
    const int64_t count = static_cast<int64_t>(image.width) * image.height;
    uint8_t* p = image.pixels;
    for (int64_t i = 0; i < count; ++i, p += 4) {
        if (p[0] == kr && p[1] == kg && p[2] == kb) p[0] = p[1] = p[2] = p[3] = 0;
    }
}

namespace {

// A file opened for reading (others may read it too, nobody writes it meanwhile);
// reads must deliver exactly what they ask.
class FileReader {
public:
    explicit FileReader(const char* file_name) {
        const std::string name = os_file_name(file_name);
        if (name.size() >= platform::NAME_BUFFER_SIZE) return;
        file_ = platform::open_for_reading(name.c_str());
        size_ = platform::file_length(file_);
        if (size_ < 0) file_.close();
        remaining_ = size_ < 0 ? 0 : size_;
    }

    bool ok() const { return file_.is_open(); }
    int64_t size() const { return size_; }
    // Bytes the file still holds: callers check a claimed size against it before
    // allocating, so a header cannot make us reserve more than the file contains.
    int64_t remaining() const { return remaining_; }

    bool read(void* out, int64_t n) {
        if (!file_.is_open() || n < 0 || n > remaining_) return false;
        if (platform::read_some(file_, out, static_cast<size_t>(n)) != n) return false;
        remaining_ -= n;
        return true;
    }

private:
    platform::FileHandle file_;
    int64_t size_ = -1;
    int64_t remaining_ = 0;
};

uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
void put16(uint8_t* p, uint32_t v) {
    p[0] = v & 0xFF;
    p[1] = (v >> 8) & 0xFF;
}
void put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = (v >> (8 * i)) & 0xFF;
}

struct PaletteEntry {
    uint8_t red = 0, green = 0, blue = 0;
};

bool read_bmp(ImageBuffer& image, const char* file_name) {
    FileReader file(file_name);
    if (!file.ok()) return false;
    uint8_t head[14];
    if (!file.read(head, 2) || head[0] != 'B' || head[1] != 'M') return false;
    if (!file.read(head + 2, 12)) return false;
    const int64_t data_offset = le32(head + 10);
    uint8_t field[4];
    if (!file.read(field, 4)) return false;
    const uint32_t info_size = le32(field);

    int64_t width = 0, height = 0;
    int bits = 0;
    if (info_size == 12) {
        uint8_t core[8];
        if (!file.read(core, 8)) return false;
        width = le16(core);
        height = le16(core + 2);
        bits = le16(core + 6);
    } else if (info_size == 40) {
        uint8_t info[36];
        if (!file.read(info, 36)) return false;
        width = static_cast<int32_t>(le32(info));
        height = static_cast<int32_t>(le32(info + 4));
        bits = le16(info + 10);
    } else {
        return false;
    }

    std::vector<PaletteEntry> palette;
    if (data_offset - 14 >= 41) {
        if (info_size == 12) {
            if (bits >= 31) return false;  // 2^bits entries: more than any file holds
            const int64_t bytes = (int64_t{1} << bits) * 3;
            if (bytes > file.remaining()) return false;
            std::vector<uint8_t> raw(static_cast<size_t>(bytes));
            if (!file.read(raw.data(), bytes)) return false;
            palette.resize(static_cast<size_t>(bytes / 3));
            for (size_t i = 0; i < palette.size(); ++i) {
                palette[i] = {raw[i * 3 + 2], raw[i * 3 + 1], raw[i * 3]};
            }
        } else {
            const int64_t bytes = data_offset - 54;
            if (bytes > file.remaining()) return false;
            std::vector<uint8_t> raw(static_cast<size_t>(bytes));
            if (!file.read(raw.data(), bytes)) return false;
            palette.resize(static_cast<size_t>(bytes / 4));
            for (size_t i = 0; i < palette.size(); ++i) {
                palette[i] = {raw[i * 4 + 2], raw[i * 4 + 1], raw[i * 4]};
            }
        }
    }

    if (bits != 8 && bits != 24 && bits != 32) return false;
    if (bits == 8 && palette.empty()) return false;
    // A negative height marks top-down rows; a negative width means nothing sensible.
    const bool top_down = height < 0;
    if (top_down) height = -height;
    if (width < 0 || width > MAX_PICTURE_SIDE || height > MAX_PICTURE_SIDE) return false;

    const int64_t row_bytes = (bits / 8 * width + 3) / 4 * 4;
    const int64_t data_bytes = row_bytes * height;
    if (data_bytes > file.remaining()) return false;
    if (!image.resize(static_cast<int32_t>(width), static_cast<int32_t>(height))) return false;
    std::vector<uint8_t> data(static_cast<size_t>(data_bytes));
    if (!file.read(data.data(), data_bytes)) return false;

    const int step = bits / 8;
    for (int64_t file_row = 0; file_row < height; ++file_row) {
        const int64_t y = top_down ? file_row : height - 1 - file_row;
        const uint8_t* src = data.data() + file_row * row_bytes;
        uint8_t* dst = image.pixel(0, static_cast<int32_t>(y));
        for (int64_t x = 0; x < width; ++x, src += step, dst += 4) {
            if (bits == 8) {
                // An index past the palette would read outside it: the file is damaged.
                if (src[0] >= palette.size()) return false;
                const PaletteEntry& e = palette[src[0]];
                dst[0] = e.red;
                dst[1] = e.green;
                dst[2] = e.blue;
            } else {
                dst[0] = src[2];
                dst[1] = src[1];
                dst[2] = src[0];
            }
            dst[3] = 255;
        }
    }
    return true;
}

// libpng reports errors by long jump; messages are kept quiet, only ours are printed.
void png_quiet_error(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void png_quiet_warning(png_structp, png_const_charp) {}

// libpng reads through the FileReader; a short read is a library error.
void png_read_from_file(png_structp png, png_bytep out, png_size_t n) {
    auto* file = static_cast<FileReader*>(png_get_io_ptr(png));
    if (!file->read(out, static_cast<int64_t>(n))) png_error(png, "short read");
}

// Deflate packs at most 1032 bytes into one, so no file can hold more image data than this.
constexpr int64_t DEFLATE_MAX_RATIO = 1032;
// libpng's own bound on one ancillary chunk (and on the text and colour profiles it
// inflates), and room beyond it for its row buffers, the widest row being 32767 × 8 bytes.
constexpr int64_t PNG_CHUNK_FLOOR = 8000000;
constexpr int64_t PNG_ALLOCATION_MARGIN = int64_t{1} << 20;

// Work that must survive a long jump lives here, outside the setjmp frame's locals.
struct PngReadJob {
    FileReader* file = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::vector<uint8_t> rows;
    std::vector<png_bytep> row_pointers;
    int channels = 0;
    png_uint_32 width = 0, height = 0;
    int64_t allocation_limit = 0;  // the largest block libpng may have
};

// libpng allocates an ancillary chunk's declared length before it reads the chunk, even
// when that length is over its own limit (it only warns), so a tiny file could claim
// gigabytes. No block it needs can be larger than the file or its own 8 MB bound.
png_voidp png_bounded_malloc(png_structp png, png_alloc_size_t size) {
    const auto* job = static_cast<const PngReadJob*>(png_get_mem_ptr(png));
    if (size > static_cast<uint64_t>(job->allocation_limit)) return nullptr;
    return std::malloc(size);
}
void png_free_block(png_structp, png_voidp block) { std::free(block); }

bool decode_png(PngReadJob& job, const char* file_name) {
    if (setjmp(png_jmpbuf(job.png))) return false;
    png_set_read_fn(job.png, job.file, png_read_from_file);
    png_set_user_limits(job.png, MAX_PICTURE_SIDE, MAX_PICTURE_SIDE);
    png_read_info(job.png, job.info);
    // The header's claim must fit what the file can hold before anything is allocated.
    const int64_t stored_rows = static_cast<int64_t>(png_get_rowbytes(job.png, job.info)) + 1;
    if (stored_rows * png_get_image_height(job.png, job.info) > job.file->size() * DEFLATE_MAX_RATIO)
        return false;
    const int colour_type = png_get_color_type(job.png, job.info);
    const int depth = png_get_bit_depth(job.png, job.info);
    if (colour_type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(job.png);
    if (colour_type == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(job.png);
    if (png_get_valid(job.png, job.info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(job.png);
    if (depth == 16) png_set_strip_16(job.png);
    if (depth < 8) png_set_packing(job.png);
    png_read_update_info(job.png, job.info);

    job.width = png_get_image_width(job.png, job.info);
    job.height = png_get_image_height(job.png, job.info);
    job.channels = png_get_channels(job.png, job.info);
    const int new_depth = png_get_bit_depth(job.png, job.info);
    const int new_type = png_get_color_type(job.png, job.info);
    if (job.channels != 1 && job.channels != 3 && job.channels != 4) return false;
    if (new_depth != 8) {
        std::printf("File %s has bit depth %d.\n", file_name, new_depth);
        std::printf("Only bit depth of 8 is supported.");
        std::fflush(stdout);
        return false;
    }
    if (new_type != PNG_COLOR_TYPE_GRAY && new_type != PNG_COLOR_TYPE_RGB &&
        new_type != PNG_COLOR_TYPE_RGB_ALPHA) {
        std::printf("File %s has unsupported color type.\n", file_name);
        std::printf("Types GRAY, RGB and RGB_ALPHA are supported.");
        std::fflush(stdout);
        return false;
    }
    if (static_cast<int64_t>(job.width) * job.height * 4 > MAX_PICTURE_BYTES) return false;
    const size_t row_bytes = png_get_rowbytes(job.png, job.info);
    job.rows.resize(row_bytes * job.height);
    job.row_pointers.resize(job.height);
    for (png_uint_32 y = 0; y < job.height; ++y) job.row_pointers[y] = job.rows.data() + y * row_bytes;
    png_read_image(job.png, job.row_pointers.data());
    return true;
}

bool read_png(ImageBuffer& image, const char* file_name, int64_t colour_key) {
    FileReader file(file_name);
    if (!file.ok()) return false;
    PngReadJob job;
    job.file = &file;
    bool ok = false;
    job.allocation_limit = std::max(file.size(), PNG_CHUNK_FLOOR) + PNG_ALLOCATION_MARGIN;
    job.png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, nullptr, png_quiet_error, png_quiet_warning, &job,
                                       png_bounded_malloc, png_free_block);
    if (job.png) job.info = png_create_info_struct(job.png);
    if (job.png && job.info) ok = decode_png(job, file_name);
    png_destroy_read_struct(job.png ? &job.png : nullptr, job.info ? &job.info : nullptr, nullptr);
    if (!ok) return false;
    if (!image.resize(static_cast<int32_t>(job.width), static_cast<int32_t>(job.height))) return false;

    const size_t row_bytes = job.rows.size() / (job.height ? job.height : 1);
    for (png_uint_32 y = 0; y < job.height; ++y) {
        const uint8_t* src = job.rows.data() + y * row_bytes;
        uint8_t* dst = image.pixel(0, static_cast<int32_t>(y));
        for (png_uint_32 x = 0; x < job.width; ++x, dst += 4) {
            if (job.channels == 4) {
                std::memcpy(dst, src + x * 4, 4);
            } else if (job.channels == 3) {
                std::memcpy(dst, src + x * 3, 3);
                dst[3] = 255;
            } else {
                dst[0] = dst[1] = dst[2] = src[x];
                dst[3] = 255;
            }
        }
    }
    // Only pictures without their own alpha take the colour key.
    if (job.channels == 3) apply_colour_key(image, colour_key);
    return true;
}

}  // namespace

bool load_bmp(ImageBuffer& image, const char* file_name, int64_t colour_key) {
    if (!read_bmp(image, file_name)) {
        image.clear();
        return false;
    }
    apply_colour_key(image, colour_key);
    return true;
}

bool load_png(ImageBuffer& image, const char* file_name, int64_t colour_key) {
    if (!read_png(image, file_name, colour_key)) {
        image.clear();
        return false;
    }
    return true;
}

bool load_picture(ImageBuffer& image, const char* file_name, int64_t colour_key) {
    return load_bmp(image, file_name, colour_key) || load_png(image, file_name, colour_key);
}

bool is_png_name(const char* file_name) {
    if (!file_name) return false;
    const size_t n = std::strlen(file_name);
    if (n <= 4) return false;
    const char* e = file_name + n - 4;
    return e[0] == '.' && (e[1] == 'p' || e[1] == 'P') && (e[2] == 'n' || e[2] == 'N') &&
           (e[3] == 'g' || e[3] == 'G');
}

namespace {

// Whether a blue-green-red pixel is the transparent colour (never when it is negative).
class KeyColour {
public:
    explicit KeyColour(int64_t colour)
        : keyed_(colour >= 0),
          r_(static_cast<uint8_t>(colour & 0xFF)),
          g_(static_cast<uint8_t>((colour >> 8) & 0xFF)),
          b_(static_cast<uint8_t>((colour >> 16) & 0xFF)) {}
    bool matches(const uint8_t* bgr) const { return keyed_ && bgr[0] == b_ && bgr[1] == g_ && bgr[2] == r_; }

private:
    bool keyed_;
    uint8_t r_, g_, b_;
};

// libpng writes into memory; the file is replaced in one piece afterwards.
void png_write_to_memory(png_structp png, png_bytep data, png_size_t n) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}
void png_flush_nothing(png_structp) {}

struct PngWriteJob {
    std::vector<uint8_t> file;
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::vector<png_bytep> row_pointers;
};

bool encode_png(PngWriteJob& job, int32_t width, int32_t height) {
    if (setjmp(png_jmpbuf(job.png))) return false;
    png_set_write_fn(job.png, &job.file, png_write_to_memory, png_flush_nothing);
    png_set_IHDR(job.png, job.info, static_cast<png_uint_32>(width),
                 static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB_ALPHA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(job.png, job.info);
    png_set_bgr(job.png);
    png_write_image(job.png, job.row_pointers.data());
    png_write_end(job.png, job.info);
    return true;
}

bool write_png(const std::string& name, const uint8_t* bgr, int32_t width, int32_t height,
               int32_t row_length, bool top_down, int64_t transparent) {
    if (width < 1 || height < 1) return false;
    const KeyColour key(transparent);
    std::vector<uint8_t> out(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    for (int32_t i = 0; i < height; ++i) {
        // Input rows arrive bottom-up unless flagged; PNG rows go top-down.
        const int32_t out_row = top_down ? i : height - 1 - i;
        const uint8_t* src = bgr + static_cast<size_t>(i) * static_cast<size_t>(row_length) * 3;
        uint8_t* dst = out.data() + static_cast<size_t>(out_row) * static_cast<size_t>(width) * 4;
        for (int32_t x = 0; x < width; ++x, src += 3, dst += 4) {
            if (key.matches(src)) {
                dst[0] = 255;
                dst[1] = dst[2] = dst[3] = 0;
            } else {
                dst[0] = src[0];
                dst[1] = src[1];
                dst[2] = src[2];
                dst[3] = 255;
            }
        }
    }
    PngWriteJob job;
    job.row_pointers.resize(static_cast<size_t>(height));
    for (int32_t y = 0; y < height; ++y) {
        job.row_pointers[static_cast<size_t>(y)] =
            out.data() + static_cast<size_t>(y) * static_cast<size_t>(width) * 4;
    }
    bool ok = false;
    job.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, png_quiet_error,
                                      png_quiet_warning);
    if (job.png) job.info = png_create_info_struct(job.png);
    if (job.png && job.info) ok = encode_png(job, width, height);
    png_destroy_write_struct(job.png ? &job.png : nullptr, job.info ? &job.info : nullptr);
    return ok && platform::replace_file(name.c_str(), job.file.data(), job.file.size());
}

bool write_bmp(const std::string& name, const uint8_t* bgr, int32_t width, int32_t height,
               int32_t row_length, bool top_down, int64_t transparent) {
    if (width < 0 || height < 0) return false;
    const KeyColour key(transparent);
    const int64_t row_bytes = (static_cast<int64_t>(width) * 3 + 3) / 4 * 4;
    const int64_t total = 54 + row_bytes * height;
    if (total > 0xFFFFFFFFLL) return false;
    std::vector<uint8_t> file(static_cast<size_t>(total), 0);
    uint8_t* h = file.data();
    h[0] = 'B';
    h[1] = 'M';
    put32(h + 2, static_cast<uint32_t>(total));
    put32(h + 10, 54);
    put32(h + 14, 40);
    put32(h + 18, static_cast<uint32_t>(width));
    put32(h + 22, static_cast<uint32_t>(height));
    put16(h + 26, 1);
    put16(h + 28, 24);
    put32(h + 38, 10000);
    put32(h + 42, 10000);
    for (int32_t g = 0; g < height; ++g) {
        const int32_t in_row = top_down ? height - 1 - g : g;
        const uint8_t* src = bgr + static_cast<size_t>(in_row) * static_cast<size_t>(row_length) * 3;
        uint8_t* dst = h + 54 + g * row_bytes;
        for (int32_t x = 0; x < width; ++x, src += 3, dst += 3) {
            if (key.matches(src)) {
                dst[0] = 128;
                dst[1] = 0;
                dst[2] = 255;
            } else {
                std::memcpy(dst, src, 3);
            }
        }
    }
    return platform::replace_file(name.c_str(), file.data(), file.size());
}

}  // namespace

bool save_image_file(const char* file_name, const uint8_t* bgr_pixels, int32_t width,
                     int32_t height, int32_t row_length, bool top_down,
                     int64_t transparent_colour) {
    if (!file_name || !bgr_pixels || row_length < width) return false;
    const std::string name = os_file_name(file_name);
    if (name.size() >= platform::NAME_BUFFER_SIZE) return false;
    if (is_png_name(file_name)) {
        return write_png(name, bgr_pixels, width, height, row_length, top_down, transparent_colour);
    }
    return write_bmp(name, bgr_pixels, width, height, row_length, top_down, transparent_colour);
}

}  // namespace runtime
