// Where the end-to-end tests find the converter and its golden cases.
#include "converter_process.h"

#include <cstdlib>

namespace converter_test {

std::string converter_path() {
    const char* bin = std::getenv("RUNTIME_BIN_DIR");
    return std::string(bin != nullptr ? bin : ".") + "/brisel42_x9";
}

std::string test_data_folder() {
    const char* data = std::getenv("RUNTIME_TEST_DATA");
    return std::string(data != nullptr ? data : "tests") + "/app/data";
}

}  // namespace converter_test
