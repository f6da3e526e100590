// OBJ reading: one statement per line, '#' comments, 1-based or negative (relative)
// indices, corners written v, v/vt, v//vn or v/vt/vn.
#include "tools/obj2ddd/obj_model.h"

#include <cmath>
#include <cstdlib>
#include <sstream>

namespace obj2ddd {

namespace {

bool parse_number(const std::string& token, double& value) {
    if (token.empty()) return false;
    char* end = nullptr;
    value = std::strtod(token.c_str(), &end);
    return *end == '\0' && std::isfinite(value);
}

// An OBJ index (1-based, or negative counting back from the end) as 0-based.
bool parse_index(const std::string& token, size_t count, int64_t& index) {
    char* end = nullptr;
    const long long n = std::strtoll(token.c_str(), &end, 10);
    if (token.empty() || *end != '\0' || n == 0) return false;
    index = n > 0 ? n - 1 : static_cast<int64_t>(count) + n;
    return index >= 0 && index < static_cast<int64_t>(count);
}

bool parse_corner(const std::string& token, const ObjModel& m, ObjCorner& corner) {
    const size_t first = token.find('/');
    const size_t second = first == std::string::npos ? std::string::npos : token.find('/', first + 1);
    const std::string v = token.substr(0, first);
    const std::string t = first == std::string::npos ? "" : token.substr(first + 1, second - first - 1);
    const std::string n = second == std::string::npos ? "" : token.substr(second + 1);
    if (!parse_index(v, m.positions.size(), corner.position)) return false;
    if (!t.empty() && !parse_index(t, m.tex.size(), corner.tex)) return false;
    if (!n.empty() && !parse_index(n, m.normals.size(), corner.normal)) return false;
    return true;
}

}  // namespace

bool read_obj(const std::string& text, ObjModel& model, std::string& error) {
    model = ObjModel{};
    std::istringstream lines(text);
    std::string line;
    bool any_colour = false;
    for (size_t number = 1; std::getline(lines, line); ++number) {
        if (const size_t hash = line.find('#'); hash != std::string::npos) line.erase(hash);
        std::istringstream words(line);
        std::string keyword, word;
        if (!(words >> keyword)) continue;
        std::vector<std::string> args;
        while (words >> word) args.push_back(word);
        const auto numbers = [&](size_t least, size_t most, std::vector<double>& out) {
            out.clear();
            if (args.size() < least || args.size() > most) return false;
            for (const std::string& a : args) {
                double v;
                if (!parse_number(a, v)) return false;
                out.push_back(v);
            }
            return true;
        };
        std::vector<double> v;
        const std::string where = "line " + std::to_string(number) + ": ";
        if (keyword == "v") {
            // x y z, optionally w, or x y z r g b (vertex colours, 0..1).
            if (!numbers(3, 6, v) || v.size() == 5) {
                error = where + "a position needs 3 numbers (or 4, or 6 with a colour)";
                return false;
            }
            model.positions.push_back({v[0], v[1], v[2]});
            model.colours.push_back(v.size() == 6 ? std::array<double, 3>{v[3], v[4], v[5]}
                                                  : std::array<double, 3>{1, 1, 1});
            any_colour = any_colour || v.size() == 6;
        } else if (keyword == "vt") {
            if (!numbers(1, 3, v)) {
                error = where + "a texture coordinate needs 1 to 3 numbers";
                return false;
            }
            model.tex.push_back({v[0], v.size() > 1 ? v[1] : 0.0});
        } else if (keyword == "vn") {
            if (!numbers(3, 3, v)) {
                error = where + "a normal needs 3 numbers";
                return false;
            }
            model.normals.push_back({v[0], v[1], v[2]});
        } else if (keyword == "f") {
            if (args.size() < 3) {
                error = where + "a face needs at least 3 corners";
                return false;
            }
            std::vector<ObjCorner> face(args.size());
            for (size_t i = 0; i < args.size(); ++i) {
                if (!parse_corner(args[i], model, face[i])) {
                    error = where + "corner \"" + args[i] + "\" refers to nothing defined before it";
                    return false;
                }
            }
            model.faces.push_back(std::move(face));
        }
        // Other statements (o, g, s, usemtl, mtllib, l, p, ...) do not change the mesh.
    }
    if (!any_colour) model.colours.clear();
    return true;
}

}  // namespace obj2ddd
