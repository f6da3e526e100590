// download_to_file over a stream connection, synchronous on the calling thread.
#include "runtime/net/download.h"

#include <cmath>
#include <cstdio>

#include "runtime/net/http_reply.h"
#include "runtime/net/net_numbers.h"
#include "runtime/platform/files.h"
#include "runtime/platform/net.h"

namespace runtime {

namespace {

constexpr size_t BUFFER_SIZE = 4096;
constexpr char REQUEST_FORMAT[] =
    "GET %s HTTP/1.0\r\nHost:%s\r\nAccept: */*\r\nUser-Agent: Tessary game\r\n\r\n";
constexpr double DEFAULT_TIMEOUT_S = 30;

struct DownloadSettings {
    int timeout_ms = static_cast<int>(DEFAULT_TIMEOUT_S * 1000);  // < 0: no limit
};

DownloadSettings& download_settings() {
    static DownloadSettings settings;
    return settings;
}

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

}  // namespace

void set_download_timeout(double seconds) {
    const double ms = std::ceil(seconds * 1000);
    download_settings().timeout_ms =
        !(ms > 0) ? -1 : ms >= 2147483647.0 ? 2147483647 : static_cast<int>(ms);
}

double download_to_file(const DynString& host, const DynString& path, double port,
                        const DynString& file) {
    char buffer[BUFFER_SIZE];
    const int request_size =
        std::snprintf(buffer, sizeof buffer, REQUEST_FORMAT, path.text_of(), host.text_of());
    if (request_size < 0 || static_cast<size_t>(request_size) >= sizeof buffer) return 0;

    Connection connection;
    platform::NetAddress address;
    if (!connection.started || !platform::resolve_host(host.text_of(), address)) return 0;
    // Only the low 16 bits of the truncated number name the port.
    address.port = static_cast<uint16_t>(static_cast<uint32_t>(net_detail::whole(port)) & 0xFFFFu);
    const int timeout = download_settings().timeout_ms;
    connection.socket = platform::stream_connect(address, timeout);
    if (connection.socket == platform::NO_SOCKET) return 0;

    platform::FileHandle out;
    char name[platform::NAME_BUFFER_SIZE];
    if (platform::to_system_name(file.text_of(), name)) {
        platform::delete_unheld(name);
        out = platform::create_exclusive(name);
    }
    if (!platform::stream_write(connection.socket, buffer, static_cast<size_t>(request_size)))
        return 0;

    ReplyHeaderScan header;
    for (;;) {
        const long n = platform::stream_read(connection.socket, buffer, sizeof buffer - 1, timeout);
        if (n < 0) return platform::net_last_error() == platform::NetError::PEER_CLOSED ? 1 : 0;
        const std::span<const uint8_t> chunk(reinterpret_cast<const uint8_t*>(buffer),
                                             static_cast<size_t>(n));
        const size_t body = header.feed(chunk);
        if (header.too_long()) return 0;
        // A body that cannot be stored whole is a failed download, not a success.
        if (out.is_open() && body < chunk.size() &&
            !platform::write_all(out, chunk.data() + body, chunk.size() - body))
            return 0;
    }
}

}  // namespace runtime
