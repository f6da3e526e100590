// download_url_to_file on libcurl. Redirects are followed here rather than by libcurl,
// which cannot refuse only the step from https down to plain http.
#include "runtime/net/download_url.h"

#include <curl/curl.h>
#include <strings.h>

#include <algorithm>
#include <string>

#include "runtime/net/download_settings.h"
#include "runtime/platform/files.h"

namespace runtime {

namespace {

using download_detail::Deadline;
using download_detail::download_settings;

constexpr int MAX_REDIRECTS = 5;
constexpr char USER_AGENT[] = "Tessary game";

bool curl_ready() {
    static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return ready;
}

bool is_https(const std::string& url) { return strncasecmp(url.c_str(), "https://", 8) == 0; }
// libcurl would take an address without a scheme for http.
bool names_its_scheme(const std::string& url) {
    return is_https(url) || strncasecmp(url.c_str(), "http://", 7) == 0;
}

struct Easy {
    CURL* handle = curl_easy_init();
    ~Easy() {
        if (handle) curl_easy_cleanup(handle);
    }
};

// What the write callback needs: only a 2xx reply's body is the file's (a redirect's
// or an error page's body is dropped).
struct Transfer {
    CURL* curl = nullptr;
    platform::FileReplacement* out = nullptr;
    uint64_t limit = 0;
    uint64_t received = 0;
};

size_t store_body(char* data, size_t size, size_t count, void* user) {
    auto& transfer = *static_cast<Transfer*>(user);
    const size_t n = size * count;
    long status = 0;
    curl_easy_getinfo(transfer.curl, CURLINFO_RESPONSE_CODE, &status);
    if (status < 200 || status > 299) return n;
    transfer.received += n;
    if (transfer.limit > 0 && transfer.received > transfer.limit) return CURL_WRITEFUNC_ERROR;
    return transfer.out->write(data, n) ? n : CURL_WRITEFUNC_ERROR;
}

// One request of the chain; false when it could not be made or did not end well.
bool fetch_once(CURL* curl, const std::string& url, const Deadline& deadline) {
    const int left = deadline.left_ms();
    if (left == 0) return false;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    // 0 tells libcurl "no limit", which an unlimited deadline is.
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(left < 0 ? 0 : left));
    return curl_easy_perform(curl) == CURLE_OK;
}

bool configure(CURL* curl, Transfer& transfer) {
    const download_detail::DownloadSettings& settings = download_settings();
    bool ok = curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
              curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK &&
              curl_easy_setopt(curl, CURLOPT_USERAGENT, USER_AGENT) == CURLE_OK &&
              curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, store_body) == CURLE_OK &&
              curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer) == CURLE_OK;
    if (settings.limit > 0)
        ok = ok && curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE,
                                    static_cast<curl_off_t>(settings.limit)) == CURLE_OK;
    if (!settings.ca_file.empty()) {
        // Only this file: the system's folder of authorities is left out as well.
        ok = ok && curl_easy_setopt(curl, CURLOPT_CAINFO, settings.ca_file.c_str()) == CURLE_OK &&
             curl_easy_setopt(curl, CURLOPT_CAPATH, nullptr) == CURLE_OK;
    }
    return ok;
}

}  // namespace

double download_url_to_file(const DynString& url, const DynString& file) {
    download_detail::DownloadSettings& settings = download_settings();
    settings.last_status = 0;
    const Deadline deadline(settings.timeout_ms);
    if (!names_its_scheme(url.text_of()) || download_detail::has_line_breaks_or_zeros(url) || !curl_ready())
        return 0;
    char name[platform::NAME_BUFFER_SIZE];
    if (!platform::to_system_name(file.text_of(), name)) return 0;
    platform::FileReplacement out(name);
    Easy easy;
    if (!out.is_open() || !easy.handle) return 0;
    Transfer transfer{easy.handle, &out, settings.limit, 0};
    if (!configure(easy.handle, transfer)) return 0;

    std::string at = url.text_of();
    for (int redirects = 0;; ++redirects) {
        const bool done = fetch_once(easy.handle, at, deadline);
        long status = 0;
        curl_easy_getinfo(easy.handle, CURLINFO_RESPONSE_CODE, &status);
        // A step that got no reply (a redirect to where nobody answers) keeps the last status.
        if (status != 0) settings.last_status = static_cast<int>(status);
        if (!done) return 0;
        if (status >= 200 && status <= 299) return out.commit() ? 1 : 0;
        char* next = nullptr;
        if (status < 300 || status > 399 || redirects == MAX_REDIRECTS ||
            curl_easy_getinfo(easy.handle, CURLINFO_REDIRECT_URL, &next) != CURLE_OK || !next)
            return 0;
        if (is_https(at) && !is_https(next)) return 0;
        at = next;
    }
}

double download_status() { return download_settings().last_status; }

void set_download_ca_file(const DynString& file) {
    std::string name = file.text_of();
    std::replace(name.begin(), name.end(), '\\', '/');
    download_settings().ca_file = name;
}

}  // namespace runtime
