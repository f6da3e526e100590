// Links: runtime_files
// LZO unpacking of an archive entry (32-bit size + LZO1X stream) on arbitrary bytes, and
// the round trip: the input packed by the library's compressor always unpacks again.
#include <lzo/lzo1x.h>

#include <cstring>
#include <vector>

#include "runtime/files/archive_format.h"
#include "support/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> out;
    if (runtime::unpack_archive_entry(data, size, out)) {
        fuzz::require(out.size() == fuzz::header_field(data, size, 0, 4), "an entry unpacks to its size");
    } else {
        fuzz::require(out.empty(), "a damaged entry gives nothing");
    }

    static const bool ready = lzo_init() == LZO_E_OK;
    fuzz::require(ready, "the LZO library starts");
    std::vector<uint8_t> packed(4 + size + size / 16 + 64 + 3);
    std::vector<uint8_t> work(LZO1X_1_MEM_COMPRESS);
    lzo_uint stream = 0;
    fuzz::require(lzo1x_1_compress(data, size, packed.data() + 4, &stream, work.data()) == LZO_E_OK, "LZO packs");
    for (int i = 0; i < 4; ++i) packed[i] = static_cast<uint8_t>(size >> (8 * i));
    fuzz::require(runtime::unpack_archive_entry(packed.data(), 4 + stream, out) && out.size() == size &&
                      (size == 0 || std::memcmp(out.data(), data, size) == 0),
                  "a packed entry unpacks to the original bytes");
    return 0;
}
