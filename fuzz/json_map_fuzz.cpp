// Links: converter
// The JSON map reader on arbitrary input: a refusal has a reason and hands on no entry, and
// converting the file as a ".tmj" map (which reads it again) writes exactly those entries,
// or nothing. The reader's buffers are large, so each input is read only twice.
#include <filesystem>

#include "app/conversion.h"
#include "app/entry_words.h"
#include "app/json_reader.h"
#include "support/map_sink.h"

namespace {

// Entries of the text alone (the first line) are kept apart, since they give no word.
class SortedEntries : public fuzz::KeptEntries {
public:
    void add_text_only(std::string_view entry) override {
        entries.emplace_back(entry);
        text_only.push_back(entries.size() - 1);
    }
    std::vector<size_t> text_only;
};

void check_conversion(const std::string& path, const app::ReadOutcome& read, const SortedEntries& sink) {
    const std::string folder = fuzz::scratch_folder() + "/out";
    std::filesystem::create_directory(folder);
    const app::ConversionResult result = app::convert_map(path, folder);
    const bool text_exists = std::filesystem::exists(result.outputs.text_path);
    const bool binary_exists = std::filesystem::exists(result.outputs.binary_path);
    if (!result.ok) {
        fuzz::require(!result.reason.empty(), "a refusal has a reason");
        fuzz::require(!text_exists && !binary_exists, "a refused map leaves no output");
        fuzz::require(!read.ok || !app::starts_like_json(fuzz::file_content(path).substr(0, 64)),
                      "a JSON map the reader takes converts");
        return;
    }
    fuzz::require(text_exists && binary_exists, "a converted map has both outputs");
    // A file that does not open a JSON object goes to the XML readers instead.
    if (!app::starts_like_json(fuzz::file_content(path).substr(0, 64))) return;
    fuzz::require(read.ok, "only a map the reader takes converts");
    std::string text, words;
    size_t next_text_only = 0;
    for (size_t i = 0; i < sink.entries.size(); ++i) {
        const std::string& entry = sink.entries[i];
        text += entry + "\r\n";
        const bool alone = next_text_only < sink.text_only.size() && sink.text_only[next_text_only] == i;
        if (alone) ++next_text_only;
        if (alone || !app::entry_has_word(entry)) continue;
        const uint16_t word = app::entry_word(entry);
        words.push_back(static_cast<char>(word & 0xFF));
        words.push_back(static_cast<char>(word >> 8));
    }
    fuzz::require(fuzz::file_content(result.outputs.text_path) == text, "the text output holds the entries");
    fuzz::require(fuzz::file_content(result.outputs.binary_path) == words,
                  "the binary output holds their words");
    std::filesystem::remove(result.outputs.text_path);
    std::filesystem::remove(result.outputs.binary_path);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzz::scratch_file("map.tmj", data, size);
    SortedEntries first;
    const app::ReadOutcome read = app::read_json_map(path, first);
    fuzz::check_read(read, first);
    fuzz::require(read.ok || !read.reason.empty(), "the JSON reader gives a reason for a refusal");
    check_conversion(path, read, first);
    return 0;
}
