// The session commands of the main thread: hosting and joining, players, messages, and
// the requests that ask the host and poll for its reply.
#include "runtime/net/session.h"

#include <algorithm>
#include <optional>

#include "runtime/core/string_functions.h"
#include "runtime/net/net_numbers.h"
#include "runtime/net/session_state.h"
#include "runtime/platform/clock.h"

namespace runtime {

namespace {

using net_detail::whole;

constexpr int POLLS = 250;  // 250 polls 20 ms apart: 5 s
constexpr double POLL_MS = 20;
constexpr int CONNECT_WAIT_MS = 5000;
constexpr size_t ADDRESSES_MAX = 4096;
constexpr size_t ADDRESS_ROOM = 32;

// A port of 0 or less is the default port; one above 65535 none (false).
bool session_port(double port, uint16_t& out) {
    const int32_t p = whole(port);
    if (p > 65535) return false;
    out = p <= 0 ? DEFAULT_PORT : static_cast<uint16_t>(p);
    return true;
}

PlayerRecord& add_local_player(NetSession& s, const std::string& name) {
    std::lock_guard hold(s.lock);
    PlayerRecord& p = s.local_players.emplace_back();
    p.hidden = name.empty();
    p.name = name;
    s.wake.signal();  // its registration goes out now
    return p;
}

// Polls for the id of a new local player; on time-out the record is given up.
int32_t wait_for_id(NetSession& s, PlayerRecord& p) {
    for (int poll = 0;; ++poll) {
        {
            std::lock_guard hold(s.lock);
            if (p.id >= 0) return p.id;
            if (p.id == PLAYER_REFUSED) {
                s.local_players.remove_if([&](const PlayerRecord& r) { return &r == &p; });
                return -1;
            }
            if (poll == POLLS) {
                // Never sent (no worker runs): nobody else will free it.
                if (!p.registration_sent)
                    s.local_players.remove_if([&](const PlayerRecord& r) { return &r == &p; });
                else
                    p.id = PLAYER_GIVEN_UP;
                return -1;
            }
        }
        platform::sleep_for_ms(POLL_MS);
    }
}

// The id requests go out with: the first one registers a hidden player for it.
int32_t request_id(NetSession& s) {
    {
        std::lock_guard hold(s.lock);
        if (s.my_request_id >= 0) return s.my_request_id;
    }
    const int32_t id = wait_for_id(s, add_local_player(s, ""));
    if (id >= 0) {
        std::lock_guard hold(s.lock);
        s.my_request_id = id;
    }
    return id;
}

// Takes the reply to this request (same type, addressed to the asker, a name for the id
// asked) if it is there.
std::optional<Frame> take_reply(NetSession& s, uint8_t type, int32_t asker, const std::string& payload) {
    for (auto it = s.replies.begin(); it != s.replies.end(); ++it) {
        int32_t asked = 0;
        int32_t named = 0;
        if (type == FRAME_NAME && !(read_int_payload(make_frame(0, 0, 0, payload), asked) &&
                                    name_reply_id(*it, named) && named == asked))
            continue;
        if (it->type == type && it->target == asker) {
            Frame reply = std::move(*it);
            s.replies.erase(it);
            return reply;
        }
    }
    return std::nullopt;
}

// Asks the host and polls up to 5 s for the answer.
std::optional<Frame> make_request(NetSession& s, uint8_t type, std::string payload = {}) {
    const int32_t asker = request_id(s);
    if (asker < 0) return std::nullopt;
    int client = platform::NO_SOCKET;
    {
        std::lock_guard hold(s.lock);
        s.replies.clear();
        client = s.client_socket;
    }
    if (!write_frame(client, make_frame(type, 0, asker, payload))) return std::nullopt;
    for (int poll = 0;; ++poll) {
        {
            std::lock_guard hold(s.lock);
            if (std::optional<Frame> reply = take_reply(s, type, asker, payload)) return reply;
            if (poll == POLLS) {
                // The host answers every request in order, so the next reply of its kind
                // is this request's: drop it when it comes.
                if (type >= FRAME_COUNT && type <= FRAME_GREETING) ++s.late_replies[type - FRAME_COUNT];
                return std::nullopt;
            }
        }
        platform::sleep_for_ms(POLL_MS);
    }
}

}  // namespace

double net_host(double port) {
    NetSession* s = net_session();
    if (s == nullptr) return 0;
    stop_and_reset_session(*s);
    s->is_host = true;
    uint16_t p = 0;
    if (!session_port(port, p)) return 0;
    s->server_socket = platform::datagram_listen(p);
    if (s->server_socket == platform::NO_SOCKET) return 0;
    s->client_socket = platform::datagram_connect(platform::loopback_address(p), CONNECT_WAIT_MS);
    if (s->client_socket == platform::NO_SOCKET) {
        platform::datagram_close(s->server_socket);
        s->server_socket = platform::NO_SOCKET;
        return 0;
    }
    start_worker(*s);
    return 1;
}

double net_join(const DynString& address, double port) {
    NetSession* s = net_session();
    if (s == nullptr) return 0;
    stop_and_reset_session(*s);
    uint16_t p = 0;
    if (!session_port(port, p)) return 0;
    platform::NetAddress host = platform::loopback_address(p);
    if (address.length > 0 && !platform::resolve_host(address.text_of(), host)) return 0;
    host.port = p;
    s->client_socket = platform::datagram_connect(host, CONNECT_WAIT_MS);
    if (s->client_socket == platform::NO_SOCKET) return 0;
    start_worker(*s);
    if (make_request(*s, FRAME_GREETING)) return 1;
    stop_session(*s);
    return 0;
}

DynString net_local_addresses() {
    if (NetSession* s = net_session()) stop_and_reset_session(*s);
    std::string text;
    for (platform::NetAddress address : platform::local_addresses()) {
        if (text.size() + ADDRESS_ROOM > ADDRESSES_MAX) break;
        address.port = DEFAULT_PORT;
        if (!text.empty()) text += '|';
        text += platform::address_text(address);
    }
    return DynString(text.c_str());
}

DynString net_add_player(const DynString& name) {
    NetSession* s = net_session();
    if (s == nullptr || static_cast<size_t>(name.length) >= PLAYER_NAME_SIZE) return DynString("-1");
    const int32_t id = wait_for_id(*s, add_local_player(*s, name.text_of()));
    return number_to_text(id);
}

double net_remove_player(double id) {
    NetSession* s = net_session();
    const int32_t player = whole(id);
    if (s == nullptr || player < 0) return 1;
    int client = platform::NO_SOCKET;
    {
        std::lock_guard hold(s->lock);
        client = s->client_socket;
        // The host forgets the player, so requests need a new asker.
        if (player == s->my_request_id) s->my_request_id = -1;
    }
    write_frame(client, make_frame(FRAME_LEAVE, 0, player));
    return 1;
}

double net_send(double sender, double target, const DynString& text) {
    NetSession* s = net_session();
    if (s == nullptr || static_cast<size_t>(text.length) > FRAME_MAX_PAYLOAD) return 0;
    const int32_t to = whole(target);
    int client = platform::NO_SOCKET;
    {
        std::lock_guard hold(s->lock);
        client = s->client_socket;
    }
    const Frame frame = make_frame(FRAME_MESSAGE, to == 0 ? TARGET_EVERYBODY : to, whole(sender),
                                   std::string(text.text_of(), static_cast<size_t>(text.length)));
    return write_frame(client, frame) ? 1 : 0;
}

DynString net_receive(double player) {
    NetSession* s = net_session();
    const int32_t id = whole(player);
    if (s == nullptr || id < 0) return DynString();
    std::lock_guard hold(s->lock);
    for (PlayerRecord& p : s->local_players) {
        if (p.id != id || p.queue.empty()) continue;
        const Frame frame = std::move(p.queue.front());
        p.queue.pop_front();
        p.queued_bytes -= std::min(p.queued_bytes, frame.payload.size() + PLAYER_QUEUE_OVERHEAD);
        s->last_sender = frame.sender;
        return DynString(payload_text(frame).c_str());
    }
    return DynString();
}

DynString net_last_sender() {
    NetSession* s = net_session();
    if (s == nullptr) return number_to_text(0);
    std::lock_guard hold(s->lock);
    return number_to_text(s->last_sender);
}

double net_player_count() {
    NetSession* s = net_session();
    int32_t count = 0;
    if (s == nullptr) return 0;
    const std::optional<Frame> reply = make_request(*s, FRAME_COUNT);
    return reply && read_int_payload(*reply, count) ? count : 0;
}

DynString net_player_id(double index) {
    NetSession* s = net_session();
    int32_t id = 0;
    if (s == nullptr) return DynString("0");
    const std::optional<Frame> reply = make_request(*s, FRAME_NTH_PLAYER, int_payload(whole(index)));
    return number_to_text(reply && read_int_payload(*reply, id) ? id : 0);
}

DynString net_player_name(double id) {
    NetSession* s = net_session();
    if (s == nullptr) return DynString("NO_DATA");
    const std::optional<Frame> reply = make_request(*s, FRAME_NAME, int_payload(whole(id)));
    const std::string name = reply ? payload_text(*reply) : std::string();
    return DynString(name.empty() ? "NO_DATA" : name.c_str());
}

}  // namespace runtime
