// The reply header ends at two line feeds with only carriage returns between them,
// wherever the reads happen to cut the reply, and within 64 KiB.
#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include "runtime/net/http_reply.h"

using runtime::HTTP_HEADER_LIMIT;
using runtime::ReplyHeaderScan;

namespace {

// The body as it is kept when the reply arrives in pieces ending at the given offsets.
std::string body_of(const std::string& reply, std::vector<size_t> cuts) {
    cuts.push_back(reply.size());
    ReplyHeaderScan scan;
    std::string body;
    size_t from = 0;
    for (size_t cut : cuts) {
        const auto* at = reinterpret_cast<const uint8_t*>(reply.data()) + from;
        const size_t start = scan.feed({at, cut - from});
        body.append(reply, from + start, cut - from - start);
        from = cut;
    }
    return body;
}

TEST(ReplyHeaderScan, BodyStartsAfterTheBlankLineWhereverReadsCut) {
    const struct {
        std::string reply;
        std::string body;
    } cases[] = {
        {"HTTP/1.0 200 OK\r\nA: b\r\n\r\nbody\r\n\r\nmore", "body\r\n\r\nmore"},
        {"HTTP/1.0 200 OK\nA: b\n\nbare", "bare"},
        {"X\r\n\r\r\nodd", "odd"},
        {"A\n \nnot blank\n\nbody", "body"},
        {"\n\nimmediate", "immediate"},
        {"HTTP/1.0 200 OK\r\nA: b\r\n", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(body_of(c.reply, {}), c.body) << c.reply;
        for (size_t cut = 0; cut <= c.reply.size(); ++cut)
            EXPECT_EQ(body_of(c.reply, {cut}), c.body) << c.reply << " cut at " << cut;
        std::vector<size_t> every(c.reply.size());
        std::iota(every.begin(), every.end(), size_t{0});
        EXPECT_EQ(body_of(c.reply, every), c.body) << c.reply << " byte by byte";
    }
}

TEST(ReplyHeaderScan, AHeaderEndsWithin64KiB) {
    for (size_t size : {HTTP_HEADER_LIMIT, HTTP_HEADER_LIMIT + 1}) {
        const std::string reply = std::string(size - 2, 'h') + "\n\nbody";
        const bool fits = size <= HTTP_HEADER_LIMIT;
        EXPECT_EQ(body_of(reply, {}), fits ? "body" : "") << size;
        EXPECT_EQ(body_of(reply, {size - 1, size}), fits ? "body" : "") << size;
        ReplyHeaderScan scan;
        scan.feed({reinterpret_cast<const uint8_t*>(reply.data()), reply.size()});
        EXPECT_EQ(scan.too_long(), !fits) << size;
    }
}

}  // namespace
