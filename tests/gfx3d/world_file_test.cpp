// World files from memory: names are found as the INI lookup finds them, and a world
// names at most 4096 meshes and textures.
#include "runtime/gfx3d/world_file.h"

#include <gtest/gtest.h>

#include <string>

namespace runtime {
namespace {

bool parse(const std::string& text, WorldDescription& world) {
    return parse_world_file({reinterpret_cast<const uint8_t*>(text.data()), text.size()}, "w/", world);
}

// "[objects]" naming meshes first..last, with a count that may overstate them.
std::string objects(int64_t first, int64_t last, const std::string& count = "999999999") {
    std::string text = "[objects]\ncount=" + count + "\n";
    for (int64_t i = first; i <= last; ++i) text += std::to_string(i) + "=m.ddd\n";
    return text;
}

TEST(WorldFile, NamesAreFoundAsTheIniLookupFindsThem) {
    WorldDescription world;
    ASSERT_TRUE(parse(";DDW\n[Textures]\nCOUNT=3\n1=a.bmp\n1=shadowed.bmp\n3=NO_DATA\n"
                      "[OBJECTS]\ncount=3\n1=one.ddd\n1TA=1\n1tb=3\n2=two.ddd\n2ta=4\n[objects]\n3=late.ddd\n",
                      world));
    EXPECT_EQ(world.textures, (std::vector<std::string>{"w/a.bmp", "", ""}));
    ASSERT_EQ(world.meshes.size(), 2u);
    EXPECT_EQ(world.meshes[0].file, "w/one.ddd");
    EXPECT_EQ(world.meshes[0].texture_a, 0);
    EXPECT_EQ(world.meshes[0].texture_b, 2);
    EXPECT_EQ(world.meshes[1].texture_a, -1);
}

TEST(WorldFile, AtMost4096MeshesAndTextures) {
    const struct {
        const char* what;
        std::string text;
        size_t meshes;  // 0: refused
    } cases[] = {
        {"4096 meshes", objects(1, 4096), 4096},
        {"4097 meshes", objects(1, 4097), 0},
        {"4096 named among more numbers", objects(2, 4097), 4096},
        {"texture 4096", "[textures]\ncount=5000\n4096=t.bmp\n" + objects(1, 4096), 4096},
        {"texture 4097", "[textures]\ncount=5000\n4097=t.bmp\n" + objects(1, 4096), 0},
    };
    for (const auto& c : cases) {
        WorldDescription world;
        EXPECT_EQ(parse(";DDW\n" + c.text, world), c.meshes > 0) << c.what;
        EXPECT_EQ(world.meshes.size(), c.meshes) << c.what;
    }
}

}  // namespace
}  // namespace runtime
