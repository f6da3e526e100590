// Links: runtime_gfx2d
// BMP loading on arbitrary bytes. The loader reads files only, so each input becomes one.
#include "support/picture_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::check_picture_load(runtime::load_bmp, fuzz::scratch_file("picture.bmp", data, size), true);
    return 0;
}
