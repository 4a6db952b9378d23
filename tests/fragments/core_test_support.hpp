#pragma once
// What the core tests share: fresh folders and whole files, a file's checksum, failures checked by kind
// and path, and checks run as "nobody" so that permission bits count even when the tests run as root.

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "checksum/crc32.hpp"
#include "checksum/file_checksum.hpp"
#include "fileio/error.hpp"
#include "fileio/files.hpp"
#include "fragments/paths.hpp"
#include "support/TempDir.hpp"

namespace testsupport {

using Names = std::vector<std::string>;

// The CRC-32 of the file at `path`.
inline std::uint32_t crcOf(const std::string& path) {
    clsCRC32 calculator;
    return checksum::fileCrc32(path, calculator);
}

// 0 when `action` throws a FileError of `kind` naming `path`, 1 when it throws nothing, 2 otherwise.
inline int failureOf(const std::function<void()>& action, fileio::FileError::Kind kind,
                     const std::string& path) {
    try {
        action();
        return 1;
    } catch (const fileio::FileError& e) {
        return e.kind() == kind && e.path() == path && e.code() ? 0 : 2;
    } catch (...) {
        return 2;
    }
}

inline void expectFileError(const std::function<void()>& action, fileio::FileError::Kind kind,
                            const std::string& path) {
    EXPECT_EQ(failureOf(action, kind, path), 0) << "1: no failure, 2: another failure, for " << path;
}

#ifndef _WIN32
// failureOf(...) for `action` run in a child process as nobody; -1 when the child could not run.
inline int failureAsNobody(const std::function<void()>& action, fileio::FileError::Kind kind,
                           const std::string& path) {
    const pid_t child = fork();
    if (child == 0) {
        _exit(setgid(65534) != 0 || setuid(65534) != 0 ? 3 : failureOf(action, kind, path));
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif

}  // namespace testsupport
