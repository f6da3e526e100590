// Message connections on ENet. Each datagram travels as one reliable packet on one
// channel, so nothing a peer sends is lost, doubled or reordered. A listening socket
// and a connecting socket each own an ENet host; ENet is not thread-safe, so every
// call on any host happens under the layer's one lock. Events are pulled from a host
// whenever a caller needs more, and sorted into per-connection inboxes.
// ENet scans a peer's whole queue of unsent commands on every flush, so a connection hands
// it only a few at a time and keeps the rest in a backlog of its own, in order.
#include <arpa/inet.h>
#include <enet/enet.h>
#include <linux/errqueue.h>
#include <netinet/in.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <vector>

#include "runtime/platform/clock.h"
#include "runtime/platform/net.h"

namespace runtime::platform {

namespace {

// Datagrams one connection may hold unread before its host is left alone for a while.
constexpr size_t INBOX_LIMIT = 1024;
// Bound of one pull of events from a host, so a flood cannot keep a caller inside.
constexpr int EVENTS_PER_PULL = 4096;
constexpr size_t WAITING_DATA_LIMIT = 1 << 20;
constexpr double CLOSE_WAIT_MS = 1000;
// Errors the system reported for one host's socket, taken per pull at most.
constexpr int ERRORS_PER_PULL = 64;
// Handshakes are looked at this often, well within their time-out.
constexpr double HANDSHAKE_SCAN_MS = 20;
// A host found drained is not serviced again this soon: the reads of one worker pass
// then cost one service, and what comes meanwhile ends the next wait at once.
constexpr double PULL_GAP_MS = 0.2;
// A wait with nothing in flight: only pings (every 500 ms) and time-outs need a service.
constexpr int IDLE_WAIT_MS = 100;
// Unsent packets ENet holds for one peer at most; more wait in the connection's backlog.
// Enough to fill several full packets on the wire between two refills.
constexpr size_t ENET_UNSENT_LIMIT = 128;

enum class Kind { LISTENER, CLIENT, ACCEPTED };

struct Connection {
    Kind kind = Kind::CLIENT;
    ENetHost* host = nullptr;  // owned by a LISTENER or CLIENT
    ENetPeer* peer = nullptr;  // CLIENT, ACCEPTED; null once ENet has let it go
    int listener = NO_SOCKET;  // ACCEPTED: the socket it came in on
    bool connected = false;
    bool closed = false;   // the peer disconnected or timed out
    bool closing = false;  // our side is shutting it down
    std::deque<std::vector<uint8_t>> inbox;
    // CLIENT, ACCEPTED: written packets not yet handed to ENet, oldest first.
    std::deque<ENetPacket*> backlog;
    std::deque<int> waiting;  // LISTENER: connections not yet accepted
    // LISTENER and CLIENT, per peer of the host: bytes waiting to be sent or acknowledged.
    std::vector<size_t> queued;
    // LISTENER, per peer: since when (and for which connect) a handshake is unfinished.
    std::vector<std::pair<double, enet_uint32>> handshakes;
    double handshakes_seen_at = -1;
    // LISTENER and CLIENT: the system may have reported errors on the socket.
    bool errors_waiting = true;
    // LISTENER and CLIENT: when a pull last found nothing more (-1: since a wait ended).
    double drained_at = -1;
    // LISTENER and CLIENT: the connections on this host that may have a backlog.
    std::vector<int> backlogged;
};

struct DatagramLayer {
    std::mutex lock;
    int start_count = 0;
    int next_socket = 1;
    std::map<int, Connection> sockets;
    DatagramTimeouts timeouts;
};

DatagramLayer& layer() {
    static DatagramLayer state;
    return state;
}

void* tag_of(int socket) { return reinterpret_cast<void*>(static_cast<intptr_t>(socket)); }
int socket_of(const ENetPeer* peer) {
    return static_cast<int>(reinterpret_cast<intptr_t>(peer->data));
}

Connection* find(DatagramLayer& l, int socket) {
    auto it = l.sockets.find(socket);
    return it == l.sockets.end() ? nullptr : &it->second;
}

int add_socket(DatagramLayer& l, Connection connection) {
    while (l.next_socket <= 0 || l.sockets.count(l.next_socket) != 0)
        l.next_socket = l.next_socket <= 0 ? 1 : l.next_socket + 1;
    const int socket = l.next_socket++;
    l.sockets.emplace(socket, std::move(connection));
    return socket;
}

// The host's connection record gets its per-peer tables.
ENetHost* create_host(const ENetAddress* address, size_t peers, Connection& owner) {
    ENetHost* host = enet_host_create(address, peers, 1, 0, 0);
    if (host == nullptr) return nullptr;
    host->maximumPacketSize = DATAGRAM_MAX_SIZE;
    host->maximumWaitingData = WAITING_DATA_LIMIT;
    host->duplicatePeers = DATAGRAM_CONNECTIONS_PER_ADDRESS;
    // The system's reports of unreachable ports tell at once that a peer's program ended.
    const int on = 1;
    setsockopt(host->socket, IPPROTO_IP, IP_RECVERR, &on, sizeof on);
    owner.host = host;
    owner.queued.assign(peers, 0);
    owner.handshakes.assign(peers, {-1.0, 0});
    return host;
}

void on_packet_free(ENetPacket* packet) {
    auto* queued = static_cast<size_t*>(packet->userData);
    if (queued == nullptr) return;
    const size_t cost = packet->dataLength + DATAGRAM_QUEUE_OVERHEAD;
    *queued -= std::min(*queued, cost);
}

// Packets of a connection that will never be sent: freed while the host that counts
// their bytes still stands.
void discard_backlog(Connection& c) {
    for (ENetPacket* packet : c.backlog) enet_packet_destroy(packet);
    c.backlog.clear();
}

// The peer is gone (or let go): reads report it, and what was never sent goes.
void mark_closed(Connection& c) {
    c.closed = true;
    c.peer = nullptr;
    discard_backlog(c);
}

// Unsent packets ENet holds for the peer, counted up to `limit`.
size_t enet_unsent(ENetPeer* peer, size_t limit) {
    size_t n = 0;
    for (ENetListIterator it = enet_list_begin(&peer->outgoingCommands);
         n < limit && it != enet_list_end(&peer->outgoingCommands); it = enet_list_next(it))
        ++n;
    return n;
}

// Hands ENet the oldest packets of the backlog while it holds few unsent; `all` hands
// every one (before a disconnect, which waits for ENet's queue only). True when any went.
bool refill(Connection& c, bool all = false) {
    if (c.backlog.empty() || c.peer == nullptr) return false;
    size_t room =
        all ? c.backlog.size()
            : ENET_UNSENT_LIMIT - std::min(ENET_UNSENT_LIMIT, enet_unsent(c.peer, ENET_UNSENT_LIMIT));
    bool moved = false;
    while (room-- > 0 && !c.backlog.empty()) {
        ENetPacket* packet = c.backlog.front();
        c.backlog.pop_front();
        if (enet_peer_send(c.peer, 0, packet) != 0) enet_packet_destroy(packet);
        moved = true;
    }
    return moved;
}

// Every backlog on the host of `owner` gets its turn; true when any packet went.
bool refill_host(DatagramLayer& l, Connection& owner) {
    bool moved = false;
    std::erase_if(owner.backlogged, [&](int socket) {
        Connection* c = find(l, socket);
        if (c == nullptr || c->closed) return true;
        moved = refill(*c) || moved;
        return c->backlog.empty();
    });
    return moved;
}

// A peer ENet still holds is let go; its connection reads as closed.
void drop_peer(DatagramLayer& l, ENetPeer* peer, bool tell_peer) {
    if (peer->data != nullptr) {
        if (Connection* c = find(l, socket_of(peer))) mark_closed(*c);
        peer->data = nullptr;
    }
    if (tell_peer)
        enet_peer_disconnect_now(peer, 0);
    else
        enet_peer_reset(peer);
}

// The system reported that a datagram to a peer found no program on its port.
void take_errors(DatagramLayer& l, ENetHost* host) {
    for (int i = 0; i < ERRORS_PER_PULL; ++i) {
        sockaddr_in to{};
        char byte = 0;
        iovec iov{&byte, 1};
        alignas(cmsghdr) char control[512];
        msghdr m{};
        m.msg_name = &to;
        m.msg_namelen = sizeof to;
        m.msg_iov = &iov;
        m.msg_iovlen = 1;
        m.msg_control = control;
        m.msg_controllen = sizeof control;
        if (recvmsg(host->socket, &m, MSG_ERRQUEUE | MSG_DONTWAIT) < 0) return;
        for (cmsghdr* h = CMSG_FIRSTHDR(&m); h != nullptr; h = CMSG_NXTHDR(&m, h)) {
            if (h->cmsg_level != IPPROTO_IP || h->cmsg_type != IP_RECVERR) continue;
            sock_extended_err e{};
            std::memcpy(&e, CMSG_DATA(h), sizeof e);
            if (e.ee_origin != SO_EE_ORIGIN_ICMP || e.ee_type != ICMP_DEST_UNREACH ||
                e.ee_code != ICMP_PORT_UNREACH)
                continue;
            for (size_t p = 0; p < host->peerCount; ++p) {
                ENetPeer* peer = &host->peers[p];
                if (peer->state != ENET_PEER_STATE_DISCONNECTED && peer->address.host == to.sin_addr.s_addr &&
                    peer->address.port == ntohs(to.sin_port))
                    drop_peer(l, peer, false);
            }
        }
    }
}

// Handshakes that stay unfinished past the time-out give their slot back.
void expire_handshakes(DatagramLayer& l, Connection& listener) {
    ENetHost* host = listener.host;
    const double now = now_ms();
    if (now - listener.handshakes_seen_at < HANDSHAKE_SCAN_MS) return;
    listener.handshakes_seen_at = now;
    for (size_t i = 0; i < host->peerCount; ++i) {
        ENetPeer* peer = &host->peers[i];
        auto& [since, connect] = listener.handshakes[i];
        if (peer->state != ENET_PEER_STATE_ACKNOWLEDGING_CONNECT &&
            peer->state != ENET_PEER_STATE_CONNECTION_PENDING) {
            since = -1;
        } else if (since < 0 || connect != peer->connectID) {
            since = now;
            connect = peer->connectID;
        } else if (now - since >= l.timeouts.handshake_ms) {
            since = -1;
            enet_peer_reset(peer);
        }
    }
}

void on_event(DatagramLayer& l, int owner, const ENetEvent& event) {
    Connection* connection = find(l, socket_of(event.peer));
    switch (event.type) {
        case ENET_EVENT_TYPE_CONNECT: {
            const auto silence = static_cast<enet_uint32>(std::max(1, l.timeouts.silence_ms));
            enet_peer_timeout(event.peer, 0, silence, silence);
            // Every packet is reliable: the throttle, made to thin out unreliable traffic, would
            // only shrink the reliable window whenever a busy machine delays one round trip.
            enet_peer_throttle_configure(event.peer, ENET_PEER_PACKET_THROTTLE_INTERVAL,
                                         ENET_PEER_PACKET_THROTTLE_SCALE, 0);
            if (connection != nullptr) {
                connection->connected = true;  // our own connect has been answered
            } else if (Connection* listener = find(l, owner);
                       listener != nullptr && listener->kind == Kind::LISTENER) {
                Connection in;
                in.kind = Kind::ACCEPTED;
                in.peer = event.peer;
                in.listener = owner;
                in.connected = true;
                const int socket = add_socket(l, std::move(in));
                event.peer->data = tag_of(socket);
                find(l, owner)->waiting.push_back(socket);
            }
            break;
        }
        case ENET_EVENT_TYPE_RECEIVE:
            // Only what this layer sends counts: reliable packets on the one channel.
            if (connection != nullptr && !connection->closed && event.packet->dataLength > 0 &&
                event.channelID == 0 && (event.packet->flags & ENET_PACKET_FLAG_RELIABLE) != 0)
                connection->inbox.emplace_back(event.packet->data,
                                               event.packet->data + event.packet->dataLength);
            enet_packet_destroy(event.packet);
            break;
        case ENET_EVENT_TYPE_DISCONNECT:
            // ENet resets the peer after this event: forget it.
            event.peer->data = nullptr;
            if (connection != nullptr) mark_closed(*connection);
            break;
        case ENET_EVENT_TYPE_NONE:
            break;
    }
}

// Pulls waiting events of one host (a LISTENER's or a CLIENT's) without waiting.
void pull(DatagramLayer& l, int owner, ENetHost* host) {
    Connection* o = find(l, owner);
    if (o == nullptr) return;
    const double now = now_ms();
    if (o->drained_at >= 0 && now - o->drained_at < PULL_GAP_MS) return;
    // Errors are looked for when a wait saw them, and by callers that do not wait.
    if (o->errors_waiting) take_errors(l, host);
    if (o->kind == Kind::LISTENER) expire_handshakes(l, *o);
    ENetEvent event;
    for (int i = 0; i < EVENTS_PER_PULL; ++i) {
        if (enet_host_service(host, &event, 0) <= 0) {
            o->drained_at = now_ms();
            break;
        }
        on_event(l, owner, event);
        if (event.type == ENET_EVENT_TYPE_RECEIVE) {
            const Connection* c = find(l, socket_of(event.peer));
            if (c != nullptr && c->inbox.size() >= INBOX_LIMIT) break;
        }
    }
    // Acknowledgements taken in make room for more of the backlogs.
    if (Connection* again = find(l, owner); again != nullptr && refill_host(l, *again)) enet_host_flush(host);
}

// The socket that owns the ENet host a connection lives on.
int owner_of(int socket, const Connection& c) {
    return c.kind == Kind::ACCEPTED ? c.listener : socket;
}

void pull_for(DatagramLayer& l, int socket) {
    const Connection* c = find(l, socket);
    if (c == nullptr) return;
    const int owner = owner_of(socket, *c);
    const Connection* o = find(l, owner);
    if (o != nullptr && o->host != nullptr) pull(l, owner, o->host);
}

// Every host: a connect to our own listener needs both ends serviced.
void pull_all(DatagramLayer& l) {
    std::vector<std::pair<int, ENetHost*>> hosts;
    for (auto& [socket, c] : l.sockets)
        if (c.host != nullptr) hosts.emplace_back(socket, c.host);
    for (auto& [socket, host] : hosts) pull(l, socket, host);
}

void destroy_listener(DatagramLayer& l, int socket, Connection& c) {
    for (auto it = l.sockets.begin(); it != l.sockets.end();) {
        if (it->second.kind == Kind::ACCEPTED && it->second.listener == socket) {
            discard_backlog(it->second);
            if (it->second.peer != nullptr) enet_peer_disconnect_now(it->second.peer, 0);
            it = l.sockets.erase(it);
        } else {
            ++it;
        }
    }
    enet_host_destroy(c.host);
    l.sockets.erase(socket);
}

bool started(DatagramLayer& l) {
    if (l.start_count > 0) return true;
    set_net_last_error(NetError::NOT_STARTED);
    return false;
}

int fail_socket(NetError error) {
    set_net_last_error(error);
    return NO_SOCKET;
}

bool fail(NetError error) {
    set_net_last_error(error);
    return false;
}

}  // namespace

bool net_start() {
    DatagramLayer& l = layer();
    std::lock_guard hold(l.lock);
    if (l.start_count == 0 && enet_initialize() != 0) {
        set_net_last_error(NetError::SYSTEM);
        return false;
    }
    ++l.start_count;
    return true;
}

void net_stop() {
    DatagramLayer& l = layer();
    std::lock_guard hold(l.lock);
    if (l.start_count == 0 || --l.start_count > 0) return;
    for (auto& [socket, c] : l.sockets) discard_backlog(c);
    for (auto& [socket, c] : l.sockets) {
        if (c.kind == Kind::CLIENT && c.peer != nullptr) enet_peer_disconnect_now(c.peer, 0);
        if (c.kind == Kind::LISTENER)
            for (size_t i = 0; i < c.host->peerCount; ++i)
                if (c.host->peers[i].state == ENET_PEER_STATE_CONNECTED)
                    enet_peer_disconnect_now(&c.host->peers[i], 0);
    }
    for (auto& [socket, c] : l.sockets)
        if (c.host != nullptr) enet_host_destroy(c.host);
    l.sockets.clear();
    enet_deinitialize();
}

int net_start_count() {
    DatagramLayer& l = layer();
    std::lock_guard hold(l.lock);
    return l.start_count;
}

int datagram_listen(uint16_t port) {
    DatagramLayer& l = layer();
    std::lock_guard hold(l.lock);
    if (!started(l)) return NO_SOCKET;
    ENetAddress address{ENET_HOST_ANY, port};
    Connection listener;
    listener.kind = Kind::LISTENER;
    if (create_host(&address, DATAGRAM_MAX_CONNECTIONS, listener) == nullptr)
        return fail_socket(NetError::SYSTEM);
    set_net_last_error(NetError::NONE);
    return add_socket(l, std::move(listener));
}

int datagram_connect(const NetAddress& address, int timeout_ms) {
    DatagramLayer& l = layer();
    std::unique_lock hold(l.lock);
    if (!started(l)) return NO_SOCKET;
    Connection client;
    client.kind = Kind::CLIENT;
    if (create_host(nullptr, 1, client) == nullptr) return fail_socket(NetError::SYSTEM);
    ENetHost* host = client.host;
    const int socket = add_socket(l, std::move(client));
    const ENetAddress to{htonl(address.ip), address.port};
    ENetPeer* peer = enet_host_connect(host, &to, 1, 0);
    NetError error = NetError::UNREACHABLE;
    if (peer != nullptr) {
        peer->data = tag_of(socket);
        find(l, socket)->peer = peer;
        const double deadline = now_ms() + timeout_ms;
        for (;;) {
            pull_all(l);
            const Connection* c = find(l, socket);
            if (c->connected) {
                set_net_last_error(NetError::NONE);
                return socket;
            }
            if (c->closed) break;
            if (now_ms() >= deadline) {
                error = NetError::TIMED_OUT;
                break;
            }
            hold.unlock();
            sleep_for_ms(1);
            hold.lock();
        }
        if (const Connection* c = find(l, socket); c->peer != nullptr) enet_peer_reset(c->peer);
    }
    enet_host_destroy(host);
    l.sockets.erase(socket);
    return fail_socket(error);
}

int datagram_accept(int listener) {
    DatagramLayer& l = layer();
    std::lock_guard hold(l.lock);
    Connection* c = find(l, listener);
    if (c == nullptr) return fail_socket(NetError::BAD_SOCKET);
    if (c->kind != Kind::LISTENER) return fail_socket(NetError::NOT_LISTENING);
    if (c->waiting.empty()) {
        pull(l, listener, c->host);
        c = find(l, listener);
    }
    set_net_last_error(NetError::NONE);
    if (c->waiting.empty()) return NO_SOCKET;
    const int socket = c->waiting.front();
    c->waiting.pop_front();
    return socket;
}

long datagram_read(int socket, uint8_t* into, size_t capacity) {
    DatagramLayer& l = layer();
    std::lock_guard hold(l.lock);
    Connection* c = find(l, socket);
    if (c == nullptr || c->kind == Kind::LISTENER) return fail_socket(NetError::BAD_SOCKET);
    if (c->inbox.empty() && !c->closed) {
        pull_for(l, socket);
        c = find(l, socket);
    }
    set_net_last_error(NetError::NONE);
    if (c->inbox.empty()) {
        if (!c->closed) return 0;
        set_net_last_error(NetError::PEER_CLOSED);
        return -1;
    }
    const std::vector<uint8_t>& datagram = c->inbox.front();
    const size_t n = datagram.size() < capacity ? datagram.size() : capacity;
    if (n > 0) std::memcpy(into, datagram.data(), n);
    c->inbox.pop_front();
    return static_cast<long>(n);
}

bool datagram_write(int socket, const uint8_t* bytes, size_t size, bool send_now) {
    DatagramLayer& l = layer();
    std::lock_guard hold(l.lock);
    Connection* c = find(l, socket);
    if (c == nullptr || c->kind == Kind::LISTENER) return fail(NetError::BAD_SOCKET);
    if (c->closed || c->closing || c->peer == nullptr || !c->connected)
        return fail(NetError::PEER_CLOSED);
    if (size == 0 || size > DATAGRAM_MAX_SIZE) return fail(NetError::SYSTEM);
    Connection* owner = find(l, owner_of(socket, *c));
    size_t& queued = owner->queued[static_cast<size_t>(c->peer - owner->host->peers)];
    if (queued + size + DATAGRAM_QUEUE_OVERHEAD > DATAGRAM_QUEUE_LIMIT) {
        drop_peer(l, c->peer, true);
        return fail(NetError::PEER_CLOSED);
    }
    ENetPacket* packet = enet_packet_create(bytes, size, ENET_PACKET_FLAG_RELIABLE);
    if (packet == nullptr) return fail(NetError::SYSTEM);
    packet->userData = &queued;
    packet->freeCallback = on_packet_free;
    queued += size + DATAGRAM_QUEUE_OVERHEAD;
    if (c->backlog.empty() && enet_unsent(c->peer, ENET_UNSENT_LIMIT) < ENET_UNSENT_LIMIT) {
        if (enet_peer_send(c->peer, 0, packet) != 0) {
            enet_packet_destroy(packet);
            return fail(NetError::SYSTEM);
        }
    } else {
        if (c->backlog.empty()) owner->backlogged.push_back(socket);
        c->backlog.push_back(packet);
    }
    if (send_now) {
        refill(*c);
        enet_host_flush(owner->host);
    }
    set_net_last_error(NetError::NONE);
    return true;
}

void datagram_flush(int socket) {
    DatagramLayer& l = layer();
    std::lock_guard hold(l.lock);
    Connection* c = find(l, socket);
    if (c == nullptr) return;
    Connection* owner = find(l, owner_of(socket, *c));
    if (owner == nullptr || owner->host == nullptr) return;
    refill(*c);
    enet_host_flush(owner->host);
}

void datagram_close(int socket) {
    DatagramLayer& l = layer();
    std::unique_lock hold(l.lock);
    Connection* c = find(l, socket);
    if (c == nullptr) return;
    switch (c->kind) {
        case Kind::LISTENER:
            destroy_listener(l, socket, *c);
            return;
        case Kind::ACCEPTED:
            // The listener's host goes on being serviced and completes the disconnect.
            if (c->peer != nullptr) {
                refill(*c, true);
                c->peer->data = nullptr;
                enet_peer_disconnect_later(c->peer, 0);
                enet_host_flush(find(l, c->listener)->host);
            }
            l.sockets.erase(socket);
            return;
        case Kind::CLIENT:
            break;
    }
    // Disconnect only once the peer has acknowledged everything sent before, so a last
    // message is not overtaken by the disconnect (which would discard it).
    if (c->peer != nullptr && c->connected && !c->closed) {
        c->closing = true;
        refill(*c, true);
        enet_peer_disconnect_later(c->peer, 0);
        const double deadline = now_ms() + CLOSE_WAIT_MS;
        for (;;) {
            pull_all(l);
            if (c->closed || now_ms() >= deadline) break;
            hold.unlock();
            sleep_for_ms(1);
            hold.lock();
            // Closed meanwhile by another thread: nothing left to do.
            if ((c = find(l, socket)) == nullptr) return;
        }
    }
    discard_backlog(*c);
    if (c->peer != nullptr) enet_peer_reset(c->peer);
    enet_host_destroy(c->host);
    l.sockets.erase(socket);
}

void datagram_poll(std::span<const int> group, std::vector<int>& ready) {
    DatagramLayer& l = layer();
    std::lock_guard hold(l.lock);
    ready.clear();
    std::vector<int> owners;
    for (int socket : group) {
        const Connection* c = find(l, socket);
        if (c == nullptr) continue;
        const int owner = owner_of(socket, *c);
        if (std::find(owners.begin(), owners.end(), owner) == owners.end()) owners.push_back(owner);
    }
    for (int owner : owners)
        if (const Connection* o = find(l, owner); o != nullptr && o->host != nullptr)
            pull(l, owner, o->host);
    for (int socket : group) {
        const Connection* c = find(l, socket);
        // A socket that is gone counts as ready: its read reports why.
        if (c == nullptr || c->closed || !c->inbox.empty()) ready.push_back(socket);
    }
}

void set_datagram_timeouts(const DatagramTimeouts& timeouts) {
    DatagramLayer& l = layer();
    std::lock_guard hold(l.lock);
    l.timeouts = timeouts;
}

DatagramTimeouts datagram_timeouts() {
    DatagramLayer& l = layer();
    std::lock_guard hold(l.lock);
    return l.timeouts;
}

WakeUp::WakeUp() : fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

WakeUp::~WakeUp() {
    if (fd_ >= 0) close(fd_);
}

void WakeUp::signal() {
    const uint64_t one = 1;
    if (fd_ >= 0 && write(fd_, &one, sizeof one) < 0) {
        // Already signalled to the counter's limit: the waiter wakes anyway.
    }
}

bool WakeUp::take() {
    uint64_t count = 0;
    return fd_ >= 0 && read(fd_, &count, sizeof count) == static_cast<ssize_t>(sizeof count);
}

void datagram_wait(std::span<const int> sockets, WakeUp& wake, int timeout_ms) {
    DatagramLayer& l = layer();
    std::vector<pollfd> fds;
    {
        std::lock_guard hold(l.lock);
        std::vector<int> owners;
        for (int socket : sockets) {
            const Connection* c = find(l, socket);
            if (c == nullptr) continue;
            if (!c->inbox.empty()) return;
            // A connection that has ended has nothing more to wait for.
            if (c->kind == Kind::CLIENT && c->closed) continue;
            const int owner = owner_of(socket, *c);
            if (std::find(owners.begin(), owners.end(), owner) == owners.end()) owners.push_back(owner);
        }
        for (const auto& [socket, c] : l.sockets)
            if (c.kind == Kind::ACCEPTED && !c.inbox.empty() &&
                std::find(owners.begin(), owners.end(), c.listener) != owners.end())
                return;
        bool in_flight = false;
        for (int owner : owners) {
            const Connection* o = find(l, owner);
            if (o == nullptr || o->host == nullptr) continue;
            in_flight = in_flight || !o->backlogged.empty();
            // Events ENet has taken in but not yet handed out wait on no socket.
            if (!o->waiting.empty() || !enet_list_empty(&o->host->dispatchQueue)) return;
            fds.push_back({o->host->socket, POLLIN, 0});
            for (size_t i = 0; i < o->host->peerCount && !in_flight; ++i) {
                ENetPeer* peer = &o->host->peers[i];
                in_flight = (peer->state != ENET_PEER_STATE_DISCONNECTED &&
                             peer->state != ENET_PEER_STATE_CONNECTED) ||
                            !enet_list_empty(&peer->sentReliableCommands) ||
                            !enet_list_empty(&peer->outgoingCommands) ||
                            !enet_list_empty(&peer->acknowledgements);
            }
        }
        if (!in_flight) timeout_ms = std::max(timeout_ms, IDLE_WAIT_MS);
        // From now on, errors are looked for when the wait sees them.
        for (int owner : owners)
            if (Connection* o = find(l, owner)) o->errors_waiting = false;
    }
    fds.push_back({wake.handle(), POLLIN, 0});
    poll(fds.data(), fds.size(), timeout_ms);
    std::lock_guard hold(l.lock);
    for (size_t i = 0; i + 1 < fds.size(); ++i)
        for (auto& [socket, c] : l.sockets)
            if (c.host != nullptr && c.host->socket == fds[i].fd) {
                c.drained_at = -1;
                if ((fds[i].revents & POLLERR) != 0) c.errors_waiting = true;
            }
    if (fds.back().revents != 0) wake.take();
}

}  // namespace runtime::platform
