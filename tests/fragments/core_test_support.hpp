#pragma once
// A fragment set on which one-line cases run a split, join or deletion, checked against a snapshot.

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "checksum/crc32.hpp"
#include "checksum/crc32_core.hpp"
#include "checksum/file_checksum.hpp"
#include "fileio/error.hpp"
#include "fileio/files.hpp"
#include "fragments/checksum_file.hpp"
#include "fragments/join.hpp"
#include "fragments/join_script.hpp"
#include "fragments/set_files.hpp"
#include "support/SetScene.hpp"

namespace testsupport {

using Names = std::vector<std::string>;
using NameSet = std::set<std::string>;
inline NameSet operator+(NameSet a, const NameSet& b) {
    a.insert(b.begin(), b.end());
    return a;
}
inline int interruptedReads = 0;  // reads to fail with EINTR first, where a test interposes pread

inline std::uint32_t textCrc(std::string_view bytes) {
    return checksum::crc32Update(0, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}
// Read independently of the program's own file checksum, piece by piece (sources of 256 MiB).
inline std::uint32_t fileCrc(const std::string& path) {
    std::ifstream in(pathOf(path), std::ios::binary);
    std::string piece(std::size_t{64} << 10, '\0');
    std::uint32_t crc = 0;
    while (in.read(piece.data(), static_cast<std::streamsize>(piece.size())) || in.gcount() > 0) {
        crc = checksum::crc32Update(crc, reinterpret_cast<const std::uint8_t*>(piece.data()),
                                    static_cast<std::size_t>(in.gcount()));
    }
    return crc;
}

// A FileError as "open" or "io", the path, and the program's own reason (systems word theirs differently).
inline std::string failed(const std::string& path, std::error_code why = {}, bool opening = false) {
    const bool own =
        why && why.category() != std::generic_category() && why.category() != std::system_category();
    return (opening ? "open " : "io ") + path + (own ? ": " + why.message() : "");
}
inline const std::error_code notRegular = fileio::Errc::NotRegularFile;

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
        return "damaged " + e.name() + (e.staleBy().empty() ? "" : " by " + e.staleBy());
    } catch (const std::exception& e) {
        return std::string("exception ") + e.what();
    }
}

// "set": a.dat (2500 bytes), x.dat._001 and ._002 (1024, 500); "aussen": the user's files elsewhere.
struct Scene {
    Scene() {
        std::filesystem::create_directories(dir.path() / "set");
        std::filesystem::create_directories(dir.path() / "aussen");
        run("put 2500 set/a.dat; put 1024 set/x.dat._001; put 500 set/x.dat._002");
        fileio::testing::setStepHook(
            [this](std::string_view step, std::int64_t) { reached(std::string(step)); });
        fileio::testing::setWriteFault([this](const std::string& path, std::size_t) {
            reached("write");
            return interruptedWrites > 0             ? (--interruptedWrites, EINTR)
                   : path == fullAt || fullAt == "*" ? ENOSPC
                                                     : 0;
        });
    }
    ~Scene() { fileio::testing::setStepHook({}), fileio::testing::setWriteFault({}); }
    std::string p(const std::string& name) const { return utf8Of(f(name)); }
    std::filesystem::path f(const std::string& name) const {
        return (dir.path() / pathOf(name)).make_preferred();
    }

