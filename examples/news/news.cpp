// A game's news screen: fetches a text file from a web server (http or https) and shows
// its first lines; the last news fetched stays on disk for when the server is away.
//   news URL [FILE]        (FILE: where the news is kept, news.txt beside the program)
// --ca FILE trusts that certificate authority (PEM) instead of the system's, --timeout S
// bounds the download (5 s by default). Escape ends it.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "examples/run_options.h"
#include "runtime/runtime.h"

namespace {

using namespace runtime;

constexpr int MAX_LINES = 22, LINE_STEP = 18, MAX_LINE = 76;
constexpr double DEFAULT_TIMEOUT_S = 5;

// The first lines of the kept news; none when there is no file.
std::vector<std::string> read_news(const std::string& file) {
    std::vector<std::string> lines;
    if (open_file_channel(0, file.c_str(), 1) == 0) return lines;
    DynString line;
    while (lines.size() < MAX_LINES && end_of_file(0) == 0) {
        read_line(0, line);
        lines.push_back(std::string(line.text_of()).substr(0, MAX_LINE));
    }
    close_file_channel(0);
    return lines;
}

void draw(const std::string& title, const std::vector<std::string>& lines, bool fresh) {
    fill_rect(0, 0, 640, 480, 0x202830);
    // A green bar for news fetched now, an amber one for news kept from before.
    fill_rect(0, 0, 640, 28, fresh ? 0x306030 : 0x2080c0);
    print_text(title.c_str(), 10, 8);
    int y = 40;
    for (const std::string& line : lines) {
        print_text(line.c_str(), 10, y);
        y += LINE_STEP;
    }
    if (lines.empty()) print_text("No news yet.", 10, y);
}

[[noreturn]] void usage() {
    std::fprintf(stderr, "usage: news URL [FILE] [--ca FILE] [--timeout SECONDS]\n");
    error_stop(2);
}

void news_main() {
    example::RunOptions options = example::read_run_options();
    std::vector<std::string> words;
    std::string ca_file;
    double timeout = DEFAULT_TIMEOUT_S;
    for (size_t i = 0; i < options.words.size(); ++i) {
        const bool has_value = i + 1 < options.words.size();
        if (options.words[i] == "--ca" && has_value)
            ca_file = options.words[++i];
        else if (options.words[i] == "--timeout" && has_value)
            timeout = text_to_number(options.words[++i].c_str());
        else
            words.push_back(options.words[i]);
    }
    if (words.empty() || words.size() > 2) usage();
    const std::string url = words[0], file = words.size() == 2 ? words[1] : "news.txt";

    draw("Fetching " + url.substr(0, 60) + " ...", read_news(file), false);
    show_screen();
    // The download blocks this thread for at most the time-out; the old news stays
    // whole until new news has arrived whole.
    set_download_ca_file(ca_file.c_str());
    set_download_timeout(timeout);
    const bool fresh = download_url_to_file(url.c_str(), file.c_str()) == 1;
    const int status = static_cast<int>(download_status());
    const std::vector<std::string> lines = read_news(file);
    const std::string title = fresh ? "News (status " + std::to_string(status) + ")"
                                    : "Kept news (download failed, status " + std::to_string(status) + ")";
    std::printf("%s: %zu lines\n", fresh ? "fetched" : "kept", lines.size());
    std::fflush(stdout);

    for (long frame = 0;; ++frame) {
        draw(title, lines, fresh);
        if (example::last_frame(options, frame)) break;
        show_screen();
    }
}

}  // namespace

int main(int argc, char** argv) {
    return runtime::program_entry(argc, argv, runtime::initialise_runtime, news_main);
}
