// Links: converter
// The converter on arbitrary input: both readers on their own, then the whole conversion,
// whose two outputs must hold exactly the entries of the reader it chose, or not exist.
#include <filesystem>

#include "app/classic_reader.h"
#include "app/conversion.h"
#include "app/entry_words.h"
#include "app/tmx_reader.h"
#include "support/map_sink.h"

namespace {

// The entries of the reader the conversion uses for this file.
std::vector<std::string> chosen_entries(const std::string& path) {
    fuzz::KeptEntries classic;
    app::ClassicLayoutCheck check;
    const app::ReadOutcome outcome = app::read_classic_layout(path, classic, &check);
    if (check.follows()) return outcome.ok ? classic.entries : std::vector<std::string>();
    fuzz::require(!outcome.ok && outcome.reason.empty() && classic.entries.empty(),
                  "a map not in the classic layout is left to the other reader");
    fuzz::KeptEntries names;
    return app::read_by_element_names(path, names).ok ? names.entries : std::vector<std::string>();
}

void check_conversion(const std::string& path) {
    const std::string folder = fuzz::scratch_folder() + "/out";
    std::filesystem::create_directory(folder);
    const app::ConversionResult result = app::convert_map(path, folder);
    const bool text_exists = std::filesystem::exists(result.outputs.text_path);
    const bool binary_exists = std::filesystem::exists(result.outputs.binary_path);
    if (!result.ok) {
        fuzz::require(!result.reason.empty(), "a refusal has a reason");
        fuzz::require(!text_exists && !binary_exists, "a refused map leaves no output");
        return;
    }
    fuzz::require(text_exists && binary_exists, "a converted map has both outputs");
    std::string text, words;
    for (const std::string& entry : chosen_entries(path)) {
        text += entry + "\r\n";
        if (!app::entry_has_word(entry)) continue;
        const uint16_t word = app::entry_word(entry);
        words.push_back(static_cast<char>(word & 0xFF));
        words.push_back(static_cast<char>(word >> 8));
    }
    fuzz::require(fuzz::file_content(result.outputs.text_path) == text, "the text output holds the entries");
    fuzz::require(fuzz::file_content(result.outputs.binary_path) == words, "the binary output holds their words");
    std::filesystem::remove(result.outputs.text_path);
    std::filesystem::remove(result.outputs.binary_path);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzz::scratch_file("map.tmx", data, size);
    fuzz::KeptEntries classic;
    const app::ReadOutcome by_lines = app::read_classic_layout(path, classic);
    fuzz::check_read(by_lines, classic);
    fuzz::require(by_lines.ok || !by_lines.reason.empty(), "the line steps give a reason for a refusal");
    fuzz::KeptEntries names;
    const app::ReadOutcome by_names = app::read_by_element_names(path, names);
    fuzz::check_read(by_names, names);
    fuzz::require(by_names.ok || !by_names.reason.empty(), "the element reader gives a reason for a refusal");
    check_conversion(path);
    return 0;
}
