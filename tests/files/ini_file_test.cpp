// INI store: the parsing rules on bytes and real files, lookup, changes and write-back.
#include "files_fixture.h"
#include "runtime/files/files.h"

using files_test::FilesTest;
using files_test::make_file;
using runtime::DynString;
using test_support::read_file;

namespace {

std::string get(const char* section, const char* key) {
    return runtime::ini_get(DynString(section), DynString(key)).text_of();
}

runtime::IniStore parsed(const std::string& bytes) {
    runtime::IniStore store;
    runtime::ini_parse_bytes(store, bytes.data(), bytes.size());
    return store;
}

std::string lookup(const runtime::IniStore& store, const char* section, const char* key) {
    return runtime::ini_lookup(store, section, key).text_of();
}

}  // namespace

TEST(IniParse, SectionsKeysCommentsAndValues) {
    runtime::IniStore store = parsed("[Main]\r\n; a comment\r\nwidth = 640\r\ntitle=My Game  \r\n");
    ASSERT_EQ(store.section_count, 1);
    ASSERT_EQ(store.sections.size(), 1u);
    EXPECT_STREQ(store.sections[0].name.text_of(), "Main");
    ASSERT_EQ(store.sections[0].entries.size(), 2u);
    EXPECT_STREQ(store.sections[0].entries[0].key.text_of(), "width");
    EXPECT_STREQ(store.sections[0].entries[0].value.text_of(), "640");
    EXPECT_STREQ(store.sections[0].entries[1].value.text_of(), "My Game  ");
    EXPECT_EQ(lookup(store, "main", "WIDTH"), "640");
}

TEST(IniParse, EmptySectionsAreDroppedAndNamesTakeTheFirstWord) {
    runtime::IniStore store = parsed("[Empty]\n[  Two words]\nk=v\n[]\nk2=v2\n[Last]");
    ASSERT_EQ(store.sections.size(), 2u);
    EXPECT_STREQ(store.sections[0].name.text_of(), "Two");
    // An empty header keeps the previous name.
    EXPECT_STREQ(store.sections[1].name.text_of(), "Two");
    EXPECT_EQ(lookup(store, "Empty", "k"), "NO_DATA");
    EXPECT_EQ(lookup(store, "two", "k"), "v");
    EXPECT_EQ(lookup(store, "two", "k2"), "NO_DATA");  // only the first section is searched
}

TEST(IniParse, KeyLineRules) {
    runtime::IniStore store = parsed(
        "top=level\n"
        "[S]\n"
        "noequals\n"
        "key value\n"
        "empty=\n"
        "blank =   \t\n"
        "spaced \t = x ; not a comment\n"
        "tabs=v\t\t\n"
        "high=v\xC3\xA9\n"
        "only_high=\xC3\xA9\n"
        "   indented=yes\n"
        "dup=first\n"
        "DUP=second\n");
    EXPECT_EQ(lookup(store, "", "top"), "level");
    EXPECT_EQ(lookup(store, "S", "noequals"), "NO_DATA");
    EXPECT_EQ(lookup(store, "S", "key"), "NO_DATA");
    EXPECT_EQ(lookup(store, "S", "empty"), "NO_DATA");
    EXPECT_EQ(lookup(store, "S", "blank"), "NO_DATA");
    EXPECT_EQ(lookup(store, "S", "spaced"), "x ; not a comment");
    EXPECT_EQ(lookup(store, "S", "tabs"), "v");
    EXPECT_EQ(lookup(store, "S", "high"), "v");  // trailing bytes 128-255 go too
    EXPECT_EQ(lookup(store, "S", "only_high"), "NO_DATA");  // and then leave no value
    EXPECT_EQ(lookup(store, "S", "indented"), "yes");
    EXPECT_EQ(lookup(store, "S", "dup"), "first");
}

TEST(IniParse, LinesOf1024BytesOrMoreAreCut) {
    std::string value(3000, 'v');
    runtime::IniStore store = parsed("[S]\nlong=" + value + "\nafter=1\n");
    EXPECT_EQ(lookup(store, "S", "long"), std::string(1023 - 5, 'v'));
    EXPECT_EQ(lookup(store, "S", "after"), "1");
    ASSERT_EQ(store.sections[0].entries.size(), 2u);  // the cut rest made no entry
}

TEST(IniParse, AnyBytesParseSafely) {
    std::string bytes;
    for (int i = 0; i < 5000; ++i) bytes += static_cast<char>((i * 131 + 7) % 256);
    bytes += "\n[x]\n=\n[\n]\n";
    runtime::IniStore store = parsed(bytes);
    for (const runtime::IniSection& s : store.sections) EXPECT_FALSE(s.entries.empty());
}

// The suite is the behaviour under test; the fixture is shared with other files.
using IniFiles = FilesTest;

