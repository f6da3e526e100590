// The classic-layout test, line by line. A file passes only when every line the original
// steps look at says, in their reading, exactly what the XML says; anything else is left
// to the reader by element names.
#include "app/classic_layout.h"

#include <unistd.h>

#include <array>
#include <vector>

#include "app/map_file.h"

namespace app {

namespace {

constexpr size_t QUOTE_SKIP_KEEP = 255;         // the line steps keep 255 characters per skip
constexpr uint64_t LARGEST_WORD_VALUE = 65535;  // sizes must fit the 16-bit words unchanged
constexpr size_t READ_CHUNK = 1 << 20;

bool is_space_or_tab(char c) { return c == ' ' || c == '\t'; }

std::string_view trim_spaces(std::string_view text) {
    // Only blanks: the line steps keep tabs, so a tab makes the line not classic.
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

bool starts_with(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// Digits without a superfluous leading zero, at most max; the form the converter writes back.
bool canonical_number(std::string_view text, uint64_t max, uint64_t& value) {
    if (text.empty() || text.size() > 10 || (text.size() > 1 && text[0] == '0')) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    return value <= max;
}

// An attribute value an XML parser hands back unchanged: no references, no blanks it
// would normalise, no markup.
bool plain_value(std::string_view value) {
    for (char c : value) {
        if (c == '&' || c == '<' || c == '\t' || c == '\r' || c == '\n') return false;
    }
    return true;
}

struct Attribute {
    std::string_view name, value;
};

bool is_name_char(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
           c == ':' || c == '.';
}

// Parses `<element name="value" ...>` (or `/>` when allow_empty) filling all attributes;
// false unless the whole line is exactly that, double quotes only.
bool parse_start_tag(std::string_view line, std::string_view element, bool allow_empty,
                     std::vector<Attribute>& attributes) {
    attributes.clear();
    std::string_view rest = line;
    while (!rest.empty() && is_space_or_tab(rest.front())) rest.remove_prefix(1);
    if (!starts_with(rest, "<") || !starts_with(rest.substr(1), element)) return false;
    rest.remove_prefix(1 + element.size());
    for (;;) {
        size_t blanks = 0;
        while (blanks < rest.size() && is_space_or_tab(rest[blanks])) ++blanks;
        rest.remove_prefix(blanks);
        if (starts_with(rest, ">") || (allow_empty && starts_with(rest, "/>"))) {
            rest.remove_prefix(rest[0] == '>' ? 1 : 2);
            break;
        }
        if (blanks == 0) return false;  // attributes need a blank before them
        size_t name_end = 0;
        while (name_end < rest.size() && is_name_char(rest[name_end])) ++name_end;
        if (name_end == 0) return false;
        const std::string_view name = rest.substr(0, name_end);
        rest.remove_prefix(name_end);
        if (!starts_with(rest, "=\"")) return false;
        rest.remove_prefix(2);
        const size_t close = rest.find('"');
        if (close == std::string_view::npos) return false;
        for (const Attribute& seen : attributes) {
            if (seen.name == name) return false;  // a repeated attribute is not well-formed
        }
        attributes.push_back({name, rest.substr(0, close)});
        rest.remove_prefix(close + 1);
    }
    for (char c : rest) {
        if (!is_space_or_tab(c)) return false;
    }
    return true;
}

// The line steps' cuts: skip past a quote, then take up to the next one.
struct QuoteCutter {
    std::string_view work;
    void skip() {
        const size_t q = work.find('"');
        const size_t start = q == std::string_view::npos ? 0 : q + 1;
        work = start >= work.size() ? std::string_view() : work.substr(start, QUOTE_SKIP_KEEP);
    }
    std::string_view take() const {
        const size_t q = work.find('"');
        return q == std::string_view::npos ? std::string_view() : work.substr(0, q);
    }
};

}  // namespace

// Opens and closes the elements of one line on the stack of open elements; fails for a
// tag that spans lines, a mismatched end tag, markup other than elements, and layers the
// element reader would read differently (not directly in the map or a group, or without
// exactly one data element).
const char* ClassicLayoutCheck::balance_tags(std::string_view line) {
    for (size_t at = line.find('<'); at != std::string_view::npos; at = line.find('<', at)) {
        ++at;
        const bool closing = at < line.size() && line[at] == '/';
        if (closing) ++at;
        size_t name_end = at;
        while (name_end < line.size() && is_name_char(line[name_end])) ++name_end;
        if (name_end == at) return "markup other than elements";  // "<?", "<!" or a stray "<"
        const std::string_view name = line.substr(at, name_end - at);
        // The tag's end, passing over quoted values.
        size_t end = name_end;
        char quote = 0;
        for (; end < line.size(); ++end) {
            if (quote != 0) {
                if (line[end] == quote) quote = 0;
            } else if (line[end] == '"' || line[end] == '\'') {
                quote = line[end];
            } else if (line[end] == '>' || line[end] == '<') {
                break;
            }
        }
        if (end >= line.size() || line[end] != '>') return "a tag that spans lines";
        const bool empty_element = !closing && line[end - 1] == '/';
        if (closing) {
            if (open_elements_.empty() || open_elements_.back() != name) return "an end tag that does not match its element";
            if (name == "layer" && data_in_layer_ != 1) return "a layer without exactly one data element";
            open_elements_.pop_back();
        } else if (name == "layer") {
            if (empty_element) return "a layer without exactly one data element";
            for (const std::string& outer : open_elements_) {
                if (outer != "map" && outer != "group") return "a layer outside the map and its groups";
            }
            data_in_layer_ = 0;
        }
        if (!closing && !empty_element) {
            if (open_elements_.size() >= CLASSIC_DEPTH_LIMIT) return "elements nested too deep";
            open_elements_.emplace_back(name);
        }
        at = end + 1;
    }
    return nullptr;
}

bool ClassicLayoutCheck::refuse(std::string reason) {
    stage_ = Stage::failed;
    reason_ = std::move(reason);
    return false;
}

bool ClassicLayoutCheck::add_line(std::string_view line) {
    if (stage_ == Stage::failed) return false;
    ++lines_;
    if (line.size() >= CLASSIC_LINE_LIMIT) return refuse("a line of 1024 bytes or more");
    if (line.find('\0') != std::string_view::npos) return refuse("a zero byte in a line");
    switch (stage_) {
        case Stage::declaration: {
            // The XML declaration, and no byte-order mark before it.
            std::string_view rest = line;
            while (!rest.empty() && is_space_or_tab(rest.back())) rest.remove_suffix(1);
            if (!starts_with(line, "<?xml") || line.size() < 6 || !is_space_or_tab(line[5]) ||
                rest.size() < 2 || rest.substr(rest.size() - 2) != "?>") {
                return refuse("line 1 is not the XML declaration");
            }
            stage_ = Stage::map_line;
            return true;
        }
        case Stage::map_line: return check_map_line(line);
        case Stage::tileset_line: return check_tileset_line(line);
        case Stage::body: return check_body_line(line);
        case Stage::in_data: return check_data_line(line);
        case Stage::after_map:
            for (char c : line) {
                if (!is_space_or_tab(c)) return refuse("text after the map's end");
            }
            return true;
        case Stage::failed: break;
    }
    return false;
}

bool ClassicLayoutCheck::check_map_line(std::string_view line) {
    std::vector<Attribute> attributes;
    if (!parse_start_tag(line, "map", false, attributes)) return refuse("line 2 is not a map element alone");
    static constexpr std::array<std::string_view, 6> ORDER = {"version", "orientation", "width",
                                                              "height", "tilewidth", "tileheight"};
    if (attributes.size() < ORDER.size()) return refuse("the map line has fewer than six attributes");
    for (size_t i = 0; i < ORDER.size(); ++i) {
        if (attributes[i].name != ORDER[i]) return refuse("the map line's attributes are not in the classic order");
    }
    for (size_t i = ORDER.size(); i < attributes.size(); ++i) {
        if (attributes[i].name == "infinite" && attributes[i].value != "0") return refuse("an infinite map");
    }
    if (!plain_value(attributes[0].value)) return refuse("the map's version is not plain text");
    uint64_t sizes[4] = {};
    for (size_t i = 0; i < 4; ++i) {
        if (!canonical_number(attributes[2 + i].value, LARGEST_WORD_VALUE, sizes[i])) {
            return refuse("a map size that is not a plain whole number up to 65535");
        }
    }
    if (sizes[2] == 0 || sizes[3] == 0) return refuse("a tile size of 0");
    // The line steps must cut exactly these values out of the line.
    QuoteCutter cut{line};
    cut.skip();
    bool same = cut.take() == attributes[0].value;
    for (size_t i = 0; i < 4; ++i) {
        cut.skip();
        cut.skip();
        if (i == 0) {
            cut.skip();
            cut.skip();
        }
        same = same && cut.take() == attributes[2 + i].value;
    }
    if (!same) return refuse("the line steps would cut other values out of the map line");
    cells_per_layer_ = sizes[0] * sizes[1];
    open_elements_.assign(1, "map");
    stage_ = Stage::tileset_line;
    return true;
}

bool ClassicLayoutCheck::check_tileset_line(std::string_view line) {
    std::vector<Attribute> attributes;
    if (!parse_start_tag(line, "tileset", true, attributes) || attributes.empty() ||
        attributes[0].name != "firstgid") {
        return refuse("line 3 is not a tileset element starting with firstgid");
    }
    uint64_t first_gid = 0;
    if (!canonical_number(attributes[0].value, 0xFFFFFFFFull, first_gid)) return refuse("a first gid that is not a whole number");
    QuoteCutter cut{line};
    cut.skip();
    if (cut.take() != attributes[0].value) return refuse("the line steps would cut another first gid");
    if (balance_tags(line) != nullptr) return refuse("the tileset line is not one whole tag");
    stage_ = Stage::body;
    return true;
}

bool ClassicLayoutCheck::check_body_line(std::string_view line) {
    // Markup the editor never writes could hide markers from the line steps or show false ones.
    if (line.find("<!--") != std::string_view::npos || line.find("<![CDATA[") != std::string_view::npos ||
        line.find("<chunk") != std::string_view::npos) {
        return refuse("a comment, CDATA section or chunk");
    }
    const std::string_view trimmed = trim_spaces(line);
    if (line.find("</map>") != std::string_view::npos) {
        if (trimmed != "</map>") return refuse("the map's end shares its line");
        if (open_elements_.size() != 1) return refuse("elements left open before the map's end");
        stage_ = Stage::after_map;
        return true;
    }
    if (const char* misfit = balance_tags(line)) return refuse(misfit);
    if (line.find("<data") != std::string_view::npos) {
        if (trimmed != "<data>") return refuse("a data element with attributes or other text on its line");
        // Data anywhere but once in a tile layer means something else to the element reader.
        if (open_elements_.size() < 2 || open_elements_[open_elements_.size() - 2] != "layer" || ++data_in_layer_ != 1) {
            return refuse("a data element that is not the one data element of a tile layer");
        }
        cells_ = 0;
        stage_ = Stage::in_data;
        return true;
    }
    if (line.find("</data>") != std::string_view::npos || line.find("<tile gid=") != std::string_view::npos) {
        return refuse("layer data outside a data element");
    }
    return true;
}

bool ClassicLayoutCheck::check_data_line(std::string_view line) {
    const std::string_view trimmed = trim_spaces(line);
    if (trimmed == "</data>") {
        if (cells_ != cells_per_layer_) return refuse("a layer whose tile count differs from width x height");
        if (open_elements_.empty() || open_elements_.back() != "data") return refuse("a data element out of place");
        open_elements_.pop_back();
        stage_ = Stage::body;
        return true;
    }
    constexpr std::string_view OPEN = "<tile gid=\"";
    constexpr std::string_view CLOSE = "\"/>";
    if (!starts_with(trimmed, OPEN) || trimmed.size() < OPEN.size() + CLOSE.size() ||
        trimmed.substr(trimmed.size() - CLOSE.size()) != CLOSE) {
        return refuse("a line in layer data that is not one <tile gid=\"N\"/>");
    }
    const std::string_view digits = trimmed.substr(OPEN.size(), trimmed.size() - OPEN.size() - CLOSE.size());
    uint64_t gid = 0;
    if (!canonical_number(digits, 0xFFFFFFFFull, gid)) return refuse("a tile number that is not a plain 32-bit number");
    if (++cells_ > cells_per_layer_) return refuse("a layer with more tiles than width x height");
    return true;
}

namespace {

// Cuts lines as the converter reads them: LF or CR LF end a line, 1024-byte pieces,
// no empty line after a final line end.
class LineCutter {
public:
    explicit LineCutter(ClassicLayoutCheck& check) : check_(check) {}
    // False once the check has given up.
    bool feed(std::string_view bytes) {
        for (char c : bytes) {
            if (c == '\n') {
                if (!line_.empty() && line_.back() == '\r') line_.pop_back();
                if (!deliver()) return false;
            } else {
                line_.push_back(c);
                if (line_.size() == CLASSIC_LINE_LIMIT && !deliver()) return false;
            }
        }
        return true;
    }
    void finish() {
        if (!line_.empty()) deliver();
    }

private:
    bool deliver() {
        const bool fits = check_.add_line(line_);
        line_.clear();
        return fits;
    }
    ClassicLayoutCheck& check_;
    std::string line_;
};

}  // namespace

bool follows_classic_layout_text(std::string_view text) {
    ClassicLayoutCheck check;
    LineCutter cutter(check);
    if (cutter.feed(text)) cutter.finish();
    return check.follows();
}

bool follows_classic_layout(const std::string& path) {
    MapFile file;
    std::string reason;
    if (!file.open(path, reason)) return false;
    ClassicLayoutCheck check;
    LineCutter cutter(check);
    std::vector<char> buffer(READ_CHUNK);
    bool readable = true;
    for (;;) {
        const ssize_t got = ::read(file.fd(), buffer.data(), buffer.size());
        if (got < 0) {
            readable = false;
            break;
        }
        if (got == 0) {
            cutter.finish();
            break;
        }
        if (!cutter.feed(std::string_view(buffer.data(), static_cast<size_t>(got)))) break;
    }
    return readable && check.follows();
}

}  // namespace app
