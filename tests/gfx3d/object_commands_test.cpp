// The object commands in a real context: loading (files, world files, the archive),
// building, saving, drawing read back from the frame, and collisions under the object
// transform.
#include <cstring>
#include <filesystem>

#include "object_fixture.h"
#include "runtime/files/packed_archive.h"
#include "runtime/gfx3d/object_table.h"
#include "tools/rtpack/archive_writer.h"

namespace runtime {
namespace {

// A DDDA square of side 2 centred at x = a in frame 0 and at x = b in frame 1.
std::string moving_square(double a, double b, int red = 255) {
    std::string text = "DDDA 1.0 0 1 " + std::to_string(red) + " 255 255 4 0 -1 1 -1 2 -1 3 -1\n2\n";
    for (double x : {a, b}) {
        text += "4 " + std::to_string(x - 1) + " -1 0  " + std::to_string(x + 1) + " -1 0  " + std::to_string(x + 1) +
                " 1 0  " + std::to_string(x - 1) + " 1 0\n";
    }
    return text;
}

DynString text(const std::string& s) { return DynString(s.c_str()); }

// The suite is the behaviour under test; the fixture is shared with other files.
using ObjectCommands = ObjectTest;

TEST_F(ObjectCommands, LoadFailuresReportAndLeaveTheSlotEmpty) {
    std::string header(12, '\0');
    const int32_t magic = 13021975;
    const double version = 1.0199;
    std::memcpy(header.data(), &magic, 4);
    std::memcpy(header.data() + 4, &version, 8);
    const std::string old = write("old.ddd", header + std::string(12, '\0'));
    const std::string empty = write("empty.ddd", "DDDA 1.0 0 0 1 0");  // a frame without vertices
    const std::string world = write("world.ddd", ";DDW\n[objects]\ncount=1\n1=empty.ddd\n");
    const std::string nested = write("nested.wld", ";DDW\n[objects]\ncount=1\n1=world.ddd\n");
    const struct {
        std::string file;
        std::string printed;
        std::vector<std::string> errors;
    } cases[] = {
        {old, "Wrong .ddd version.\n", {"# read error " + old}},
        {temp_.file("missing.ddd"), "", {"# read error " + temp_.file("missing.ddd")}},
        {empty, "", {}},
        {world, "", {}},  // read as a world: its mesh loads but nothing is drawn from an empty frame
        {nested, "", {"# read error " + world}},  // a world file is never read as a mesh
    };
    for (const auto& c : cases) {
        errors.clear();
        ::testing::internal::CaptureStdout();
        const double result = load_object(text(c.file), 3);
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), c.printed) << c.file;
        EXPECT_EQ(errors, c.errors) << c.file;
        const ObjectSlot* slot = find_object(3);
        if (c.file == world) {
            EXPECT_EQ(result, 1);
            EXPECT_TRUE(slot->is_world);
            continue;
        }
        EXPECT_EQ(result, 0) << c.file;
        EXPECT_FALSE(slot->loaded);
        EXPECT_TRUE(slot->meshes.empty());
    }
}

