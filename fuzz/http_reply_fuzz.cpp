// Links: runtime_net
// The HTTP reply header scan fed in random pieces, as reads deliver a reply: pieces give the
// body the whole reply gives, and that body is what follows the first line feed that ends a
// blank line (carriage returns aside), within HTTP_HEADER_LIMIT bytes; a longer header
// gives no body and says so.
//
// Input: bytes 0-3 the seed of the piece sizes, byte 4 the largest piece (0: 4096, as
// the download reads), then the reply.
#include <algorithm>
#include <span>
#include <string>
#include <string_view>

#include "runtime/net/http_reply.h"
#include "support/fuzz_support.h"

namespace {

constexpr size_t HEADER = 5;

struct Pieces {
    uint32_t state;
    size_t next(size_t limit) {
        state = state * 1103515245u + 12345u;
        return 1 + (state >> 8) % limit;
    }
};

// Where the body starts by the rule itself, or npos when the header never ends in time.
size_t plain_body_start(std::string_view reply) {
    int line_feeds = 0;
    for (size_t i = 0; i < reply.size() && i < runtime::HTTP_HEADER_LIMIT; ++i) {
        if (reply[i] == '\r') continue;
        line_feeds = reply[i] == '\n' ? line_feeds + 1 : 0;
        if (line_feeds == 2) return i + 1;
    }
    return std::string_view::npos;
}

// The body as the scan hands it on, and whether it ended too long.
void scan(std::string_view reply, Pieces* pieces, size_t largest, bool& too_long, std::string& body) {
    runtime::ReplyHeaderScan scanner;
    body.clear();
    for (size_t at = 0; at < reply.size();) {
        const size_t n = std::min(pieces != nullptr ? pieces->next(largest) : reply.size(), reply.size() - at);
        const auto* piece = reinterpret_cast<const uint8_t*>(reply.data() + at);
        const size_t start = scanner.feed({piece, n});
        fuzz::require(start <= n, "the body starts inside the piece");
        body.append(reply.substr(at + start, n - start));
        at += n;
    }
    too_long = scanner.too_long();
    fuzz::require(!too_long || body.empty(), "a header too long gives no body");
    fuzz::require(scanner.size <= runtime::HTTP_HEADER_LIMIT, "the header is counted within the limit");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < HEADER) return 0;
    Pieces pieces{fuzz::header_field(data, size, 0, 4)};
    const size_t largest = data[4] == 0 ? 4096 : data[4];
    // Short inputs stand for long headers: the reply repeats itself past the limit when its
    // first byte's low four bits are all set.
    std::string reply(reinterpret_cast<const char*>(data) + HEADER, size - HEADER);
    if (!reply.empty() && (reply[0] & 0x0F) == 0x0F) {
        const std::string unit = reply;
        while (reply.size() <= runtime::HTTP_HEADER_LIMIT) reply += unit;
    }

    bool whole_too_long = false, pieces_too_long = false;
    std::string whole_body, pieces_body;
    scan(reply, nullptr, 0, whole_too_long, whole_body);
    scan(reply, &pieces, largest, pieces_too_long, pieces_body);
    fuzz::require(pieces_body == whole_body && pieces_too_long == whole_too_long, "pieces give what the whole gives");

    const size_t start = plain_body_start(reply);
    if (start == std::string_view::npos) {
        fuzz::require(whole_body.empty(), "no blank line in time, no body");
        fuzz::require(whole_too_long == (reply.size() >= runtime::HTTP_HEADER_LIMIT), "too long exactly past the limit");
    } else {
        fuzz::require(!whole_too_long && whole_body == std::string_view(reply).substr(start), "the body follows the blank line");
    }
    return 0;
}
