// Helpers of the network tests: a session per test, free ports, polling with generous
// bounds, and other programs of a session driven over pipes (net_test_peer).
#pragma once

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "runtime/net/session.h"
#include "runtime/net/session_state.h"
#include "runtime/platform/clock.h"
#include "support/free_port.h"

extern char** environ;

namespace net_test {

constexpr double PATIENCE_MS = 60000;  // a loaded machine can be very slow

// Polls until `done` holds or the patience runs out.
inline bool eventually(const std::function<bool()>& done, double patience_ms = PATIENCE_MS) {
    const double deadline = runtime::platform::now_ms() + patience_ms;
    while (!done()) {
        if (runtime::platform::now_ms() > deadline) return false;
        runtime::platform::sleep_for_ms(20);
    }
    return true;
}

using test_support::free_port;

// Each test has its own session, closed with everything in it afterwards.
class NetTest : public ::testing::Test {
protected:
    void SetUp() override { runtime::create_net_session(); }
    void TearDown() override { runtime::close_net_session(); }
    // Hosts on a free port (trying again when another process took it first).
    uint16_t host_session() {
        for (int attempt = 0; attempt < 10; ++attempt) {
            const uint16_t port = free_port(SOCK_DGRAM);
            if (runtime::net_host(port) == 1) return port;
        }
        ADD_FAILURE() << "no port to host on";
        return 0;
    }
};

// Starts a program (found on PATH when the name has no "/") with its standard input and
// output on pipes: `to` writes to it, `from` reads from it. The pid, or -1.
inline pid_t spawn_piped(const std::vector<std::string>& words, int& to, int& from) {
    int in[2];
    int out[2];
    if (pipe(in) != 0) return -1;
    if (pipe(out) != 0) {
        close(in[0]);
        close(in[1]);
        return -1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, in[1]);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<char*> argv;
    for (const std::string& w : words) argv.push_back(const_cast<char*>(w.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    to = in[1];
    from = out[0];
    return pid;
}

// Another program of the session; each ask() sends one command line and returns the
// answer line ("" when the program does not answer within the patience).
class Peer {
public:
    Peer() {
        signal(SIGPIPE, SIG_IGN);  // a peer that is gone must not end the test
        const char* bin = std::getenv("RUNTIME_BIN_DIR");
        const std::string program = std::string(bin ? bin : ".") + "/net_test_peer";
        pid_ = spawn_piped({program}, to_, from_);
    }
    ~Peer() {
        close(to_);
        close(from_);
        kill_now();
    }
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    std::string ask(const std::string& line) {
        const std::string text = line + "\n";
        if (write(to_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) return "";
        const double deadline = runtime::platform::now_ms() + PATIENCE_MS;
        for (;;) {
            const size_t end = buffer_.find('\n');
            if (end != std::string::npos) {
                std::string answer = buffer_.substr(0, end);
                buffer_.erase(0, end + 1);
                return answer;
            }
            pollfd p{from_, POLLIN, 0};
            const double left = deadline - runtime::platform::now_ms();
            if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) return "";
            char chunk[256];
            const ssize_t n = read(from_, chunk, sizeof chunk);
            if (n <= 0) return "";
            buffer_.append(chunk, static_cast<size_t>(n));
        }
    }
    // Polls "recv ID" until a message comes; "" when none does.
    std::string receive(const std::string& id) {
        std::string got;
        eventually([&] { return (got = ask("recv " + id)) != "none"; });
        return got == "none" ? "" : got;
    }
    // Stops the program as a debugger would, and lets it go on.
    void stop() { kill(pid_, SIGSTOP); }
    void resume() { kill(pid_, SIGCONT); }
    // Ends the program as a crash would: no leave messages, no disconnect.
    void kill_now() {
        if (pid_ <= 0) return;
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    int to_ = -1;
    int from_ = -1;
    std::string buffer_;
};

}  // namespace net_test
