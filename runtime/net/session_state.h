// The process's one network session: players, queues and sockets, shared by the main
// thread (commands) and the session's worker thread under one lock.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <list>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "runtime/net/frame.h"
#include "runtime/platform/net.h"

namespace runtime {

constexpr uint16_t DEFAULT_PORT = 26000;
constexpr int32_t FIRST_PLAYER_ID = 101;
// Player ids before the host has given one.
constexpr int32_t PLAYER_UNSENT = -1;   // registration not yet sent
constexpr int32_t PLAYER_GIVEN_UP = -2; // nobody waits for the id any more
constexpr int32_t PLAYER_WAITING = -3;  // registration sent, id awaited
constexpr int32_t PLAYER_REFUSED = -4;  // the host has no place for it
// Frames a connection gives per worker pass at most, so one cannot starve the others.
constexpr int READS_PER_PASS = 1024;
// Remote players the host keeps at most, and at most per connection, so one connection
// cannot fill the host; a registration beyond either is refused.
constexpr size_t MAX_REMOTE_PLAYERS = 1024;
constexpr size_t PLAYERS_PER_CONNECTION = 64;
// Messages a local player has not yet taken: at most this many bytes, each message counted
// as its payload plus PLAYER_QUEUE_OVERHEAD. Messages beyond are dropped (the oldest stay).
constexpr size_t PLAYER_QUEUE_LIMIT = 4u << 20;
constexpr size_t PLAYER_QUEUE_OVERHEAD = 64;

struct PlayerRecord {
    int socket = platform::NO_SOCKET;  // host: the connection the player came on
    int32_t id = PLAYER_UNSENT;
    bool hidden = false;
    bool host_flag = false;
    std::string name;
    std::deque<Frame> queue;  // received messages, oldest first
    size_t queued_bytes = 0;  // of the queue, as PLAYER_QUEUE_LIMIT counts them
    bool registration_sent = false;
};

struct NetSession {
    int32_t next_player_id = FIRST_PLAYER_ID;
    int32_t my_request_id = -1;
    bool is_host = false;
    int server_socket = platform::NO_SOCKET;
    int client_socket = platform::NO_SOCKET;
    std::list<PlayerRecord> local_players;
    std::list<PlayerRecord> remote_players;
    bool quit = false;
    bool running = false;
    std::mutex lock;
    std::deque<Frame> replies;
    // Host: the accepted connections. While the worker runs only it changes them, under the
    // lock, so the main thread may read them under the lock too.
    std::vector<int> connections;
    // Requests of types 101 to 104 that timed out: their replies, which the host still
    // sends in order, are dropped when they come.
    std::array<int, 4> late_replies{};
    int32_t last_sender = 0;
    bool library_started = false;
    std::thread worker;
    // Wakes the worker when the main thread has something for it (a player, the quit).
    platform::WakeUp wake;
};

// The session, or null before start-up created it and after the shut-down.
NetSession* net_session();
// Creates the session (starts the network library) and registers its shut-down step.
NetSession& create_net_session();
// Sends a leave for every local player with an id, stops the session, stops the
// network library and frees the session. Nothing happens when there is none.
void close_net_session();

// Stops the worker, closes the sockets and frees the players and queues; then the
// session starts afresh (ids from 101, the network library restarted).
void stop_and_reset_session(NetSession& session);
// Stops the worker and closes the sockets (no reset).
void stop_session(NetSession& session);
void start_worker(NetSession& session);

// A frame a worker pass read: from the host (source NO_SOCKET: it came on the client
// socket) or from the host's connection `source`.
struct ReceivedFrame {
    Frame frame;
    int source;
};
struct OutgoingFrame {
    int socket;
    Frame frame;
};
// What a pass does with the frames it read, under the session's lock and without touching
// a socket: frames from the host reach the local players and the replies; on the host, the
// frames of its connections are routed, registered and answered, and then the players of
// the `closed` connections go. What is to be sent is appended to `out`.
void handle_frames(NetSession& session, std::vector<ReceivedFrame>& got, const std::vector<int>& closed,
                   std::vector<OutgoingFrame>& out);

// The reply to a name request: the name, a zero byte and the id asked, so that a reply
// is matched to its question; the id asked back from one (false when it has none).
std::string name_payload(const std::string& name, int32_t id);
bool name_reply_id(const Frame& reply, int32_t& id);

// One frame on a socket (at once, or at the socket's next flush); false when it
// could not be sent.
bool write_frame(int socket, const Frame& frame, bool send_now = true);

}  // namespace runtime
