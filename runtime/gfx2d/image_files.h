// Picture files: BMP and PNG read into an RGBA ImageBuffer with the colour-key rule,
// and back-buffer or sprite pixels written out as BMP or PNG.
#pragma once

#include <cstdint>
#include <string>

namespace runtime {

// A colour key of NO_COLOUR_KEY (any negative value) keys nothing out.
constexpr int64_t NO_COLOUR_KEY = -1;
// The runtime's default transparent colour: red 255, green 0, blue 128.
constexpr uint32_t DEFAULT_TRANSPARENT_COLOUR = 0x8000FF;
// Largest picture side a load accepts; larger headers fail before anything is allocated.
constexpr int32_t MAX_PICTURE_SIDE = 32767;
// Largest picture a load accepts, in bytes of RGBA pixels (256 MB).
constexpr int64_t MAX_PICTURE_BYTES = int64_t{1} << 28;

// A decoded picture: width x height RGBA pixels, top row first. Owns its buffer.
class ImageBuffer {
public:
    int32_t width = 0;
    int32_t height = 0;
    uint8_t* pixels = nullptr;
    int32_t capacity = 0;

    ImageBuffer() = default;
    ~ImageBuffer();
    ImageBuffer(const ImageBuffer&) = delete;
    ImageBuffer& operator=(const ImageBuffer&) = delete;

    // Room for w x h pixels: reuses the buffer when large enough, else allocates exactly.
    // False (and the buffer empty) when the size is out of range or memory runs out.
    bool resize(int32_t w, int32_t h);
    // Frees the buffer; width, height and capacity become 0.
    void clear();
    uint8_t* pixel(int32_t x, int32_t y) { return pixels + (static_cast<int64_t>(y) * width + x) * 4; }
    const uint8_t* pixel(int32_t x, int32_t y) const {
        return pixels + (static_cast<int64_t>(y) * width + x) * 4;
    }
};

// Reads a BMP file (12- or 40-byte info header, 8, 24 or 32 bits); false on any fault.
bool load_bmp(ImageBuffer& image, const char* file_name, int64_t colour_key);
// Reads a PNG file through libpng, expanded to 8-bit samples; false on any fault,
// and before any allocation when the header claims more pixel data than the file's
// compressed bytes can hold.
bool load_png(ImageBuffer& image, const char* file_name, int64_t colour_key);
// load_bmp, and when that fails load_png: the content decides, not the name.
bool load_picture(ImageBuffer& image, const char* file_name, int64_t colour_key);
// Turns pixels whose red, green and blue equal the key into (0, 0, 0, 0).
void apply_colour_key(ImageBuffer& image, int64_t colour_key);

// True when the name is longer than 4 characters and ends in ".png" in any case.
bool is_png_name(const char* file_name);
// Writes blue-green-red pixels (rows row_length pixels apart, bottom-up unless top_down)
// as PNG when the name ends in ".png", else as a 24-bit BMP. Pixels in the transparent
// colour (none when it is negative) become the file's transparency. The file is
// replaced in one step once nobody else holds it: false, with the old file untouched,
// when it is held or cannot be written (no partial file is left behind).
bool save_image_file(const char* file_name, const uint8_t* bgr_pixels, int32_t width,
                     int32_t height, int32_t row_length, bool top_down,
                     int64_t transparent_colour);
// The same with the 2D engine's transparent colour (the default one without an engine).
bool save_image_file(const char* file_name, const uint8_t* bgr_pixels, int32_t width,
                     int32_t height, int32_t row_length, bool top_down);

// A file name as the operating system wants it: every "\" becomes "/".
std::string os_file_name(const char* file_name);

}  // namespace runtime
