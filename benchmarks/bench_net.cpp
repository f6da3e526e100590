// Session figures on loopback, each beside the bare message connection measured in the
// same run:
// - latency: a sender, the host and a receiver as three programs; 300 messages 2 ms apart,
//   median and 99th percentile time from net_send to net_receive (one clock for all);
// - throughput: one hosting process routes for 4 programs x 4 players, every player sends
//   1,000 messages as fast as it can (a quarter broadcasts, the rest direct); each receiver
//   checks it gets every message meant for it exactly once and in each sender's order;
// - idle cost: the CPU time the host and a joined program take over a few idle seconds.
// Baseline: a ping-pong over a bare connection (one way is half the round trip), a flood
// over it, and both ends of it idle, serviced as the session's worker services its own.
// The flood runs --rounds times (default 3); each round prints its figures, then the median.
//   bench_net [--programs N] [--players N] [--messages N] [--rounds N] [--idle-ms X]
#include <signal.h>
#include <sys/resource.h>
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

#include "bench_clock.h"
#include "runtime/net/session.h"
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

// One flood: false when a message went missing, twice or out of order; `per_s` gets the
// messages sent per second.
bool soak(const Config& c, const char* label, double& per_s) {
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
    per_s = static_cast<double>(all.sent) * 1000.0 / wall;
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
    std::printf("  host CPU %.0f ms (%.1f %% of one core, %.1f us a delivery)\n", cpu, 100.0 * cpu / wall,
                all.received > 0 ? cpu * 1000.0 / static_cast<double>(all.received) : 0.0);
    return ok;
}

// Another program: `body` runs in it with the pipes from and to this one.
template <typename Body>
Child spawn(Body body) {
    int down[2];
    int up[2];
    if (pipe(down) != 0 || pipe(up) != 0) std::exit(1);
    const pid_t pid = fork();
    if (pid == 0) {
        close(down[1]);
        close(up[0]);
        body(down[0], up[1]);
        _exit(0);
    }
    close(down[0]);
    close(up[1]);
    return {pid, down[1], up[0]};
}

void finish(Child& child) {
    close(child.to);
    close(child.from);
    waitpid(child.pid, nullptr, 0);
}

double cpu_ms_of_process() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

// In a program of the run: on the parent's word, the CPU time this program takes over
// `idle_ms` of doing nothing but what runs behind it, sent back.
void report_idle(int from_parent, int to_parent) {
    double idle_ms = 0;
    if (!get(from_parent, &idle_ms, sizeof idle_ms)) return;
    const double cpu0 = cpu_ms_of_process();
    const double wall0 = bench::clock_ms(CLOCK_MONOTONIC);
    while (bench::clock_ms(CLOCK_MONOTONIC) - wall0 < idle_ms)
        runtime::platform::sleep_for_ms(idle_ms - (bench::clock_ms(CLOCK_MONOTONIC) - wall0));
    const double share = (cpu_ms_of_process() - cpu0) / (bench::clock_ms(CLOCK_MONOTONIC) - wall0);
    put(to_parent, &share, sizeof share);
}

double idle_share(std::vector<Child*> children, double idle_ms) {
    for (Child* c : children) put(c->to, &idle_ms, sizeof idle_ms);
    double most = 0;
    for (Child* c : children) {
        double share = 0;
        if (get(c->from, &share, sizeof share)) most = std::max(most, share);
    }
    return 100.0 * most;
}

constexpr int LATENCY_MESSAGES = 300;
constexpr double LATENCY_INTERVAL_MS = 2;
constexpr int BARE_FLOOD = 10000;

struct Baseline {
    double one_way_p50 = 0;
    double one_way_p99 = 0;
    double flood_per_s = 0;
    double idle_percent = 0;
};

// The bare connection's far end: echoes 'P' datagrams, counts 'F' ones and answers 'D'
// after the last; serviced as the worker is, by waiting on its socket.
void bare_far_end(int from_parent, int to_parent) {
    namespace p = runtime::platform;
    p::net_start();
    uint16_t port = 0;
    int listener = p::NO_SOCKET;
    for (port = 28000; port < 29000 && listener == p::NO_SOCKET; ++port) listener = p::datagram_listen(port);
    --port;
    put(to_parent, &port, sizeof port);
    p::WakeUp wake;
    int connection = p::NO_SOCKET;
    int flooded = 0;
    uint8_t bytes[64];
    const double deadline = bench::clock_ms(CLOCK_MONOTONIC) + 120000;
    while (bench::clock_ms(CLOCK_MONOTONIC) < deadline) {
        if (connection == p::NO_SOCKET) connection = p::datagram_accept(listener);
        long n = 0;
        while ((n = p::datagram_read(connection, bytes, sizeof bytes)) > 0) {
            if (bytes[0] == 'P') p::datagram_write(connection, bytes, static_cast<size_t>(n));
            if (bytes[0] == 'F' && ++flooded == BARE_FLOOD) {
                const uint8_t done = 'D';
                p::datagram_write(connection, &done, 1);
            }
            if (bytes[0] == 'I') {
                report_idle(from_parent, to_parent);
                p::datagram_write(connection, bytes, 1);
            }
        }
        if (n < 0 && connection != p::NO_SOCKET) break;
        const int sockets[] = {listener, connection};
        p::datagram_wait(sockets, wake, 10);
    }
    p::net_stop();
}

