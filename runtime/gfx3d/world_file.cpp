// World-file reading on the INI parser. Counts are capped by the entries present, so
// a huge "count" costs nothing, and each name is found in an index of its section, so
// a file naming many meshes is read in linear time.
#include "runtime/gfx3d/world_file.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>

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
        return v == nullptr ? std::string() : std::string(v->text_of(), v->length);
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
    int64_t entries = 0;
    for (const IniSection& s : store.sections) entries += static_cast<int64_t>(s.entries.size());
    const SectionIndex textures(store, "textures");
    const SectionIndex objects(store, "objects");
    const auto count_of = [&](const SectionIndex& section) {
        const int64_t n = section.whole("count");
        return n < 0 ? 0 : (n > entries ? entries : n);
    };

    const auto refuse = [&] {
        out = WorldDescription{};
        return false;
    };
    // Numbers past the limit may be counted, but not named.
    const int64_t listed_textures = count_of(textures);
    const int64_t texture_count = std::min(listed_textures, WORLD_ENTRY_LIMIT);
    for (int64_t i = 1; i <= listed_textures; ++i) {
        const std::string name = textures.value(std::to_string(i));
        if (i > WORLD_ENTRY_LIMIT) {
            if (!name.empty()) return refuse();
            continue;
        }
        out.textures.push_back(name.empty() ? name : folder + name);
    }
    const int64_t mesh_count = count_of(objects);
    for (int64_t i = 1; i <= mesh_count; ++i) {
        const std::string number = std::to_string(i);
        const std::string name = objects.value(number);
        if (name.empty()) continue;  // a count larger than the list names nothing more
        if (static_cast<int64_t>(out.meshes.size()) == WORLD_ENTRY_LIMIT) return refuse();
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
