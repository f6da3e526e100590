// A Wavefront OBJ file read into positions, texture coordinates, normals, vertex
// colours and faces; the rest of the format (groups, materials, lines) is skipped.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace obj2ddd {

// One face corner: 0-based indices into the model's lists, -1 where the face gives none.
struct ObjCorner {
    int64_t position = -1;
    int64_t tex = -1;
    int64_t normal = -1;
    bool operator==(const ObjCorner&) const = default;
};

struct ObjModel {
    std::vector<std::array<double, 3>> positions;
    std::vector<std::array<double, 3>> colours;  // per position; empty when none has one
    std::vector<std::array<double, 2>> tex;
    std::vector<std::array<double, 3>> normals;
    std::vector<std::vector<ObjCorner>> faces;
};

// Reads the text; false with a message naming the line when it is not a usable model.
bool read_obj(const std::string& text, ObjModel& model, std::string& error);

}  // namespace obj2ddd
