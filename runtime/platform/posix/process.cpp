// Child processes through posix_spawn: no shell, no inherited descriptors beyond the
// standard three, children that nobody waits for are reaped on the next start.
#include "runtime/platform/process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>

extern char** environ;

namespace runtime::platform {

namespace {
// Children started without waiting; reaped when they have ended.
struct DetachedChildren {
    std::vector<pid_t> pids;
};
DetachedChildren& detached_children() {
    static DetachedChildren children;
    return children;
}

std::vector<char*> argv_pointers(const std::vector<std::string>& argv) {
    std::vector<char*> pointers;
    pointers.reserve(argv.size() + 1);
    for (const std::string& word : argv) pointers.push_back(const_cast<char*>(word.c_str()));
    pointers.push_back(nullptr);
    return pointers;
}

int decode_status(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

// The child a wait is blocked on; read by signal handlers, so a lock-free atomic.
std::atomic<pid_t>& waited_child() {
    static std::atomic<pid_t> pid{0};
    return pid;
}

bool wait_child(pid_t pid, int* exit_code) {
    int status = 0;
    for (;;) {
        if (waitpid(pid, &status, 0) == pid) break;
        if (errno != EINTR) {
            waited_child().store(0);
            return false;
        }
    }
    waited_child().store(0);
    if (exit_code != nullptr) *exit_code = decode_status(status);
    return true;
}

// posix_spawnp reports a missing program either directly or, with some C libraries,
// as exit code 127 of the child; a pre-check keeps "not started" reliable.
bool is_executable_file(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           access(path.c_str(), X_OK) == 0;
}
}  // namespace

bool program_available(const std::string& name) {
    if (name.empty()) return false;
    if (name.find('/') != std::string::npos) return is_executable_file(name);
    const char* path_env = std::getenv("PATH");
    const std::string path = path_env != nullptr ? path_env : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(':', start);
        if (end == std::string::npos) end = path.size();
        std::string folder = path.substr(start, end - start);
        if (folder.empty()) folder = ".";
        if (is_executable_file(folder + "/" + name)) return true;
        start = end + 1;
    }
    return false;
}

void reap_finished_children() {
    std::vector<pid_t>& pids = detached_children().pids;
    for (size_t i = 0; i < pids.size();) {
        int status = 0;
        const pid_t done = waitpid(pids[i], &status, WNOHANG);
        if (done == pids[i] || (done < 0 && errno == ECHILD)) {
            pids[i] = pids.back();
            pids.pop_back();
        } else {
            ++i;
        }
    }
}

bool spawn_process(const std::vector<std::string>& argv, bool wait, int* exit_code) {
    reap_finished_children();
    if (argv.empty() || !program_available(argv[0])) return false;
    std::vector<char*> pointers = argv_pointers(argv);
    pid_t pid = 0;
    if (posix_spawnp(&pid, pointers[0], nullptr, nullptr, pointers.data(), environ) != 0)
        return false;
    if (!wait) {
        detached_children().pids.push_back(pid);
        return true;
    }
    waited_child().store(pid);
    return wait_child(pid, exit_code);
}

void signal_waited_child(int signal_number) {
    const pid_t pid = waited_child().load();
    if (pid > 0) kill(pid, signal_number);
}

bool run_and_capture(const std::vector<std::string>& argv, std::string& output,
                     int& exit_code, size_t max_output) {
    output.clear();
    exit_code = -1;
    reap_finished_children();
    if (argv.empty() || !program_available(argv[0])) return false;
    int pipe_fds[2];
    if (pipe2(pipe_fds, O_CLOEXEC) != 0) return false;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);

    std::vector<char*> pointers = argv_pointers(argv);
    pid_t pid = 0;
    const int spawned =
        posix_spawnp(&pid, pointers[0], &actions, nullptr, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipe_fds[1]);
    if (spawned != 0) {
        close(pipe_fds[0]);
        return false;
    }
    waited_child().store(pid);
    char chunk[4096];
    for (;;) {
        const ssize_t got = read(pipe_fds[0], chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        const size_t room = max_output > output.size() ? max_output - output.size() : 0;
        output.append(chunk, std::min(room, static_cast<size_t>(got)));
    }
    close(pipe_fds[0]);
    return wait_child(pid, &exit_code);
}

}  // namespace runtime::platform
