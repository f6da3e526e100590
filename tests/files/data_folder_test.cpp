// The installed data folder as the last place of the name lookup: after the loose file
// and the archive, never for names that leave the folder.
#include <filesystem>

#include "files_fixture.h"
#include "runtime/files/files.h"
#include "runtime/files/packed_archive.h"

using files_test::FilesTest;
using files_test::make_file;

namespace {

class DataFolderFiles : public FilesTest {
protected:
    void SetUp() override {
        FilesTest::SetUp();
        std::filesystem::create_directories(path("share/sub"));
        make_file(path("share/font.bmp"), "installed");
        make_file(path("share/sub/logo.png"), "nested");
        make_file(path("loose.png"), "loose");
        make_file(path("share/loose.png"), "installed copy");
        runtime::data_folder_state().folder = path("share");
        // Loose files are looked up in the current folder.
        old_folder_ = std::filesystem::current_path();
        std::filesystem::current_path(dir.path());
    }
    void TearDown() override {
        std::filesystem::current_path(old_folder_);
        FilesTest::TearDown();
    }
    std::string lookup(const std::string& name) {
        char out[runtime::ARCHIVE_PATH_SIZE];
        return runtime::resolve_packed_name(name.c_str(), out) ? test_support::read_file(out) : "<none>";
    }
    std::filesystem::path old_folder_;
};

}  // namespace

TEST(DataFolder, InstalledFolderIsShareBesideTheProgramFolder) {
    EXPECT_EQ(runtime::installed_data_folder("/opt/game/bin"), "/opt/game/share/brisel42_x9");
    EXPECT_EQ(runtime::installed_data_folder("/usr/bin/"), "/usr/share/brisel42_x9");
    EXPECT_EQ(runtime::installed_data_folder(""), "");
}

TEST_F(DataFolderFiles, NamesFoundNowhereElseComeFromTheDataFolder) {
    const std::string outside = path("elsewhere.png");
    make_file(outside, "outside");
    const struct {
        std::string name, content;
    } cases[] = {
        {"font.bmp", "installed"},
        {"sub/logo.png", "nested"},
        {"sub\\logo.png", "nested"},
        {"loose.png", "loose"},          // a loose file wins
        {"missing.png", "<none>"},
        {"../elsewhere.png", "<none>"},  // never out of the folder
        {"sub/../../elsewhere.png", "<none>"},
        {"/font.bmp", "<none>"},
        {std::string(1100, 'a'), "<none>"},
        {"", "<none>"},
    };
    for (const auto& c : cases) EXPECT_EQ(lookup(c.name), c.content) << c.name.substr(0, 40);
}

TEST_F(DataFolderFiles, ClosingTheArchivesForgetsTheFolder) {
    runtime::close_packed_archives();
    EXPECT_EQ(lookup("font.bmp"), "<none>");
}
