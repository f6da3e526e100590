// The obj2ddd tool as a child process: OBJ models and frame sequences it converts load
// and collide as drawn; bad input is refused with a reason and writes nothing.
#include <filesystem>

#include "object_fixture.h"
#include "runtime/gfx3d/object_table.h"
#include "support/run_command.h"

namespace runtime {
namespace {

using ToolRun = test_support::CommandRun;

ToolRun obj2ddd(const std::string& args) { return test_support::run_command(std::string(OBJ2DDD_PATH) + " " + args); }

// A cube of side 2 on the origin; quads, texture coordinates, negative indices in one face.
const char* CUBE =
    "# cube\nv -1 -1 -1\nv 1 -1 -1\nv 1 1 -1\nv -1 1 -1\nv -1 -1 1\nv 1 -1 1\nv 1 1 1\nv -1 1 1\n"
    "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\ng box\nusemtl none\n"
    "f 5/1 6/2 7/3 8/4\nf 2/1 1/2 4/3 3/4\nf 6/1 2/2 3/3 7/4\nf 1/1 5/2 8/3 4/4\nf 8/1 7/2 3/3 4/4\nf -8/1 -7/2 -3/3 -4/4\n";

class Obj2dddTool : public ObjectTest {
protected:
    std::string obj(const std::string& name, const std::string& text) { return write(name, text); }
};

TEST_F(Obj2dddTool, CubeConvertsLoadsAndCollides) {
    obj("cube.obj", CUBE);
    const ToolRun run = obj2ddd("--normals crease " + temp_.file("cube.ddd") + " " + temp_.file("cube.obj"));
    ASSERT_EQ(run.code, 0) << run.out;
    ASSERT_EQ(load_object(DynString(temp_.file("cube.ddd").c_str()), 1), 1);
    const MeshObjectX& mesh = *find_object(1)->meshes[0];
    EXPECT_EQ(mesh.triangles.size(), 36u);
    // Texture v is stored negated, so drawing gives the OBJ's coordinate back.
    EXPECT_FLOAT_EQ(mesh.frames[0].vertices[2].v, 1);
    EXPECT_FLOAT_EQ(mesh.frames[0].vertices[0].normal[2], 1);  // the +z face is flat
    EXPECT_EQ(object_sphere_collision(1, 0, 0.5, 0, 0, 0), 0);  // inside, reaching no face
    EXPECT_EQ(object_sphere_collision(1, 0, 1.2, 0, 0, 0), 1);
    EXPECT_EQ(object_sphere_collision(1, 0, 0.5, 0, 0, 1.4), 1);
    EXPECT_EQ(object_sphere_collision(1, 0, 0.5, 0, 0, 1.6), 0);
    EXPECT_NEAR(object_ray_collision(1, 0, 0.3, 0.3, -5, 0, 0, 1), 4, 0.01);
    EXPECT_NEAR(object_ray_collision(1, 0, 0.3, 0.3, 0, 0, 0, 1), 1, 0.01);  // from inside
    EXPECT_EQ(object_box_collision(1, 0, 0, 0, 0, 1, 1), 0);
    EXPECT_EQ(object_box_collision(1, 0, 0, 0, 0, 1, 2.2), 1);
    EXPECT_EQ(object_box_collision(1, 0, 1.9, 0, 0, 2, 2), 1);
    EXPECT_EQ(object_box_collision(1, 0, 2.1, 0, 0, 2, 2), 0);
}

TEST_F(Obj2dddTool, NumberedSequenceBecomesFrames) {
    const std::string tri = "v 0 0 0 1 0 0\nv 1 0 0 1 0 0\nv 0 1 0 1 0 0\nvn 0 0 1\nf 1//1 2//1 3//1\n";
    obj("walk_01.obj", tri);
    obj("walk_02.obj", "v 0 0 2 1 0 0\nv 1 0 2 1 0 0\nv 0 1 2 1 0 0\nvn 0 0 1\nf 1//1 2//1 3//1\n");
    obj("walk_04.obj", tri);  // after a gap: not part of the run
    const ToolRun run = obj2ddd(temp_.file("walk.ddd") + " '" + temp_.file("walk_##.obj") + "'");
    ASSERT_EQ(run.code, 0) << run.out;
    ASSERT_EQ(load_object(DynString(temp_.file("walk.ddd").c_str()), 2), 1);
    const MeshObjectX& mesh = *find_object(2)->meshes[0];
    ASSERT_EQ(mesh.frames.size(), 2u);
    EXPECT_NEAR(mesh.frames[1].vertices[0].position[2], 2, 1e-6);
    EXPECT_EQ(mesh.frames[0].vertices[0].colour_value, RED);  // from the OBJ's vertex colours
    EXPECT_EQ(object_sphere_collision(2, 1, 0.5, 0.2, 0.2, 2.3), 1);
    EXPECT_EQ(object_sphere_collision(2, 0, 0.5, 0.2, 0.2, 2.3), 0);
}

TEST_F(Obj2dddTool, RefusalsNameTheProblemAndWriteNothing) {
    EXPECT_EQ(obj2ddd("--help").code, 0);
    EXPECT_NE(obj2ddd("--help").out.find("usage: obj2ddd"), std::string::npos);
    obj("a.obj", CUBE);
    obj("fewer.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    obj("bad_index.obj", "v 0 0 0\nv 1 0 0\nf 1 2 3\n");
    obj("two_corners.obj", "v 0 0 0\nv 1 0 0\nf 1 2\n");
    obj("bad_number.obj", "v 0 0 zero\n");
    obj("no_faces.obj", "v 0 0 0\n");
    const std::string out = temp_.file("out.ddd");
    const struct {
        std::string args;
        int code;
        const char* says;
    } cases[] = {
        {"", 2, "needs an output file"},
        {out + " " + temp_.file("a.obj") + " " + temp_.file("fewer.obj"), 1, "has other faces than frame 1"},
        {out + " " + temp_.file("bad_index.obj"), 1, "line 3: corner \"3\" refers to nothing"},
        {out + " " + temp_.file("two_corners.obj"), 1, "at least 3 corners"},
        {out + " " + temp_.file("bad_number.obj"), 1, "line 1: a position needs"},
        {out + " " + temp_.file("no_faces.obj"), 1, "no faces"},
        {out + " " + temp_.file("gone.obj"), 1, "cannot read"},
        {out + " '" + temp_.file("gone_#.obj") + "'", 2, "no files match"},
        {"--normals round " + out + " " + temp_.file("a.obj"), 2, "flat, smooth or crease"},
        {"--colour red " + out + " " + temp_.file("a.obj"), 2, "six hex digits"},
        {"--wild " + out + " " + temp_.file("a.obj"), 2, "unknown option"},
        {temp_.file("no/such/folder.ddd") + " " + temp_.file("a.obj"), 1, "cannot write"},
    };
    for (const auto& c : cases) {
        const ToolRun run = obj2ddd(c.args);
        EXPECT_EQ(run.code, c.code) << c.args << "\n" << run.out;
        EXPECT_NE(run.out.find(c.says), std::string::npos) << c.args << "\n" << run.out;
        EXPECT_FALSE(std::filesystem::exists(out)) << c.args;
    }
}

}  // namespace
}  // namespace runtime