TEST_F(IniFiles, IniOpenGetAndMissingFile) {
    EXPECT_EQ(get("any", "key"), "NO_DATA");
    make_file(path("game.ini"), "[Main]\r\n;c\r\nwidth = 640\r\ntitle=My Game  \r\n");
    runtime::ini_open(DynString(path("game.ini").c_str()));
    EXPECT_EQ(get("main", "WIDTH"), "640");
    EXPECT_EQ(get("Main", "title"), "My Game  ");
    EXPECT_EQ(get("Main", "height"), "NO_DATA");
    EXPECT_EQ(get("Other", "width"), "NO_DATA");

    runtime::ini_open(DynString(path("new.ini").c_str()));
    EXPECT_EQ(get("Main", "width"), "NO_DATA");
    EXPECT_STREQ(runtime::ini_store().file_name.text_of(), path("new.ini").c_str());
}

TEST_F(IniFiles, IniPutChangesAndWriteBackOnTheNextOpen) {
    make_file(path("a.ini"), "[Main]\nwidth=640\nheight=480\ndepth=32\n");
    runtime::ini_open(DynString(path("a.ini").c_str()));
    runtime::ini_put(DynString("main"), DynString("WIDTH"), DynString("800"));
    runtime::ini_put(DynString("Main"), DynString("width"), DynString("1024"));
    runtime::ini_put(DynString("Main"), DynString("height"), DynString(""));  // removed: depth moves up
    runtime::ini_put(DynString("Sound"), DynString("volume"), DynString("7"));
    EXPECT_TRUE(runtime::ini_store().changed);
    EXPECT_EQ(get("main", "width"), "1024");
    EXPECT_EQ(get("main", "height"), "NO_DATA");
    EXPECT_EQ(read_file(path("a.ini")), "[Main]\nwidth=640\nheight=480\ndepth=32\n");

    runtime::ini_open(DynString(path("b.ini").c_str()));
    EXPECT_EQ(read_file(path("a.ini")), "[Main]\r\nwidth=1024\r\ndepth=32\r\n[Sound]\r\nvolume=7\r\n");
    EXPECT_FALSE(runtime::ini_store().changed);
    EXPECT_FALSE(std::filesystem::exists(path("b.ini")));
}

TEST_F(IniFiles, IniPutWithEmptyValueAppendsAMissingKey) {
    runtime::ini_open(DynString(path("c.ini").c_str()));
    runtime::ini_put(DynString("S"), DynString("k"), DynString(""));
    EXPECT_EQ(get("S", "k"), "");
    runtime::ini_open(DynString(path("d.ini").c_str()));
    EXPECT_EQ(read_file(path("c.ini")), "[S]\r\nk=\r\n");
    runtime::ini_open(DynString(path("c.ini").c_str()));
    EXPECT_EQ(get("S", "k"), "NO_DATA");  // an empty value is never loaded
}

TEST_F(IniFiles, IniSectionRemovalAloneIsNotAChange) {
    make_file(path("s.ini"), "[A]\nx=1\n[B]\ny=2\n[C]\nz=3\n");
    runtime::ini_open(DynString(path("s.ini").c_str()));
    runtime::ini_put(DynString("a"), DynString(""), DynString(""));
    EXPECT_FALSE(runtime::ini_store().changed);
    ASSERT_EQ(runtime::ini_store().section_count, 2);
    EXPECT_STREQ(runtime::ini_store().sections[0].name.text_of(), "C");  // the last moved in
    EXPECT_EQ(get("A", "x"), "NO_DATA");
    runtime::ini_open(DynString(path("other.ini").c_str()));
    EXPECT_EQ(read_file(path("s.ini")), "[A]\nx=1\n[B]\ny=2\n[C]\nz=3\n");
}

TEST_F(IniFiles, IniWriteBackToAHeldFileIsSkippedAndKeepsTheStore) {
    make_file(path("h.ini"), "[A]\nx=1\n");
    runtime::ini_open(DynString(path("h.ini").c_str()));
    runtime::ini_put(DynString("A"), DynString("x"), DynString("2"));
    ASSERT_EQ(runtime::open_file_channel(0, path("h.ini").c_str(), 1), 1);
    runtime::ini_write_back(runtime::ini_store());
    EXPECT_EQ(read_file(path("h.ini")), "[A]\nx=1\n");
    EXPECT_EQ(get("A", "x"), "2");
    runtime::close_file_channel(0);
    runtime::ini_write_back(runtime::ini_store());
    EXPECT_EQ(read_file(path("h.ini")), "[A]\r\nx=2\r\n");
}

TEST_F(IniFiles, IniRenderMatchesTheWriteBack) {
    runtime::IniStore store = parsed("[One]\na=1\nb=2\n[Two]\nc=3\n");
    std::vector<char> bytes = runtime::ini_render(store);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "[One]\r\na=1\r\nb=2\r\n[Two]\r\nc=3\r\n");
}
