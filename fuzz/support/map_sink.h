// A sink that keeps a map reader's entries, and the promises every reader keeps on any
// input: a refusal hands on no entry, and no entry holds a line feed.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/map_entries.h"
#include "support/fuzz_support.h"

namespace fuzz {

class KeptEntries : public app::EntrySink {
public:
    void add(std::string_view entry) override { entries.emplace_back(entry); }
    std::vector<std::string> entries;
};

inline void check_read(const app::ReadOutcome& outcome, const KeptEntries& sink) {
    require(outcome.ok || sink.entries.empty(), "a refused map hands on no entry");
    require(!outcome.ok || outcome.reason.empty(), "a read map has no refusal reason");
    for (const std::string& entry : sink.entries) require(entry.find('\n') == std::string::npos, "an entry is one line");
}

}  // namespace fuzz