TEST_F(ObjectCommands, WorldFilesFindMeshesAndTexturesBesideThemAndInTheArchive) {
    std::filesystem::create_directories(temp_.path() / "level" / "parts");
    write("level/parts/a.ddd", moving_square(0, 1));
    make_bmp("level/wall.bmp", 2, 2, [](int, int) { return RED; });
    const std::string world =
        ";DDW world\n[textures]\ncount=2\n1=wall.bmp\n2=gone.bmp\n"
        "[objects]\ncount=999999999\n1=parts/a.ddd\n1ta=1\n1tb=7\n2=b.ddd\n2ta=2\n";
    write("level/world.wld", world);
    // b.ddd is nowhere on disk: the archive has it, and a second copy of the world.
    std::string error;
    const std::string far_square = moving_square(5, 5);
    const std::vector<uint8_t> archive = packer::build_archive(
        {{"b.ddd", std::vector<uint8_t>(far_square.begin(), far_square.end())},
         {"packed.wld", std::vector<uint8_t>(world.begin(), world.end())}},
        false, 0, error);
    write("data.pak", std::string(archive.begin(), archive.end()));
    set_archive_paths(temp_.file("data.pak").c_str(), "");
    for (const std::string& name : {temp_.file("level/world.wld"), temp_.file("level/packed.wld")}) {
        ASSERT_EQ(load_object(text(name), 7), 1) << name;
        const ObjectSlot& slot = *find_object(7);
        EXPECT_TRUE(slot.is_world);
        ASSERT_EQ(slot.mesh_count, 2);
        ASSERT_EQ(slot.texture_count, 2);
        EXPECT_NE(slot.textures[0], 0u);
        EXPECT_EQ(slot.textures[1], 0u);  // missing picture: that texture is none
        EXPECT_EQ(slot.meshes[0]->texture_a, 0);
        EXPECT_EQ(slot.meshes[0]->texture_b, -1);  // beyond the list
        EXPECT_EQ(slot.meshes[1]->texture_a, 1);
        EXPECT_NEAR(slot.meshes[1]->frames[0].bound_centre[0], 5, 0.02);
    }
    close_packed_archives();
}

TEST_F(ObjectCommands, BuiltObjectsSaveLoadAndDraw) {
    look_at_origin();
    // Two vertices make no triangle: the slot is finished but empty and draws nothing.
    start_object(1);
    add_object_vertex(-1, -1, 0, 0, 0, WHITE);
    add_object_vertex(1, -1, 0, 0, 0, WHITE);
    end_object();
    EXPECT_TRUE(find_object(1)->loaded);
    EXPECT_TRUE(find_object(1)->meshes[0]->frames.empty());
    draw_object_frame(1, 0);
    EXPECT_EQ(pixel_at(0, -0.9, 0), 0u);
    EXPECT_EQ(save_object(1, text(temp_.file("none.ddd"))), 0);
    EXPECT_FALSE(std::filesystem::exists(temp_.file("none.ddd")));
    add_object_vertex(0, 0, 0, 0, 0, 0);  // nothing is being built: ignored
    // A green strip square, saved and loaded into another slot.
    start_object(2);
    new_object_strip();
    for (auto [x, y] : {std::pair{-1, -1}, {1, -1}, {-1, 1}, {1, 1}}) add_object_vertex(x, y, 0, 0, 0, GREEN);
    end_object();
    ASSERT_EQ(save_object(2, text(temp_.file("square.ddd"))), 1);
    ASSERT_EQ(load_object(text(temp_.file("square.ddd")), 3), 1);
    EXPECT_EQ(find_object(3)->meshes[0]->triangles.size(), 6u);
    draw_object_frame(3, 0);
    EXPECT_EQ(pixel_at(0.5, 0.5, 0), GREEN);
    EXPECT_EQ(pixel_at(-0.5, -0.5, 0), GREEN);
    EXPECT_EQ(pixel_at(1.5, 0, 0), 0u);
}

TEST_F(ObjectCommands, FramesBlendHalfwayWithBuffersAndWithVertexArrays) {
    ASSERT_EQ(load_object(text(write("move.ddd", moving_square(-3, 3))), 1), 1);
    platform::GlExtensions& ext = platform::gl_extensions();
    const platform::GlExtensions saved = ext;
    for (bool buffers : {true, false}) {
        if (!buffers) ext.glGenBuffersARB = nullptr;  // as on a driver without buffer objects
        // Each case: the x positions that must be lit and dark.
        const struct {
            const char* what;
            std::function<void()> draw;
            double lit, dark;
        } cases[] = {
            {"frame 0", [] { draw_object_frame(1, 0); }, -3, 0},
            {"frame 1", [] { draw_object_frame(1, 1); }, 3, 0},
            {"halfway", [] { draw_object(1, 0, 1, 0.5, 0); }, 0, -2.5},
            {"a quarter", [] { draw_object(1, 0, 1, 0.25, 0); }, -1.5, 0.5},
            {"halfway along the run", [] { draw_object(1, 0, 1, 0.5, 1); }, 0, 2.5},
            {"repeating past 1", [] { draw_object(1, 0, 1, 1.5, 1); }, 0, -2.5},
            {"frames beyond the mesh", [] { draw_object_frame(1, 9); }, 3, -3},
        };
        for (const auto& c : cases) {
            look_at_origin();
            c.draw();
            EXPECT_NE(pixel_at(c.lit, 0, 0), 0u) << c.what << (buffers ? " (buffers)" : " (arrays)");
            EXPECT_EQ(pixel_at(c.dark, 0, 0), 0u) << c.what << (buffers ? " (buffers)" : " (arrays)");
        }
    }
    ext = saved;
    EXPECT_NE(find_object(1)->meshes[0]->vertex_buffer, 0u);
}

