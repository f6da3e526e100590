// A chat over a network session: one program hosts, the others join; every line typed
// (Return sends it) goes to everybody else, through the host.
//   chat host PORT NAME
//   chat join ADDRESS PORT NAME        (PORT 0: the default port 26000)
// Without a keyboard: --say TEXT (repeatable) sends lines once somebody else is there,
// --quit-after N ends the program after N lines from the others. Escape ends it.
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "examples/run_options.h"
#include "runtime/runtime.h"

namespace {

using namespace runtime;

constexpr int HISTORY_LINES = 22, LINE_STEP = 18, MAX_LINE = 70;
constexpr int RETURN_CHAR = 10, BACKSPACE_CHAR = 8;
constexpr long PLAYER_REFRESH_FRAMES = 30, SAY_EVERY_FRAMES = 20, LINGER_FRAMES = 30;

struct Chat {
    std::string my_name, my_id;
    std::vector<std::string> history;
    std::map<std::string, std::string> names;  // player id -> name
    std::vector<std::string> players;
    std::string typing;
};

void add_line(Chat& chat, const std::string& line) {
    chat.history.push_back(line);
    if (chat.history.size() > HISTORY_LINES) chat.history.erase(chat.history.begin());
}

std::string name_of(Chat& chat, const std::string& id) {
    auto found = chat.names.find(id);
    if (found != chat.names.end()) return found->second;
    const std::string name = net_player_name(text_to_number(id.c_str())).text_of();
    return chat.names[id] = (name == "NO_DATA" ? "player " + id : name);
}

void refresh_players(Chat& chat) {
    chat.players.clear();
    const int count = static_cast<int>(net_player_count());
    for (int i = 0; i < count; ++i) chat.players.push_back(name_of(chat, net_player_id(i).text_of()));
}

void send_line(Chat& chat, const std::string& text) {
    // Target 0: every visible player but the sender.
    if (net_send(text_to_number(chat.my_id.c_str()), 0, text.c_str()) == 0) {
        add_line(chat, "(not sent: " + text + ")");
        return;
    }
    add_line(chat, chat.my_name + ": " + text);
}

// Lines that arrived for us since the last frame; the number taken.
int receive_lines(Chat& chat) {
    int taken = 0;
    for (;;) {
        const std::string text = net_receive(text_to_number(chat.my_id.c_str())).text_of();
        if (text.empty()) return taken;
        const std::string line = name_of(chat, net_last_sender().text_of()) + ": " + text;
        add_line(chat, line);
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
        ++taken;
    }
}

void read_keyboard(Chat& chat) {
    const std::string typed = typed_char().text_of();
    if (typed.empty()) return;
    const int c = static_cast<unsigned char>(typed[0]);
    if (c == RETURN_CHAR) {
        if (!chat.typing.empty()) send_line(chat, chat.typing);
        chat.typing.clear();
    } else if (c == BACKSPACE_CHAR) {
        if (!chat.typing.empty()) chat.typing.pop_back();
    } else if (c >= 32 && chat.typing.size() < MAX_LINE) {
        chat.typing += typed;
    }
}

void draw(const Chat& chat, const std::string& title) {
    fill_rect(0, 0, 640, 480, rgb(16, 32, 48));
    print_text(title.c_str(), 10, 8);
    draw_line(0, 28, 639, 28, rgb(64, 96, 128));
    int y = 36;
    for (const std::string& line : chat.history) {
        print_text(line.substr(0, MAX_LINE).c_str(), 10, y);
        y += LINE_STEP;
    }
    print_text("Here:", 520, 36);
    y = 54;
    for (const std::string& player : chat.players) {
        print_text(player.substr(0, 14).c_str(), 520, y);
        y += LINE_STEP;
    }
    draw_line(0, 448, 639, 448, rgb(64, 96, 128));
    print_text(("> " + chat.typing + "_").c_str(), 10, 456);
}

[[noreturn]] void usage() {
    std::fprintf(stderr, "usage: chat host PORT NAME | chat join ADDRESS PORT NAME  [--say TEXT]... [--quit-after N]\n");
    error_stop(2);
}

void chat_main() {
    example::RunOptions options = example::read_run_options();
    std::vector<std::string> say, words;
    long quit_after = -1;
    for (size_t i = 0; i < options.words.size(); ++i) {
        const bool has_value = i + 1 < options.words.size();
        if (options.words[i] == "--say" && has_value)
            say.push_back(options.words[++i]);
        else if (options.words[i] == "--quit-after" && has_value)
            quit_after = std::strtol(options.words[++i].c_str(), nullptr, 10);
        else
            words.push_back(options.words[i]);
    }
    const bool host = !words.empty() && words[0] == "host";
    if (!(host && words.size() == 3) && !(!words.empty() && words[0] == "join" && words.size() == 4)) usage();
    const std::string port = host ? words[1] : words[2], address = host ? "" : words[1];

    Chat chat;
    chat.my_name = words.back();
    const double started = host ? net_host(text_to_number(port.c_str())) : net_join(address.c_str(), text_to_number(port.c_str()));
    if (started == 0) {
        std::fprintf(stderr, host ? "cannot host on port %s\n" : "nobody hosts at %s\n", host ? port.c_str() : (address + ":" + port).c_str());
        error_stop(1);
    }
    chat.my_id = net_add_player(chat.my_name.c_str()).text_of();
    if (chat.my_id == "-1") {
        std::fprintf(stderr, "the host gave no player id\n");
        error_stop(1);
    }
    const std::string title = chat.my_name + (host ? " hosts on port " + port : " joined " + address + ":" + port);
    std::printf("%s\n", title.c_str());
    std::fflush(stdout);

    long received = 0, linger = -1;
    size_t said = 0;
    for (long frame = 0;; ++frame) {
        if (frame % PLAYER_REFRESH_FRAMES == 0) refresh_players(chat);
        received += receive_lines(chat);
        read_keyboard(chat);
        if (said < say.size() && chat.players.size() >= 2 && frame % SAY_EVERY_FRAMES == 0) send_line(chat, say[said++]);
        // Stay a little longer, so that our own last line reaches the others.
        if (linger < 0 && quit_after >= 0 && received >= quit_after && said == say.size()) linger = LINGER_FRAMES;

        draw(chat, title);
        if (linger == 0) {
            example::save_screenshot(options);
            break;
        }
        if (linger > 0) --linger;
        if (example::last_frame(options, frame)) break;
        show_screen();
    }
}

}  // namespace

int main(int argc, char** argv) {
    return runtime::program_entry(argc, argv, runtime::initialise_runtime, chat_main);
}
