// obj2ddd: Wavefront OBJ files (one per animation frame) into one binary .ddd model,
// packed and written by the runtime's own code so load_object reads it back. Nothing
// is written unless every frame converts.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "runtime/gfx3d/object_files.h"
#include "runtime/gfx3d/object_packing.h"
#include "tools/obj2ddd/obj_model.h"

namespace {

constexpr const char* USAGE =
    "usage: obj2ddd [--normals flat|smooth|crease] [--colour RRGGBB] OUTPUT.ddd FRAME.obj...\n"
    "       obj2ddd --help\n"
    "\n"
    "Converts Wavefront OBJ models into a binary .ddd model for load_object. Each OBJ file\n"
    "is one animation frame, in the order given; every frame must have the same faces with\n"
    "the same corners (only positions and normals may change). A name with '#' in it is a\n"
    "numbered sequence: walk_##.obj takes walk_00.obj (or walk_01.obj when there is no\n"
    "walk_00.obj) and each next number while that file exists.\n"
    "\n"
    "Positions, texture coordinates, normals and vertex colours (v x y z r g b) are read;\n"
    "faces of any size are cut into fans from their first corner. Texture v is stored\n"
    "negated, so drawing gives the OBJ's own coordinate back (pictures power-of-two sized).\n"
    "\n"
    "--normals  how normals are made when the OBJ does not give every corner one: flat (each\n"
    "           triangle's own), smooth (shared where corners meet; the default) or\n"
    "           crease (shared across edges of less than 60 degrees)\n"
    "--colour   the colour of vertices without one, as six hex digits (default FFFFFF)\n";

int fail(const std::string& message) {
    std::fprintf(stderr, "obj2ddd: %s\n", message.c_str());
    return 1;
}

bool read_text(const std::string& path, std::string& out) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    std::ifstream in(path, std::ios::binary);
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool file_exists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The files of a numbered sequence: the run of '#' becomes a zero-padded number.
std::vector<std::string> expand_sequence(const std::string& pattern) {
    const size_t first = pattern.find('#');
    if (first == std::string::npos) return {pattern};
    const size_t width = pattern.find_first_not_of('#', first) == std::string::npos
                             ? pattern.size() - first
                             : pattern.find_first_not_of('#', first) - first;
    const auto name = [&](int n) {
        std::string digits = std::to_string(n);
        if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
        return pattern.substr(0, first) + digits + pattern.substr(first + width);
    };
    std::vector<std::string> names;
    for (int n = file_exists(name(0)) ? 0 : 1; file_exists(name(n)); ++n) names.push_back(name(n));
    return names;
}

struct Options {
    runtime::NormalMode normals = runtime::NormalMode::SMOOTH;
    uint32_t colour = 0xFFFFFF;
    std::string output;
    std::vector<std::string> frames;
};

// Parses the arguments; an empty message means success.
std::string parse_options(const std::vector<std::string>& args, Options& o) {
    std::vector<std::string> names;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--normals" || a == "--colour") {
            if (i + 1 == args.size()) return a + " needs a value";
            const std::string& value = args[++i];
            if (a == "--normals") {
                if (value == "flat") o.normals = runtime::NormalMode::FLAT;
                else if (value == "smooth") o.normals = runtime::NormalMode::SMOOTH;
                else if (value == "crease") o.normals = runtime::NormalMode::CREASE;
                else return "--normals takes flat, smooth or crease, not \"" + value + "\"";
            } else {
                char* end = nullptr;
                const unsigned long rgb = std::strtoul(value.c_str(), &end, 16);
                if (value.size() != 6 || *end != '\0') return "--colour takes six hex digits RRGGBB";
                o.colour = ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
            }
        } else if (a.size() > 1 && a[0] == '-') {
            return "unknown option \"" + a + "\"";
        } else {
            names.push_back(a);
        }
    }
    if (names.size() < 2) return "needs an output file and at least one OBJ file";
    o.output = names[0];
    for (size_t i = 1; i < names.size(); ++i) {
        const std::vector<std::string> run = expand_sequence(names[i]);
        if (run.empty()) return "no files match the sequence \"" + names[i] + "\"";
        o.frames.insert(o.frames.end(), run.begin(), run.end());
    }
    return {};
}

