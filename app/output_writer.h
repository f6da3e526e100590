// The EntrySink that writes a map's ".txt" and ".pyxm" outputs. Both are written to
// temporary files in their folders and committed as a pair under an exclusive lock of
// the folder: both replace the earlier outputs, or neither does.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/map_entries.h"

namespace app {

class OutputWriter : public EntrySink {
public:
    // Anonymous temporaries (no name until the commit, so even a killed run leaves none)
    // where the file system has them; named ones otherwise, or when asked for.
    enum class Temporaries { anonymous_where_possible, named };

    explicit OutputWriter(Temporaries temporaries = Temporaries::anonymous_where_possible)
        : temporaries_(temporaries) {}
    ~OutputWriter() override;  // removes the temporary files unless committed
    OutputWriter(const OutputWriter&) = delete;
    OutputWriter& operator=(const OutputWriter&) = delete;

    // Creates the two temporary files; false with a reason.
    bool begin(const std::string& text_path, const std::string& binary_path, std::string& reason);
    // Each entry and CR LF into the text, its word into the binary when it holds no "<".
    void add(std::string_view entry) override;
    // The entry and CR LF into the text only.
    void add_text_only(std::string_view entry) override;
    // Puts both in place together; false with a reason, and then the earlier outputs
    // are as they were and no temporary file is left. Unless told to replace anything, it
    // replaces only an earlier output pair (previous_output.h), checked under the lock so
    // that another converter's commit is never half seen; foreign_output() then names
    // the file in the way.
    bool commit(std::string& reason, bool replace_anything = false);
    const std::string& foreign_output() const { return foreign_; }
    // Drops both temporary files.
    void discard();

private:
    struct Output {
        std::string final_path;
        std::string temp_path;  // empty while the temporary has no name
        int fd = -1;
        int slot = -1;  // the interruption handlers' record of a named temporary
        std::vector<char> buffer;
        size_t used = 0;
    };
    bool create_temporary(Output& out);
    bool give_name(Output& out);
    void set_temp_path(Output& out, const std::string& path);
    bool flush(Output& out);
    void fail(const Output& out, int error);
    void place_pair();

    Temporaries temporaries_;
    Output text_, binary_;
    std::string error_;  // the first failure, reported by commit
    std::string foreign_;
};

}  // namespace app
