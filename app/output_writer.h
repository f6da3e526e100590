// The EntrySink that writes a map's ".txt" and ".pyxm" outputs: both go to temporary files
// beside their destinations and are renamed into place only when both are complete.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/map_entries.h"

namespace app {

class OutputWriter : public EntrySink {
public:
    OutputWriter() = default;
    ~OutputWriter() override;  // removes the temporary files unless committed
    OutputWriter(const OutputWriter&) = delete;
    OutputWriter& operator=(const OutputWriter&) = delete;

    // Creates the two temporary files; false with a reason.
    bool begin(const std::string& text_path, const std::string& binary_path, std::string& reason);
    // Each entry and CR LF into the text, its word into the binary when it holds no "<".
    void add(std::string_view entry) override;
    // Flushes, closes and renames both into place; false with a reason (nothing is left).
    bool commit(std::string& reason);
    // Drops both temporary files.
    void discard();

private:
    struct Output {
        std::string final_path, temp_path;
        int fd = -1;
        std::vector<char> buffer;
        size_t used = 0;
    };
    bool flush(Output& out);
    void fail(const Output& out, int error);

    Output text_, binary_;
    std::string error_;  // the first write failure, reported by commit
};

}  // namespace app
