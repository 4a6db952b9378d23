#pragma once
// Runs a check in a child process as the unprivileged user "nobody", so that permission bits count
// even when the tests run as root. The check's return value becomes the child's exit code.

#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace testsupport {

inline constexpr int nobodyId = 65534;

// The child's exit code, or -1 when it could not run or did not exit normally.
inline int runAsNobody(const std::function<int()>& check) {
    const pid_t child = fork();
    if (child < 0) {
        return -1;
    }
    if (child == 0) {
        if (setgid(nobodyId) != 0 || setuid(nobodyId) != 0) {
            _exit(100);
        }
        int code = 101;
        try {
            code = check();
        } catch (...) {
            code = 102;
        }
        _exit(code);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

}  // namespace testsupport
