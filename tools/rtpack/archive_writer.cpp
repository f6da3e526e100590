// Archive building for the packer tool and the tests that make archives on the fly.
#include "tools/rtpack/archive_writer.h"

#include <lzo/lzo1x.h>

#include <cctype>

namespace packer {

namespace {

void put_i32(std::vector<uint8_t>& out, int64_t v) {
    auto u = static_cast<uint32_t>(static_cast<int32_t>(v));
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(u >> (8 * i)));
}

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

}  // namespace

bool is_storable_name(const std::string& name) {
    if (name.empty() || name.size() > 255 || name == "." || name == "..") return false;
    for (char c : name)
        if (c == '/' || c == '\\' || c == 0) return false;
    return true;
}

std::vector<uint8_t> pack_entry_data(const std::vector<uint8_t>& bytes) {
    static const bool ready = lzo_init() == LZO_E_OK;
    std::vector<uint8_t> out;
    if (!ready) return out;
    std::vector<uint8_t> work(LZO1X_999_MEM_COMPRESS);
    // LZO's worst case for incompressible data.
    out.resize(4 + bytes.size() + bytes.size() / 16 + 64 + 3);
    auto size = static_cast<uint32_t>(bytes.size());
    for (int i = 0; i < 4; ++i) out[static_cast<size_t>(i)] = static_cast<uint8_t>(size >> (8 * i));
    lzo_uint packed = 0;
    static const uint8_t nothing = 0;
    int rc = lzo1x_999_compress(bytes.empty() ? &nothing : bytes.data(), bytes.size(), out.data() + 4, &packed,
                                work.data());
    if (rc != LZO_E_OK) return {};
    out.resize(4 + packed);
    return out;
}

std::vector<uint8_t> build_archive(const std::vector<PackInput>& inputs, bool from_end, uint64_t prefix_size,
                                   std::string& error) {
    std::vector<uint8_t> data;
    std::vector<std::pair<uint64_t, uint64_t>> blocks;  // start in the archive, packed size
    std::vector<std::string> seen;
    for (const PackInput& in : inputs) {
        if (!is_storable_name(in.name)) {
            error = "cannot store the name \"" + in.name + "\" (1 to 255 bytes, no folder part)";
            return {};
        }
        std::string key = lower(in.name);
        for (const std::string& s : seen) {
            if (s == key) {
                error = "two files named \"" + in.name + "\" (names ignore letter case)";
                return {};
            }
        }
        seen.push_back(key);
        if (in.bytes.size() > UINT32_MAX) {
            error = "\"" + in.name + "\" is too large";
            return {};
        }
        std::vector<uint8_t> block = pack_entry_data(in.bytes);
        if (block.empty()) {
            error = "compression of \"" + in.name + "\" failed";
            return {};
        }
        blocks.emplace_back(data.size(), block.size());
        data.insert(data.end(), block.begin(), block.end());
        if (data.size() > ARCHIVE_SIZE_LIMIT) {
            error = "the archive would reach 2 GiB";
            return {};
        }
    }
    uint64_t directory_start = data.size();
    uint64_t directory_size = 1 + 7;
    for (const PackInput& in : inputs) directory_size += 1 + in.name.size() + 8;
    uint64_t total = directory_start + directory_size;
    if ((from_end ? total : prefix_size + total) > ARCHIVE_SIZE_LIMIT) {
        error = "the archive would reach 2 GiB";
        return {};
    }
    // Stored offsets: from the start of the file, or negative from its end.
    auto stored = [&](uint64_t in_archive) -> int64_t {
        return from_end ? static_cast<int64_t>(in_archive) - static_cast<int64_t>(total)
                        : static_cast<int64_t>(prefix_size + in_archive);
    };
    std::vector<uint8_t> out = std::move(data);
    for (size_t i = 0; i < inputs.size(); ++i) {
        out.push_back(static_cast<uint8_t>(inputs[i].name.size()));
        out.insert(out.end(), inputs[i].name.begin(), inputs[i].name.end());
        put_i32(out, stored(blocks[i].first));
        put_i32(out, static_cast<int64_t>(blocks[i].second));
    }
    out.push_back(0);
    out.insert(out.end(), {'q', 'v', 'K'});
    put_i32(out, stored(directory_start));
    return out;
}

}  // namespace packer
