// Child processes for the converter's end-to-end tests: fork, exec, outputs into files.
#include "converter_process.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/temp_dir.h"

extern char** environ;

namespace converter_test {

std::string converter_path() {
    const char* bin = std::getenv("RUNTIME_BIN_DIR");
    return std::string(bin != nullptr ? bin : ".") + "/brisel42_x9";
}

std::string test_data_folder() {
    const char* data = std::getenv("RUNTIME_TEST_DATA");
    return std::string(data != nullptr ? data : "tests") + "/app/data";
}

ProcessRun run_program(const std::string& program, const std::vector<std::string>& arguments,
                       const std::string& folder, const std::vector<std::string>& extra_env) {
    test_support::TempDir capture;
    std::string out_path = capture.file("out"), err_path = capture.file("err");
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

    pid_t child = fork();
    if (child == 0) {
        int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int none = ::open("/dev/null", O_RDONLY);
        if (out < 0 || err < 0 || none < 0) _exit(126);
        dup2(out, 1);
        dup2(err, 2);
        dup2(none, 0);
        if (!folder.empty() && chdir(folder.c_str()) != 0) _exit(126);
        execve(program.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    ProcessRun run;
    int status = 0;
    if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status)) run.status = WEXITSTATUS(status);
    run.out = test_support::read_file(out_path);
    run.err = test_support::read_file(err_path);
    return run;
}

}  // namespace converter_test
