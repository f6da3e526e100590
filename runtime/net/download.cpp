// download_to_file over a stream connection, synchronous on the calling thread.
#include "runtime/net/download.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "runtime/net/download_settings.h"
#include "runtime/net/http_reply.h"
#include "runtime/net/net_numbers.h"
#include "runtime/platform/files.h"
#include "runtime/platform/net.h"

namespace runtime {

namespace {

using download_detail::Deadline;
using download_detail::download_settings;

constexpr size_t BUFFER_SIZE = 4096;
constexpr char REQUEST_FORMAT[] =
    "GET %s HTTP/1.0\r\nHost:%s\r\nAccept: */*\r\nUser-Agent: Tessary game\r\n\r\n";

// Holds a start of the network library (reference-counted: a session running beside
// the download keeps it up) and the connection, released on every path.
struct Connection {
    bool started = platform::net_start();
    int socket = platform::NO_SOCKET;
    ~Connection() {
        platform::stream_close(socket);
        if (started) platform::net_stop();
    }
};

// The body as it arrives: counted against the declared length and the size limit, and
// written to the replacement of the file when there is one.
class BodySink {
public:
    explicit BodySink(const DynString& file) {
        char name[platform::NAME_BUFFER_SIZE];
        if (platform::to_system_name(file.text_of(), name)) out_.emplace(name);
    }
    // Reads the header's declared length; false when it cannot be trusted or passes the limit.
    bool start(const std::string& header) {
        uint64_t bytes = 0;
        const DeclaredLength declared = declared_length(header, bytes);
        if (declared == DeclaredLength::INVALID || over_limit(bytes)) return false;
        if (declared == DeclaredLength::BYTES) expected_ = bytes;
        return true;
    }
    // False when the bytes pass the limit or cannot be written. Bytes past the declared
    // length are not the body's.
    bool take(const uint8_t* bytes, size_t n) {
        if (expected_) n = static_cast<size_t>(std::min<uint64_t>(n, *expected_ - received_));
        if (over_limit(received_ + n)) return false;
        received_ += n;
        return !out_ || !out_->is_open() || out_->write(bytes, n);
    }
    bool complete() const { return expected_ && received_ == *expected_; }
    // The connection ended: 1 when the body is whole, its file then replaced (a file
    // that cannot be replaced drops the body, as one that cannot be created does).
    double finish() {
        if (expected_ && !complete()) return 0;
        if (out_ && out_->is_open()) out_->commit();
        return 1;
    }

private:
    static bool over_limit(uint64_t bytes) {
        const uint64_t limit = download_settings().limit;
        return limit > 0 && bytes > limit;
    }
    std::optional<platform::FileReplacement> out_;
    std::optional<uint64_t> expected_;
    uint64_t received_ = 0;
};

}  // namespace

double download_to_file(const DynString& host, const DynString& path, double port,
                        const DynString& file) {
    if (download_detail::has_line_breaks_or_zeros(host) || download_detail::has_line_breaks_or_zeros(path))
        return 0;
    char buffer[BUFFER_SIZE];
    const int request_size =
        std::snprintf(buffer, sizeof buffer, REQUEST_FORMAT, path.text_of(), host.text_of());
    if (request_size < 0 || static_cast<size_t>(request_size) >= sizeof buffer) return 0;

    const Deadline deadline(download_settings().timeout_ms);
    Connection connection;
    platform::NetAddress address;
    if (!connection.started || !platform::resolve_host(host.text_of(), address)) return 0;
    // Only the low 16 bits of the truncated number name the port.
    address.port = static_cast<uint16_t>(static_cast<uint32_t>(net_detail::whole(port)) & 0xFFFFu);
    connection.socket = platform::stream_connect(address, deadline.left_ms());
    if (connection.socket == platform::NO_SOCKET) return 0;

    BodySink body(file);
    if (!platform::stream_write(connection.socket, buffer, static_cast<size_t>(request_size)))
        return 0;

    ReplyHeaderScan header;
    for (;;) {
        const long n =
            platform::stream_read(connection.socket, buffer, sizeof buffer - 1, deadline.left_ms());
        if (n < 0) return platform::net_last_error() == platform::NetError::PEER_CLOSED ? body.finish() : 0;
        const std::span<const uint8_t> chunk(reinterpret_cast<const uint8_t*>(buffer),
                                             static_cast<size_t>(n));
        const bool in_header = !header.ended();
        const size_t start = header.feed(chunk);
        if (header.too_long()) return 0;
        if (!header.ended()) continue;
        if (in_header && !body.start(header.text)) return 0;
        if (!body.take(chunk.data() + start, chunk.size() - start)) return 0;
        // A server that keeps the connection after the declared body has nothing more.
        if (body.complete()) return body.finish();
    }
}

}  // namespace runtime
