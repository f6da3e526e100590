// Links: runtime_files
// The line store's take-up on arbitrary bytes, against a plain model of its rules: LF or
// CR LF end a line, a line is cut at its first zero byte and at 1023 bytes (its rest is
// dropped), at most 256 lines are kept, and every byte of an unused slot stays zero.
#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

#include "runtime/files/line_store.h"
#include "support/fuzz_support.h"

namespace {

std::vector<std::string_view> model_lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty() && lines.size() < static_cast<size_t>(runtime::LINE_STORE_LINES)) {
        // The reader looks for the line feed within 1024 bytes; a longer line is cut there.
        const size_t feed = text.substr(0, 1024).find('\n');
        std::string_view line = text.substr(0, feed == std::string_view::npos ? 1024 : feed);
        const size_t rest = text.find('\n');
        text.remove_prefix(rest == std::string_view::npos ? text.size() : rest + 1);
        if (line.size() < 1024 && !line.empty() && line.back() == '\r') line.remove_suffix(1);
        line = line.substr(0, std::min(line.find('\0'), size_t{1023}));
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static runtime::LineStore store;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    runtime::line_store_parse_bytes(store, text.data(), text.size());
    const std::vector<std::string_view> lines = model_lines(text);
    fuzz::require(store.last_line == (lines.empty() ? 0 : static_cast<int32_t>(lines.size()) - 1),
                  "the last line number counts the lines");
    for (size_t n = 0; n < static_cast<size_t>(runtime::LINE_STORE_LINES); ++n) {
        const char* slot = store.lines.data() + n * runtime::LINE_STORE_WIDTH;
        const std::string_view expected = n < lines.size() ? lines[n] : std::string_view();
        fuzz::require(std::string_view(slot, expected.size()) == expected, "a slot holds its line");
        const char* tail = slot + expected.size();
        const size_t tail_size = runtime::LINE_STORE_WIDTH - expected.size();
        fuzz::require(tail[0] == 0 && std::memcmp(tail, tail + 1, tail_size - 1) == 0, "a slot is zero after its line");
    }
    return 0;
}
