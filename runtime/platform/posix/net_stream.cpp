// Addresses and stream connections on POSIX sockets (IPv4, TCP), and the per-thread
// last error of the network calls.
#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "runtime/platform/clock.h"
#include "runtime/platform/net.h"

namespace runtime::platform {

namespace {

thread_local NetError t_last_error = NetError::NONE;

sockaddr_in to_sockaddr(const NetAddress& address) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(address.ip);
    sa.sin_port = htons(address.port);
    return sa;
}

bool fail(NetError error) {
    set_net_last_error(error);
    return false;
}
long fail_count(NetError error) {
    set_net_last_error(error);
    return -1;
}

// Waits for `events` on the socket; 1 ready, 0 timed out, -1 failed. Restarts after
// signals with the time that is left.
int wait_for(int fd, short events, int timeout_ms) {
    const double deadline = now_ms() + timeout_ms;
    for (;;) {
        pollfd p{fd, events, 0};
        int wait = -1;
        if (timeout_ms >= 0) {
            const double left = deadline - now_ms();
            wait = left > 0 ? static_cast<int>(left + 0.999) : 0;
        }
        const int n = poll(&p, 1, wait);
        if (n >= 0) return n;
        if (errno != EINTR) return -1;
    }
}

}  // namespace

NetError net_last_error() { return t_last_error; }
void set_net_last_error(NetError error) { t_last_error = error; }

bool resolve_host(const std::string& name, NetAddress& out) {
    if (name.empty()) return fail(NetError::UNREACHABLE);
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || found == nullptr)
        return fail(NetError::UNREACHABLE);
    sockaddr_in sa{};
    std::memcpy(&sa, found->ai_addr, sizeof sa);
    freeaddrinfo(found);
    out.ip = ntohl(sa.sin_addr.s_addr);
    return true;
}

NetAddress loopback_address(uint16_t port) { return NetAddress{INADDR_LOOPBACK, port}; }

std::string address_text(const NetAddress& address) {
    char text[32];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u:%u", (address.ip >> 24) & 255u,
                  (address.ip >> 16) & 255u, (address.ip >> 8) & 255u, address.ip & 255u,
                  static_cast<unsigned>(address.port));
    return text;
}

std::vector<NetAddress> local_addresses() {
    std::vector<NetAddress> addresses;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return addresses;
    for (const ifaddrs* i = list; i != nullptr; i = i->ifa_next) {
        if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != AF_INET) continue;
        if ((i->ifa_flags & IFF_UP) == 0) continue;
        sockaddr_in sa{};
        std::memcpy(&sa, i->ifa_addr, sizeof sa);
        addresses.push_back(NetAddress{ntohl(sa.sin_addr.s_addr), 0});
    }
    freeifaddrs(list);
    return addresses;
}

int stream_connect(const NetAddress& address, int timeout_ms) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return static_cast<int>(fail_count(NetError::SYSTEM));
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    // Connect without blocking so the wait can have a limit, then block again.
    const int flags = fcntl(fd, F_GETFL, 0);
    fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    const sockaddr_in sa = to_sockaddr(address);
    NetError error = NetError::NONE;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
        if (errno != EINPROGRESS) {
            error = NetError::UNREACHABLE;
        } else {
            const int ready = wait_for(fd, POLLOUT, timeout_ms);
            int so_error = 0;
            socklen_t len = sizeof so_error;
            if (ready == 0)
                error = NetError::TIMED_OUT;
            else if (ready < 0 || getsockopt(fd, SOL_SOCKET, SO_ERROR, &so_error, &len) != 0)
                error = NetError::SYSTEM;
            else if (so_error != 0)
                error = NetError::UNREACHABLE;
        }
    }
    if (error != NetError::NONE) {
        close(fd);
        return static_cast<int>(fail_count(error));
    }
    fcntl(fd, F_SETFL, flags);
    set_net_last_error(NetError::NONE);
    return fd;
}

bool stream_write(int socket, const void* bytes, size_t size) {
    const char* at = static_cast<const char*>(bytes);
    while (size > 0) {
        const ssize_t n = send(socket, at, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return fail(errno == EPIPE ? NetError::PEER_CLOSED : NetError::SYSTEM);
        at += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

long stream_read(int socket, void* into, size_t capacity, int timeout_ms) {
    const int ready = wait_for(socket, POLLIN, timeout_ms);
    if (ready == 0) return fail_count(NetError::TIMED_OUT);
    if (ready < 0) return fail_count(NetError::SYSTEM);
    ssize_t n;
    do {
        n = recv(socket, into, capacity, 0);
    } while (n < 0 && errno == EINTR);
    if (n == 0) return fail_count(NetError::PEER_CLOSED);
    if (n < 0) return fail_count(NetError::SYSTEM);
    return static_cast<long>(n);
}

void stream_close(int socket) {
    if (socket >= 0) close(socket);
}

}  // namespace runtime::platform
