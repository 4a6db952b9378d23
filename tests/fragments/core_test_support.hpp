#pragma once
// Helpers shared by the core tests: failures checked by kind and path, and checks run as "nobody"
// so that permission bits count even when the tests run as root.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "fragments/errors.hpp"

namespace testsupport {

// Expects `action` to throw a FileError of `kind` naming `path`.
inline void expectFileError(const std::function<void()>& action, fragments::FileError::Kind kind,
                            const std::string& path) {
    try {
        action();
        ADD_FAILURE() << "no failure for " << path;
    } catch (const fragments::FileError& e) {
        EXPECT_EQ(e.kind(), kind) << path;
        EXPECT_EQ(e.path(), path);
        EXPECT_FALSE(e.reason().empty());
    }
}

// Runs `action` in a child process as nobody: 0 when it threw a FileError of `kind` naming `path`,
// 1 when it threw nothing, 2 for another failure, -1 when the child could not run.
inline int failureAsNobody(const std::function<void()>& action, fragments::FileError::Kind kind,
                           const std::string& path) {
    constexpr int nobody = 65534;
    const pid_t child = fork();
    if (child == 0) {
        int code = 1;
        try {
            if (setgid(nobody) != 0 || setuid(nobody) != 0) {
                _exit(3);
            }
            action();
        } catch (const fragments::FileError& e) {
            code = e.kind() == kind && e.path() == path ? 0 : 2;
        } catch (...) {
            code = 2;
        }
        _exit(code);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

}  // namespace testsupport