// The next datagram on a bare connection, waiting on its socket.
long bare_next(int socket, runtime::platform::WakeUp& wake, uint8_t (&bytes)[64]) {
    long n = 0;
    const double deadline = bench::clock_ms(CLOCK_MONOTONIC) + 60000;
    while ((n = runtime::platform::datagram_read(socket, bytes, sizeof bytes)) == 0 &&
           bench::clock_ms(CLOCK_MONOTONIC) < deadline) {
        const int sockets[] = {socket};
        runtime::platform::datagram_wait(sockets, wake, 10);
    }
    return n;
}

Baseline bare_connection(double idle_ms) {
    namespace p = runtime::platform;
    Baseline b;
    Child far = spawn(bare_far_end);
    uint16_t port = 0;
    get(far.from, &port, sizeof port);
    // This end runs in a program of its own too, so neither end shares a process with the
    // parent's bookkeeping.
    Child near = spawn([&](int from_parent, int to_parent) {
        p::net_start();
        p::WakeUp wake;
        const int s = p::datagram_connect(p::loopback_address(port), 10000);
        std::vector<float> one_way;
        uint8_t bytes[64] = {'P'};
        for (int i = 0; i < 1000 && s != p::NO_SOCKET; ++i) {
            bytes[0] = 'P';
            const double t0 = bench::clock_ms(CLOCK_MONOTONIC);
            p::datagram_write(s, bytes, 17);
            if (bare_next(s, wake, bytes) <= 0) break;
            one_way.push_back(static_cast<float>((bench::clock_ms(CLOCK_MONOTONIC) - t0) / 2));
        }
        const double t0 = bench::clock_ms(CLOCK_MONOTONIC);
        for (int i = 0; i < BARE_FLOOD && s != p::NO_SOCKET; ++i) {
            bytes[0] = 'F';
            p::datagram_write(s, bytes, 40);
            if (i % 64 == 0) p::datagram_read(s, bytes, sizeof bytes);  // takes in acknowledgements
        }
        const bool flooded = bare_next(s, wake, bytes) > 0 && bytes[0] == 'D';
        const double per_s = flooded ? BARE_FLOOD * 1000.0 / (bench::clock_ms(CLOCK_MONOTONIC) - t0) : 0;
        put_vector(to_parent, one_way);
        put(to_parent, &per_s, sizeof per_s);
        bytes[0] = 'I';
        p::datagram_write(s, bytes, 1);  // the far end measures its idle time now
        report_idle(from_parent, to_parent);
        bare_next(s, wake, bytes);
        p::datagram_close(s);
        p::net_stop();
    });
    std::vector<float> one_way;
    get_vector(near.from, one_way);
    get(near.from, &b.flood_per_s, sizeof b.flood_per_s);
    b.one_way_p50 = bench::percentile(one_way, 0.5);
    b.one_way_p99 = bench::percentile(one_way, 0.99);
    b.idle_percent = idle_share({&near, &far}, idle_ms);
    finish(near);
    finish(far);
    return b;
}

struct SessionFigures {
    double p50 = 0;
    double p99 = 0;
    size_t delivered = 0;
    double idle_percent = 0;
};

