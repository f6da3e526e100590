// The rtpack tool as a child process: archives it makes are found by the runtime's
// lookup with identical bytes, standalone and appended; bad input leaves no output.
#include <cstdio>
#include <random>

#include "files_fixture.h"
#include "runtime/files/files.h"
#include "runtime/files/packed_archive.h"
#include "support/run_command.h"

using files_test::FilesTest;
using files_test::make_file;
using runtime::DynString;
using test_support::read_file;

namespace {

using ToolRun = test_support::CommandRun;

ToolRun rtpack(const std::string& args) { return test_support::run_command(std::string(RTPACK_PATH) + " " + args); }

std::string noise(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s;
    for (size_t i = 0; i < n; ++i) s += static_cast<char>(i % 3 ? rng() : 'x');
    return s;
}

std::string q(const std::string& s) { return "'" + s + "'"; }

class RtpackTool : public FilesTest {
protected:
    void SetUp() override {
        FilesTest::SetUp();
        std::filesystem::create_directory(dir.path() / "in");
        files = {{"map.txt", std::string(200000, 'm') + "end\r\n"}, {"Tiles.PNG", noise(70000, 1)},
                 {"empty.dat", ""}, {"a", "1"}};
        for (const auto& [name, content] : files) make_file(path("in/" + name), content);
    }
    std::string inputs() const {
        std::string s;
        for (const auto& f : files) s += " " + q(path("in/" + f.first));
        return s;
    }
    // Every packed file found through the runtime with the same bytes.
    void expect_all_found(const std::string& archive) {
        runtime::set_archive_paths(DynString(archive.c_str()), DynString(""));
        for (const auto& [name, content] : files) {
            char out[runtime::ARCHIVE_PATH_SIZE];
            ASSERT_EQ(runtime::resolve_packed_name(("assets/" + name).c_str(), out), 1) << name;
            EXPECT_EQ(read_file(out), content) << name;
        }
    }
    std::vector<std::pair<std::string, std::string>> files;
};

}  // namespace

TEST_F(RtpackTool, HelpAndUnknownCommands) {
    ToolRun help = rtpack("--help");
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("rtpack create ARCHIVE"), std::string::npos);
    EXPECT_NE(rtpack("").code, 0);
    EXPECT_NE(rtpack("frobnicate x").code, 0);
}

TEST_F(RtpackTool, CreatedArchiveRoundTripsThroughTheLookup) {
    ToolRun r = rtpack("create " + q(path("game.pak")) + inputs());
    ASSERT_EQ(r.code, 0) << r.out;
    expect_all_found(path("game.pak"));
}

TEST_F(RtpackTool, ArchiveAppendedToAProgramRoundTrips) {
    std::string host = noise(123457, 9);
    make_file(path("program"), host);
    ToolRun r = rtpack("append " + q(path("program")) + inputs());
    ASSERT_EQ(r.code, 0) << r.out;
    EXPECT_EQ(read_file(path("program")).substr(0, host.size()), host);
    expect_all_found(path("program"));
}

TEST_F(RtpackTool, FromEndArchiveStillWorksAfterConcatenation) {
    ASSERT_EQ(rtpack("create --from-end " + q(path("tail.pak")) + inputs()).code, 0);
    expect_all_found(path("tail.pak"));
    make_file(path("joined"), "some program bytes" + read_file(path("tail.pak")));
    expect_all_found(path("joined"));
}

TEST_F(RtpackTool, ListAndExtract) {
    ASSERT_EQ(rtpack("create " + q(path("game.pak")) + inputs()).code, 0);
    ToolRun list = rtpack("list " + q(path("game.pak")));
    ASSERT_EQ(list.code, 0);
    EXPECT_NE(list.out.find(" 200005 map.txt\n"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find(" 0 empty.dat\n"), std::string::npos) << list.out;
    std::filesystem::create_directory(dir.path() / "out");
    ToolRun all = rtpack("extract " + q(path("game.pak")) + " -C " + q(path("out")));
    ASSERT_EQ(all.code, 0) << all.out;
    for (const auto& [name, content] : files) EXPECT_EQ(read_file(path("out/" + name)), content) << name;
    std::filesystem::create_directory(dir.path() / "one");
    ASSERT_EQ(rtpack("extract " + q(path("game.pak")) + " -C " + q(path("one")) + " tiles.png").code, 0);
    EXPECT_TRUE(std::filesystem::exists(path("one/Tiles.PNG")));
    EXPECT_FALSE(std::filesystem::exists(path("one/map.txt")));
    EXPECT_NE(rtpack("extract " + q(path("game.pak")) + " -C " + q(path("one")) + " nothing").code, 0);
}

TEST_F(RtpackTool, BadInputLeavesNoOutput) {
    ToolRun missing = rtpack("create " + q(path("bad.pak")) + " " + q(path("in/nope.txt")));
    EXPECT_EQ(missing.code, 1);
    EXPECT_NE(missing.out.find("cannot read"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(path("bad.pak")));
    make_file(path("in/MAP.TXT"), "clash");
    ToolRun clash = rtpack("create " + q(path("bad.pak")) + " " + q(path("in/map.txt")) + " " + q(path("in/MAP.TXT")));
    EXPECT_EQ(clash.code, 1);
    EXPECT_FALSE(std::filesystem::exists(path("bad.pak")));
    make_file(path("host"), "host bytes");
    EXPECT_EQ(rtpack("append " + q(path("host")) + " " + q(path("in/nope.txt"))).code, 1);
    EXPECT_EQ(read_file(path("host")), "host bytes");
}

TEST_F(RtpackTool, DamagedArchivesAreRefusedWithoutWritingFiles) {
    ASSERT_EQ(rtpack("create " + q(path("game.pak")) + inputs()).code, 0);
    std::string good = read_file(path("game.pak"));
    std::filesystem::create_directory(dir.path() / "out");
    std::string no_trailer = good;
    no_trailer[no_trailer.size() - 6] = 'x';
    std::string stream_damaged = good;
    for (size_t i = 8; i < 40; ++i) stream_damaged[i] = static_cast<char>(0xFF);
    std::string cut = good.substr(0, good.size() / 2) + good.substr(good.size() - 7);
    for (const std::string& bytes : {no_trailer, stream_damaged, cut}) {
        make_file(path("bad.pak"), bytes);
        ToolRun r = rtpack("extract " + q(path("bad.pak")) + " -C " + q(path("out")));
        EXPECT_EQ(r.code, 1) << r.out;
        EXPECT_TRUE(std::filesystem::is_empty(dir.path() / "out")) << r.out;
    }
    make_file(path("bad.pak"), no_trailer);
    EXPECT_EQ(rtpack("list " + q(path("bad.pak"))).code, 1);
}
