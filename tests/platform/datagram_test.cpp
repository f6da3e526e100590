// Message connections on loopback, both ends in this process: a reader thread drains one
// end while the other floods it far past what the transport keeps in flight.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "runtime/platform/clock.h"
#include "runtime/platform/net.h"
#include "support/free_port.h"

namespace runtime::platform {
namespace {

TEST(DatagramFlood, EveryDatagramArrivesOnceAndInOrderWhateverIsQueued) {
    // Far more than one window in flight and the transport's own queue: most of these wait
    // in the connection's backlog until acknowledgements make room.
    constexpr uint32_t COUNT = 6000;
    ASSERT_TRUE(net_start());
    const uint16_t port = test_support::free_port(SOCK_DGRAM);
    const int listener = datagram_listen(port);
    ASSERT_NE(listener, NO_SOCKET);
    const int client = datagram_connect(loopback_address(port), 10000);
    ASSERT_NE(client, NO_SOCKET);
    int accepted = NO_SOCKET;
    const double deadline = now_ms() + 30000;
    while ((accepted = datagram_accept(listener)) == NO_SOCKET && now_ms() < deadline) sleep_for_ms(1);
    ASSERT_NE(accepted, NO_SOCKET);

    std::vector<uint32_t> got;
    std::atomic<bool> done = false;
    std::thread reader([&] {
        WakeUp wake;
        uint8_t bytes[DATAGRAM_MAX_SIZE];
        while (got.size() < COUNT && now_ms() < deadline) {
            const long n = datagram_read(accepted, bytes, sizeof bytes);
            if (n < 0) break;
            if (n == 0) {
                const int sockets[] = {accepted};
                datagram_wait(sockets, wake, 10);
                continue;
            }
            uint32_t number = 0;
            std::memcpy(&number, bytes, sizeof number);
            got.push_back(number);
        }
        done = true;
    });
    uint8_t datagram[40] = {};
    bool written = true;
    for (uint32_t i = 0; i < COUNT && written; ++i) {
        std::memcpy(datagram, &i, sizeof i);
        written = datagram_write(client, datagram, sizeof datagram, i % 3 == 0);
    }
    // The writing end takes in acknowledgements only when it is serviced, as a worker does.
    WakeUp wake;
    uint8_t ignored[DATAGRAM_MAX_SIZE];
    while (!done) {
        datagram_flush(client);
        EXPECT_EQ(datagram_read(client, ignored, sizeof ignored), 0);
        const int sockets[] = {client};
        datagram_wait(sockets, wake, 10);
    }
    reader.join();
    EXPECT_TRUE(written);
    ASSERT_EQ(got.size(), COUNT);
    for (uint32_t i = 0; i < COUNT; ++i) ASSERT_EQ(got[i], i) << "datagram " << i;
    datagram_close(client);
    datagram_close(accepted);
    datagram_close(listener);
    net_stop();
}

}  // namespace
}  // namespace runtime::platform