TEST_F(ObjectCommands, TexturedObjectShowsThePictureUpright) {
    // Red and green on the top row, blue and white below.
    make_bmp("four.bmp", 2, 2, [](int x, int y) { return y == 0 ? (x ? GREEN : RED) : (x ? WHITE : BLUE); });
    load(temp_.file("four.bmp"), 5);
    start_object(4);
    // v counts from the picture's top edge.
    add_object_vertex(-1, -1, 0, 0, 1, WHITE);
    add_object_vertex(1, -1, 0, 1, 1, WHITE);
    add_object_vertex(1, 1, 0, 1, 0, WHITE);
    add_object_vertex(-1, -1, 0, 0, 1, WHITE);
    add_object_vertex(1, 1, 0, 1, 0, WHITE);
    add_object_vertex(-1, 1, 0, 0, 0, WHITE);
    end_object();
    look_at_origin();
    set_object_texture(5, -1);
    draw_object_frame(4, 0);
    EXPECT_EQ(pixel_at(-0.5, 0.5, 0), RED);
    EXPECT_EQ(pixel_at(0.5, 0.5, 0), GREEN);
    EXPECT_EQ(pixel_at(-0.5, -0.5, 0), BLUE);
    EXPECT_EQ(pixel_at(0.5, -0.5, 0), WHITE);
    // start_3d forgets the texture: the plain white square is drawn.
    look_at_origin();
    draw_object_frame(4, 0);
    EXPECT_EQ(pixel_at(-0.5, 0.5, 0), WHITE);
}

TEST_F(ObjectCommands, ShadowVolumeDarkensTheFloorBehindAnObject) {
    start_object(1);  // a white floor
    for (auto [x, y] : {std::pair{-10, -10}, {10, -10}, {10, 10}, {-10, -10}, {10, 10}, {-10, 10}}) {
        add_object_vertex(x, y, 0, 0, 0, WHITE);
    }
    end_object();
    start_object(2);  // a small square 3 above it, under a light at 20
    for (auto [x, y] : {std::pair{-1, -1}, {1, -1}, {1, 1}, {-1, -1}, {1, 1}, {-1, 1}}) {
        add_object_vertex(x, y, 3, 0, 0, WHITE);
    }
    end_object();
    look_at_origin(6);
    draw_object_frame(1, 0);
    set_light(-3, WHITE, 0, 0, 20, 0, 0, -1, 1);
    draw_object_frame(2, 0);
    set_light(-3, WHITE, 0, 0, 20, 0, 0, -1, 0);
    const uint32_t shadow = pixel_at(0, 0, 0), lit = pixel_at(4, 4, 0);
    EXPECT_EQ(lit, WHITE);
    EXPECT_NEAR(static_cast<int>(shadow & 0xFF), 128, 2);
}