    // Commands separated by ";", each a verb and its words: "put SIZE NAME", "link TARGET NAME", "at STEP#N
    // COMMAND..." (the Nth time from now the core reaches STEP, or the join's "fragment", or a "write"), ...
    void run(const std::string& commands) {
        using W = const Names&;
        const std::map<std::string, std::function<void(const Names& w)>> verbs{
            {"put", [&](W w) { writeFile(p(w[2]), patternBytes(std::stoul(w[1]), std::stoi(w[1]))); }},
            {"rm", [&](W w) { std::filesystem::remove(f(w[1])); }},
            {"folder", [&](W w) { run("rm " + w[1]), std::filesystem::create_directory(f(w[1])); }},
            {"ro", [&](W w) { writeFile(p(w[1]), "alt"), run("chmod 444 " + w[1]); }},
            {"chmod", [&](W w) { permissions(f(w[2]), std::filesystem::perms(std::stoi(w[1], 0, 8))); }},
            // A checksum file newer than the fragments, as a split writes it; one older than all of them.
            {"new", [&](W w) { last_write_time(f(w[1]), last_write_time(f(w[1])) + std::chrono::hours(1)); }},
            {"age", [&](W w) { last_write_time(f(w[1]), last_write_time(f(w[1])) - std::chrono::hours(2)); }},
            {"resize", [&](W w) { resize_file(f(w[2]), std::stoul(w[1])); }},
            {"user", [&](W w) { writeFile(p(w[1]), "; von Hand\r\nx.dat._001 12345678\r\n"); }},
            {"ours", [&](W w) { writeFile(p(w[1] + ".sfv"), fragments::checksumFileText(w[1], 1, 0, {})); }},
            {"flip",
             [&](W w) {
                 std::string bytes = readFile(p(w[1]));
                 bytes[300] = static_cast<char>(bytes[300] ^ 0x20);
                 writeFile(p(w[1]), bytes);
             }},
            {"sfv",  // the set's checksum file, under another name when given
             [&](W w) {
                 const std::string name = "set/" + (w.size() > 1 ? w[1] : "x.dat.sfv");
                 writeFile(p(name), fragments::checksumFileText("x.dat", 1524, 0, sums()));
                 run("new " + name);
             }},
            {"foreign",  // another tool's checksum file, which names ._002 only
             [&](W) {
                 writeFile(p("set/x.dat.sfv"),
                           "; elsewhere\nx.dat._002 " + checksum::crcText(sums()[1].crc) + "\n");
                 run("new set/x.dat.sfv");
             }},
            {"script",  // the script a split of the source into one fragment writes
             [&](W w) {
                 const std::string name = fragments::Nurdatei(p(w[1]));
                 fragments::writeJoinScript(fragments::joinScriptLocation(p(w[1])).path,
                                            {name, {name + "._001"}, name + "._001", 1, ".", "01.01.26"});
             }},
            {"at",
             [&](W w) {
                 const auto step = w[1].substr(0, w[1].find('#'));
                 std::string then;
                 std::for_each(w.begin() + 2, w.end(), [&](const std::string& word) { then += word + " "; });
                 hooks.push_back({step, seen[step] + std::stoi(w[1].substr(w[1].find('#') + 1)), then});
             }},
            {"link", [&](W w) { run("rm " + w[2]), create_symlink(pathOf(w[1]), f(w[2])); }},
            {"hard", [&](W w) { run("rm " + w[2]), create_hard_link(f(w[1]), f(w[2])); }},
            {"twin", [&](W w) { run("ro " + w[1] + "; hard " + w[1] + " " + w[2]); }},
#ifndef _WIN32
            {"fifo", [&](W w) { run("rm " + w[1]), ::mkfifo(p(w[1]).c_str(), 0644); }},
#endif
            {"holder", [&](W) { holder = std::make_shared<LockHolder>(p(source)); }},
            {"lock", [&](W) { lock = fragments::SetLock::forSource(p(source)); }},
            {"source", [&](W w) { source = w[1]; }},
            {"target", [&](W w) { target = w.size() > 1 ? w[1] : ""; }},
            {"names", [&](W w) { names.assign(w.begin() + 1, w.end()); }},
            {"kb", [&](W w) { kilobytes = std::stoll(w[1]); }},
            {"full", [&](W w) { fullAt = w[1] == "*" ? "*" : p(w[1]); }},
            {"fail",
             [](W w) {
                 fileio::testing::setOperationFault(
                     [op = w[1]](std::string_view it, const std::string&) { return it == op ? EIO : 0; });
             }},
            {"eintr", [&](W w) { interruptedWrites = interruptedReads = std::stoi(w[1]); }},
            {"nosfv", [&](W) { checksumFile = false; }},
            {"noconfirm", [&](W) { confirm = false; }},
            {"nobody", [&](W) { nobody = true; }},
            {"stream", [&](W) { stream = true; }},
            {"rw", [](W) { fileio::testing::forceReadWriteCopy(true); }},
            {"cancel", [](W) { fileio::requestCancel(); }},
            {"named", [](W) { fileio::testing::forceNamedPendingFiles(true); }}};
        std::istringstream all(commands);
        for (std::string command; std::getline(all, command, ';');) {
            std::istringstream words(command);
            const Names w{std::istream_iterator<std::string>(words), {}};
            ASSERT_TRUE(w.empty() || verbs.count(w[0])) << command;
            if (!w.empty()) {
                verbs.at(w[0])(w);
            }
        }
    }
    std::vector<fragments::ChecksumEntry> sums() const {
        return {{"x.dat._001", fileCrc(p("set/x.dat._001"))}, {"x.dat._002", fileCrc(p("set/x.dat._002"))}};
    }
    void reached(const std::string& step) {
        const std::int64_t count = ++seen[step];
        for (const auto& [wanted, at, commands] : std::vector(hooks)) {
            if (wanted == step && at == count) {
                run(commands);
            }
        }
    }

