#pragma once
// What the core tests share: checksums, what an action ends in as one line, and a scene of a fragment set on
// which a table of cases runs a split, join or deletion: each case ends as it says, nothing outside the
// names it may change changes (links, twins and FIFOs included), and no file stays open.

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "checksum/crc32.hpp"
#include "checksum/crc32_core.hpp"
#include "checksum/file_checksum.hpp"
#include "fileio/error.hpp"
#include "fileio/files.hpp"
#include "fragments/join.hpp"
#include "fragments/set_files.hpp"
#include "support/SetScene.hpp"

namespace testsupport {

using Names = std::vector<std::string>;
using NameSet = std::set<std::string>;

inline NameSet operator+(NameSet a, const NameSet& b) {
    a.insert(b.begin(), b.end());
    return a;
}

// The content of the regular file `path` leads to; "" for anything else (a FIFO is not waited on).
inline std::string contentOf(const std::string& path) {
    return std::filesystem::is_regular_file(pathOf(path)) ? readFile(path) : "";
}

inline std::uint32_t textCrc(std::string_view bytes) {
    return checksum::crc32Update(0, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}
inline std::uint32_t fileCrc(const std::string& path) {
    clsCRC32 calculator;
    return checksum::fileCrc32(path, calculator);
}

// The program's own reasons for refusing a file.
inline const std::error_code notRegular = fileio::Errc::NotRegularFile;
inline const std::error_code isSplitSource = fragments::Errc::IsSplitSource;
inline const std::error_code isOriginal = fragments::Errc::IsOriginal;
inline const std::error_code sizeChanged = fragments::Errc::SizeChanged;

// A FileError as outcomeOf describes it: "open" (CannotOpen) or "io", the path, and the program's own
// reason (a system's wording differs between systems and is left out).
inline std::string failed(const std::string& path, std::error_code why = {}, bool opening = false) {
    const bool own =
        why && why.category() != std::generic_category() && why.category() != std::system_category();
    return (opening ? "open " : "io ") + path + (own ? ": " + why.message() : "");
}

// What `action` ends in: what it returns, or its failure, with paths relative to `root` and "/" between.
inline std::string outcomeOf(const std::function<std::string()>& action, const std::string& root = "") {
    try {
        return action();
    } catch (const fileio::FileError& e) {
        std::string path = e.path();
        if (!root.empty() && path.starts_with(root + fragments::nativeSeparator)) {
            path.erase(0, root.size() + 1);
            std::replace(path.begin(), path.end(), fragments::nativeSeparator, '/');
        }
        return failed(path, e.code(), e.kind() == fileio::FileError::Kind::CannotOpen);
    } catch (const fragments::DamagedFragment& e) {
        return "damaged " + e.name();
    } catch (const std::exception& e) {
        return std::string("exception ") + e.what();
    }
}

#ifdef __linux__
// Makes the next `count` reads and the next `count` writes of the process fail with EINTR, as when a
// signal interrupts them before they do anything.
void interruptNextCalls(int count);
#endif

// Ends every test seam of the file layer.
inline void resetSeams() {
    fileio::testing::setWriteFault({});
    fileio::testing::setCopyFault({});
    fileio::testing::forceReadWriteCopy(false);
    fileio::testing::forceNamedPendingFiles(false);
    fileio::testing::setStepHook({});
#ifdef __linux__
    interruptNextCalls(0);
#endif
}

// A folder "set" with the source a.dat (2500 bytes) and the fragments x.dat._001 and ._002 (1024 and 500
// bytes), and "aussen" for the user's files elsewhere. Names are relative to the scene, with "/".
struct Scene {
    Scene() {
        std::filesystem::create_directories(dir.path() / "set");
        std::filesystem::create_directories(dir.path() / "aussen");
        put("set/a.dat", 2500, 1);
        put("set/x.dat._001", 1024, 2);
        put("set/x.dat._002", 500, 3);
    }
    std::string p(const std::string& name) const {
        return utf8Of((dir.path() / pathOf(name)).make_preferred());
    }
    void put(const std::string& name, std::size_t size, std::uint32_t seed = 9) {
        writeFile(p(name), patternBytes(size, seed));
    }
    void remove(const std::string& name) { std::filesystem::remove(pathOf(p(name))); }
    void folder(const std::string& name) {
        remove(name);
        std::filesystem::create_directory(pathOf(p(name)));
    }
    void readOnly(const std::string& name, const std::string& content = "alt") {
        writeFile(p(name), content);
        std::filesystem::permissions(pathOf(p(name)), std::filesystem::perms(0444));
    }
#ifndef _WIN32
    void link(const std::string& name, const std::string& target) {
        remove(name);
        std::filesystem::create_symlink(target, p(name));
    }
    void hardLink(const std::string& name, const std::string& existing) {
        remove(name);
        std::filesystem::create_hard_link(p(existing), p(name));
    }
    void fifo(const std::string& name) {
        remove(name);
        ASSERT_EQ(::mkfifo(p(name).c_str(), 0644), 0);
    }
    // `name` hard-linked to a read-only file of the user's elsewhere.
    void readOnlyTwin(const std::string& name, const std::string& twin = "aussen/zwilling") {
        readOnly(twin);
        hardLink(name, twin);
    }
    std::unique_ptr<LockHolder> holder;  // another process holding a set
#endif
    bool nobody = false;  // the operation runs as nobody (POSIX), so that modes count for root too
    TempDir dir;
    // What the case's operation works on.
    std::string source = "set/a.dat", target = "set/x.dat";
    Names names{"x.dat._001", "x.dat._002"};
    std::int64_t kilobytes = 1;
    bool checksumFile = true, joinDespiteGap = true, confirm = true;
    std::optional<fragments::SetLock> lock;  // a set held in this process
    std::function<void(std::size_t index)> beforeFragment;
    std::string log;  // what the operation's events said, in order
};

// What is there before, what the operation ends in (its events' log and its outcome), and what it may
// change.
struct Case {
    const char* what;
    std::function<void(Scene&)> setup;
    std::string outcome;
    NameSet inside = {};
};

inline std::size_t openDescriptors() {
#ifdef __linux__
    const auto entries = std::filesystem::directory_iterator("/proc/self/fd");
    return static_cast<std::size_t>(std::distance(begin(entries), end(entries)));
#else
    return 0;
#endif
}

// Runs `operation` on a fresh scene for every case.
inline void runCases(const std::vector<Case>& cases, const std::function<std::string(Scene&)>& operation) {
    for (const Case& c : cases) {
        Scene s;
        c.setup(s);
        const Snapshot before = snapshot(s.dir.path());
        const std::size_t descriptors = openDescriptors();
        const auto run = [&] {
            const std::string said = outcomeOf([&] { return operation(s); }, s.dir.utf8());
            return s.log + said;
        };
#ifndef _WIN32
        const auto asNobody = [&] {
            std::filesystem::permissions(s.dir.path(), std::filesystem::perms(0755));
            int pipe[2];
            EXPECT_EQ(::pipe(pipe), 0);
            const pid_t child = ::fork();
            if (child == 0) {
                const std::string said = ::setgid(65534) == 0 && ::setuid(65534) == 0 ? run() : "no nobody";
                ::_exit(::write(pipe[1], said.data(), said.size()) < 0 ? 1 : 0);
            }
            ::close(pipe[1]);
            const std::string said = readFile("/proc/self/fd/" + std::to_string(pipe[0]));
            ::close(pipe[0]);
            ::waitpid(child, nullptr, 0);
            return said;
        };
        const std::string outcome = s.nobody ? asNobody() : run();
#else
        const std::string outcome = run();
#endif
        resetSeams();
        EXPECT_EQ(outcome, c.outcome) << c.what;
        EXPECT_EQ(openDescriptors(), descriptors) << c.what;
        EXPECT_EQ(changedOutside(before, snapshot(s.dir.path()), c.inside), NameSet{}) << c.what;
    }
}

}  // namespace testsupport
