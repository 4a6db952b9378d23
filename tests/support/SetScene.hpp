#pragma once
// A snapshot of every entry under a folder; (POSIX) work as nobody and a second process holding a set's lock.

#ifndef _WIN32
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>

#include "support/TempDir.hpp"

namespace testsupport {

// Type, permissions, content and a link's target of each entry under a folder, by its relative path.
using Snapshot = std::map<std::string, std::string>;

inline Snapshot snapshot(const std::filesystem::path& root) {
    Snapshot entries;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        const auto status = entry.symlink_status();
        std::string state = std::to_string(static_cast<int>(status.type())) + " " +
                            std::to_string(static_cast<int>(status.permissions()));
        if (status.type() == std::filesystem::file_type::regular) {
            state.append(" ").append(readFile(utf8Of(entry.path())));
        } else if (status.type() == std::filesystem::file_type::symlink) {
            state.append(" -> ").append(utf8Of(std::filesystem::read_symlink(entry.path())));
        }
        std::string name = utf8Of(entry.path().lexically_relative(root));
        std::replace(name.begin(), name.end(), '\\', '/');
        entries[name] = state;
    }
    return entries;
}

inline std::ptrdiff_t openFiles() {
#ifdef __linux__
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
#else
    return 0;
#endif
}

#ifndef _WIN32
// What `work` returns in a child process run as nobody, so that modes count for root too.
inline std::string asNobody(const std::function<std::string()>& work) {
    int pipe[2];
    if (::pipe(pipe) != 0) {
        return "no pipe";
    }
    const pid_t child = ::fork();
    if (child == 0) {
        const std::string said = ::setgid(65534) == 0 && ::setuid(65534) == 0 ? work() : "no nobody";
        ::_exit(::write(pipe[1], said.data(), said.size()) < 0 ? 1 : 0);
    }
    ::close(pipe[1]);
    const std::string said = readFile("/proc/self/fd/" + std::to_string(pipe[0]));
    ::close(pipe[0]), ::waitpid(child, nullptr, 0);
    return said;
}

// A second process holding the lock of the set of `source` until the object goes.
class LockHolder {
  public:
    explicit LockHolder(const std::string& source) {
        int toChild[2], fromChild[2];
        if (::pipe2(toChild, O_CLOEXEC) != 0 || ::pipe2(fromChild, O_CLOEXEC) != 0) {
            return;
        }
        child_ = ::fork();
        if (child_ == 0) {
            ::dup2(toChild[0], 0);
            ::dup2(fromChild[1], 1);
            ::execl(HOLD_SET_LOCK, HOLD_SET_LOCK, source.c_str(), nullptr);
            ::_exit(127);
        }
        ::close(toChild[0]), ::close(fromChild[1]);
        input_ = toChild[1];
        char answer[4] = {};
        held_ = ::read(fromChild[0], answer, sizeof answer) == 4 && std::string(answer, 4) == "held";
        ::close(fromChild[0]);
    }
    ~LockHolder() { ::close(input_), ::waitpid(child_, nullptr, 0); }
    bool held() const { return held_; }

  private:
    pid_t child_ = -1;
    int input_ = -1;
    bool held_ = false;
};
#else
struct LockHolder {  // none on Windows: its tests hold a set in this process
    explicit LockHolder(const std::string&) {}
};
#endif

}  // namespace testsupport
