// Links: runtime_net
// Network frames as a session receives them, one datagram at a time, through the frame
// parser and the session's handling (no sockets: connections are numbers). An accepted frame
// is exactly its bytes again; the host believes a frame's sender only when that player was
// registered on the connection it came on, and removes players only of that connection;
// whatever it sends is a frame it can encode, to a connection it knows.
//
// Input: records of a selector byte, then (unless the selector closes a connection) a
// two-byte length and that many datagram bytes. Selector % 8: 0-1 from the host to this
// program, 2-4 from host connection 2-4, 5-7 connection 2-4 closes.
#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <vector>

#include "runtime/net/frame.h"
#include "runtime/net/session_state.h"
#include "support/fuzz_support.h"

namespace {

using namespace runtime;

constexpr int CLIENT_SOCKET = 1;
constexpr int FIRST_CONNECTION = 2;
constexpr int CONNECTIONS = 3;

FrameError plain_error(const uint8_t* data, size_t size) {
    if (size < FRAME_HEADER_SIZE) return FrameError::SHORT_HEADER;
    if (std::memcmp(data, "TSYN", 4) != 0) return FrameError::BAD_MAGIC;
    const auto length = static_cast<int32_t>(fuzz::header_field(data, size, 5, 4));
    if (length < 0 || length > static_cast<int32_t>(FRAME_MAX_PAYLOAD)) return FrameError::BAD_LENGTH;
    return static_cast<size_t>(length) > size - FRAME_HEADER_SIZE ? FrameError::TRUNCATED : FrameError::NONE;
}

// Remote players by id, with the connection each came on.
std::map<int32_t, int> players_of(const NetSession& s) {
    std::map<int32_t, int> players;
    for (const PlayerRecord& p : s.remote_players) {
        fuzz::require(players.emplace(p.id, p.socket).second, "player ids are unique");
        fuzz::require(p.id >= FIRST_PLAYER_ID && p.id < s.next_player_id, "ids the host gave");
    }
    fuzz::require(players.size() <= MAX_REMOTE_PLAYERS, "players within the limit");
    return players;
}

void prepare(NetSession& s) {
    s.is_host = true;
    s.client_socket = CLIENT_SOCKET;
    for (int c = 0; c < CONNECTIONS; ++c) s.connections.push_back(FIRST_CONNECTION + c);
    // This program's own players: one with its id, one waiting, one given up after its registration.
    for (int32_t id : {FIRST_PLAYER_ID, PLAYER_WAITING, PLAYER_GIVEN_UP}) {
        PlayerRecord& p = s.local_players.emplace_back();
        p.id = id;
        p.registration_sent = true;
    }
    s.my_request_id = FIRST_PLAYER_ID;
    s.late_replies = {1, 0, 0, 1};
}

void receive(NetSession& s, const std::vector<uint8_t>& datagram, int source) {
    const uint8_t* data = datagram.data();
    const size_t size = datagram.size();
    const FrameParse parse = parse_frame(datagram);
    fuzz::require(parse.error == plain_error(data, size), "the parser refuses what the frame rules refuse");
    if (parse.error != FrameError::NONE) return;
    uint8_t again[FRAME_MAX_SIZE];
    const size_t n = encode_frame(parse.frame, again);
    fuzz::require(n == FRAME_HEADER_SIZE + parse.frame.payload.size() && std::memcmp(again, data, n) == 0,
                  "an accepted frame is its bytes again");

    const std::map<int32_t, int> before = players_of(s);
    const auto sender = before.find(parse.frame.sender);
    const bool believed = sender != before.end() && sender->second == source;
    std::vector<ReceivedFrame> got{{parse.frame, source}};
    std::vector<OutgoingFrame> out;
    handle_frames(s, got, {}, out);
    const std::map<int32_t, int> after = players_of(s);

    std::set<int> known{CLIENT_SOCKET};
    for (const auto& [id, socket] : before) known.insert(socket);
    known.insert(source);
    for (const OutgoingFrame& o : out) {
        fuzz::require(o.frame.payload.size() <= FRAME_MAX_PAYLOAD, "what is sent can be encoded");
        fuzz::require(known.count(o.socket) == 1, "frames go to connections the session knows");
    }
    if (source == platform::NO_SOCKET) {
        fuzz::require(after == before, "the host's frames do not touch the host's own players");
        return;
    }
    const bool registers = parse.frame.type == FRAME_REGISTER;
    if (!registers && !believed) {
        fuzz::require(after == before && out.empty(), "a frame from a stranger changes nothing");
        return;
    }
    for (const auto& [id, socket] : before) {
        fuzz::require(after.count(id) == 1 || (socket == source && id == parse.frame.sender),
                      "only a player of the frame's connection leaves, by its own frame");
    }
    for (const auto& [id, socket] : after) {
        fuzz::require(before.count(id) == 1 || (registers && socket == source), "new players register on their connection");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    NetSession s;
    prepare(s);
    for (size_t at = 0; at < size;) {
        const uint8_t selector = data[at++] % 8;
        if (selector >= 5) {
            const int closing = FIRST_CONNECTION + (selector - 5);
            std::vector<ReceivedFrame> none;
            std::vector<OutgoingFrame> out;
            handle_frames(s, none, {closing}, out);
            for (const PlayerRecord& p : s.remote_players) fuzz::require(p.socket != closing, "a closed connection's players go");
            continue;
        }
        const size_t length = std::min<size_t>(fuzz::header_field(data, size, at, 2), size - std::min(size, at + 2));
        at = std::min(size, at + 2);
        const int source = selector < 2 ? platform::NO_SOCKET : FIRST_CONNECTION + (selector - 2);
        // A datagram of its own size, so a read past its end is caught.
        receive(s, std::vector<uint8_t>(data + at, data + at + length), source);
        at += length;
    }
    return 0;
}