// Sender, host and receiver as three programs; then all three idle.
SessionFigures session_latency(double idle_ms) {
    SessionFigures f;
    Child host = spawn([](int from_parent, int to_parent) {
        runtime::create_net_session();
        const uint16_t port = host_on_free_port();
        put(to_parent, &port, sizeof port);
        report_idle(from_parent, to_parent);
        char end = 0;
        get(from_parent, &end, 1);
        runtime::close_net_session();
    });
    uint16_t port = 0;
    get(host.from, &port, sizeof port);
    Child receiver = spawn([port](int from_parent, int to_parent) {
        runtime::create_net_session();
        int32_t id = -1;
        if (runtime::net_join("", port) == 1)
            id = static_cast<int32_t>(runtime::text_to_number(runtime::net_add_player("rx")));
        put(to_parent, &id, sizeof id);
        std::vector<float> latencies;
        const double deadline = bench::clock_ms(CLOCK_MONOTONIC) + 60000;
        while (id >= 0 && latencies.size() < LATENCY_MESSAGES &&
               bench::clock_ms(CLOCK_MONOTONIC) < deadline) {
            const runtime::DynString got = runtime::net_receive(id);
            if (got.length == 0) {
                runtime::platform::sleep_for_ms(0.05);  // a game would look once a frame
                continue;
            }
            latencies.push_back(
                static_cast<float>(bench::clock_ms(CLOCK_MONOTONIC) - std::atof(got.text_of())));
        }
        put_vector(to_parent, latencies);
        report_idle(from_parent, to_parent);
        char end = 0;
        get(from_parent, &end, 1);
        runtime::close_net_session();
    });
    int32_t rx = -1;
    get(receiver.from, &rx, sizeof rx);
    Child sender = spawn([port, rx](int from_parent, int to_parent) {
        runtime::create_net_session();
        int32_t me = -1;
        if (runtime::net_join("", port) == 1)
            me = static_cast<int32_t>(runtime::text_to_number(runtime::net_add_player("tx")));
        double tick = bench::clock_ms(CLOCK_MONOTONIC);
        for (int m = 0; m < LATENCY_MESSAGES && me >= 0 && rx >= 0; ++m) {
            char text[32];
            std::snprintf(text, sizeof text, "%.6f", bench::clock_ms(CLOCK_MONOTONIC));
            runtime::net_send(me, rx, text);
            tick += LATENCY_INTERVAL_MS;
            while (bench::clock_ms(CLOCK_MONOTONIC) < tick)
                runtime::platform::sleep_for_ms(tick - bench::clock_ms(CLOCK_MONOTONIC));
        }
        put(to_parent, &me, sizeof me);
        report_idle(from_parent, to_parent);
        char end = 0;
        get(from_parent, &end, 1);
        runtime::close_net_session();
    });
    int32_t me = -1;
    get(sender.from, &me, sizeof me);
    std::vector<float> latencies;
    get_vector(receiver.from, latencies);
    f.delivered = latencies.size();
    f.p50 = bench::percentile(latencies, 0.5);
    f.p99 = bench::percentile(latencies, 0.99);
    f.idle_percent = idle_share({&host, &receiver, &sender}, idle_ms);
    for (Child* c : {&sender, &receiver, &host}) {
        const char end = 'E';
        put(c->to, &end, 1);
        finish(*c);
    }
    return f;
}

}  // namespace

int main(int argc, char** argv) {
    Config c;
    double idle_ms = 3000;
    int rounds = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const double value = std::atof(argv[i + 1]);
        if (option == "--programs") c.programs = std::max(1, static_cast<int>(value));
        if (option == "--players") c.players = std::max(1, static_cast<int>(value));
        if (option == "--messages") c.messages = std::max(1, static_cast<int>(value));
        if (option == "--idle-ms") idle_ms = std::max(100.0, value);
        if (option == "--rounds") rounds = std::max(1, static_cast<int>(value));
    }
    if (c.programs * c.players < 2) c.players = 2;
    c.interval_ms = 0;
    signal(SIGPIPE, SIG_IGN);
    const Baseline bare = bare_connection(idle_ms);
    const SessionFigures session = session_latency(idle_ms);
    std::printf(
        "latency, net_send -> net_receive through the host (%d messages %.0f ms apart, %zu "
        "arrived)\n",
        LATENCY_MESSAGES, LATENCY_INTERVAL_MS, session.delivered);
    std::printf(
        "  session: median %.3f ms, p99 %.3f ms   bare connection one way: median %.3f ms, p99 "
        "%.3f ms\n",
        session.p50, session.p99, bare.one_way_p50, bare.one_way_p99);
    std::printf("idle, busiest program over %.0f ms\n", idle_ms);
    std::printf("  session: %.2f %% of a core   bare connection: %.2f %% of a core\n", session.idle_percent,
                bare.idle_percent);
    std::printf("throughput, bare connection: %.0f messages/s (%d, one way)\n", bare.flood_per_s, BARE_FLOOD);
    bool ok = session.delivered == LATENCY_MESSAGES;
    std::vector<float> rates;
    for (int round = 1; round <= rounds; ++round) {
        const std::string label = "throughput, session flooded, round " + std::to_string(round);
        double per_s = 0;
        ok = soak(c, label.c_str(), per_s) && ok;
        rates.push_back(static_cast<float>(per_s));
    }
    std::printf(
        "throughput, session flooded: median of %d rounds %.0f messages sent/s (bare connection %.0f)\n",
        rounds, bench::percentile(rates, 0.5), bare.flood_per_s);
    return ok ? 0 : 1;
}
