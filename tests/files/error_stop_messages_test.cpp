// Error stops keep their codes and say what was refused: the command and its values, on
// standard error and in the error log, each case in a child process.
#include <functional>
#include <regex>

#include "files_fixture.h"
#include "runtime/core/dyn_array.h"
#include "runtime/core/error_log.h"
#include "runtime/core/lifecycle.h"
#include "runtime/files/files.h"

using files_test::FilesTest;
using files_test::make_file;

namespace {

struct StopCase {
    const char* what;
    int code;
    std::function<void(const std::string& file)> act;  // file: a 1-byte file, open on channel 2
    std::string message;                               // "%F" stands for that file
};

std::string escaped(const std::string& text) {
    return std::regex_replace(text, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)");
}

TEST_F(FilesTest, ErrorStopsNameTheCommandAndValues) {
    using namespace runtime;
    const StopCase cases[] = {
        {"index", 9,
         [](auto&) {
             DynArray<double> a;
             dimension(a, 10, 1);
             element(a, 12, 0);
         },
         "array index out of range: element (12, 0) of a 10 x 1 array"},
        {"index beyond the dimensions", 9,
         [](auto&) {
             DynArray<double> a;
             dimension(a, 4);
             element(a, 1, 0, 2);
         },
         "array index out of range: element (1, 0, 2) of a 4 array"},
        {"no storage", 9,
         [](auto&) {
             DynArray<uint8_t> a;
             element(a, 3);
         },
         "array index out of range: element (3) of an array without elements"},
        {"push", 8,
         [](auto&) {
             DynArray<DynString> a;
             dimension(a, 10, 2);
             push(a, DynString("x"));
         },
         "push onto a 10 x 2 array: push needs one dimension"},
        {"channel number", 7,
         [](auto&) {
             double v = 0;
             read_byte(9, v);
         },
         "read_byte: channel 9 is outside 0 to 7"},
        {"closed channel", 3,
         [](auto&) {
             double v = 0;
             read_word(3, v);
         },
         "read_word: channel 3 is not open"},
        {"short read", 3,
         [](auto&) {
             double v = 0;
             read_long(2, v);
         },
         "read_long: channel 2 (\"%F\"): the file ends before 4 more bytes"},
        {"line after the end", 3,
         [](auto&) {
             DynString s;
             read_line(2, s);
             read_line(2, s);
         },
         "read_line: channel 2 (\"%F\"): no line left"},
        {"write to a reading channel", 3, [](auto&) { write_word(2, 1); },
         "write_word: channel 2 (\"%F\"): cannot write 2 bytes (open for reading)"},
    };
    const std::string file = path("one.bin");
    make_file(file, "x");
    for (const StopCase& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(open_file_channel(2, file.c_str(), 1), 1);
        const std::string line = "stopped: code " + std::to_string(c.code) + ": " +
                                 std::regex_replace(c.message, std::regex("%F"), file);
        EXPECT_EXIT(c.act(file), ::testing::ExitedWithCode(c.code), "^" + escaped(line) + "\n$");
        const std::string log = test_support::read_file(error_log_path());
        EXPECT_NE(log.find(line + "\r\n"), std::string::npos) << log;
    }
}

}  // namespace
