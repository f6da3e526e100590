// Message connections on ENet. Each datagram travels as one reliable packet on one
// channel, so nothing a peer sends is lost, doubled or reordered. A listening socket
// and a connecting socket each own an ENet host; ENet is not thread-safe, so every
// call on any host happens under the layer's one lock. Events are pulled from a host
// whenever a caller needs more, and sorted into per-connection inboxes.
#include <arpa/inet.h>
#include <enet/enet.h>

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

// A peer that acknowledges nothing for this long is dropped; a killed program is
// noticed after about the minimum.
constexpr enet_uint32 PEER_TIMEOUT_MIN_MS = 5000;
constexpr enet_uint32 PEER_TIMEOUT_MAX_MS = 15000;
// Datagrams one connection may hold unread before its host is left alone for a while.
constexpr size_t INBOX_LIMIT = 1024;
// Bound of one pull of events from a host, so a flood cannot keep a caller inside.
constexpr int EVENTS_PER_PULL = 4096;
constexpr size_t WAITING_DATA_LIMIT = 1 << 20;
constexpr double CLOSE_WAIT_MS = 1000;

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
    std::deque<int> waiting;  // LISTENER: connections not yet accepted
};

struct DatagramLayer {
    std::mutex lock;
    int start_count = 0;
    int next_socket = 1;
    std::map<int, Connection> sockets;
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

ENetHost* create_host(const ENetAddress* address, size_t peers) {
    ENetHost* host = enet_host_create(address, peers, 1, 0, 0);
    if (host == nullptr) return nullptr;
    host->maximumPacketSize = DATAGRAM_MAX_SIZE;
    host->maximumWaitingData = WAITING_DATA_LIMIT;
    return host;
}

void on_event(DatagramLayer& l, int owner, const ENetEvent& event) {
    Connection* connection = find(l, socket_of(event.peer));
    switch (event.type) {
        case ENET_EVENT_TYPE_CONNECT:
            enet_peer_timeout(event.peer, 0, PEER_TIMEOUT_MIN_MS, PEER_TIMEOUT_MAX_MS);
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
        case ENET_EVENT_TYPE_RECEIVE:
            if (connection != nullptr && !connection->closed && event.packet->dataLength > 0)
                connection->inbox.emplace_back(event.packet->data,
                                               event.packet->data + event.packet->dataLength);
            enet_packet_destroy(event.packet);
            break;
        case ENET_EVENT_TYPE_DISCONNECT:
            // ENet resets the peer after this event: forget it.
            event.peer->data = nullptr;
            if (connection != nullptr) {
                connection->closed = true;
                connection->peer = nullptr;
            }
            break;
        case ENET_EVENT_TYPE_NONE:
            break;
    }
}

// Pulls waiting events of one host (a LISTENER's or a CLIENT's) without waiting.
void pull(DatagramLayer& l, int owner, ENetHost* host) {
    ENetEvent event;
    for (int i = 0; i < EVENTS_PER_PULL; ++i) {
        if (enet_host_service(host, &event, 0) <= 0) return;
        on_event(l, owner, event);
        if (event.type == ENET_EVENT_TYPE_RECEIVE) {
            const Connection* c = find(l, socket_of(event.peer));
            if (c != nullptr && c->inbox.size() >= INBOX_LIMIT) return;
        }
    }
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
    listener.host = create_host(&address, DATAGRAM_MAX_CONNECTIONS);
    if (listener.host == nullptr) return fail_socket(NetError::SYSTEM);
    set_net_last_error(NetError::NONE);
    return add_socket(l, std::move(listener));
}

int datagram_connect(const NetAddress& address, int timeout_ms) {
    DatagramLayer& l = layer();
    std::unique_lock hold(l.lock);
    if (!started(l)) return NO_SOCKET;
    Connection client;
    client.kind = Kind::CLIENT;
    client.host = create_host(nullptr, 1);
    if (client.host == nullptr) return fail_socket(NetError::SYSTEM);
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
    ENetPacket* packet = enet_packet_create(bytes, size, ENET_PACKET_FLAG_RELIABLE);
    if (packet == nullptr) return fail(NetError::SYSTEM);
    if (enet_peer_send(c->peer, 0, packet) != 0) {
        enet_packet_destroy(packet);
        return fail(NetError::SYSTEM);
    }
    if (send_now) enet_host_flush(find(l, owner_of(socket, *c))->host);
    set_net_last_error(NetError::NONE);
    return true;
}

void datagram_flush(int socket) {
    DatagramLayer& l = layer();
    std::lock_guard hold(l.lock);
    const Connection* c = find(l, socket);
    if (c == nullptr) return;
    const Connection* owner = find(l, owner_of(socket, *c));
    if (owner != nullptr && owner->host != nullptr) enet_host_flush(owner->host);
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

}  // namespace runtime::platform
