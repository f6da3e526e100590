// Whether the files at a map's output names may be replaced: only a pair the converter
// wrote itself is, so a designer's own "level.txt" beside "level.tmx" is never lost.
#pragma once

#include <string>

namespace app {

// The sign of an earlier output is the pair itself: the text is made of CR LF lines, and
// the binary holds exactly the 16-bit words of its lines without "<" (the first line's
// word may be missing: a JSON map's first line goes to the text only). Returns the name
// of the file that stands in the way (a lone output, a pair that does not match, anything
// but a regular file), or an empty string when neither exists or they are such a pair.
std::string foreign_output(const std::string& text_path, const std::string& binary_path);

// The refusal for a foreign output: it names the file and the way round it.
std::string foreign_output_reason(const std::string& path);

}  // namespace app
