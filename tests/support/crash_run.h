// The fork-and-kill harness of the crash tests: a child process runs some store work and dies
// (status 86) just before its n-th file call; the parent learns how many steps had returned.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "common/file_calls.h"

namespace qm::testing {

struct CrashRun {
    int returned = 0;     // steps the child reported done before it ended
    bool exited = false;  // it ended by exit, not by a signal
    int status = -1;      // its exit status: 0 ran to the end, 86 died at the crash point
    bool finished() const { return exited && status == 0; }
};

// Runs `child` in a forked process. The child sets the crash point itself (fileio::
// SetCrashPoint) where the work to test begins and calls `done` after each step that returned;
// it may end with _exit of its own (3, 4, 5...) when its set-up fails.
inline CrashRun RunUntilCrash(const std::function<void(const std::function<void()>& done)>& child) {
    CrashRun run;
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return run;
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipeFds[0]);
        child([&pipeFds] {
            const char byte = 1;
            if (write(pipeFds[1], &byte, 1) != 1) _exit(4);
        });
        fileio::SetCrashPoint(0);
        _exit(0);
    }
    close(pipeFds[1]);
    char byte;
    while (read(pipeFds[0], &byte, 1) == 1) ++run.returned;
    close(pipeFds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    run.exited = WIFEXITED(status);
    run.status = run.exited ? WEXITSTATUS(status) : -1;
    return run;
}

}  // namespace qm::testing
