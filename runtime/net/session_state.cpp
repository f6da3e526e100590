// The session's life (creation, stop and reset, the end) and its worker thread, which
// registers local players, reads frames, routes them through the host and answers
// requests there; it waits on its sockets between passes, so a frame is handled as soon
// as it comes.
#include "runtime/net/session_state.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "runtime/core/lifecycle.h"
#include "runtime/core/owned_slot.h"

namespace runtime {

namespace {

// Longest wait between passes: the transport's timers (resends, pings, time-outs) run
// in the passes.
constexpr int WORKER_WAIT_MS = 10;

OwnedSlot<NetSession>& session_slot() {
    static OwnedSlot<NetSession> session;
    return session;
}

// The frames of one pass leave together: fewer, fuller packets on the wire.
void send_all(const std::vector<OutgoingFrame>& out) {
    std::vector<int> sockets;
    for (const OutgoingFrame& o : out) {
        write_frame(o.socket, o.frame, false);
        if (std::find(sockets.begin(), sockets.end(), o.socket) == sockets.end())
            sockets.push_back(o.socket);
    }
    for (int socket : sockets) platform::datagram_flush(socket);
}

// Registrations of new local players go out; records nobody waits for go.
void register_local_players(NetSession& s, std::vector<OutgoingFrame>& out) {
    for (auto it = s.local_players.begin(); it != s.local_players.end();) {
        if (it->id == PLAYER_UNSENT) {
            Registration r{it->hidden, s.is_host, it->name};
            out.push_back({s.client_socket, make_frame(FRAME_REGISTER, 0, -1, encode_registration(r))});
            it->id = PLAYER_WAITING;
            it->registration_sent = true;
        }
        // A given-up record whose registration went out stays until its id comes, so
        // the ids that follow go to the records they belong to.
        if (it->id == PLAYER_GIVEN_UP && !it->registration_sent)
            it = s.local_players.erase(it);
        else
            ++it;
    }
}

void read_frames(int socket, std::vector<ReceivedFrame>& got, int source, bool& closed) {
    uint8_t bytes[platform::DATAGRAM_MAX_SIZE];
    for (int i = 0; i < READS_PER_PASS; ++i) {
        const long n = platform::datagram_read(socket, bytes, sizeof bytes);
        if (n < 0) closed = true;
        if (n <= 0) return;
        FrameParse parse = parse_frame({bytes, static_cast<size_t>(n)});
        if (parse.error == FrameError::NONE) got.push_back({std::move(parse.frame), source});
    }
}

// Host: new connections, then the frames of every ready connection. False
// when the server socket can no longer accept.
bool read_connections(NetSession& s, std::vector<ReceivedFrame>& got, std::vector<int>& closed) {
    bool listening = true;
    for (;;) {
        const int socket = platform::datagram_accept(s.server_socket);
        if (socket == platform::NO_SOCKET) {
            listening = platform::net_last_error() == platform::NetError::NONE;
            break;
        }
        std::unique_lock hold(s.lock);
        if (s.connections.size() < platform::DATAGRAM_MAX_CONNECTIONS) {
            s.connections.push_back(socket);
        } else {
            hold.unlock();
            platform::datagram_close(socket);
        }
    }
    std::vector<int> ready;
    platform::datagram_poll(s.connections, ready);
    for (int socket : ready) {
        bool gone = false;
        read_frames(socket, got, socket, gone);
        if (gone) closed.push_back(socket);
    }
    return listening;
}

PlayerRecord* find_player(std::list<PlayerRecord>& players, int32_t id) {
    for (PlayerRecord& p : players)
        if (p.id == id) return &p;
    return nullptr;
}

// What the host sent this program: messages for its players, ids, replies.
void take_from_host(NetSession& s, Frame& frame, std::vector<OutgoingFrame>& out) {
    if (frame.type == FRAME_MESSAGE) {
        PlayerRecord* p = frame.target >= 0 ? find_player(s.local_players, frame.target) : nullptr;
        const size_t cost = frame.payload.size() + PLAYER_QUEUE_OVERHEAD;
        // A text net_receive would give as "" cannot be told from no message.
        if (p == nullptr || payload_text(frame).empty() || p->queued_bytes + cost > PLAYER_QUEUE_LIMIT)
            return;
        p->queued_bytes += cost;
        p->queue.push_back(std::move(frame));
        return;
    }
    if (frame.sender != 0) return;
    if (frame.type == FRAME_PLAYER_ID) {
        // The host answers every registration, in order: the answer is the oldest one's.
        const bool refused = frame.target <= 0;
        for (auto it = s.local_players.begin(); it != s.local_players.end(); ++it) {
            if (it->id == PLAYER_WAITING) {
                it->id = refused ? PLAYER_REFUSED : frame.target;
                return;
            }
            if (it->id == PLAYER_GIVEN_UP && it->registration_sent) {
                // Its program gave up waiting: the host must not keep the player.
                if (!refused) out.push_back({s.client_socket, make_frame(FRAME_LEAVE, 0, frame.target)});
                s.local_players.erase(it);
                return;
            }
        }
        return;
    }
    if (frame.type >= 100) {
        const int late = frame.type - FRAME_COUNT;
        if (late >= 0 && late < static_cast<int>(s.late_replies.size()) &&
            s.late_replies[static_cast<size_t>(late)] > 0 && frame.target == s.my_request_id)
            --s.late_replies[static_cast<size_t>(late)];
        else
            s.replies.push_back(std::move(frame));
    }
}

void answer_request(NetSession& s, const Frame& frame, int socket, std::vector<OutgoingFrame>& out) {
    Frame reply = make_frame(frame.type, frame.sender, 0);
    int32_t argument = -1;
    switch (frame.type) {
        case FRAME_COUNT: {
            int32_t count = 0;
            for (const PlayerRecord& p : s.remote_players) count += p.hidden ? 0 : 1;
            reply.payload = int_payload(count);
            break;
        }
        case FRAME_NTH_PLAYER: {
            int32_t id = 0;
            if (read_int_payload(frame, argument) && argument >= 0) {
                for (const PlayerRecord& p : s.remote_players) {
                    if (p.hidden) continue;
                    if (argument-- == 0) {
                        id = p.id;
                        break;
                    }
                }
            }
            reply.payload = int_payload(id);
            break;
        }
        case FRAME_NAME: {
            // Answered at once, with an empty name for nobody, a hidden player or one
            // without a name.
            if (!read_int_payload(frame, argument)) return;
            const PlayerRecord* p = find_player(s.remote_players, argument);
            reply.payload = name_payload(p != nullptr && !p->hidden ? p->name : std::string(), argument);
            break;
        }
        case FRAME_GREETING:
            reply.payload = int_payload(1);
            break;
        default:
            return;
    }
    out.push_back({socket, std::move(reply)});
}

// Host: a frame a connection sent. Apart from a registration, a frame counts
// only when its sender is a player registered on that same connection.
void route(NetSession& s, ReceivedFrame& r, std::vector<OutgoingFrame>& out) {
    Frame& frame = r.frame;
    if (frame.type == FRAME_REGISTER) {
        const auto on_connection =
            static_cast<size_t>(std::count_if(s.remote_players.begin(), s.remote_players.end(),
                                              [&](const PlayerRecord& p) { return p.socket == r.source; }));
        if (frame.target != 0 || s.remote_players.size() >= MAX_REMOTE_PLAYERS ||
            on_connection >= PLAYERS_PER_CONNECTION) {
            out.push_back({r.source, make_frame(FRAME_PLAYER_ID, -1, 0)});
            return;
        }
        const Registration registration = decode_registration(frame.payload);
        PlayerRecord p;
        p.socket = r.source;
        p.id = s.next_player_id++;
        p.hidden = registration.hidden;
        p.name = registration.name;
        s.remote_players.push_back(std::move(p));
        out.push_back({r.source, make_frame(FRAME_PLAYER_ID, s.remote_players.back().id, 0)});
        return;
    }
    PlayerRecord* sender = find_player(s.remote_players, frame.sender);
    if (sender == nullptr || sender->socket != r.source) return;
    if (frame.type == FRAME_MESSAGE) {
        if (payload_text(frame).empty()) return;  // nothing a receiver could tell from no message
        if (frame.target == TARGET_EVERYBODY) {
            for (const PlayerRecord& p : s.remote_players) {
                if (p.hidden || p.id == frame.sender) continue;
                out.push_back({p.socket, frame});
                out.back().frame.target = p.id;
            }
        } else if (const PlayerRecord* p = find_player(s.remote_players, frame.target)) {
            out.push_back({p->socket, std::move(frame)});
        }
        return;
    }
    if (frame.target != 0) return;
    if (frame.type == FRAME_LEAVE) {
        s.remote_players.remove_if([&](const PlayerRecord& p) { return &p == sender; });
        return;
    }
    answer_request(s, frame, r.source, out);
}

void worker_pass(NetSession& s) {
    std::vector<OutgoingFrame> out;
    {
        std::lock_guard hold(s.lock);
        register_local_players(s, out);
    }
    send_all(out);
    out.clear();

    std::vector<ReceivedFrame> got;
    std::vector<int> closed;
    bool client_gone = false;
    read_frames(s.client_socket, got, platform::NO_SOCKET, client_gone);
    const bool listening = !s.is_host || read_connections(s, got, closed);
    handle_frames(s, got, closed, out);
    if (!listening) {
        std::lock_guard hold(s.lock);
        s.quit = true;
    }
    send_all(out);
    for (int socket : closed) {
        {
            std::lock_guard hold(s.lock);
            std::erase(s.connections, socket);
        }
        platform::datagram_close(socket);
    }
}

void worker_main(NetSession* s) {
    for (;;) {
        {
            std::lock_guard hold(s->lock);
            if (s->quit) {
                s->running = false;
                return;
            }
        }
        worker_pass(*s);
        const int sockets[] = {s->client_socket, s->server_socket};
        platform::datagram_wait(sockets, s->wake, WORKER_WAIT_MS);
    }
}

// A process that ends without the shut-down still says goodbye and stops the worker
// before the statics it uses are gone.
void close_at_exit() { close_net_session(); }

}  // namespace

void handle_frames(NetSession& s, std::vector<ReceivedFrame>& got, const std::vector<int>& closed,
                   std::vector<OutgoingFrame>& out) {
    std::lock_guard hold(s.lock);
    for (ReceivedFrame& r : got) {
        if (r.source == platform::NO_SOCKET)
            take_from_host(s, r.frame, out);
        else
            route(s, r, out);
    }
    // A connection that is gone takes all its players with it, after its last frames.
    for (int socket : closed)
        s.remote_players.remove_if([&](const PlayerRecord& p) { return p.socket == socket; });
}

std::string name_payload(const std::string& name, int32_t id) { return name + '\0' + int_payload(id); }

bool name_reply_id(const Frame& reply, int32_t& id) {
    const std::string name = payload_text(reply);
    return name.size() < reply.payload.size() &&
           read_int_payload(make_frame(0, 0, 0, reply.payload.substr(name.size() + 1)), id);
}

bool write_frame(int socket, const Frame& frame, bool send_now) {
    uint8_t bytes[FRAME_MAX_SIZE];
    const size_t n = encode_frame(frame, bytes);
    return n > 0 && socket != platform::NO_SOCKET &&
           platform::datagram_write(socket, bytes, n, send_now);
}

NetSession* net_session() { return session_slot().get(); }

NetSession& create_net_session() {
    OwnedSlot<NetSession>& slot = session_slot();
    if (!slot) {
        static bool exit_handler_installed = false;
        slot.create(ShutdownStep::NETWORK, close_net_session);
        slot->library_started = platform::net_start();
        if (!exit_handler_installed) {
            exit_handler_installed = true;
            std::atexit(close_at_exit);
        }
    }
    register_shutdown_step(ShutdownStep::NETWORK, close_net_session);
    return *slot;
}

void close_net_session() {
    OwnedSlot<NetSession>& slot = session_slot();
    if (!slot) return;
    NetSession& s = *slot;
    std::vector<int32_t> ids;
    int client = platform::NO_SOCKET;
    {
        std::lock_guard hold(s.lock);
        for (const PlayerRecord& p : s.local_players)
            if (p.id >= 0) ids.push_back(p.id);
        client = s.client_socket;
    }
    for (int32_t id : ids) write_frame(client, make_frame(FRAME_LEAVE, 0, id));
    stop_session(s);
    if (s.library_started) platform::net_stop();
    slot.reset();
}

void start_worker(NetSession& s) {
    {
        std::lock_guard hold(s.lock);
        s.quit = false;
        s.running = true;
    }
    s.worker = std::thread(worker_main, &s);
}

void stop_session(NetSession& s) {
    if (s.worker.joinable()) {
        {
            std::lock_guard hold(s.lock);
            s.quit = true;
        }
        s.wake.signal();
        s.worker.join();
    }
    // The client first: its last frames reach our own server while that still stands.
    platform::datagram_close(s.client_socket);
    for (int socket : s.connections) platform::datagram_close(socket);
    platform::datagram_close(s.server_socket);
    std::lock_guard hold(s.lock);
    s.client_socket = platform::NO_SOCKET;
    s.server_socket = platform::NO_SOCKET;
    s.connections.clear();
    s.local_players.clear();
    s.remote_players.clear();
    s.replies.clear();
    s.late_replies = {};
    s.quit = false;
    s.running = false;
}

void stop_and_reset_session(NetSession& s) {
    stop_session(s);
    {
        std::lock_guard hold(s.lock);
        s.next_player_id = FIRST_PLAYER_ID;
        s.my_request_id = -1;
        s.is_host = false;
    }
    if (s.library_started) platform::net_stop();
    s.library_started = platform::net_start();
}

}  // namespace runtime
