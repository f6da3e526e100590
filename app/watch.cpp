// One inotify descriptor on the folders of the watched maps: a saved map is written and
// closed in place (IN_CLOSE_WRITE) or written elsewhere and renamed over the old one
// (IN_MOVED_TO), which a watch on the file itself would lose. Events for a map restart
// its quiet spell, so a burst of writes gives one conversion.
#include "app/watch.h"

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <vector>

#include "app/conversion.h"

namespace app {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr auto QUIET_SPELL = std::chrono::milliseconds(150);
constexpr uint32_t FOLDER_EVENTS = IN_CLOSE_WRITE | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF;

struct WatchedFolder {
    std::string path;
    bool every_map = false;       // a folder named on the command line
    std::set<std::string> names;  // the maps named on the command line in it
};

class Watcher {
public:
    Watcher(const CommandOptions& options, std::ostream& out, std::ostream& err)
        : options_(options), out_(out), err_(err) {}
    ~Watcher() {
        if (fd_ >= 0) ::close(fd_);
    }
    Watcher(const Watcher&) = delete;
    Watcher& operator=(const Watcher&) = delete;

    int run() {
        fd_ = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
        if (fd_ < 0) return setup_failure("cannot watch files: " + std::string(std::strerror(errno)));
        for (const std::string& arg : options_.files) {
            if (!add(arg)) return 2;
        }
        for (const std::string& map : maps_now()) convert(map);
        out_ << "Watching " << folders_.size() << (folders_.size() == 1 ? " folder" : " folders")
             << " for saved maps (Ctrl-C ends)\n";
        out_.flush();
        return loop();
    }

private:
    int setup_failure(const std::string& text) {
        err_ << CONVERTER_NAME << ": " << text << "\n";
        return 2;
    }

    bool add(const std::string& arg) {
        std::error_code error;
        const bool folder = fs::is_directory(arg, error);
        std::string path = folder ? arg : fs::path(arg).parent_path().string();
        if (path.empty()) path = ".";
        const int wd = ::inotify_add_watch(fd_, path.c_str(), FOLDER_EVENTS | IN_ONLYDIR);
        if (wd < 0) {
            setup_failure("cannot watch " + arg + ": " + std::strerror(errno));
            return false;
        }
        WatchedFolder& watched = folders_[wd];
        watched.path = path;
        if (folder)
            watched.every_map = true;
        else
            watched.names.insert(fs::path(arg).filename().string());
        return true;
    }

    bool watched(const WatchedFolder& folder, const std::string& name) const {
        return folder.names.count(name) != 0 || (folder.every_map && has_map_extension(name));
    }

    std::string path_in(const WatchedFolder& folder, const std::string& name) const {
        return folder.path == "." && folder.names.count(name) != 0 ? name
                                                                   : (fs::path(folder.path) / name).string();
    }

    // The watched maps that exist now, in name order.
    std::vector<std::string> maps_now() const {
        std::set<std::string> maps;
        for (const auto& [wd, folder] : folders_) {
            std::error_code error;
            for (const std::string& name : folder.names) {
                if (fs::is_regular_file(fs::path(folder.path) / name, error))
                    maps.insert(path_in(folder, name));
            }
            if (!folder.every_map) continue;
            for (fs::directory_iterator it(folder.path, error), end; !error && it != end;
                 it.increment(error)) {
                const std::string name = it->path().filename().string();
                if (has_map_extension(name) && it->is_regular_file(error)) maps.insert(path_in(folder, name));
            }
        }
        return {maps.begin(), maps.end()};
    }

    void convert(const std::string& map) {
        PlannedMap planned = plan_run({map}, options_.output_folder).front();
        ConversionResult result = convert_map_to(
            map, planned.outputs, options_.force ? Replace::anything : Replace::converter_outputs_only);
        report_conversion(map, result, options_.quiet, out_, err_);
        out_.flush();
        err_.flush();
    }

    // Reads the waiting events; false when a watched folder went away.
    bool take_events() {
        alignas(inotify_event) char buffer[16 * 1024];
        for (;;) {
            const ssize_t got = ::read(fd_, buffer, sizeof buffer);
            if (got <= 0) return true;  // EAGAIN: all read
            for (ssize_t at = 0; at < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
                if (event->mask & IN_Q_OVERFLOW) {
                    // Events were lost: every map may have been saved.
                    for (const std::string& map : maps_now()) due_[map] = Clock::now() + QUIET_SPELL;
                    continue;
                }
                const auto folder = folders_.find(event->wd);
                if (folder == folders_.end()) continue;
                if (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) {
                    err_ << CONVERTER_NAME << ": the watched folder " << folder->second.path
                         << " went away\n";
                    return false;
                }
                if (event->len == 0 || (event->mask & IN_ISDIR)) continue;
                const std::string name(event->name);
                if (watched(folder->second, name))
                    due_[path_in(folder->second, name)] = Clock::now() + QUIET_SPELL;
            }
        }
    }

    int loop() {
        for (;;) {
            int timeout = -1;
            if (!due_.empty()) {
                Clock::time_point first = Clock::time_point::max();
                for (const auto& [map, when] : due_) first = std::min(first, when);
                const auto wait =
                    std::chrono::duration_cast<std::chrono::milliseconds>(first - Clock::now()).count();
                timeout = static_cast<int>(std::clamp<long long>(wait, 0, 60000));
            }
            pollfd watch{fd_, POLLIN, 0};
            const int ready = ::poll(&watch, 1, timeout);
            if (ready < 0 && errno != EINTR)
                return setup_failure(std::string("cannot watch files: ") + std::strerror(errno));
            if (ready > 0 && !take_events()) return 1;
            const Clock::time_point now = Clock::now();
            std::vector<std::string> ready_maps;
            for (auto it = due_.begin(); it != due_.end();) {
                if (it->second > now) {
                    ++it;
                    continue;
                }
                ready_maps.push_back(it->first);
                it = due_.erase(it);
            }
            std::error_code error;
            for (const std::string& map : ready_maps) {
                if (fs::exists(map, error)) convert(map);  // saved, then removed again: nothing to convert
            }
        }
    }

    const CommandOptions& options_;
    std::ostream& out_;
    std::ostream& err_;
    int fd_ = -1;
    std::map<int, WatchedFolder> folders_;
    std::map<std::string, Clock::time_point> due_;
};

}  // namespace

bool has_map_extension(const std::string& name) {
    const std::string extension = fs::path(name).extension().string();
    return extension == ".tmx" || extension == ".tmj" || extension == ".json";
}

int run_watch(const CommandOptions& options, std::ostream& out, std::ostream& err) {
    if (!output_folder_usable(options, err)) return 2;
    Watcher watcher(options, out, err);
    return watcher.run();
}

}  // namespace app
