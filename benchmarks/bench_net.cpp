// Session soak on loopback: one hosting process routes for 4 programs × 4 players;
// every player sends 1,000 messages (a quarter broadcasts, the rest direct). Checks
// that each receiver gets every message meant for it exactly once and in the order
// each sender sent them; prints messages per second, the median and 99th percentile
// time from net_send to net_receive, and the host's CPU time. Two runs: paced (one
// message per player every --interval-ms) for latency, and flooded for throughput.
// Baseline in the same run: a ping-pong over the bare message connection, which
// shows what the transport costs without the worker's 10 ms period.
//   bench_net [--programs N] [--players N] [--messages N] [--interval-ms X]
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/net/session.h"
#include "bench_clock.h"
#include "runtime/net/session_state.h"
#include "runtime/platform/clock.h"
#include "runtime/platform/net.h"

namespace {

struct Config {
    int programs = 4;
    int players = 4;
    int messages = 1000;
    double interval_ms = 5;
};

struct Stats {
    int64_t sent = 0;
    int64_t received = 0;
    int64_t expected = 0;
    int64_t errors = 0;  // duplicates, messages out of order, wrong senders
};

bool put(int fd, const void* data, size_t n) {
    const char* at = static_cast<const char*>(data);
    while (n > 0) {
        const ssize_t w = write(fd, at, n);
        if (w <= 0) return false;
        at += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

bool get(int fd, void* data, size_t n) {
    char* at = static_cast<char*>(data);
    while (n > 0) {
        const ssize_t r = read(fd, at, n);
        if (r <= 0) return false;
        at += r;
        n -= static_cast<size_t>(r);
    }
    return true;
}

template <typename T>
bool put_vector(int fd, const std::vector<T>& v) {
    const uint32_t n = static_cast<uint32_t>(v.size());
    return put(fd, &n, sizeof n) && put(fd, v.data(), n * sizeof(T));
}

template <typename T>
bool get_vector(int fd, std::vector<T>& v) {
    uint32_t n = 0;
    if (!get(fd, &n, sizeof n) || n > (1u << 24)) return false;
    v.resize(n);
    return get(fd, v.data(), n * sizeof(T));
}

// Whom message m of sender g goes to: 0 for everybody, else an index into the ids.
int target_of(int g, int m, int total) {
    if (m % 4 == 0) return -1;
    return (g + 1 + m % (total - 1)) % total;
}

struct Child {
    pid_t pid = -1;
    int to = -1;
    int from = -1;
};

// One joining program: its players, its sends, its checks.
[[noreturn]] void run_program(int index, const Config& c, int from_parent, int to_parent) {
    uint16_t port = 0;
    if (!get(from_parent, &port, sizeof port)) _exit(2);
    runtime::create_net_session();
    std::vector<int32_t> mine;
    if (runtime::net_join("", port) == 1)
        for (int j = 0; j < c.players; ++j) {
            const std::string name = "p" + std::to_string(index) + "_" + std::to_string(j);
            mine.push_back(static_cast<int32_t>(
                runtime::text_to_number(runtime::net_add_player(name.c_str()))));
        }
    std::vector<int32_t> ids;
    if (!put_vector(to_parent, mine) || !get_vector(from_parent, ids) || ids.size() < 2) _exit(3);
    const int total = static_cast<int>(ids.size());

    // expected[j][s]: the message numbers local player j must get from sender s, in order.
    std::vector<std::vector<std::vector<int>>> expected(
        static_cast<size_t>(c.players), std::vector<std::vector<int>>(static_cast<size_t>(total)));
    std::vector<std::vector<size_t>> next(static_cast<size_t>(c.players),
                                          std::vector<size_t>(static_cast<size_t>(total)));
    Stats stats;
    for (int j = 0; j < c.players; ++j) {
        const int r = index * c.players + j;
        for (int s = 0; s < total; ++s)
            for (int m = 0; m < c.messages; ++m) {
                const int t = target_of(s, m, total);
                if (s != r && (t < 0 || t == r)) {
                    expected[static_cast<size_t>(j)][static_cast<size_t>(s)].push_back(m);
                    ++stats.expected;
                }
            }
    }
    std::vector<float> latencies;
    latencies.reserve(static_cast<size_t>(stats.expected));
    auto drain = [&] {
        for (int j = 0; j < c.players; ++j) {
            for (;;) {
                const runtime::DynString got = runtime::net_receive(mine[static_cast<size_t>(j)]);
                if (got.length == 0) break;
                const double now = bench::clock_ms(CLOCK_MONOTONIC);
                int s = -1;
                int m = -1;
                double sent_at = 0;
                std::sscanf(got.text_of(), "%d %d %lf", &s, &m, &sent_at);
                latencies.push_back(static_cast<float>(now - sent_at));
                const bool known = s >= 0 && s < total &&
                                   runtime::text_to_number(runtime::net_last_sender()) == ids[static_cast<size_t>(s)];
                auto& want = expected[static_cast<size_t>(j)][static_cast<size_t>(known ? s : 0)];
                size_t& at = next[static_cast<size_t>(j)][static_cast<size_t>(known ? s : 0)];
                if (known && at < want.size() && want[at] == m) {
                    ++at;
                    ++stats.received;
                } else {
                    ++stats.errors;
                }
            }
        }
    };
    double tick = bench::clock_ms(CLOCK_MONOTONIC);
    for (int m = 0; m < c.messages; ++m) {
        for (int j = 0; j < c.players; ++j) {
            const int g = index * c.players + j;
            const int t = target_of(g, m, total);
            char text[64];
            std::snprintf(text, sizeof text, "%d %d %.4f", g, m, bench::clock_ms(CLOCK_MONOTONIC));
            stats.sent += static_cast<int64_t>(runtime::net_send(
                mine[static_cast<size_t>(j)], t < 0 ? 0 : ids[static_cast<size_t>(t)], text));
        }
        drain();
        tick += c.interval_ms;
        while (bench::clock_ms(CLOCK_MONOTONIC) < tick) {
            runtime::platform::sleep_for_ms(std::min(1.0, tick - bench::clock_ms(CLOCK_MONOTONIC)));
            drain();
        }
    }
    const double deadline = bench::clock_ms(CLOCK_MONOTONIC) + 120000;
    while (stats.received + stats.errors < stats.expected && bench::clock_ms(CLOCK_MONOTONIC) < deadline) {
        runtime::platform::sleep_for_ms(1);
        drain();
    }
    put(to_parent, &stats, sizeof stats);
    put_vector(to_parent, latencies);
    runtime::close_net_session();
    _exit(0);
}

std::vector<Child> start_programs(const Config& c) {
    std::vector<Child> children;
    for (int i = 0; i < c.programs; ++i) {
        int down[2];
        int up[2];
        if (pipe(down) != 0 || pipe(up) != 0) std::exit(1);
        const pid_t pid = fork();
        if (pid == 0) {
            close(down[1]);
            close(up[0]);
            run_program(i, c, down[0], up[1]);
        }
        close(down[0]);
        close(up[1]);
        children.push_back({pid, down[1], up[0]});
    }
    return children;
}

uint16_t host_on_free_port() {
    for (uint16_t port = 27000; port < 28000; ++port)
        if (runtime::net_host(port) == 1) return port;
    return 0;
}

bool soak(const Config& c, const char* label) {
    std::vector<Child> children = start_programs(c);  // before any thread exists here
    runtime::create_net_session();
    uint16_t port = host_on_free_port();
    std::vector<int32_t> ids;
    for (Child& child : children) {
        std::vector<int32_t> mine;
        put(child.to, &port, sizeof port);
        if (!get_vector(child.from, mine)) mine.clear();
        ids.insert(ids.end(), mine.begin(), mine.end());
    }
    const bool complete = ids.size() == static_cast<size_t>(c.programs * c.players) &&
                          std::count(ids.begin(), ids.end(), -1) == 0;
    const double wall0 = bench::clock_ms(CLOCK_MONOTONIC);
    const double cpu0 = bench::clock_ms(CLOCK_PROCESS_CPUTIME_ID);
    const std::vector<int32_t> none;  // tells a program to give up
    for (Child& child : children) put_vector(child.to, complete ? ids : none);
    Stats all;
    std::vector<float> latencies;
    for (Child& child : children) {
        Stats s;
        std::vector<float> l;
        if (get(child.from, &s, sizeof s) && get_vector(child.from, l)) {
            all.sent += s.sent;
            all.received += s.received;
            all.expected += s.expected;
            all.errors += s.errors;
            latencies.insert(latencies.end(), l.begin(), l.end());
        }
    }
    const double wall = bench::clock_ms(CLOCK_MONOTONIC) - wall0;
    const double cpu = bench::clock_ms(CLOCK_PROCESS_CPUTIME_ID) - cpu0;
    for (Child& child : children) {
        close(child.to);
        close(child.from);
        waitpid(child.pid, nullptr, 0);
    }
    runtime::close_net_session();

    const bool ok = complete && all.received == all.expected && all.errors == 0 &&
                    all.sent == static_cast<int64_t>(c.programs) * c.players * c.messages;
    std::printf("%s (%d programs x %d players x %d messages, %.1f ms between sends)\n", label,
                c.programs, c.players, c.messages, c.interval_ms);
    std::printf("  sent %lld, delivered %lld of %lld, errors %lld: %s\n",
                static_cast<long long>(all.sent), static_cast<long long>(all.received),
                static_cast<long long>(all.expected), static_cast<long long>(all.errors),
                ok ? "every message once, in order" : "FAILED");
    std::printf("  %.0f messages sent/s, %.0f deliveries/s over %.0f ms\n",
                static_cast<double>(all.sent) * 1000.0 / wall,
                static_cast<double>(all.received) * 1000.0 / wall, wall);
    const double p50 = bench::percentile(latencies, 0.5);
    const double p99 = bench::percentile(latencies, 0.99);
    std::printf("  net_send -> net_receive: median %.2f ms, p99 %.2f ms\n", p50, p99);
    std::printf("  host CPU %.0f ms (%.1f %% of one core)\n", cpu, 100.0 * cpu / wall);
    return ok;
}

// Baseline: bare message connection, the other end echoing as fast as it can.
void transport_baseline(int rounds) {
    int up[2];
    if (pipe(up) != 0) return;
    const pid_t pid = fork();
    if (pid == 0) {
        close(up[0]);
        runtime::platform::net_start();
        uint16_t port = 0;
        int listener = runtime::platform::NO_SOCKET;
        for (port = 28000; port < 29000 && listener == runtime::platform::NO_SOCKET; ++port)
            listener = runtime::platform::datagram_listen(port);
        --port;
        put(up[1], &port, sizeof port);
        int connection = runtime::platform::NO_SOCKET;
        uint8_t bytes[64];
        const double deadline = bench::clock_ms(CLOCK_MONOTONIC) + 60000;
        while (bench::clock_ms(CLOCK_MONOTONIC) < deadline) {
            if (connection == runtime::platform::NO_SOCKET)
                connection = runtime::platform::datagram_accept(listener);
            const long n = runtime::platform::datagram_read(connection, bytes, sizeof bytes);
            if (n < 0 && connection != runtime::platform::NO_SOCKET) break;
            if (n > 0) runtime::platform::datagram_write(connection, bytes, static_cast<size_t>(n));
        }
        _exit(0);
    }
    close(up[1]);
    uint16_t port = 0;
    get(up[0], &port, sizeof port);
    runtime::platform::net_start();
    const int s = runtime::platform::datagram_connect(runtime::platform::loopback_address(port), 10000);
    std::vector<float> one_way;
    uint8_t bytes[64] = {1};
    for (int i = 0; i < rounds && s != runtime::platform::NO_SOCKET; ++i) {
        const double t0 = bench::clock_ms(CLOCK_MONOTONIC);
        runtime::platform::datagram_write(s, bytes, 17);
        while (runtime::platform::datagram_read(s, bytes, sizeof bytes) == 0) {
        }
        one_way.push_back(static_cast<float>((bench::clock_ms(CLOCK_MONOTONIC) - t0) / 2));
    }
    runtime::platform::datagram_close(s);
    runtime::platform::net_stop();
    waitpid(pid, nullptr, 0);
    close(up[0]);
    std::printf("baseline: bare message connection, %d round trips\n", rounds);
    std::printf("  one way: median %.3f ms, p99 %.3f ms\n", bench::percentile(one_way, 0.5),
                bench::percentile(one_way, 0.99));
}

}  // namespace

int main(int argc, char** argv) {
    Config c;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const double value = std::atof(argv[i + 1]);
        if (option == "--programs") c.programs = std::max(1, static_cast<int>(value));
        if (option == "--players") c.players = std::max(1, static_cast<int>(value));
        if (option == "--messages") c.messages = std::max(1, static_cast<int>(value));
        if (option == "--interval-ms") c.interval_ms = std::max(0.0, value);
    }
    if (c.programs * c.players < 2) c.players = 2;
    signal(SIGPIPE, SIG_IGN);
    transport_baseline(1000);
    std::printf("floor: a message waits for the host's worker and the receiver's worker, each\n"
                "  polling every 10 ms: about 10 ms on average, 20 ms at most\n");
    bool ok = soak(c, "paced");
    Config flood = c;
    flood.interval_ms = 0;
    ok = soak(flood, "flooded") && ok;
    return ok ? 0 : 1;
}
