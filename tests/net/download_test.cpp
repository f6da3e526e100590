// download_to_file against a small HTTP server on loopback that this test runs in a
// thread: what is requested, what is stored, and what a failure leaves behind.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "net_fixture.h"
#include "runtime/net/download.h"
#include "runtime/platform/net.h"
#include "support/temp_dir.h"

using namespace runtime;
using test_support::read_file;
using test_support::write_file;

namespace {

constexpr char REQUEST[] =
    "GET /dir/file.txt HTTP/1.0\r\nHost:127.0.0.1\r\nAccept: */*\r\n"
    "User-Agent: Tessary game\r\n\r\n";

// Serves one connection: reads the request, sends the chunks, then closes, or with
// `stall` waits until the client gives up.
class HttpServer {
public:
    explicit HttpServer(std::vector<std::string> chunks, bool stall = false) {
        listener_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof sa;
        if (bind(listener_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 &&
            listen(listener_, 1) == 0 &&
            getsockname(listener_, reinterpret_cast<sockaddr*>(&sa), &len) == 0)
            port = ntohs(sa.sin_port);
        thread_ = std::thread([this, chunks, stall] { serve(chunks, stall); });
    }
    ~HttpServer() {
        if (thread_.joinable()) thread_.join();
        close(listener_);
    }
    // The request as it arrived (call once the download has returned).
    std::string request() {
        if (thread_.joinable()) thread_.join();
        return request_;
    }
    uint16_t port = 0;

private:
    bool wait_readable(int fd) {
        pollfd p{fd, POLLIN, 0};
        return poll(&p, 1, static_cast<int>(net_test::PATIENCE_MS)) == 1;
    }
    void serve(const std::vector<std::string>& chunks, bool stall) {
        if (!wait_readable(listener_)) return;
        const int c = accept(listener_, nullptr, nullptr);
        char buffer[4096];
        while (request_.find("\r\n\r\n") == std::string::npos && wait_readable(c)) {
            const ssize_t n = recv(c, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            request_.append(buffer, static_cast<size_t>(n));
        }
        for (const std::string& chunk : chunks) {
            send(c, chunk.data(), chunk.size(), MSG_NOSIGNAL);
            // Let the client read the pieces apart; the result may not depend on it.
            platform::sleep_for_ms(20);
        }
        if (stall)
            while (wait_readable(c) && recv(c, buffer, sizeof buffer, 0) > 0) {
            }
        close(c);
    }
    int listener_ = -1;
    std::thread thread_;
    std::string request_;
};

class Download : public ::testing::Test {
protected:
    void TearDown() override { set_download_timeout(30); }
    double fetch(uint16_t port, double port_offset = 0, const std::string& path = "/dir/file.txt") {
        return download_to_file("127.0.0.1", path.c_str(), port + port_offset, file.c_str());
    }
    test_support::TempDir temp;
    std::string file = temp.file("out.bin");
};

TEST_F(Download, StoresTheBodyAfterTheBlankLine) {
    const struct {
        const char* name;
        std::vector<std::string> chunks;
        std::string body;
        double result = 1;
    } cases[] = {
        {"one chunk", {"HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\nhello body"}, "hello body"},
        {"blank line split", {"HTTP/1.0 200 OK\r\nX: y\r\n", "\r\nsecond read"}, "second read"},
        {"bare line feeds", {"HTTP/1.0 200 OK\nX: y\n\nbare\r\n\r\nkept"}, "bare\r\n\r\nkept"},
        {"no blank line", {"HTTP/1.0 200 OK\r\nX: y\r\n"}, ""},
        {"error status", {"HTTP/1.0 404 Not Found\r\n\r\n<h1>missing</h1>"}, "<h1>missing</h1>"},
        {"binary body in pieces",
         {"HTTP/1.0 200 OK\r\n\r", std::string("\n\0\1", 3), std::string(5000, '\xff')},
         std::string("\0\1", 2) + std::string(5000, '\xff')},
        {"64 KiB header", {"HTTP/1.0 200 OK\r\nX: " + std::string(65536 - 24, 'x') + "\r\n\r\nfits"}, "fits"},
        {"longer header", {"HTTP/1.0 200 OK\r\nX: " + std::string(65536 - 23, 'x') + "\r\n\r\nlost"}, "", 0},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(write_file(file, "older and longer content"));
        HttpServer server(c.chunks);
        EXPECT_EQ(fetch(server.port), c.result) << c.name;
        EXPECT_EQ(server.request(), REQUEST) << c.name;
        EXPECT_EQ(read_file(file), c.body) << c.name;
    }
}

TEST_F(Download, OnlyTheLow16BitsOfThePortCount) {
    for (double offset : {65536.0, -65536.0, 65536.0 * 3}) {
        HttpServer server({"HTTP/1.0 200 OK\r\n\r\nport"});
        EXPECT_EQ(fetch(server.port, offset), 1) << offset;
        EXPECT_EQ(read_file(file), "port");
    }
}

TEST_F(Download, StalledServerEndsAtTheTimeOutKeepingWhatArrived) {
    // Long enough for the server thread to send its first piece on a loaded machine.
    set_download_timeout(3);
    HttpServer server({"HTTP/1.0 200 OK\r\n\r\npartial"}, true);
    EXPECT_EQ(fetch(server.port), 0);
    EXPECT_EQ(read_file(file), "partial");
}

TEST_F(Download, FailuresBeforeTheConnectionLeaveTheFileAlone) {
    // A bound socket that does not listen refuses connections for as long as it exists.
    const int closed = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof sa;
    ASSERT_EQ(bind(closed, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
    ASSERT_EQ(getsockname(closed, reinterpret_cast<sockaddr*>(&sa), &len), 0);
    ASSERT_TRUE(write_file(file, "keep"));
    EXPECT_EQ(fetch(ntohs(sa.sin_port)), 0);
    EXPECT_EQ(download_to_file("", "/", 80, file.c_str()), 0);
    // Host and path that would not fit the request.
    EXPECT_EQ(fetch(ntohs(sa.sin_port), 0, "/" + std::string(4096, 'p')), 0);
    EXPECT_EQ(read_file(file), "keep");
    close(closed);
}

TEST_F(Download, AFileThatCannotBeCreatedDropsTheBody) {
    HttpServer server({"HTTP/1.0 200 OK\r\n\r\nlost"});
    EXPECT_EQ(download_to_file("127.0.0.1", "/dir/file.txt", server.port,
                               temp.file("missing/folder/out.bin").c_str()),
              1);
    EXPECT_EQ(server.request(), REQUEST);
}

class DownloadBesideSession : public net_test::NetTest {};

TEST_F(DownloadBesideSession, LeavesTheSessionRunning) {
    host_session();
    ASSERT_NE(std::string(net_add_player("Host1").text_of()), "-1");
    const int starts = platform::net_start_count();
    test_support::TempDir temp;
    HttpServer server({"HTTP/1.0 200 OK\r\n\r\nside"});
    EXPECT_EQ(download_to_file("127.0.0.1", "/", server.port, temp.file("f").c_str()), 1);
    EXPECT_EQ(platform::net_start_count(), starts);
    EXPECT_EQ(net_player_count(), 1);
}

}  // namespace
