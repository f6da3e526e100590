// Child processes for tool tests.
#include "support/run_command.h"

#include <sys/wait.h>

#include <cstdio>

namespace test_support {

CommandRun run_command(const std::string& command) {
    CommandRun r;
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    const int status = pclose(p);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

}  // namespace test_support
