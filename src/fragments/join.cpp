#include "fragments/join.hpp"

#include <filesystem>
#include <random>
#include <set>
#include <system_error>

#include "fileio/error.hpp"
#include "fileio/files.hpp"
#include "fileio/paths.hpp"
#include "fragments/listing.hpp"
#include "fragments/paths.hpp"
#include "fragments/set_files.hpp"

namespace fragments {

struct JoinOutput::State {
    std::optional<fileio::OutputFile> file;
    bool committed = false;
};

namespace {

// A name of the form ".<target>.XXXXXX.part" beside the target: hidden, and no fragment candidate.
std::string temporaryNameFor(const std::string& targetPath) {
    static const char alphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    static std::mt19937_64 random{std::random_device{}()};
    std::string tag;
    for (int i = 0; i < 6; ++i) {
        tag += alphabet[random() % (sizeof alphabet - 1)];
    }
    const std::filesystem::path target = fileio::pathFromUtf8(targetPath);
    std::string name(1, '.');
    name.append(fileio::utf8FromPath(target.filename())).append(1, '.').append(tag).append(".part");
    return fileio::utf8FromPath(target.parent_path() / fileio::pathFromUtf8(name));
}

}  // namespace

std::variant<JoinProblem, JoinListCheck> checkJoinList(const std::vector<std::string>& names) {
    if (names.empty()) {
        return JoinProblem{JoinProblem::Kind::EmptyList, {}};
    }
    // Every fragment must come from the same file as the first one.
    JoinListCheck check;
    check.suggestedName = withoutLastCharacters(names.front(), 5);
    for (const auto& name : names) {
        if (withoutLastCharacters(name, 5) != check.suggestedName) {
            return JoinProblem{JoinProblem::Kind::MixedSources, name};
        }
    }
    check.firstGap = firstMissingNumber(names);
    return check;
}

std::variant<JoinProblem, JoinPlan> planJoin(const std::vector<std::string>& names,
                                             const std::string& directory, const std::string& targetPath) {
    JoinPlan plan;
    plan.targetPath = targetPath;
    const std::string folder = withTrailingSeparator(directory);
    for (const auto& name : names) {
        plan.fragmentPaths.push_back(folder + name);
    }
    for (const auto& path : plan.fragmentPaths) {
        if (sameFile(path, targetPath)) {
            return JoinProblem{JoinProblem::Kind::TargetIsFragment, targetPath};
        }
    }
    for (const auto& path : plan.fragmentPaths) {
        std::error_code error;
        const auto status = std::filesystem::status(fileio::pathFromUtf8(path), error);
        if (error || status.type() == std::filesystem::file_type::not_found) {
            return JoinProblem{JoinProblem::Kind::MissingFragment, path};
        }
        const auto size = regularFileSize(path);
        if (!size) {
            return JoinProblem{JoinProblem::Kind::NotRegularFile, path};
        }
        plan.fragmentBytes.push_back(*size);
        plan.totalBytes += *size;
    }
    return plan;
}

JoinResult joinFragments(const JoinPlan& plan, const JoinEvents& events) {
    JoinOutput output(plan.targetPath);
    output.reserve(plan.totalBytes);
    for (std::size_t index = 0; index < plan.fragmentPaths.size(); ++index) {
        if (events.beforeFragment) {
            events.beforeFragment(index);
        }
        output.append(plan.fragmentPaths[index], plan.fragmentBytes[index]);
    }
    output.commit();
    return JoinResult{output.bytesWritten()};
}

std::optional<int> firstMissingNumber(const std::vector<std::string>& names) {
    std::set<int> numbers;
    for (const auto& name : names) {
        const auto number = fragmentNumber(name);
        if (!number) {
            return std::nullopt;
        }
        numbers.insert(*number);
    }
    for (int expected = 1; expected <= static_cast<int>(names.size()); ++expected) {
        if (numbers.count(expected) == 0) {
            return expected;
        }
    }
    return std::nullopt;
}

bool sameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    const bool same = std::filesystem::equivalent(fileio::pathFromUtf8(a), fileio::pathFromUtf8(b), error);
    return same && !error;
}

JoinOutput::JoinOutput(const std::string& targetPath) : targetPath_(targetPath), state_(new State) {
    checkReplaceable(targetPath_);
    for (int attempt = 0;; ++attempt) {
        temporaryPath_ = temporaryNameFor(targetPath);
        try {
            state_->file.emplace(temporaryPath_);
            return;
        } catch (const fileio::FileError& e) {
            if (e.code() != std::errc::file_exists || attempt == 100) {
                throw fileio::FileError(fileio::FileError::Kind::CannotOpen, targetPath_, e.code());
            }
        }
    }
}

JoinOutput::~JoinOutput() {
    if (!state_->committed) {
        state_->file.reset();
        try {
            fileio::removeFile(temporaryPath_);
        } catch (const fileio::FileError&) {
            // A leftover the removal could not reach is the best that can be done here.
        }
    }
}

void JoinOutput::reserve(std::int64_t bytes) {
    try {
        state_->file->reserve(bytes);
    } catch (const fileio::FileError& e) {
        throw fileio::FileError(e.kind(), targetPath_, e.code());
    }
}

void JoinOutput::append(const std::string& fragmentPath, std::int64_t expectedBytes) {
    fileio::InputFile fragment(fragmentPath);
    const auto checkSize = [&] {
        if (fragment.size() != expectedBytes) {
            throw fileio::FileError(fileio::FileError::Kind::Io, fragmentPath, fileio::Errc::SizeChanged);
        }
    };
    checkSize();
    try {
        fileio::copyBytes(fragment, 0, *state_->file, expectedBytes);
    } catch (const fileio::FileError& e) {
        // The user knows the target, not the temporary file behind it.
        if (e.path() == temporaryPath_) {
            throw fileio::FileError(e.kind(), targetPath_, e.code());
        }
        // A fragment cut short while it was read tells why.
        checkSize();
        throw;
    }
    checkSize();
}

void JoinOutput::commit() {
    try {
        state_->file->close();
    } catch (const fileio::FileError& e) {
        throw fileio::FileError(e.kind(), targetPath_, e.code());
    }
    // The old target goes by the rename itself: no mode is changed first (on POSIX a rename needs none,
    // and a change would reach the target's hard-linked twins); it may have become a folder meanwhile.
    checkReplaceable(targetPath_);
    fileio::renameReplacing(temporaryPath_, targetPath_);
    state_->committed = true;
}

std::int64_t JoinOutput::bytesWritten() const {
    return state_->file->written();
}

}  // namespace fragments
