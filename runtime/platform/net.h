// Sockets of the platform layer: start and stop, addresses, message connections that
// carry one datagram per read (reliable and in order), and plain stream connections.
// Sockets are small integers; NO_SOCKET marks none. Every call is thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace runtime::platform {

constexpr int NO_SOCKET = -1;
// Largest datagram a message connection carries; larger ones are refused.
constexpr size_t DATAGRAM_MAX_SIZE = 2048;
// Connections a listening socket accepts at most, and at most from one address (held
// connections and unfinished handshakes alike), so one address cannot take every slot.
constexpr size_t DATAGRAM_MAX_CONNECTIONS = 100;
constexpr size_t DATAGRAM_CONNECTIONS_PER_ADDRESS = 32;
// Bytes a connection may have waiting to be sent or acknowledged (each datagram counted
// with DATAGRAM_QUEUE_OVERHEAD for its bookkeeping); a write beyond drops the connection,
// so a peer that does not read cannot make its sender hoard memory.
constexpr size_t DATAGRAM_QUEUE_LIMIT = 4u << 20;
constexpr size_t DATAGRAM_QUEUE_OVERHEAD = 128;

// Why the calling thread's last network call failed.
enum class NetError {
    NONE,
    NOT_STARTED,    // no net_start() is in force
    BAD_SOCKET,     // no such socket, or the wrong kind for the call
    NOT_LISTENING,  // accept on a socket that does not listen
    PEER_CLOSED,    // the other end closed or vanished (the normal end of a stream)
    TIMED_OUT,
    UNREACHABLE,    // a name that does not resolve, a connect that is refused
    SYSTEM,         // any other failure of the system
};
NetError net_last_error();
void set_net_last_error(NetError error);

// Reference-counted: the library stays up until every start has its stop. When the
// last stop comes, every socket still open is closed.
bool net_start();
void net_stop();
int net_start_count();

// IPv4 address a.b.c.d held as (a << 24) | (b << 16) | (c << 8) | d, and a port.
struct NetAddress {
    uint32_t ip = 0;
    uint16_t port = 0;
};
// A dotted address or a host name; false (UNREACHABLE) when it does not resolve.
bool resolve_host(const std::string& name, NetAddress& out);
NetAddress loopback_address(uint16_t port);
// "a.b.c.d:port".
std::string address_text(const NetAddress& address);
// The IPv4 addresses of this machine's interfaces that are up, port 0.
std::vector<NetAddress> local_addresses();

// How long message connections wait: a listener forgets a handshake not finished within
// handshake_ms; a connection whose peer acknowledges nothing for silence_ms is dropped (a
// peer whose program has ended is noticed at once where the system reports it).
// Applies to connections made afterwards.
struct DatagramTimeouts {
    int handshake_ms = 2000;
    int silence_ms = 40000;
};
void set_datagram_timeouts(const DatagramTimeouts& timeouts);
DatagramTimeouts datagram_timeouts();

// Message connections. A listening socket on `port` (all interfaces).
int datagram_listen(uint16_t port);
// Connects to a listening socket, waiting up to timeout_ms for the handshake.
int datagram_connect(const NetAddress& address, int timeout_ms);
// The next connection that has come in, or NO_SOCKET: with NONE when none waits,
// NOT_LISTENING or BAD_SOCKET when `listener` cannot accept.
int datagram_accept(int listener);
// One datagram into `into` (cut to capacity): its size; 0 when none waits; -1 with
// PEER_CLOSED once the peer is gone and everything it sent has been read.
long datagram_read(int socket, uint8_t* into, size_t capacity);
// Sends one datagram: at once, or with `send_now` false at the next datagram_flush
// (several then share one packet on the wire). False when the connection is gone or
// the size is refused.
bool datagram_write(int socket, const uint8_t* bytes, size_t size, bool send_now = true);
void datagram_flush(int socket);
// Closes a socket. A connection first delivers what it has sent (bounded wait).
void datagram_close(int socket);
// The sockets of `group` that have a datagram waiting or a closed peer (no waiting).
void datagram_poll(std::span<const int> group, std::vector<int>& ready);

// A wake-up that any thread gives to a datagram_wait.
class WakeUp {
public:
    WakeUp();
    ~WakeUp();
    WakeUp(const WakeUp&) = delete;
    WakeUp& operator=(const WakeUp&) = delete;
    void signal();
    // Clears a signal; true when there was one.
    bool take();
    int handle() const { return fd_; }

private:
    int fd_;
};
// Waits until something may have arrived for one of `sockets` (or their listener), the
// wake-up is signalled, or timeout_ms pass (up to 100 ms while nothing is in flight on
// them, as the transport's timers then need no service). Returns at once when data
// already waits.
void datagram_wait(std::span<const int> sockets, WakeUp& wake, int timeout_ms);

// Stream connections (reliable byte streams, no delay on small writes). A negative
// timeout waits without limit.
int stream_connect(const NetAddress& address, int timeout_ms);
// Writes all bytes; false on failure.
bool stream_write(int socket, const void* bytes, size_t size);
// Up to `capacity` bytes: their count (> 0), or -1 with PEER_CLOSED at the end of the
// stream, TIMED_OUT after timeout_ms without data, SYSTEM on any other failure.
long stream_read(int socket, void* into, size_t capacity, int timeout_ms);
void stream_close(int socket);

}  // namespace runtime::platform
