// fork and exec rather than a shell, so arguments arrive as they are; outputs go into files.
#include "support/child_process.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <thread>

extern char** environ;

namespace test_support {

StartedProgram::StartedProgram(const std::string& program, const std::vector<std::string>& arguments,
                               const std::string& folder, const std::vector<std::string>& extra_env) {
    std::string out_path = capture_.file("out"), err_path = capture_.file("err");
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        std::string entry(*e);
        bool replaced = false;
        for (const std::string& extra : extra_env)
            if (entry.compare(0, extra.find('=') + 1, extra, 0, extra.find('=') + 1) == 0) replaced = true;
        if (!replaced) env.push_back(entry);
    }
    for (const std::string& extra : extra_env)
        if (extra.back() != '=') env.push_back(extra);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    pid_ = fork();
    if (pid_ == 0) {
        int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int none = ::open("/dev/null", O_RDONLY);
        if (out < 0 || err < 0 || none < 0) _exit(126);
        dup2(out, 1);
        dup2(err, 2);
        dup2(none, 0);
        // Whatever the test runner ignores or blocks, the program starts as from a terminal.
        for (int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) signal(s, SIG_DFL);
        sigset_t none_blocked;
        sigemptyset(&none_blocked);
        sigprocmask(SIG_SETMASK, &none_blocked, nullptr);
        if (!folder.empty() && chdir(folder.c_str()) != 0) _exit(126);
        execve(program.c_str(), argv.data(), envp.data());
        _exit(127);
    }
}

StartedProgram::~StartedProgram() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

std::string StartedProgram::out_so_far() const { return test_support::read_file(capture_.file("out")); }
std::string StartedProgram::err_so_far() const { return test_support::read_file(capture_.file("err")); }

ProcessRun StartedProgram::wait(int timeout_seconds) {
    ProcessRun run;
    if (pid_ <= 0) return run;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_seconds);
    int status = 0;
    struct rusage usage {};
    for (;;) {
        const pid_t done = wait4(pid_, &status, WNOHANG, &usage);
        if (done == pid_ || (done < 0 && errno != EINTR)) break;
        if (std::chrono::steady_clock::now() > deadline) {
            run.timed_out = true;
            kill(pid_, SIGKILL);
            wait4(pid_, &status, 0, &usage);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    pid_ = -1;
    if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);
    run.peak_kb = usage.ru_maxrss;
    run.out = test_support::read_file(capture_.file("out"));
    run.err = test_support::read_file(capture_.file("err"));
    return run;
}

ProcessRun run_program(const std::string& program, const std::vector<std::string>& arguments,
                       const std::string& folder, const std::vector<std::string>& extra_env) {
    return StartedProgram(program, arguments, folder, extra_env).wait();
}

}  // namespace test_support
