// download_url_to_file against web servers on loopback with real TLS: a certificate
// authority made for the test, https servers with a good, an expired and a wrongly
// named certificate, and a plain http server.
#include "runtime/net/download_url.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "runtime/net/download.h"
#include "support/temp_dir.h"
#include "web_servers.h"

using namespace runtime;
using test_support::read_file;
using test_support::write_file;

namespace {

constexpr char OLD_CONTENT[] = "the file as it was";

class DownloadUrl : public ::testing::Test {
protected:
    static void SetUpTestSuite() { servers = new net_test::WebServers; }
    static void TearDownTestSuite() {
        delete servers;
        servers = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(servers->ready()) << servers->error;
        set_download_ca_file(servers->file("ca.pem").c_str());
        ASSERT_TRUE(write_file(file, OLD_CONTENT));
    }
    void TearDown() override {
        set_download_ca_file("");
        set_download_timeout(30);
        set_download_limit(0);
    }
    static std::string https(int port, const std::string& path) {
        return "https://127.0.0.1:" + std::to_string(port) + path;
    }
    static std::string http(const std::string& path) {
        return "http://127.0.0.1:" + std::to_string(servers->plain) + path;
    }
    double fetch(const std::string& url) { return download_url_to_file(url.c_str(), file.c_str()); }
    // After a failure: the old file, and nothing beside it.
    void expect_untouched(const std::string& what) {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(temp.path()))
            names.push_back(entry.path().filename().string());
        EXPECT_EQ(names, std::vector<std::string>{"out.bin"}) << what;
        EXPECT_EQ(read_file(file), OLD_CONTENT) << what;
    }
    static net_test::WebServers* servers;
    test_support::TempDir temp;
    std::string file = temp.file("out.bin");
};

net_test::WebServers* DownloadUrl::servers = nullptr;

TEST_F(DownloadUrl, WholeRepliesArriveByteIdentical) {
    std::string bytes(300 * 1024, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 7919) >> 5);
    ASSERT_TRUE(write_file(servers->served("data.bin"), bytes));
    const std::string via_redirect = http("/redirect/4?to=" + https(servers->good, "/files/data.bin"));
    const struct {
        const char* name;
        std::string url, body;
    } cases[] = {
        {"https with its length", https(servers->good, "/files/data.bin"), bytes},
        {"https chunked", https(servers->good, "/chunked/2500"), std::string(2500, 'c')},
        {"plain http", http("/files/data.bin"), bytes},
        {"five redirects, http to https", via_redirect, bytes},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(write_file(file, OLD_CONTENT));
        EXPECT_EQ(fetch(c.url), 1) << c.name;
        EXPECT_EQ(download_status(), 200) << c.name;
        EXPECT_TRUE(read_file(file) == c.body) << c.name;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(temp.path()), {}), 1) << c.name;
    }
}

TEST_F(DownloadUrl, FailuresLeaveTheFileAsItWas) {
    ASSERT_TRUE(write_file(servers->served("small.txt"), "small"));
    const std::string small = "/files/small.txt";
    const struct {
        const char* name;
        std::string url;
        std::string ca_file;  // "" the system's
        int status;
    } cases[] = {
        {"another authority", https(servers->good, small), servers->file("other_ca.pem"), 0},
        {"the system's authorities", https(servers->good, small), "", 0},
        {"expired certificate", https(servers->expired, small), servers->file("ca.pem"), 0},
        {"wrong host name", https(servers->wrong_name, small), servers->file("ca.pem"), 0},
        {"not found", https(servers->good, "/files/none.txt"), servers->file("ca.pem"), 404},
        {"body shorter than declared", https(servers->good, "/short"), servers->file("ca.pem"), 200},
        {"chunks cut off", http("/chunked-cut"), servers->file("ca.pem"), 200},
        {"https to http refused", https(servers->good, "/redirect/0?to=" + http(small)),
         servers->file("ca.pem"), 302},
        {"six redirects", http("/redirect/5?to=" + http(small)), servers->file("ca.pem"), 302},
        {"redirect to another protocol", http("/redirect/0?to=ftp://127.0.0.1/x"), servers->file("ca.pem"),
         302},
        {"not a web address", "file://" + servers->served("small.txt"), servers->file("ca.pem"), 0},
        {"no scheme", "127.0.0.1:" + std::to_string(servers->plain) + small, servers->file("ca.pem"), 0},
        {"line break in the address", https(servers->good, small) + "\r\nX: y", servers->file("ca.pem"), 0},
    };
    for (const auto& c : cases) {
        set_download_ca_file(c.ca_file.c_str());
        EXPECT_EQ(fetch(c.url), 0) << c.name;
        EXPECT_EQ(download_status(), c.status) << c.name;
        expect_untouched(c.name);
    }
    // The same server and file with the right authority: only the case made them fail.
    set_download_ca_file(servers->file("ca.pem").c_str());
    EXPECT_EQ(fetch(https(servers->good, small)), 1);
    EXPECT_EQ(read_file(file), "small");
}

TEST_F(DownloadUrl, TheTimeOutBoundsTheWholeCall) {
    // The server trickles a byte every 50 ms and would end the reply whole after 60 s:
    // without a bound on the whole call the download would succeed.
    set_download_timeout(1);
    EXPECT_EQ(fetch(https(servers->good, "/trickle")), 0);
    EXPECT_EQ(download_status(), 200);
    expect_untouched("trickle");
}

TEST_F(DownloadUrl, TheLimitFailsALargerReply) {
    ASSERT_TRUE(write_file(servers->served("ten.txt"), "0123456789"));
    set_download_limit(10);
    const struct {
        std::string path;
        double result;
    } cases[] = {
        {"/files/ten.txt", 1},
        {"/chunked/10", 1},
        {"/chunked/11", 0},
        {"/files/data.bin", 0},  // declared larger: refused before the body
    };
    ASSERT_TRUE(write_file(servers->served("data.bin"), std::string(11, 'd')));
    for (const auto& c : cases) {
        ASSERT_TRUE(write_file(file, OLD_CONTENT));
        EXPECT_EQ(fetch(https(servers->good, c.path)), c.result) << c.path;
        if (c.result == 0) expect_untouched(c.path);
    }
}

}  // namespace
