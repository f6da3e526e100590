// The promises of a picture load, shared by the BMP and PNG harnesses: a failed load
// leaves the buffer empty; a load gives a picture inside the limits (with its colour-keyed
// pixels cleared when the format has no alpha of its own), and loading the same file again
// into the filled buffer gives the same picture.
#pragma once

#include <cstring>

#include "runtime/gfx2d/image_files.h"
#include "support/fuzz_support.h"

namespace fuzz {

using PictureLoader = bool (*)(runtime::ImageBuffer&, const char*, int64_t);

inline void check_picture_load(PictureLoader load, const std::string& path, bool always_keyed) {
    const int64_t key = runtime::DEFAULT_TRANSPARENT_COLOUR;
    runtime::ImageBuffer image;
    if (!load(image, path.c_str(), key)) {
        require(image.pixels == nullptr && image.width == 0 && image.height == 0, "a failed load leaves no picture");
        return;
    }
    require(image.width >= 0 && image.height >= 0 && image.width <= runtime::MAX_PICTURE_SIDE &&
                image.height <= runtime::MAX_PICTURE_SIDE,
            "a picture's sides lie within the limit");
    const int64_t bytes = int64_t{image.width} * image.height * 4;
    require(bytes <= runtime::MAX_PICTURE_BYTES && bytes <= image.capacity, "the buffer holds every pixel");
    for (int64_t i = 0; always_keyed && i < bytes; i += 4) {
        const uint8_t* p = image.pixels + i;
        require(p[0] != 0xFF || p[1] != 0x00 || p[2] != 0x80, "pixels in the key colour are cleared");
    }
    runtime::ImageBuffer again;
    require(load(again, path.c_str(), key) && load(again, path.c_str(), key), "a picture loads twice");
    require(again.width == image.width && again.height == image.height &&
                std::memcmp(again.pixels, image.pixels, static_cast<size_t>(bytes)) == 0,
            "a reused buffer gives the same picture");
}

}  // namespace fuzz
