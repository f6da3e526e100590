// Conversion of one map: names first (the input must never be an output), then the reader
// streams into the writer, which commits both outputs together or leaves nothing.
#include "app/conversion.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <unistd.h>

#include "app/classic_reader.h"
#include "app/output_writer.h"
#include "app/tmx_reader.h"

namespace app {

namespace {

std::string replace_every(const std::string& text, const std::string& search, const std::string& replacement) {
    std::string out;
    size_t p = 0;
    for (size_t i; (i = text.find(search, p)) != std::string::npos; p = i + search.size()) {
        out.append(text, p, i - p);
        out += replacement;
    }
    out.append(text, p, std::string::npos);
    return out;
}

bool same_file(const std::string& a, const std::string& b) {
    if (a == b) return true;
    std::error_code error;
    return std::filesystem::equivalent(a, b, error) && !error;
}

// Classic-layout maps go through the original line steps; every other map is read by
// element names. The layout is decided during the line reader's first pass.
ReadOutcome read_map(const std::string& path, EntrySink& sink) {
    ClassicLayoutCheck check;
    ReadOutcome outcome = read_classic_layout(path, sink, &check);
    if (outcome.ok || !outcome.reason.empty() || check.follows()) return outcome;
    return read_by_element_names(path, sink);
}

}  // namespace

OutputNames derive_output_names(const std::string& input_path, const std::string& output_folder) {
    OutputNames names;
    if (input_path.find(".tmx") != std::string::npos) {
        names.text_path = replace_every(input_path, ".tmx", ".txt");
        names.binary_path = replace_every(names.text_path, ".txt", ".pyxm");
    } else {
        names.text_path = input_path + ".txt";
        names.binary_path = input_path + ".pyxm";
    }
    if (!output_folder.empty()) {
        std::filesystem::path folder(output_folder);
        names.text_path = (folder / std::filesystem::path(names.text_path).filename()).string();
        names.binary_path = (folder / std::filesystem::path(names.binary_path).filename()).string();
    }
    return names;
}

ConversionResult convert_map(const std::string& input_path, const std::string& output_folder) {
    ConversionResult result;
    result.outputs = derive_output_names(input_path, output_folder);
    const OutputNames& names = result.outputs;
    if (same_file(names.text_path, input_path) || same_file(names.binary_path, input_path) ||
        names.text_path == names.binary_path) {
        result.reason = "its outputs would overwrite the input";
        return result;
    }
    std::error_code error;
    if (std::filesystem::is_directory(input_path, error)) {
        result.reason = "it is a folder, not a map file";
        return result;
    }
    if (::access(input_path.c_str(), R_OK) != 0) {
        result.reason = std::string("the file cannot be opened (") + std::strerror(errno) + ")";
        return result;
    }
    OutputWriter writer;
    if (!writer.begin(names.text_path, names.binary_path, result.reason)) return result;
    ReadOutcome outcome = read_map(input_path, writer);
    result.summary = outcome.summary;
    if (!outcome.ok) {
        result.reason = outcome.reason;
        writer.discard();
        return result;
    }
    if (!writer.commit(result.reason)) return result;
    result.ok = true;
    return result;
}

std::string refusal_text(const std::string& name, const std::string& reason) {
    return "Cannot convert " + name + ": " + reason;
}

}  // namespace app