TEST_F(ObjectCommands, ShaderInUseDrawsObjectsAndGetsTheAuxiliaryDirections) {
    ASSERT_TRUE(platform::gl_extensions().has_shader_objects());
    const std::string vertex = write("v.glsl",
        "varying vec3 aux;\nvoid main() { aux = gl_MultiTexCoord2.xyz; gl_Position = ftransform(); }\n");
    const std::string fragment = write("f.glsl", "varying vec3 aux;\nvoid main() { gl_FragColor = vec4(abs(aux), 1.0); }\n");
    ASSERT_EQ(load_shader(1, text(vertex), text(fragment)), 1) << (errors.empty() ? "" : errors[0]);
    ASSERT_EQ(load_object(text(write("square.ddd", moving_square(0, 0))), 1), 1);
    look_at_origin();
    use_shader(1);
    draw_object_frame(1, 0);
    // Loaded vertices carry normal-table entry 0 as both auxiliary directions.
    EXPECT_TRUE(colour_near(pixel_at(0, 0, 0), 0xD90086, 2));
}

TEST_F(ObjectCommands, CollisionsFollowTheObjectTransform) {
    ASSERT_EQ(load_object(text(write("square.ddd", moving_square(0, 0))), 1), 1);
    EXPECT_EQ(object_sphere_collision(1, 0, 0.5, 0, 0, 0.3), 1);
    EXPECT_NEAR(object_ray_collision(1, 0, 0, 0, -5, 0, 0, 2), 5, 1e-4);
    EXPECT_EQ(object_box_collision(1, 0, 0, 0, 0, 1, 1), 1);
    // Moved 10 along x and turned 90 degrees about y: the square now stands in x = 10.
    set_transform_position(10, 0, 0);
    add_transform_rotation(90, 0, 1, 0);
    EXPECT_EQ(object_sphere_collision(1, 0, 0.5, 0, 0, 0.3), 0);
    EXPECT_EQ(object_sphere_collision(1, 0, 0.5, 10.3, 0.5, 0.5), 1);
    EXPECT_NEAR(object_ray_collision(1, 0, 4, 0.2, 0.2, 1, 0, 0), 6, 1e-4);
    EXPECT_NEAR(object_ray_collision(1, 0, 14, 0.2, 0.2, 1, 0, 0), -4, 1e-4);
    EXPECT_EQ(object_box_collision(1, 0, 10.4, 0, 0, 1, 1), 1);
    EXPECT_EQ(object_box_collision(1, 0, 10.6, 0, 0, 1, 1), 0);
    EXPECT_EQ(object_sphere_collision(1, 3, 100, 10, 0, 0), 0);  // no such frame
    EXPECT_EQ(object_sphere_collision(2, 0, 100, 10, 0, 0), 0);  // no such object
}

TEST_F(ObjectTest, ShortVectorsAreDirectionsLikeLongOnes) {
    ASSERT_EQ(load_object(text(write("square.ddd", moving_square(0, 0))), 1), 1);
    look_at_origin();
    double wide_x = 0, wide_y = 0, depth = 0;
    ASSERT_EQ(project_point(1, 1, 0, wide_x, wide_y, depth), 1);
    for (const double s : {1.0, 0.0002, 1e-30}) {
        // The square turned to stand in x = 10, as with a unit axis.
        set_transform_position(10, 0, 0);
        add_transform_rotation(90, 0, s, 0);
        EXPECT_EQ(object_sphere_collision(1, 0, 0.5, 10.3, 0.5, 0.5), 1) << s;
        EXPECT_NEAR(object_ray_collision(1, 0, 4, 0.2, 0.2, s, 0, 0), 6, 1e-4) << s;
        // The view of a short up vector is the view of a long one.
        set_camera_up(0, s, 0);
        set_camera(0, 0, 10, 0, 0, 0);
        double x = 0, y = 0;
        ASSERT_EQ(project_point(1, 1, 0, x, y, depth), 1);
        EXPECT_NEAR(x, wide_x, 1e-3) << s;
        EXPECT_NEAR(y, wide_y, 1e-3) << s;
    }
}

TEST(ObjectNumbers, OutsideTheTableIsAnErrorStop) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(load_object(DynString("x"), 65536), ::testing::ExitedWithCode(9), "");
    EXPECT_EXIT(draw_object_frame(-1, 0), ::testing::ExitedWithCode(9), "");
}

}  // namespace
}  // namespace runtime
