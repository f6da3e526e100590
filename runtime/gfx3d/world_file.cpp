// World-file reading on the INI parser. Counts are capped by the entries present, so
// a huge "count" costs nothing.
#include "runtime/gfx3d/world_file.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "runtime/files/ini_file.h"

namespace runtime {

namespace {

// The value as a whole number (leading digits, like atoi); 0 when missing or not one.
int64_t whole_value(const DynString& value) {
    const char* text = value.text_of();
    if (std::strcmp(text, NOT_FOUND_TEXT) == 0) return 0;
    char* end = nullptr;
    const long long n = std::strtoll(text, &end, 10);
    return end == text ? 0 : n;
}

// A name's value, or empty when the key is missing.
std::string value_of(const IniStore& store, const char* section, const std::string& key) {
    const DynString value = ini_lookup(store, section, key.c_str());
    if (std::strcmp(value.text_of(), NOT_FOUND_TEXT) == 0) return {};
    return std::string(value.text_of(), value.length);
}

}  // namespace

bool is_world_file(std::span<const uint8_t> bytes) {
    return bytes.size() >= 4 && bytes[0] == ';' && bytes[1] == 'D' && bytes[2] == 'D' && bytes[3] == 'W';
}

std::string folder_of(const std::string& file_name) {
    const size_t cut = file_name.find_last_of("/\\");
    return cut == std::string::npos ? std::string() : file_name.substr(0, cut + 1);
}

bool parse_world_file(std::span<const uint8_t> bytes, const std::string& folder, WorldDescription& out) {
    out = WorldDescription{};
    IniStore store;
    ini_parse_bytes(store, reinterpret_cast<const char*>(bytes.data()), bytes.size());
    int64_t entries = 0;
    for (const IniSection& s : store.sections) entries += static_cast<int64_t>(s.entries.size());
    const auto count_of = [&](const char* section) {
        const int64_t n = whole_value(ini_lookup(store, section, "count"));
        return n < 0 ? 0 : (n > entries ? entries : n);
    };

    const int64_t texture_count = count_of("textures");
    for (int64_t i = 1; i <= texture_count; ++i) {
        const std::string name = value_of(store, "textures", std::to_string(i));
        out.textures.push_back(name.empty() ? name : folder + name);
    }
    const int64_t mesh_count = count_of("objects");
    for (int64_t i = 1; i <= mesh_count; ++i) {
        const std::string number = std::to_string(i);
        const std::string name = value_of(store, "objects", number);
        if (name.empty()) continue;  // a count larger than the list names nothing more
        WorldMesh mesh;
        mesh.file = folder + name;
        // Texture numbers count from 1; anything outside the list means none.
        const auto texture = [&](const char* suffix) -> int32_t {
            const int64_t t = whole_value(ini_lookup(store, "objects", (number + suffix).c_str()));
            return t >= 1 && t <= texture_count ? static_cast<int32_t>(t - 1) : -1;
        };
        mesh.texture_a = texture("ta");
        mesh.texture_b = texture("tb");
        out.meshes.push_back(std::move(mesh));
    }
    return !out.meshes.empty();
}

}  // namespace runtime
