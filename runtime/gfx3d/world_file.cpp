// World-file reading on the INI parser. Only the numbered keys present are visited, so
// a huge "count" costs nothing, and each name is found in an index of its section, so
// a file naming many meshes is read in linear time.
#include "runtime/gfx3d/world_file.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "runtime/files/ini_file.h"

namespace runtime {

namespace {

// The values of the section the INI lookup searches, by key with ASCII letters folded as
// that lookup folds them; the first of equal keys wins there too.
class SectionIndex {
public:
    SectionIndex(const IniStore& store, const char* section) {
        const IniSection* s = ini_section(store, section);
        if (s == nullptr) return;
        for (const IniEntry& e : s->entries) values_.try_emplace(folded(e.key.text_of()), &e.value);
    }
    // A name's value, or empty when the key is missing (or says the missing text).
    std::string value(const std::string& key) const {
        const DynString* v = find(key);
        return v == nullptr ? std::string() : std::string(v->text_of(), static_cast<size_t>(v->length));
    }
    // The keys that are plain numbers 1 ... up_to (no sign or leading zero, as a lookup
    // of that number finds them), ascending.
    std::vector<int64_t> numbers(int64_t up_to) const {
        std::vector<int64_t> out;
        for (const auto& [key, value] : values_) {
            if (key.empty() || key.size() > 18 || key[0] == '0' ||
                key.find_first_not_of("0123456789") != std::string::npos) {
                continue;
            }
            const int64_t n = std::strtoll(key.c_str(), nullptr, 10);
            if (n <= up_to && find(key) != nullptr) out.push_back(n);
        }
        std::sort(out.begin(), out.end());
        return out;
    }
    // The value as a whole number (leading digits, like atoi); 0 when missing or not one.
    int64_t whole(const std::string& key) const {
        const DynString* v = find(key);
        if (v == nullptr) return 0;
        char* end = nullptr;
        const long long n = std::strtoll(v->text_of(), &end, 10);
        return end == v->text_of() ? 0 : n;
    }

private:
    static std::string folded(const char* text) {
        std::string out(text);
        for (char& c : out) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        return out;
    }
    const DynString* find(const std::string& key) const {
        const auto found = values_.find(folded(key.c_str()));
        if (found == values_.end() || std::strcmp(found->second->text_of(), NOT_FOUND_TEXT) == 0) return nullptr;
        return found->second;
    }
    std::unordered_map<std::string, const DynString*> values_;
};

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
    const SectionIndex textures(store, "textures");
    const SectionIndex objects(store, "objects");
    // The count a section declares is its count; numbers it skips name nothing. Only the
    // numbered keys present are visited, so a huge count costs nothing.
    const auto count_of = [](const SectionIndex& section) {
        return std::max<int64_t>(section.whole("count"), 0);
    };
    const auto refuse = [&] {
        out = WorldDescription{};
        return false;
    };
    // Texture numbers past the limit may be counted, but not named.
    const int64_t listed_textures = count_of(textures);
    const std::vector<int64_t> texture_numbers = textures.numbers(listed_textures);
    if (!texture_numbers.empty() && texture_numbers.back() > WORLD_ENTRY_LIMIT) return refuse();
    const int64_t texture_count = std::min(listed_textures, WORLD_ENTRY_LIMIT);
    out.textures.assign(static_cast<size_t>(texture_count), std::string());
    for (int64_t i : texture_numbers) {
        const std::string name = textures.value(std::to_string(i));
        if (!name.empty()) out.textures[static_cast<size_t>(i - 1)] = folder + name;
    }
    const std::vector<int64_t> mesh_numbers = objects.numbers(count_of(objects));
    if (static_cast<int64_t>(mesh_numbers.size()) > WORLD_ENTRY_LIMIT) return refuse();
    for (int64_t i : mesh_numbers) {
        const std::string number = std::to_string(i);
        const std::string name = objects.value(number);
        if (name.empty()) continue;
        WorldMesh mesh;
        mesh.file = folder + name;
        // Texture numbers count from 1; anything outside the list means none.
        const auto texture = [&](const char* suffix) -> int32_t {
            const int64_t t = objects.whole(number + suffix);
            return t >= 1 && t <= texture_count ? static_cast<int32_t>(t - 1) : -1;
        };
        mesh.texture_a = texture("ta");
        mesh.texture_b = texture("tb");
        out.meshes.push_back(std::move(mesh));
    }
    return !out.meshes.empty();
}

}  // namespace runtime
