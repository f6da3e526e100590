// Sessions across real processes on loopback: this test process hosts, net_test_peer
// programs join; plus a raw connection that sends what no honest program would, and a
// fake host that answers late.
#include <atomic>
#include <regex>
#include <set>
#include <thread>

#include "net_fixture.h"
#include "runtime/net/frame.h"

using namespace runtime;
using net_test::eventually;
using net_test::NetTest;
using net_test::Peer;

namespace {

std::string text(const DynString& s) { return s.text_of(); }
int count_now() { return static_cast<int>(net_player_count()); }

// A raw connection to a session: frames sent as given, frames read back. It holds a
// start of the network layer of its own, as every user of it must.
struct RawConnection {
    explicit RawConnection(uint16_t port)
        : started(platform::net_start()),
          socket(platform::datagram_connect(platform::loopback_address(port), 10000)) {}
    ~RawConnection() {
        platform::datagram_close(socket);
        platform::net_stop();
    }
    bool send(const Frame& frame) {
        uint8_t bytes[FRAME_MAX_SIZE];
        return platform::datagram_write(socket, bytes, encode_frame(frame, bytes));
    }
    bool send_bytes(std::vector<uint8_t> bytes) {
        return platform::datagram_write(socket, bytes.data(), bytes.size());
    }
    // The next frame that arrives (type 0 when none comes within the patience).
    Frame next() {
        Frame frame;
        uint8_t bytes[platform::DATAGRAM_MAX_SIZE];
        eventually([&] {
            const long n = platform::datagram_read(socket, bytes, sizeof bytes);
            if (n > 0) frame = parse_frame({bytes, static_cast<size_t>(n)}).frame;
            return n != 0;
        });
        return frame;
    }
    bool started;
    int socket;
};

TEST_F(NetTest, PlayersOfThreeProgramsMeetThroughTheHost) {
    const uint16_t port = host_session();
    const std::string join = "join " + std::to_string(port);
    const std::string host_player = text(net_add_player("Host1"));
    Peer a;
    Peer b;
    ASSERT_EQ(a.ask(join), "1");
    ASSERT_EQ(b.ask(join), "1");
    const std::string alpha = a.ask("add Alpha");
    const std::string hidden = a.ask("add");
    const std::string beta = b.ask("add Beta");
    const std::set<std::string> ids = {host_player, alpha, hidden, beta};
    ASSERT_EQ(ids.size(), 4u);
    ASSERT_EQ(ids.count("-1"), 0u);

    // The hidden player is neither counted nor listed.
    EXPECT_EQ(count_now(), 3);
    EXPECT_EQ(a.ask("count"), "3");
    EXPECT_EQ(std::set<std::string>({b.ask("pid 0"), b.ask("pid 1"), b.ask("pid 2")}),
              std::set<std::string>({host_player, alpha, beta}));
    EXPECT_EQ(b.ask("pid 3"), "0");
    EXPECT_EQ(a.ask("name " + beta), "Beta");
    EXPECT_EQ(text(net_player_name(std::stod(alpha))), "Alpha");
    EXPECT_EQ(text(net_player_name(9999)), "NO_DATA");

    // A broadcast reaches every visible player but its sender. Markers sent after it by
    // the same sender arrive after it, so a marker coming first proves it was not sent.
    ASSERT_EQ(a.ask("send " + alpha + " 0 hello all"), "1");
    ASSERT_EQ(a.ask("send " + alpha + " " + alpha + " marker self"), "1");
    ASSERT_EQ(a.ask("send " + alpha + " " + hidden + " marker hidden"), "1");
    EXPECT_EQ(b.receive(beta), alpha + " hello all");
    EXPECT_EQ(a.receive(alpha), alpha + " marker self");
    EXPECT_EQ(a.receive(hidden), alpha + " marker hidden");
    ASSERT_TRUE(eventually([&] { return net_receive(std::stod(host_player)).length > 0; }));
    EXPECT_EQ(text(net_last_sender()), alpha);

    // A direct message reaches only its target, in order after earlier ones.
    ASSERT_EQ(b.ask("send " + beta + " " + host_player + " one"), "1");
    ASSERT_EQ(b.ask("send " + beta + " " + host_player + " two"), "1");
    ASSERT_TRUE(eventually([&] { return net_receive(std::stod(host_player)) == "one"; }));
    ASSERT_TRUE(eventually([&] { return net_receive(std::stod(host_player)) == "two"; }));
    EXPECT_EQ(text(net_last_sender()), beta);

    // Leaving: a removed player, a program that ends (leave messages), a program killed.
    EXPECT_EQ(b.ask("remove " + beta), "1");
    EXPECT_TRUE(eventually([] { return count_now() == 2; }));
    ASSERT_NE(b.ask("add Gamma"), "-1");
    EXPECT_EQ(count_now(), 3);
    EXPECT_EQ(b.ask("end"), "bye");
    EXPECT_TRUE(eventually([] { return count_now() == 2; }));
    a.kill_now();
    EXPECT_TRUE(eventually([] { return count_now() == 1; }));
    EXPECT_EQ(text(net_player_id(0)), host_player);
}

TEST_F(NetTest, HostileFramesChangeNothing) {
    const uint16_t port = host_session();
    const int32_t host_player = static_cast<int32_t>(text_to_number(net_add_player("Host1")));
    Peer a;
    ASSERT_EQ(a.ask("join " + std::to_string(port)), "1");
    const int32_t alpha = std::stoi(a.ask("add Alpha"));
    RawConnection raw(port);
    ASSERT_NE(raw.socket, platform::NO_SOCKET);
    ASSERT_TRUE(raw.send(make_frame(FRAME_REGISTER, 0, -1, encode_registration({false, false, "Raw"}))));
    const Frame id = raw.next();
    ASSERT_EQ(id.type, FRAME_PLAYER_ID);
    const int32_t mine = id.target;
    ASSERT_EQ(count_now(), 3);

    uint8_t leave[FRAME_MAX_SIZE];
    const size_t n = encode_frame(make_frame(FRAME_LEAVE, 0, mine), leave);
    const std::vector<uint8_t> honest(leave, leave + n);
    auto with = [&](size_t at, std::vector<uint8_t> bytes) {
        std::vector<uint8_t> frame = honest;
        std::copy(bytes.begin(), bytes.end(), frame.begin() + static_cast<long>(at));
        return frame;
    };
    EXPECT_TRUE(raw.send_bytes(with(0, {'X'})));                    // bad magic
    EXPECT_TRUE(raw.send_bytes(with(5, {0xFF, 0xFF, 0xFF, 0xFF})));  // length -1
    EXPECT_TRUE(raw.send_bytes(with(5, {0xD0, 0x07, 0, 0})));        // length 2000
    EXPECT_TRUE(raw.send_bytes(with(5, {4, 0, 0, 0})));              // more than arrived
    EXPECT_TRUE(raw.send_bytes(std::vector<uint8_t>(honest.begin(), honest.begin() + 16)));
    // Another program's player: neither removed nor impersonated, nor asked for.
    EXPECT_TRUE(raw.send(make_frame(FRAME_LEAVE, 0, alpha)));
    EXPECT_TRUE(raw.send(make_frame(FRAME_MESSAGE, host_player, alpha, "spoof")));
    EXPECT_TRUE(raw.send(make_frame(FRAME_COUNT, 0, alpha)));
    EXPECT_TRUE(raw.send(make_frame(FRAME_COUNT, 0, mine)));
    EXPECT_EQ(raw.next().target, mine);
    EXPECT_TRUE(raw.send(make_frame(FRAME_MESSAGE, host_player, mine, "honest")));

    ASSERT_TRUE(eventually([&] { return net_receive(host_player).length > 0; }));
    EXPECT_EQ(text(net_last_sender()), std::to_string(mine));
    EXPECT_EQ(count_now(), 3);
    // Its own player it may remove.
    EXPECT_TRUE(raw.send_bytes(honest));
    EXPECT_TRUE(eventually([] { return count_now() == 2; }));
    EXPECT_EQ(a.ask("name " + std::to_string(alpha)), "Alpha");
}

TEST_F(NetTest, RepliesGoToTheRequestThatAsked) {
    // A fake host: answers registrations and the greeting, holds back the first count
    // and sends it late (with strays of another type and another asker) before the second;
    // the same with the first name, which comes late just before the answer to the next.
    ASSERT_TRUE(platform::net_start());
    uint16_t port = 0;
    int listener = platform::NO_SOCKET;
    for (int attempt = 0; attempt < 10 && listener == platform::NO_SOCKET; ++attempt)
        listener = platform::datagram_listen(port = net_test::free_port(SOCK_DGRAM));
    ASSERT_NE(listener, platform::NO_SOCKET);
    std::atomic<bool> stop = false;
    std::thread fake([&] {
        int connection = platform::NO_SOCKET;
        int32_t next_id = 500;
        int counts = 0;
        int names = 0;
        int32_t first_asked = 0;
        auto send = [&](const Frame& frame) {
            uint8_t out[FRAME_MAX_SIZE];
            platform::datagram_write(connection, out, encode_frame(frame, out));
        };
        auto reply = [&](uint8_t type, int32_t target, int32_t value) {
            send(make_frame(type, target, 0, int_payload(value)));
        };
        // A name reply: the name, a zero byte and the id asked.
        auto name = [&](int32_t target, int32_t id) {
            send(make_frame(FRAME_NAME, target, 0, "name" + std::to_string(id) + '\0' + int_payload(id)));
        };
        uint8_t bytes[platform::DATAGRAM_MAX_SIZE];
        while (!stop) {
            if (connection == platform::NO_SOCKET) connection = platform::datagram_accept(listener);
            const long n = platform::datagram_read(connection, bytes, sizeof bytes);
            if (n <= 0) {
                platform::sleep_for_ms(2);
                continue;
            }
            const Frame f = parse_frame({bytes, static_cast<size_t>(n)}).frame;
            if (f.type == FRAME_REGISTER) reply(FRAME_PLAYER_ID, next_id++, 0);
            if (f.type == FRAME_GREETING) reply(FRAME_GREETING, f.sender, 1);
            if (f.type == FRAME_COUNT && ++counts == 2) {
                reply(FRAME_NTH_PLAYER, f.sender, 9);
                reply(FRAME_COUNT, f.sender + 1, 8);
                reply(FRAME_COUNT, f.sender, 7);  // the late answer to the first
                reply(FRAME_COUNT, f.sender, 3);
            }
            int32_t asked = 0;
            if (f.type == FRAME_NAME && read_int_payload(f, asked) && ++names == 1) first_asked = asked;
            if (f.type == FRAME_NAME && names > 1) {
                if (names == 2) name(f.sender, first_asked);
                name(f.sender, asked);
            }
        }
    });
    EXPECT_EQ(net_join("", port), 1);
    EXPECT_EQ(count_now(), 0);
    EXPECT_EQ(count_now(), 3);
    EXPECT_EQ(text(net_player_name(777)), "NO_DATA");
    EXPECT_EQ(text(net_player_name(888)), "name888");
    EXPECT_EQ(text(net_player_name(777)), "name777");
    stop = true;
    fake.join();
    platform::datagram_close(listener);
    platform::net_stop();
}

TEST_F(NetTest, PortZeroIsTheDefaultPortAndTheHostJoinsItself) {
    if (net_host(0) != 1) {
        // Only acceptable when something else holds the port right now.
        const int probe = platform::datagram_listen(DEFAULT_PORT);
        platform::datagram_close(probe);
        ASSERT_EQ(probe, platform::NO_SOCKET);
        GTEST_SKIP() << "port 26000 is in use";
    }
    EXPECT_TRUE(eventually([] {
        std::lock_guard hold(net_session()->lock);
        return net_session()->connections.size() == 1;
    }));
    RawConnection raw(DEFAULT_PORT);
    EXPECT_NE(raw.socket, platform::NO_SOCKET);
}

TEST_F(NetTest, LocalAddressesStopTheSession) {
    host_session();
    const std::string addresses = text(net_local_addresses());
    EXPECT_TRUE(std::regex_match(addresses, std::regex(R"((\d+\.\d+\.\d+\.\d+:26000(\||$))*)")))
        << addresses;
    EXPECT_EQ(net_session()->server_socket, platform::NO_SOCKET);
    EXPECT_EQ(net_session()->client_socket, platform::NO_SOCKET);
    EXPECT_EQ(net_send(101, 0, "nobody"), 0);
}

TEST_F(NetTest, WithoutAHostRequestsGiveUpAfterFiveSeconds) {
    const double start = platform::now_ms();
    EXPECT_EQ(text(net_add_player("Solo")), "-1");
    EXPECT_GE(platform::now_ms() - start, 4900);
    EXPECT_TRUE(net_session()->local_players.empty());
    EXPECT_EQ(count_now(), 0);
    // Refused at once: a name or a text that does not fit its frame.
    const double quick = platform::now_ms();
    EXPECT_EQ(text(net_add_player(std::string(128, 'n').c_str())), "-1");
    EXPECT_EQ(net_send(1, 0, std::string(1025, 't').c_str()), 0);
    EXPECT_LT(platform::now_ms() - quick, 4000);
}

TEST(NetWithoutSession, CommandsTakeTheirFailurePath) {
    ASSERT_EQ(net_session(), nullptr);
    EXPECT_EQ(net_host(0), 0);
    EXPECT_EQ(net_join("", 0), 0);
    EXPECT_EQ(text(net_add_player("x")), "-1");
    EXPECT_EQ(net_send(1, 0, "x"), 0);
    EXPECT_EQ(text(net_receive(101)), "");
    EXPECT_EQ(text(net_player_name(101)), "NO_DATA");
    EXPECT_EQ(net_remove_player(101), 1);
}

}  // namespace
