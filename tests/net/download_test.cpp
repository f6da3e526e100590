// download_to_file against a small HTTP server on loopback that this test runs in a
// thread: what is requested, what is stored, and what a failure leaves behind.
#include "runtime/net/download.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "net_fixture.h"
#include "runtime/platform/files.h"
#include "runtime/platform/net.h"
#include "support/temp_dir.h"

using namespace runtime;
using test_support::read_file;
using test_support::write_file;

namespace {

constexpr char REQUEST[] =
    "GET /dir/file.txt HTTP/1.0\r\nHost:127.0.0.1\r\nAccept: */*\r\n"
    "User-Agent: Tessary game\r\n\r\n";
constexpr char OLD_CONTENT[] = "older and longer content";

// A listening socket on a free loopback port.
int listen_on_loopback(uint16_t& port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof sa;
    if (bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 && listen(fd, 4) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len) == 0)
        port = ntohs(sa.sin_port);
    return fd;
}

bool wait_readable(int fd, int patience_ms = static_cast<int>(net_test::PATIENCE_MS)) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, patience_ms) == 1;
}

// What the server does once its chunks are sent: close the connection, wait silently
// until the client gives up, or go on sending a byte every 50 ms until it does.
enum class End { CLOSE, STALL, TRICKLE };

// Serves one connection: reads the request, sends the chunks, then ends as `end` says.
// The thread starts at once, or with `start_now` false at start() (a test forks first).
class HttpServer {
public:
    explicit HttpServer(std::vector<std::string> chunks, End end = End::CLOSE, bool start_now = true)
        : chunks_(std::move(chunks)), end_(end) {
        listener_ = listen_on_loopback(port);
        if (start_now) start();
    }
    ~HttpServer() {
        if (thread_.joinable()) thread_.join();
        close(listener_);
    }
    void start() {
        thread_ = std::thread([this] { serve(); });
    }
    // The request as it arrived (call once the download has returned).
    std::string request() {
        if (thread_.joinable()) thread_.join();
        return request_;
    }
    // Whether the client closed the connection while the server still held it open.
    bool client_hung_up() {
        if (thread_.joinable()) thread_.join();
        return client_hung_up_;
    }
    uint16_t port = 0;

private:
    void serve() {
        if (!wait_readable(listener_)) return;
        const int c = accept(listener_, nullptr, nullptr);
        char buffer[4096];
        while (request_.find("\r\n\r\n") == std::string::npos && wait_readable(c)) {
            const ssize_t n = recv(c, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            request_.append(buffer, static_cast<size_t>(n));
        }
        for (const std::string& chunk : chunks_) {
            send(c, chunk.data(), chunk.size(), MSG_NOSIGNAL);
            // Let the client read the pieces apart; the result may not depend on it.
            platform::sleep_for_ms(20);
        }
        const double give_up = platform::now_ms() + net_test::PATIENCE_MS;
        if (end_ == End::STALL) {
            client_hung_up_ = wait_readable(c) && recv(c, buffer, sizeof buffer, 0) <= 0;
        } else if (end_ == End::TRICKLE) {
            // The client's close makes the socket readable (or a send fail).
            while (!client_hung_up_ && platform::now_ms() < give_up) {
                if (wait_readable(c, 50))
                    client_hung_up_ = recv(c, buffer, sizeof buffer, 0) <= 0;
                else
                    client_hung_up_ = send(c, "x", 1, MSG_NOSIGNAL) != 1;
            }
        }
        close(c);
    }
    std::vector<std::string> chunks_;
    End end_;
    int listener_ = -1;
    std::thread thread_;
    std::string request_;
    bool client_hung_up_ = false;
};

// A DynString of exactly these bytes, zeros included.
DynString bytes_of(const std::string& bytes) {
    DynString text(std::string(bytes.size(), 'x').c_str());
    for (size_t i = 0; i < bytes.size(); ++i)
        text.set_char_at(static_cast<int32_t>(i), static_cast<unsigned char>(bytes[i]));
    return text;
}

class Download : public ::testing::Test {
protected:
    void TearDown() override {
        set_download_timeout(30);
        set_download_limit(0);
    }
    double fetch(uint16_t port, double port_offset = 0, const std::string& path = "/dir/file.txt") {
        return download_to_file("127.0.0.1", path.c_str(), port + port_offset, file.c_str());
    }
    // The names in the download's folder: a failure leaves no temporary file behind.
    std::vector<std::string> folder() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(temp.path()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    // After a failure: the file as it was before (absent when `had_file` is false).
    void expect_untouched(bool had_file, const std::string& what) {
        EXPECT_EQ(folder(), had_file ? std::vector<std::string>{"out.bin"} : std::vector<std::string>{})
            << what;
        if (had_file) {
            EXPECT_EQ(read_file(file), OLD_CONTENT) << what;
        }
    }
    test_support::TempDir temp;
    std::string file = temp.file("out.bin");
};

TEST_F(Download, StoresTheBodyAfterTheBlankLineOrNothing) {
    const std::string ok = "HTTP/1.0 200 OK\r\n";
    const struct {
        const char* name;
        std::vector<std::string> chunks;
        std::string body;  // what the file holds after a success
        double result = 1;
    } cases[] = {
        {"one chunk", {ok + "Content-Type: text/plain\r\n\r\nhello body"}, "hello body"},
        {"blank line split", {ok + "X: y\r\n", "\r\nsecond read"}, "second read"},
        {"bare line feeds", {"HTTP/1.0 200 OK\nX: y\n\nbare\r\n\r\nkept"}, "bare\r\n\r\nkept"},
        {"no blank line", {ok + "X: y\r\n"}, ""},
        {"error status", {"HTTP/1.0 404 Not Found\r\n\r\n<h1>missing</h1>"}, "<h1>missing</h1>"},
        {"binary body in pieces",
         {ok + "\r", std::string("\n\0\1", 3), std::string(5000, '\xff')},
         std::string("\0\1", 2) + std::string(5000, '\xff')},
        {"64 KiB header", {ok + "X: " + std::string(65536 - 24, 'x') + "\r\n\r\nfits"}, "fits"},
        {"longer header", {ok + "X: " + std::string(65536 - 23, 'x') + "\r\n\r\nlost"}, "", 0},
        // A declared length is the body's length.
        {"declared length", {ok + "Content-Length: 5\r\n\r\nhel", "lo"}, "hello"},
        {"length in any case, with blanks", {ok + "content-LENGTH:\t 5 \nX: y\n\nhello"}, "hello"},
        {"empty declared body", {ok + "Content-Length: 0\r\n\r\n"}, ""},
        {"bytes past the declared length", {ok + "Content-Length: 3\r\n\r\nabc", "def"}, "abc"},
        {"truncated body", {ok + "Content-Length: 100000\r\n\r\n" + std::string(5000, 'b')}, "", 0},
        {"truncated error page", {"HTTP/1.0 404 Not Found\r\nContent-Length: 50\r\n\r\nshort"}, "", 0},
        {"no body at all", {ok + "Content-Length: 1\r\n\r\n"}, "", 0},
        {"unreadable length", {ok + "Content-Length: 5x\r\n\r\nhello"}, "", 0},
        {"negative length", {ok + "Content-Length: -5\r\n\r\nhello"}, "", 0},
        {"length beyond 64 bits", {ok + "Content-Length: 99999999999999999999\r\n\r\nhello"}, "", 0},
        {"two different lengths", {ok + "Content-Length: 5\r\nContent-Length: 6\r\n\r\nhello!"}, "", 0},
    };
    for (const auto& c : cases) {
        for (const bool had_file : {true, false}) {
            if (had_file) {
                ASSERT_TRUE(write_file(file, OLD_CONTENT));
            }
            HttpServer server(c.chunks);
            EXPECT_EQ(fetch(server.port), c.result) << c.name;
            EXPECT_EQ(server.request(), REQUEST) << c.name;
            if (c.result == 1) {
                EXPECT_EQ(folder(), std::vector<std::string>{"out.bin"}) << c.name;
                EXPECT_EQ(read_file(file), c.body) << c.name;
            } else {
                expect_untouched(had_file, c.name);
            }
            std::filesystem::remove(file);
        }
    }
}

TEST_F(Download, OnlyTheLow16BitsOfThePortCount) {
    for (double offset : {65536.0, -65536.0, 65536.0 * 3}) {
        HttpServer server({"HTTP/1.0 200 OK\r\n\r\nport"});
        EXPECT_EQ(fetch(server.port, offset), 1) << offset;
        EXPECT_EQ(read_file(file), "port");
    }
}

TEST_F(Download, TheTimeOutBoundsTheWholeCall) {
    // A trickling server never lets one read wait long; only a bound on the whole call
    // ends it. The server sees the client hang up long before its own patience ends.
    set_download_timeout(1);
    for (const End end : {End::STALL, End::TRICKLE}) {
        ASSERT_TRUE(write_file(file, OLD_CONTENT));
        HttpServer server({"HTTP/1.0 200 OK\r\n\r\npartial"}, end);
        EXPECT_EQ(fetch(server.port), 0);
        EXPECT_TRUE(server.client_hung_up());
        expect_untouched(true, end == End::STALL ? "stall" : "trickle");
    }
}

TEST_F(Download, TheLimitFailsALargerBody) {
    set_download_limit(5);
    const struct {
        std::string reply;
        double result;
    } cases[] = {
        {"HTTP/1.0 200 OK\r\n\r\nhello", 1},
        {"HTTP/1.0 200 OK\r\n\r\nhello!", 0},
        {"HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nhello", 1},
        {"HTTP/1.0 200 OK\r\nContent-Length: 6\r\n\r\nhello", 0},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(write_file(file, OLD_CONTENT));
        HttpServer server({c.reply});
        EXPECT_EQ(fetch(server.port), c.result) << c.reply;
        if (c.result == 1) {
            EXPECT_EQ(read_file(file), "hello");
        } else {
            expect_untouched(true, c.reply);
        }
    }
    set_download_limit(0);
    HttpServer server({"HTTP/1.0 200 OK\r\n\r\nhello!"});
    EXPECT_EQ(fetch(server.port), 1);
}

TEST_F(Download, LineBreaksAndZerosInHostOrPathAreRefusedUnsent) {
    set_download_timeout(1);  // a request that went out waits for a reply that never comes
    const struct {
        const char* name;
        std::string host, path;
    } cases[] = {
        {"CR LF in the path", "127.0.0.1", "/a HTTP/1.0\r\nX-Injected: 1\r\n\r\n"},
        {"LF in the path", "127.0.0.1", "/a\nb"},
        {"CR in the path", "127.0.0.1", "/a\rb"},
        {"zero in the path", "127.0.0.1", std::string("/a\0b", 4)},
        {"CR LF in the host", "127.0.0.1\r\nX-Injected: 1", "/"},
        {"zero in the host", std::string("127.0.0.1\0evil", 14), "/"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(write_file(file, OLD_CONTENT));
        uint16_t port = 0;
        const int listener = listen_on_loopback(port);  // accepts nothing
        EXPECT_EQ(download_to_file(bytes_of(c.host), bytes_of(c.path), port, file.c_str()), 0) << c.name;
        // A connection that was made waits in the listener's queue.
        EXPECT_FALSE(wait_readable(listener, 0)) << c.name;
        close(listener);
        expect_untouched(true, c.name);
    }
}

TEST_F(Download, AFullDiskLeavesTheOldFileAndNoPartOfTheNew) {
    // A file size limit makes writes fail past 64 KiB as a full disk does (EFBIG where a
    // full disk gives ENOSPC), and only in a child process; the server runs here.
    ASSERT_TRUE(write_file(file, OLD_CONTENT));
    HttpServer server({"HTTP/1.0 200 OK\r\n\r\n" + std::string(256 * 1024, 'd')}, End::CLOSE, false);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{64 * 1024, 64 * 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(fetch(server.port) == 0 ? 0 : 1);
    }
    server.start();
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the download did not fail";
    expect_untouched(true, "full disk");
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

TEST_F(Download, AFileThatCannotBeReplacedDropsTheBody) {
    ASSERT_TRUE(write_file(file, OLD_CONTENT));
    char name[platform::NAME_BUFFER_SIZE];
    ASSERT_TRUE(platform::to_system_name(file.c_str(), name));
    for (const bool held : {false, true}) {
        // A file this program holds open is not replaced under it.
        platform::FileHandle holder;
        if (held) {
            holder = platform::open_for_reading(name);
        }
        const std::string target = held ? file : temp.file("missing/folder/out.bin");
        HttpServer server({"HTTP/1.0 200 OK\r\n\r\nlost"});
        EXPECT_EQ(download_to_file("127.0.0.1", "/dir/file.txt", server.port, target.c_str()), 1);
        EXPECT_EQ(server.request(), REQUEST);
        holder.close();
        expect_untouched(true, held ? "held" : "missing folder");
    }
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
