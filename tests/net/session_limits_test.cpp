// What one connection may cost a session, and what a session tells its programs, with
// raw programs on ENet itself: from other loopback addresses, with any kind of packet,
// with handshakes left unfinished, or stopping to read.
#include <arpa/inet.h>
#include <enet/enet.h>

#include "net_fixture.h"
#include "runtime/net/frame.h"

using namespace runtime;
using net_test::eventually;
using net_test::NetTest;
using net_test::Peer;

namespace {

std::string text(const DynString& s) { return s.text_of(); }
int count_now() { return static_cast<int>(net_player_count()); }
uint32_t loopback(int last) { return 0x7F000000u | static_cast<uint32_t>(last); }

// A program speaking the frames over its own ENet host bound to a loopback address.
class RawPeer {
public:
    // With `handshake` false the connect goes out and is never completed.
    RawPeer(uint16_t port, uint32_t from, bool handshake = true, double patience_ms = net_test::PATIENCE_MS) {
        enet_initialize();
        ENetAddress local{htonl(from), 0};
        host_ = enet_host_create(&local, 1, 1, 0, 0);
        const ENetAddress to{htonl(loopback(1)), port};
        if (host_ != nullptr) peer_ = enet_host_connect(host_, &to, 1, 0);
        if (peer_ == nullptr) return;
        if (!handshake) {
            enet_host_flush(host_);
            return;
        }
        ENetEvent event;
        eventually([&] { return service(event) && event.type != ENET_EVENT_TYPE_NONE; }, patience_ms);
        connected = event.type == ENET_EVENT_TYPE_CONNECT;
        pump();
    }
    ~RawPeer() {
        if (host_ != nullptr) enet_host_destroy(host_);
        enet_deinitialize();
    }
    RawPeer(const RawPeer&) = delete;
    RawPeer& operator=(const RawPeer&) = delete;

