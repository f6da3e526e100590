// Links: runtime_gfx2d
// PNG loading on arbitrary bytes (through libpng). The loader reads files only.
#include "support/picture_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::check_picture_load(runtime::load_png, fuzz::scratch_file("picture.png", data, size), false);
    return 0;
}
