#pragma once
// Scenes for the rule that nothing outside a fragment set changes: a snapshot of every entry under a
// folder (type, permissions, content, a link's target), and (POSIX) a second process that holds the lock
// of a set.

#ifndef _WIN32
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "support/TempDir.hpp"

namespace testsupport {

// Type, permissions and content of each entry under a folder, links not followed, by its path relative
// to the folder.
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

#ifndef _WIN32
// A second process holding the lock of the set of `source` until the object goes.
class LockHolder {
  public:
    explicit LockHolder(const std::string& source) {
        int toChild[2];
        int fromChild[2];
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
        ::close(toChild[0]);
        ::close(fromChild[1]);
        input_ = toChild[1];
        char answer[4] = {};
        held_ = ::read(fromChild[0], answer, sizeof answer) == 4 && std::string(answer, 4) == "held";
        ::close(fromChild[0]);
    }
    ~LockHolder() {
        ::close(input_);
        ::waitpid(child_, nullptr, 0);
    }
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;

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
