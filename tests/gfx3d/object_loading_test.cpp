// Loading objects under pressure and at the edges: memory that runs out, vertex budgets,
// sparse world files, loading over an object being built, and one read per file.
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>

#include "object_fixture.h"
#include "runtime/gfx3d/object_table.h"

namespace runtime {
namespace {

DynString text(const std::string& s) { return DynString(s.c_str()); }

// Runs the body in a forked child whose address space may grow by only `headroom` bytes
// beyond what it has; the child's wait status (exit 0 when the body returns true).
int run_with_memory_headroom(size_t headroom, const std::function<bool()>& body) {
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t pid = fork();
    if (pid == 0) {
        std::ifstream status("/proc/self/status");
        std::string key;
        size_t kilobytes = 0;
        while (status >> key && key != "VmSize:") status.ignore(4096, '\n');
        status >> kilobytes;
        const rlimit limit{kilobytes * 1024 + headroom, kilobytes * 1024 + headroom};
#ifndef __SANITIZE_ADDRESS__
        if (kilobytes == 0 || setrlimit(RLIMIT_AS, &limit) != 0) _exit(3);
#else
        (void)limit;
#endif
        // An exception out of the body is what would end a real program: status 2.
        bool ok = false;
        try {
            ok = body();
        } catch (...) {
            _exit(2);
        }
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

// A one-frame binary model of n vertices (5 bytes each), all at one place.
std::string many_vertices(uint32_t n) {
    std::string file = ddd_binary({WHITE}, {{}});
    const uint32_t count = n;
    std::memcpy(&file[file.size() - 28], &count, 4);
    return file + std::string(static_cast<size_t>(n) * 5, '\0');
}

TEST_F(ObjectTest, RunningOutOfMemoryOrBudgetFailsTheLoadOnly) {
    const std::string small = write("small.ddd", ddd_binary({WHITE}, {joined({ddd_triangle(0, 0, 0)})}));
    const std::string big = write("big.ddd", many_vertices(1 << 20));  // 5 MB to read, ~100 MB built
    const std::string world = write(
        "world.wld", ";DDW\n[objects]\ncount=5\n1=big.ddd\n2=big.ddd\n3=big.ddd\n4=big.ddd\n5=big.ddd\n");
    // 294 corners in each of 300 frames from 3 KB of text.
    std::string fan = "DDDA 1.0 0 1 255 255 255 100";
    for (int i = 0; i < 100; ++i) fan += " 0 -1";
    fan += " 300";
    for (int i = 0; i < 300; ++i) fan += "\n1 0 0 0";
    const std::string text_fan = write("fan.ddd", fan);
    const struct {
        std::string file;
        std::string failing;  // the name in "# malloc error"; empty: loads
    } cases[] = {
        {small, ""},
        {big, big},            // its mesh cannot be built within the memory left
        {world, big},          // five of them exceed the world's vertex budget
        {text_fan, text_fan},  // far more vertices than its size allows
    };
    for (const auto& c : cases) {
#ifdef __SANITIZE_ADDRESS__
        // The sanitizer's allocator reserves far more address space than it hands out and
        // ends the process itself when an allocation fails: only the budgets are tried here.
        if (&c == &cases[1]) continue;
#endif
        const int status = run_with_memory_headroom(size_t{64} << 20, [&] {
            errors.clear();
            const double result = load_object(text(c.file), 1);
            const ObjectSlot* slot = find_object(1);
            if (c.failing.empty()) return result == 1 && slot->loaded && errors.empty();
            return result == 0 && !slot->loaded && slot->meshes.empty() &&
                   errors == std::vector<std::string>{"# malloc error " + c.failing};
        });
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << c.file << ": wait status " << status;
    }
}

TEST_F(ObjectTest, SaveRefusesWhatLoadWouldRefuse) {
    // A fan is saved as a triangle list: 1,398,104 built vertices are 4,194,306 saved.
    start_object(1);
    new_object_strip();
    for (int i = 0; i < 1398104; ++i) add_object_vertex(0, 0, 0, 0, 0, WHITE);
    end_object();
    const std::string saved = temp_.file("fan.ddd");
    EXPECT_EQ(save_object(1, text(saved)), 0);
    EXPECT_FALSE(std::filesystem::exists(saved));
}

TEST_F(ObjectTest, WorldFilesLoadEveryMeshTheirCountNames) {
    write("left.ddd", ddd_binary({WHITE}, {joined({ddd_triangle(-3, -1, 0)})}));
    write("right.ddd", ddd_binary({WHITE}, {joined({ddd_triangle(1, -1, 0)})}));
    const struct {
        std::string objects;
        bool left, right;
    } cases[] = {
        {"count=5\n1=left.ddd\n5=right.ddd\n", true, true},
        {"count=4\n1=left.ddd\n5=right.ddd\n", true, false},
        {"count=9\n9=right.ddd\n", false, true},
        {"5=right.ddd\n1=left.ddd\ncount=5\n", true, true},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(load_object(text(write("w.wld", ";DDW\n[objects]\n" + c.objects)), 1), 1) << c.objects;
        look_at_origin();
        draw_object_frame(1, 0);
        EXPECT_EQ(pixel_at(-2.5, -0.5, 0), c.left ? WHITE : 0u) << c.objects;
        EXPECT_EQ(pixel_at(1.5, -0.5, 0), c.right ? WHITE : 0u) << c.objects;
        EXPECT_EQ(object_sphere_collision(1, 0, 0.3, -2.5, -0.5, 0), c.left ? 1 : 0) << c.objects;
        EXPECT_EQ(object_sphere_collision(1, 0, 0.3, 1.5, -0.5, 0), c.right ? 1 : 0) << c.objects;
    }
}

TEST_F(ObjectTest, LoadingOverTheObjectBeingBuiltEndsTheBuild) {
    write("left.ddd", ddd_binary({WHITE}, {joined({ddd_triangle(-3, -1, 0)})}));
    write("right.ddd", ddd_binary({WHITE}, {joined({ddd_triangle(1, -1, 0)})}));
    const std::string world = write("w.wld", ";DDW\n[objects]\ncount=2\n1=left.ddd\n2=right.ddd\n");
    for (const std::string& file : {world, temp_.file("right.ddd")}) {
        start_object(1);
        add_object_vertex(-1, -1, 0, 0, 0, RED);
        add_object_vertex(0, -1, 0, 0, 0, RED);
        ASSERT_EQ(load_object(text(file), 1), 1);
        add_object_vertex(-1, 0, 0, 0, 0, RED);  // the build has ended: nothing happens
        end_object();
        look_at_origin();
        draw_object_frame(1, 0);
        EXPECT_EQ(pixel_at(-0.8, -0.8, 0), 0u) << file;
        EXPECT_EQ(pixel_at(-2.5, -0.5, 0), file == world ? WHITE : 0u) << file;
        EXPECT_EQ(pixel_at(1.5, -0.5, 0), WHITE) << file;
        EXPECT_EQ(object_sphere_collision(1, 0, 0.1, -0.8, -0.8, 0), 0) << file;
        EXPECT_EQ(object_sphere_collision(1, 0, 0.3, -2.5, -0.5, 0), file == world ? 1 : 0) << file;
        EXPECT_EQ(object_sphere_collision(1, 0, 0.3, 1.5, -0.5, 0), 1) << file;
    }
}

// How many times each file was read (opened and read from) while the body ran.
std::map<std::string, int> reads_during(const std::vector<std::string>& files,
                                        const std::function<void()>& body) {
    const int fd = inotify_init1(IN_NONBLOCK);
    std::map<int, std::string> names;
    for (const std::string& f : files)
        names[inotify_add_watch(fd, f.c_str(), IN_OPEN | IN_ACCESS | IN_CLOSE_NOWRITE)] = f;
    body();
    std::map<std::string, int> reads;
    std::map<int, bool> accessed;
    alignas(inotify_event) char buffer[65536];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0) {
        for (char* p = buffer; p < buffer + n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(p);
            if (e->mask & IN_OPEN) accessed[e->wd] = false;
            if (e->mask & IN_ACCESS) accessed[e->wd] = true;
            if ((e->mask & IN_CLOSE_NOWRITE) && accessed[e->wd]) ++reads[names[e->wd]];
            p += sizeof(inotify_event) + e->len;
        }
    }
    close(fd);
    return reads;
}

TEST_F(ObjectTest, EveryFileIsReadOnce) {
    const std::string left = write("left.ddd", ddd_binary({WHITE}, {joined({ddd_triangle(-3, -1, 0)})}));
    const std::string right =
        write("right.ddd", "DDDA 1.0 0 1 255 255 255 3 0 -1 1 -1 2 -1 1 3 1 -1 0 3 -1 0 1 1 0");
    const std::string world = write("w.wld", ";DDW\n[objects]\ncount=2\n1=left.ddd\n2=right.ddd\n");
    const struct {
        std::string file;
        std::map<std::string, int> reads;
    } cases[] = {
        {left, {{left, 1}}},
        {right, {{right, 1}}},
        {world, {{world, 1}, {left, 1}, {right, 1}}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(reads_during({left, right, world}, [&] { ASSERT_EQ(load_object(text(c.file), 1), 1); }),
                  c.reads)
            << c.file;
    }
}

}  // namespace
}  // namespace runtime
