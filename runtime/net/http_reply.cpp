#include "runtime/net/http_reply.h"

namespace runtime {

size_t ReplyHeaderScan::feed(std::span<const uint8_t> chunk) {
    if (ended()) return 0;
    for (size_t i = 0; i < chunk.size() && !too_long(); ++i) {
        ++size;
        if (chunk[i] == '\r') continue;
        line_feeds = chunk[i] == '\n' ? line_feeds + 1 : 0;
        if (ended()) return i + 1;
    }
    return chunk.size();
}

}  // namespace runtime