    void send(const Frame& frame, enet_uint32 flags = ENET_PACKET_FLAG_RELIABLE) {
        uint8_t bytes[FRAME_MAX_SIZE];
        const size_t n = encode_frame(frame, bytes);
        enet_peer_send(peer_, 0, enet_packet_create(bytes, n, flags));
        ENetEvent event;
        service(event);  // sends, and takes in what came
    }
    // The next frame (type 0 when none comes within the patience or the host let go).
    Frame next() {
        Frame frame;
        eventually([&] {
            pump();
            return !frames_.empty() || gone_;
        });
        if (frames_.empty()) return frame;
        frame = std::move(frames_.front());
        frames_.pop_front();
        return frame;
    }
    // Registers `n` players at once; their ids in order (-1 for a refusal).
    std::vector<int32_t> add(size_t n, bool hidden = false, const std::string& name = "raw") {
        for (size_t i = 0; i < n; ++i)
            send(make_frame(FRAME_REGISTER, 0, -1, encode_registration({hidden, false, name})));
        std::vector<int32_t> ids;
        for (size_t i = 0; i < n; ++i) {
            const Frame f = next();
            ids.push_back(f.type == FRAME_PLAYER_ID ? f.target : INT32_MIN);
        }
        return ids;
    }
    int32_t add_one(bool hidden = false, const std::string& name = "raw") { return add(1, hidden, name)[0]; }
    // Sends what waits for room and takes in what came.
    void pump() {
        ENetEvent event;
        while (service(event)) {
        }
    }
    bool connected = false;

private:
    // One service without waiting; false when nothing happened.
    bool service(ENetEvent& event) {
        event.type = ENET_EVENT_TYPE_NONE;
        if (enet_host_service(host_, &event, 0) <= 0) return false;
        if (event.type == ENET_EVENT_TYPE_DISCONNECT) gone_ = true;
        if (event.type == ENET_EVENT_TYPE_RECEIVE) {
            const FrameParse parse = parse_frame({event.packet->data, event.packet->dataLength});
            if (parse.error == FrameError::NONE) frames_.push_back(parse.frame);
            enet_packet_destroy(event.packet);
        }
        return true;
    }
    ENetHost* host_ = nullptr;
    ENetPeer* peer_ = nullptr;
    std::deque<Frame> frames_;
    bool gone_ = false;
};

class SessionLimits : public NetTest {
protected:
    void TearDown() override {
        NetTest::TearDown();
        platform::set_datagram_timeouts({});
    }
    // A local player of this (hosting) program, and a look at its queue.
    static int32_t local_player(const char* name) {
        return static_cast<int32_t>(text_to_number(net_add_player(name)));
    }
    static bool queue_holds(int32_t player, const std::string& payload) {
        std::lock_guard hold(net_session()->lock);
        for (const PlayerRecord& p : net_session()->local_players)
            if (p.id == player)
                for (const Frame& f : p.queue)
                    if (f.payload == payload) return true;
        return false;
    }
    static size_t queue_size(int32_t player) {
        std::lock_guard hold(net_session()->lock);
        for (const PlayerRecord& p : net_session()->local_players)
            if (p.id == player) return p.queue.size();
        return 0;
    }
};

TEST_F(SessionLimits, EveryRegistrationIsAnsweredAndAProgramRecoversWhenThereIsRoom) {
    const uint16_t port = host_session();
    RawPeer raw(port, loopback(2));
    ASSERT_TRUE(raw.connected);
    // One connection gets at most its share of the players; the next is refused.
    const std::vector<int32_t> ids = raw.add(PLAYERS_PER_CONNECTION);
    EXPECT_EQ(std::count_if(ids.begin(), ids.end(), [](int32_t id) { return id >= FIRST_PLAYER_ID; }),
              static_cast<long>(PLAYERS_PER_CONNECTION));
    EXPECT_EQ(raw.add_one(), -1);
    raw.send(make_frame(FRAME_LEAVE, 0, ids[0]));
    const int32_t again = raw.add_one();
    EXPECT_GE(again, FIRST_PLAYER_ID);

    // The host full: a program is refused at once, and gets the next free place.
    Peer program;
    ASSERT_EQ(program.ask("join " + std::to_string(port)), "1");
    ASSERT_NE(program.ask("add first"), "-1");
    size_t players = PLAYERS_PER_CONNECTION + 2;  // the raw's, the program's, its hidden asker
    std::vector<std::unique_ptr<RawPeer>> fillers;
    while (players < MAX_REMOTE_PLAYERS) {
        fillers.push_back(std::make_unique<RawPeer>(port, loopback(10 + static_cast<int>(fillers.size()))));
        const size_t n = std::min(PLAYERS_PER_CONNECTION, MAX_REMOTE_PLAYERS - players);
        const std::vector<int32_t> more = fillers.back()->add(n);
        ASSERT_EQ(std::count(more.begin(), more.end(), -1), 0);
        players += n;
    }
    EXPECT_EQ(raw.add_one(), -1);
    EXPECT_EQ(program.ask("add late"), "-1");
    raw.send(make_frame(FRAME_LEAVE, 0, again));
    const std::string id = program.ask("add recovered");
    EXPECT_NE(id, "-1");
    EXPECT_EQ(program.ask("name " + id), "recovered");
}

TEST_F(SessionLimits, EveryNameRequestIsAnsweredWithTheIdItAsked) {
    const uint16_t port = host_session();
    const int32_t host_player = local_player("Host1");
    RawPeer raw(port, loopback(2));
    ASSERT_TRUE(raw.connected);
    const int32_t nameless = raw.add_one(false, "");  // visible, yet no name
    const int32_t hidden = raw.add_one(true, "Hidden");
    struct Case {
        int32_t id;
        std::string name;
    };
    for (const Case& c : {Case{nameless, ""}, Case{hidden, ""}, Case{9999, ""}, Case{host_player, "Host1"}}) {
        raw.send(make_frame(FRAME_NAME, 0, nameless, int_payload(c.id)));
        const Frame reply = raw.next();
        EXPECT_EQ(reply.type, FRAME_NAME) << c.id;
        EXPECT_EQ(reply.target, nameless);
        EXPECT_EQ(payload_text(reply), c.name);
        int32_t asked = 0;
        const std::string rest =
            reply.payload.size() > c.name.size() ? reply.payload.substr(c.name.size() + 1) : "";
        EXPECT_TRUE(read_int_payload(make_frame(0, 0, 0, rest), asked) && asked == c.id) << c.id;
    }
}

TEST_F(SessionLimits, MessagesWithoutTextAndPacketsOfOtherKindsAreDropped) {
    const uint16_t port = host_session();
    const int32_t host_player = local_player("Host1");
    RawPeer raw(port, loopback(2));
    ASSERT_TRUE(raw.connected);
    const int32_t me = raw.add_one();
    struct Case {
        std::string payload;
        enet_uint32 flags;
    };
    const Case cases[] = {
        {"", ENET_PACKET_FLAG_RELIABLE},
        {std::string("\0text", 5), ENET_PACKET_FLAG_RELIABLE},
        {"unreliable", 0},
        {"unsequenced", ENET_PACKET_FLAG_UNSEQUENCED},
    };
    for (int round = 0; round < 100; ++round)
        for (const Case& c : cases)
            for (int32_t target : {host_player, TARGET_EVERYBODY})
                raw.send(make_frame(FRAME_MESSAGE, target, me, c.payload), c.flags);
    raw.send(make_frame(FRAME_MESSAGE, host_player, me, "marker"));
    ASSERT_TRUE(eventually([&] {
        raw.pump();
        return queue_holds(host_player, "marker");
    }));
    EXPECT_EQ(text(net_receive(host_player)), "marker");
    EXPECT_EQ(queue_size(host_player), 0u);
}

TEST_F(SessionLimits, APlayersQueueKeepsItsOldestMessagesUpToItsBound) {
    const uint16_t port = host_session();
    const int32_t unread = local_player("Unread");
    const int32_t other = local_player("Other");
    RawPeer raw(port, loopback(2));
    ASSERT_TRUE(raw.connected);
    const int32_t me = raw.add_one();
    const size_t fit = PLAYER_QUEUE_LIMIT / (FRAME_MAX_PAYLOAD + PLAYER_QUEUE_OVERHEAD);
    for (size_t i = 0; i < fit + 100; ++i) {
        std::string payload = std::to_string(i);
        payload.resize(FRAME_MAX_PAYLOAD, '.');
        raw.send(make_frame(FRAME_MESSAGE, unread, me, payload));
    }
    raw.send(make_frame(FRAME_MESSAGE, other, me, "after"));
    ASSERT_TRUE(eventually([&] {
        raw.pump();
        return queue_holds(other, "after");
    }));
    EXPECT_EQ(queue_size(unread), fit);
    EXPECT_EQ(text(net_receive(unread)).substr(0, 2), "0.");
}

TEST_F(SessionLimits, AConnectionThatDoesNotReadIsDroppedAtItsQueueBound) {
    platform::set_datagram_timeouts({.handshake_ms = 2000, .silence_ms = 600000});  // no time-out helps
    const uint16_t port = host_session();
    const int32_t sender = local_player("Sender");
    RawPeer raw(port, loopback(2));
    ASSERT_TRUE(raw.connected);
    ASSERT_EQ(raw.add(PLAYERS_PER_CONNECTION).size(), PLAYERS_PER_CONNECTION);
    ASSERT_EQ(count_now(), static_cast<int>(PLAYERS_PER_CONNECTION) + 1);
    // The raw program reads no more: every broadcast queues a copy per player of it.
    const std::string big(FRAME_MAX_PAYLOAD, 'b');
    const size_t copies = platform::DATAGRAM_QUEUE_LIMIT / (FRAME_MAX_SIZE * PLAYERS_PER_CONNECTION) + 2;
    for (size_t i = 0; i < copies; ++i) ASSERT_EQ(net_send(sender, 0, big.c_str()), 1);
    EXPECT_TRUE(eventually([] { return count_now() == 1; }));
}

TEST_F(SessionLimits, OneAddressHoldsAtMostItsShareOfTheConnections) {
    const uint16_t port = host_session();
    std::vector<std::unique_ptr<RawPeer>> held;
    for (size_t i = 0; i < platform::DATAGRAM_CONNECTIONS_PER_ADDRESS; ++i) {
        held.push_back(std::make_unique<RawPeer>(port, loopback(3)));
        ASSERT_TRUE(held.back()->connected);
    }
    EXPECT_FALSE(RawPeer(port, loopback(3), true, 1000).connected);
    RawPeer honest(port, loopback(4));
    ASSERT_TRUE(honest.connected);
    EXPECT_GE(honest.add_one(), FIRST_PLAYER_ID);
}

TEST_F(SessionLimits, UnfinishedHandshakesHoldTheirAddressOnlyUntilTheyExpire) {
    platform::set_datagram_timeouts({.handshake_ms = 600000, .silence_ms = 40000});
    const uint16_t port = host_session();
    std::vector<std::unique_ptr<RawPeer>> half_open;
    for (size_t i = 0; i < platform::DATAGRAM_CONNECTIONS_PER_ADDRESS; ++i)
        half_open.push_back(std::make_unique<RawPeer>(port, loopback(5), false));
    EXPECT_FALSE(RawPeer(port, loopback(5), true, 1000).connected);
    platform::set_datagram_timeouts({.handshake_ms = 100, .silence_ms = 40000});
    EXPECT_TRUE(eventually([&] { return RawPeer(port, loopback(5), true, 1000).connected; }));
}

TEST_F(SessionLimits, AHostThatEndsIsNoticedWithoutWaitingForTheTimeOut) {
    platform::set_datagram_timeouts({.handshake_ms = 2000, .silence_ms = 600000});
    Peer host;
    const uint16_t port = net_test::free_port(SOCK_DGRAM);
    ASSERT_EQ(host.ask("host " + std::to_string(port)), "1");
    ASSERT_EQ(net_join("", port), 1);
    const double me = text_to_number(net_add_player("Joiner"));
    ASSERT_EQ(net_send(me, 0, "hello"), 1);
    host.kill_now();
    EXPECT_TRUE(eventually([&] { return net_send(me, 0, "anyone?") == 0; }));
}

TEST_F(SessionLimits, AStoppedProgramKeepsItsPlaceForTheSilenceTime) {
    // At least 30 s by default, so a program in a debugger or on a suspended machine stays.
    EXPECT_GE(platform::datagram_timeouts().silence_ms, 30000);
    EXPECT_LE(platform::datagram_timeouts().handshake_ms, 2000);
    const int silence_ms = 1500;
    platform::set_datagram_timeouts({.handshake_ms = 2000, .silence_ms = silence_ms});
    const uint16_t port = host_session();
    local_player("Host1");
    Peer stalled;
    ASSERT_EQ(stalled.ask("join " + std::to_string(port)), "1");
    ASSERT_NE(stalled.ask("add Sleeper"), "-1");
    ASSERT_EQ(count_now(), 2);
    stalled.stop();
    const double start = platform::now_ms();
    EXPECT_TRUE(eventually([] { return count_now() == 1; }));
    // Not before the silence time (less the moments a last unacknowledged packet may have
    // been out before the stop).
    EXPECT_GE(platform::now_ms() - start, silence_ms - 250);
    stalled.resume();
}

}  // namespace