// The corners of all faces, each face cut into a fan.
std::vector<obj2ddd::ObjCorner> fan_corners(const obj2ddd::ObjModel& m) {
    std::vector<obj2ddd::ObjCorner> corners;
    for (const auto& face : m.faces) {
        for (size_t i = 1; i + 1 < face.size(); ++i) corners.insert(corners.end(), {face[0], face[i], face[i + 1]});
    }
    return corners;
}

std::string describe_difference(const obj2ddd::ObjModel& a, const obj2ddd::ObjModel& b) {
    if (a.faces.size() != b.faces.size()) {
        return std::to_string(b.faces.size()) + " faces against " + std::to_string(a.faces.size());
    }
    for (size_t f = 0; f < a.faces.size(); ++f) {
        if (a.faces[f] != b.faces[f]) return "face " + std::to_string(f + 1) + " differs";
    }
    return "";
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    for (const std::string& a : args) {
        if (a == "--help" || a == "-h") {
            std::fputs(USAGE, stdout);
            return 0;
        }
    }
    Options options;
    if (const std::string problem = parse_options(args, options); !problem.empty()) {
        std::fprintf(stderr, "obj2ddd: %s\n\n%s", problem.c_str(), USAGE);
        return 2;
    }
    runtime::MeshObjectX mesh;
    obj2ddd::ObjModel first;
    bool all_normals = true;
    std::vector<runtime::MeshVertex> vertices;
    for (size_t f = 0; f < options.frames.size(); ++f) {
        const std::string& path = options.frames[f];
        std::string text, error;
        obj2ddd::ObjModel model;
        if (!read_text(path, text)) return fail("cannot read \"" + path + "\"");
        if (!read_obj(text, model, error)) return fail(path + ": " + error);
        if (f == 0) {
            if (model.faces.empty()) return fail(path + ": no faces");
            first = model;
        } else if (const std::string d = describe_difference(first, model); !d.empty()) {
            return fail("frame " + std::to_string(f + 1) + " (" + path + ") has other faces than frame 1 (" +
                        options.frames[0] + "): " + d);
        }
        const std::vector<obj2ddd::ObjCorner> corners = fan_corners(model);
        if (static_cast<int64_t>(corners.size() * options.frames.size()) > runtime::MAX_MESH_VERTICES) {
            return fail("too many vertices for one model");
        }
        vertices.assign(corners.size(), runtime::MeshVertex{});
        for (size_t i = 0; i < corners.size(); ++i) {
            const obj2ddd::ObjCorner& c = corners[i];
            runtime::MeshVertex& v = vertices[i];
            for (size_t a = 0; a < 3; ++a)
                v.position[a] = static_cast<float>(model.positions[static_cast<size_t>(c.position)][a]);
            if (c.normal >= 0) {
                for (size_t a = 0; a < 3; ++a)
                    v.normal[a] = static_cast<float>(model.normals[static_cast<size_t>(c.normal)][a]);
            }
            all_normals = all_normals && c.normal >= 0;
            if (c.tex >= 0) {
                v.u = static_cast<float>(model.tex[static_cast<size_t>(c.tex)][0]);
                v.v = static_cast<float>(-model.tex[static_cast<size_t>(c.tex)][1]);
            }
            uint32_t colour = options.colour;
            if (!model.colours.empty()) {
                colour = 0;
                for (int a = 0; a < 3; ++a) {
                    const double channel = std::min(
                        1.0,
                        std::max(0.0,
                                 model.colours[static_cast<size_t>(c.position)][static_cast<size_t>(a)]));
                    colour |= static_cast<uint32_t>(channel * 255 + 0.5) << (8 * a);
                }
            }
            v.colour_value = colour;
        }
        runtime::pack_frame(mesh, vertices);
    }
    mesh.build();
    if (!all_normals) runtime::compute_normals(mesh, options.normals);
    if (!runtime::save_mesh_file(mesh, options.output)) return fail("cannot write \"" + options.output + "\"");
    std::printf("%s: %zu frames, %zu vertices each\n", options.output.c_str(), mesh.frames.size(),
                mesh.frames[0].packed_vertices.size());
    return 0;
}
