// A program of a session that tests drive line by line over standard input; every
// command answers one line on standard output:
//   host PORT | join PORT | add [NAME] | send FROM TO TEXT | recv ID | count | pid N |
//   name ID | remove ID | end
// "recv" answers "SENDER TEXT" or "none"; "end" shuts the runtime down (leave
// messages) and exits. End of input exits at once, as a killed program would.
#include <unistd.h>

#include <iostream>
#include <sstream>
#include <string>

#include "runtime/core/lifecycle.h"
#include "runtime/net/session.h"
#include "runtime/net/session_state.h"

using runtime::DynString;

namespace {

std::string text_of(double x) { return DynString(x).text_of(); }

std::string answer(const std::string& line) {
    std::istringstream in(line);
    std::string command;
    double a = 0;
    double b = 0;
    std::string text;
    in >> command;
    if (command == "add") {
        std::getline(in >> std::ws, text);
        return runtime::net_add_player(text.c_str()).text_of();
    }
    in >> a;
    if (command == "host") return text_of(runtime::net_host(a));
    if (command == "join") return text_of(runtime::net_join("", a));
    if (command == "send") {
        in >> b;
        std::getline(in >> std::ws, text);
        return text_of(runtime::net_send(a, b, text.c_str()));
    }
    if (command == "recv") {
        const DynString got = runtime::net_receive(a);
        if (got.length == 0) return "none";
        return std::string(runtime::net_last_sender().text_of()) + " " + got.text_of();
    }
    if (command == "count") return text_of(runtime::net_player_count());
    if (command == "pid") return runtime::net_player_id(a).text_of();
    if (command == "name") return runtime::net_player_name(a).text_of();
    if (command == "remove") return text_of(runtime::net_remove_player(a));
    if (command == "end") {
        runtime::shut_down_runtime();
        return "bye";
    }
    return "unknown";
}

}  // namespace

int main() {
    runtime::create_net_session();
    std::string line;
    while (std::getline(std::cin, line)) {
        const std::string reply = answer(line);
        std::cout << reply << std::endl;
        if (reply == "bye") return 0;
    }
    _exit(3);
}
