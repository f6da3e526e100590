// Helpers of the map-reading tests: a sink that keeps the entries, fixture paths.
#pragma once

#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "app/map_entries.h"

namespace tmx_test {

class CollectingSink : public app::EntrySink {
public:
    void add(std::string_view entry) override { entries.emplace_back(entry); }
    std::vector<std::string> entries;
};

// A fixture file under tests/app/data.
inline std::string data_path(const std::string& relative) {
    const char* root = std::getenv("RUNTIME_TEST_DATA");
    return std::string(root != nullptr ? root : "tests") + "/app/data/" + relative;
}

// The entries that go into the binary output (those without "<").
inline std::vector<std::string> word_entries(const std::vector<std::string>& entries) {
    std::vector<std::string> words;
    for (const std::string& entry : entries) {
        if (entry.find('<') == std::string::npos) words.push_back(entry);
    }
    return words;
}

}  // namespace tmx_test