    TempDir dir;
    std::string source = "set/a.dat", target = "set/x.dat", fullAt;
    Names names{"x.dat._001", "x.dat._002"};
    std::int64_t kilobytes = 1;
    bool checksumFile = true, confirm = true, stream = false,
         nobody = false;  // nobody: modes count for root too (POSIX)
    int interruptedWrites = 0;
    std::optional<fragments::SetLock> lock;
    std::shared_ptr<LockHolder> holder;
    std::map<std::string, std::int64_t> seen;
    std::vector<std::tuple<std::string, std::int64_t, std::string>> hooks;
    std::string log;  // what the operation's events said, in order
};

// A scene set up by `setup`, what the operation ends in (its events' log and outcome), what it may change.
struct Case {
    std::string setup;
    std::string outcome;
    NameSet inside = {};
};

// Runs `operation` on a fresh scene for every case.
inline void runCases(const std::vector<Case>& cases, const std::function<std::string(Scene&)>& operation) {
    for (const Case& c : cases) {
        std::string outcome;
        NameSet changed;
        const auto descriptors = openFiles();
        {
            Scene s;
            s.run(c.setup);
            const Snapshot before = snapshot(s.dir.path());
            const auto run = [&] { return s.log + outcomeOf([&] { return operation(s); }, s.dir.utf8()); };
#ifndef _WIN32
            if (s.nobody) {
                std::filesystem::permissions(s.dir.path(), std::filesystem::perms(0755));
                outcome = asNobody(run);
            }
#endif
            outcome = s.nobody ? outcome : run();
            fileio::testing::setStepHook({}), fileio::testing::setWriteFault({});
            fileio::testing::setOperationFault({}), fileio::testing::forceReadWriteCopy(false);
            fileio::testing::forceNamedPendingFiles(false), interruptedReads = 0, fileio::clearCancel();
            Snapshot after = snapshot(s.dir.path());
            for (const auto& [name, state] : before) {
                changed.insert(after.count(name) && after.at(name) == state ? "" : name);
                after.erase(name);
            }
            for (const auto& name : NameSet{""} + c.inside) {
                after.erase(name), changed.erase(name);
            }
            std::transform(after.begin(), after.end(), std::inserter(changed, changed.end()),
                           [](const auto& entry) { return entry.first; });
        }
        EXPECT_EQ(outcome, c.outcome) << c.setup;
        EXPECT_EQ(openFiles(), descriptors) << c.setup;
        EXPECT_EQ(changed, NameSet{}) << c.setup;
    }
}

}  // namespace testsupport
