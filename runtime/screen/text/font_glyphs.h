// The built-in font's 96 glyph words for characters 32 to 127: 5 columns x 6 rows,
// bit (row * 5 + column) lit, row 0 at the top. Shared by the runtime and tools/fontgen.
#pragma once

#include <cstdint>

namespace runtime {

constexpr int BUILTIN_GLYPH_COLUMNS = 5;
constexpr int BUILTIN_GLYPH_ROWS = 6;
constexpr int BUILTIN_FIRST_CHAR = 32;

constexpr uint32_t BUILTIN_GLYPHS[96] = {
    0,        4198532,  330,       11512810,   16398526, 27070835,   // ' ' '!' '"' '#' '$' '%'
    23370022, 132,      4261956,   4464900,    703136,   145536,     // '&' "'" '(' ')' '*' '+'
    71303168, 14336,    4194304,   1118480,    15018318, 14815428,   // ',' '-' '.' '/' '0' '1'
    14760206, 14954766, 8665418,   6559822,    15022158, 4329742,    // '2' '3' '4' '5' '6' '7'
    15022414, 14956878, 131200,    2228352,    8521864,  459200,     // '8' '9' ':' ';' '<' '='
    2236546,  4206862,  15128494,  10828110,   6625606,  14747726,   // '>' '?' '@' 'A' 'B' 'C'
    6629702,  14751822, 2168910,   15018062,   10828106, 14815374,   // 'D' 'E' 'F' 'G' 'H' 'I'
    15016200, 10819914, 14747714,  18405233,   18667121, 15255086,   // 'J' 'K' 'L' 'M' 'N' 'O'
    2177358,  23381550, 10819918,  14956622,   4329614,  15018314,   // 'P' 'Q' 'R' 'S' 'T' 'U'
    4532554,  18732593, 10817866,  4329802,    14749966, 6359110,    // 'V' 'W' 'X' 'Y' 'Z' '['
    17043521, 12853516, 324,       1040187392, 130,      15016384,   // '\\' ']' '^' '_' '`' 'a'
    15022146, 14748096, 15022344,  14760384,   2177100,  478620096,  // 'b' 'c' 'd' 'e' 'f' 'g'
    10827842, 4329476,  144973832, 10819906,   14815366, 22730080,   // 'h' 'i' 'j' 'k' 'l' 'm'
    10823872, 15018432, 69675456,  277293504,  2169152,  15079872,   // 'n' 'o' 'p' 'q' 'r' 's'
    12650946, 15018304, 4532544,   11195936,   10621248, 478619968,  // 't' 'u' 'v' 'w' 'x' 'y'
    14754240, 12720268, 4329604,   6434950,    283712,   33080895,   // 'z' '{' '|' '}' '~' '\x7f'
};

// Whether pixel (column, row) of the glyph of character code (32..127) is lit.
constexpr bool builtin_glyph_lit(int code, int column, int row) {
    if (code < BUILTIN_FIRST_CHAR || code > 127) return false;
    if (column < 0 || column >= BUILTIN_GLYPH_COLUMNS || row < 0 || row >= BUILTIN_GLYPH_ROWS) return false;
    return (BUILTIN_GLYPHS[code - BUILTIN_FIRST_CHAR] >> (row * BUILTIN_GLYPH_COLUMNS + column)) & 1u;
}

}  // namespace runtime
