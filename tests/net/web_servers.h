// Web servers on loopback for the download tests (https_server.py): https with a good,
// an expired and a wrongly named certificate, and plain http. The certificate authority
// and the certificates are made with the openssl tool, once per test program.
#pragma once

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "net_fixture.h"
#include "runtime/platform/clock.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

extern char** environ;

namespace net_test {

// An openssl configuration for a local certificate authority (`openssl ca`, so that a
// certificate can have dates in the past) and the server certificates' names.
constexpr char CA_CONFIG[] = R"([req]
distinguished_name = dn
prompt = no
[dn]
CN = unused
[ca_ext]
basicConstraints = critical, CA:true
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[ca]
default_ca = local
[local]
database = index.txt
new_certs_dir = .
serial = serial
default_md = sha256
policy = any
unique_subject = no
email_in_dn = no
copy_extensions = none
[any]
commonName = supplied
[loopback]
subjectAltName = IP:127.0.0.1, DNS:localhost
[wrong_name]
subjectAltName = DNS:wrong.example
)";

class WebServers {
public:
    WebServers() {
        // libcurl would send loopback requests to a proxy named in the environment.
        setenv("no_proxy", "*", 1);
        std::error_code failed;
        if (!make_certificates() || !std::filesystem::create_directory(file("serve"), failed)) return;
        start_server();
    }
    ~WebServers() {
        if (to_ >= 0) close(to_);  // the server ends when its input closes
        if (from_ >= 0) close(from_);
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    WebServers(const WebServers&) = delete;
    WebServers& operator=(const WebServers&) = delete;

    bool ready() const { return plain > 0; }
    std::string file(const std::string& name) const { return folder_.file(name); }
    // The folder the servers serve under /files/.
    std::string served(const std::string& name) const { return folder_.file("serve/" + name); }
    std::string error;  // why the servers are not ready
    int good = 0, expired = 0, wrong_name = 0, plain = 0;

private:
    bool run(const std::string& command) {
        const test_support::CommandRun r =
            test_support::run_command("cd '" + folder_.path().string() + "' && " + command);
        if (r.code != 0) error = command + ": " + r.out;
        return r.code == 0;
    }
    bool make_certificates() {
        const std::string key = " -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes";
        const std::string sign =
            "openssl ca -batch -notext -config ca.cnf -cert ca.pem -keyfile ca.key -in server.csr"
            " -extfile ca.cnf";
        return test_support::write_file(file("ca.cnf"), CA_CONFIG) &&
               test_support::write_file(file("index.txt"), "") &&
               test_support::write_file(file("serial"), "01\n") &&
               run("openssl req -x509 -config ca.cnf -extensions ca_ext" + key +
                   " -keyout ca.key -out ca.pem -days 2 -subj '/CN=Loopback test CA'") &&
               run("openssl req -x509 -config ca.cnf -extensions ca_ext" + key +
                   " -keyout other_ca.key -out other_ca.pem -days 2 -subj '/CN=Other CA'") &&
               run("openssl req -new -config ca.cnf" + key +
                   " -keyout server.key -out server.csr -subj /CN=127.0.0.1") &&
               run(sign + " -extensions loopback -days 2 -out good.pem") &&
               run(sign + " -extensions loopback -startdate 20200101000000Z" +
                   " -enddate 20200102000000Z -out expired.pem") &&
               run(sign + " -extensions wrong_name -days 2 -out wrong_name.pem");
    }
    void start_server() {
        const char* data = std::getenv("RUNTIME_TEST_DATA");
        const std::string script = std::string(data ? data : "tests") + "/net/https_server.py";
        pid_ = spawn_piped({"python3", script, folder_.path().string(), file("serve")}, to_, from_);
        const std::string ports = read_line();
        good = port_of(ports, "good");
        expired = port_of(ports, "expired");
        wrong_name = port_of(ports, "wrong_name");
        plain = port_of(ports, "plain");
        if (!ready()) error = "the server said: " + ports;
    }
    // The server's first line, waiting for it as long as a loaded machine may need.
    std::string read_line() {
        std::string line;
        const double deadline = runtime::platform::now_ms() + PATIENCE_MS;
        while (line.find('\n') == std::string::npos) {
            pollfd p{from_, POLLIN, 0};
            const double left = deadline - runtime::platform::now_ms();
            char chunk[256];
            if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) break;
            const ssize_t n = read(from_, chunk, sizeof chunk);
            if (n <= 0) break;
            line.append(chunk, static_cast<size_t>(n));
        }
        return line;
    }
    static int port_of(const std::string& json, const std::string& name) {
        const size_t at = json.find("\"" + name + "\": ");
        return at == std::string::npos ? 0 : std::atoi(json.c_str() + at + name.size() + 4);
    }
    test_support::TempDir folder_;
    pid_t pid_ = -1;
    int to_ = -1, from_ = -1;
};

}  // namespace net_test
