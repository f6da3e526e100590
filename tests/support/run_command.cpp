// Tool tests name their commands as shell lines; the shell merges the two outputs.
#include "support/run_command.h"

#include "support/child_process.h"

namespace test_support {

CommandRun run_command(const std::string& command) {
    const ProcessRun run = run_program("/bin/sh", {"-c", command + " 2>&1"});
    CommandRun r;
    r.code = run.status;
    r.out = run.out;
    return r;
}

}  // namespace test_support
