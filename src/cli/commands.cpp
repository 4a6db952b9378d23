#include "cli/commands.hpp"

#include <ctime>
#include <exception>
#include <istream>
#include <new>
#include <optional>
#include <ostream>
#include <system_error>
#include <utility>
#include <variant>

#include "checksum/crc32.hpp"
#include "checksum/file_checksum.hpp"
#include "fileio/error.hpp"
#include "fileio/files.hpp"
#include "fragments/join.hpp"
#include "fragments/join_script.hpp"
#include "fragments/listing.hpp"
#include "fragments/paths.hpp"
#include "fragments/set_files.hpp"
#include "fragments/size_text.hpp"
#include "fragments/split.hpp"
#include "texts/texts.hpp"

namespace cli {

namespace {

namespace says = texts::utf8;
using fragments::nativeSeparator;

// The one line on the terminal that each new progress text replaces; nothing when no one watches.
class ProgressLine {
  public:
    explicit ProgressLine(const Output& output) : err_(output.err), shown_(output.console.errorIsTerminal) {}
    ~ProgressLine() { clear(); }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    void show(const std::string& text) {
        if (!shown_) {
            return;
        }
        err_ << '\r' << text;
        if (text.size() < width_) {
            err_ << std::string(width_ - text.size(), ' ');
        }
        width_ = std::max(width_, text.size());
        err_.flush();
    }
    // Blanks the line, so that what follows starts on a clean one.
    void clear() {
        if (width_ > 0) {
            err_ << '\r' << std::string(width_, ' ') << '\r' << std::flush;
            width_ = 0;
        }
    }

  private:
    std::ostream& err_;
    bool shown_;
    std::size_t width_ = 0;
};

// Why `path` cannot be read as a file (it is missing, a folder, ...); nullopt when it can.
std::optional<std::string> whyUnreadable(const std::string& path) {
    try {
        fileio::fileSize(path);
        return std::nullopt;
    } catch (const fileio::FileError& error) {
        return error.reason();
    }
}

std::string sizeText(std::int64_t bytes, const Output& output) {
    return fragments::sizeText(bytes, output.console.regional.groupSeparator);
}

std::string today(const std::string& format) {
    const std::time_t now = std::time(nullptr);
    char text[64];
    const std::size_t length = std::strftime(text, sizeof text, format.c_str(), std::localtime(&now));
    return std::string(text, length);
}

int writeScript(const std::string& source, std::vector<std::string> names, const std::string& lastFileName,
                const Output& output) {
    const std::string targetName = fragments::Nurdatei(source);
    const fragments::JoinScriptInput input{targetName,
                                           std::move(names),
                                           lastFileName,
                                           fileio::fileSize(source),
                                           output.console.regional.groupSeparator,
                                           today(output.console.regional.dateFormat)};
    const fragments::JoinScriptLocation script = fragments::joinScriptLocation(source);
    if (const auto refusal = fragments::whyNoJoinScript(source, input)) {
        return output.fail(says::noScript(*refusal, targetName, script.name));
    }
    fragments::writeJoinScript(script.path, input);
    output.out << says::scriptWritten(script.name) << '\n';
    return success;
}

// The split from its lock and the deletion of the old script on; failures are thrown to split().
int splitSource(const SplitRequest& request, const Output& output) {
    const std::string& source = request.source;
    // One operation per set, in any process: a second one is refused before it changes anything.
    const auto lock = fragments::SetLock::forSource(source);
    if (!lock) {
        return output.fail(says::setBusy(source));
    }
    const std::string folder = fragments::folderOf(source);
    const std::vector<std::string> listing = fragments::listFragmentCandidates(folder);
    const auto fragmentBytes = fragments::fragmentBytesFor(request.kilobytes);
    const auto plan = request.kilobytes != 0 && fragmentBytes
                          ? std::optional(fragments::planSplit(fileio::fileSize(source), *fragmentBytes))
                          : std::nullopt;
    const bool writes = plan && plan->fragmentCount <= fragments::maxFragments;
    fragments::checkSplitNames(listing, folder, source, writes ? plan->fragmentCount : 0, nativeSeparator);
    fragments::removeOldJoinScript(source);
    fragments::deleteOldFragments(listing, folder, source, nativeSeparator);

    if (request.kilobytes == 0) {
        return output.fail(says::invalidFragmentSize());
    }
    if (!plan) {
        return output.fail(says::outOfMemory());
    }
    if (!writes) {
        return output.fail(says::tooManyFragments(plan->fragmentCount));
    }

    ProgressLine progress(output);
    // The script names the fragments in lower case.
    std::vector<std::string> names;
    fragments::SplitEvents events;
    events.fragmentNamed = [&](int number, const std::string& fileName, bool full) {
        names.push_back(fragments::lowerCase(fileName));
        if (full) {
            progress.show(says::splitProgress(number, plan->fragmentCount));
        }
    };
    const fragments::SplitResult result = fragments::splitFile(source, *plan, events, nativeSeparator);
    progress.clear();
    output.out << says::sourceSize(sizeText(plan->length, output)) << '\n'
               << says::splitProgress(result.fragmentsWritten, plan->fragmentCount) << '\n'
               << says::fragmentsSize(sizeText(result.bytesWritten, output)) << '\n';
    if (request.script) {
        return writeScript(source, std::move(names), result.lastFileName, output);
    }
    return success;
}

// A file that cannot be opened: the window's words for the fragments, but a source that cannot be
// read is named as such.
std::string cannotOpenText(const fileio::FileError& error, const std::string& source) {
    return error.path() == source ? says::fileUnreadable(source, error.reason())
                                  : says::cannotWriteFragments();
}

std::string joinProblemText(const fragments::JoinProblem& problem, const std::string& firstFragment,
                            const std::vector<std::string>& names) {
    using Kind = fragments::JoinProblem::Kind;
    if (problem.kind == Kind::EmptyList) {
        return says::noFragmentsBeside(firstFragment);
    }
    if (problem.kind == Kind::MixedSources) {
        return says::fragmentsOfDifferentFiles(names.front(), problem.path);
    }
    if (problem.kind == Kind::TargetIsFragment) {
        return says::targetIsOneOfTheFragments(problem.path);
    }
    if (problem.kind == Kind::NotRegularFile) {
        return says::fileUnreadable(problem.path, make_error_code(fileio::Errc::NotRegularFile).message());
    }
    return says::fragmentGone(problem.path);
}

// True when the user types yes ("j" or "ja", in any case) on the terminal; without one, the refusal
// names --force.
bool replaceConfirmed(const std::string& target, const Output& output) {
    const Console& console = output.console;
    if (!console.inputIsTerminal || !console.input) {
        output.fail(says::targetExists(target));
        return false;
    }
    output.err << says::replaceTargetQuestion(target) << std::flush;
    std::string answer;
    std::getline(*console.input, answer);
    const auto first = answer.find_first_not_of(" \t\r");
    answer = fragments::lowerCase(first == std::string::npos
                                      ? std::string()
                                      : answer.substr(first, answer.find_last_not_of(" \t\r") - first + 1));
    return answer == "j" || answer == "ja";
}

int runJoin(const fragments::JoinPlan& plan, const std::vector<std::string>& names, const Output& output) {
    ProgressLine progress(output);
    fragments::JoinEvents events;
    events.beforeFragment = [&](std::size_t index) {
        progress.show(says::joinProgress(fragments::progressNumber(names[index]),
                                         static_cast<std::int64_t>(names.size())));
    };
    try {
        const fragments::JoinResult result = fragments::joinFragments(plan, events);
        progress.clear();
        output.out << says::joinedFile(plan.targetPath) << '\n'
                   << says::joinedSize(sizeText(result.bytesWritten, output)) << '\n';
        return success;
    } catch (const fileio::FileError& error) {
        progress.clear();
        return output.fail(says::joinAborted(error.path(), error.reason()));
    } catch (const std::exception& error) {
        progress.clear();
        return output.fail(says::joinAborted(plan.targetPath, error.what()));
    }
}

}  // namespace

int Output::fail(const std::string& message) const {
    err << message << '\n' << std::flush;
    return failure;
}

int split(const SplitRequest& request, const Output& output) {
    if (const auto reason = whyUnreadable(request.source)) {
        return output.fail(says::fileUnreadable(request.source, *reason));
    }
    try {
        return splitSource(request, output);
    } catch (const std::bad_alloc&) {
        return output.fail(says::outOfMemory());
    } catch (const fileio::FileError& error) {
        return output.fail(error.kind() == fileio::FileError::Kind::CannotOpen
                               ? cannotOpenText(error, request.source)
                               : says::splitAborted(error.path(), error.reason()));
    } catch (const std::exception& error) {
        return output.fail(says::splitAborted(error.what()));
    }
}

int join(const JoinRequest& request, const Output& output) {
    const std::string& first = request.firstFragment;
    if (const auto reason = whyUnreadable(first)) {
        return output.fail(says::fileUnreadable(first, *reason));
    }
    // The set the window lists beside the first fragment, in its order.
    const std::string folder = fragments::folderOf(first);
    const std::vector<std::string> names =
        fragments::collectFragmentSet(fragments::listFragmentCandidates(folder), folder, first,
                                      nativeSeparator)
            .names;
    const auto checked = fragments::checkJoinList(names);
    if (const auto* problem = std::get_if<fragments::JoinProblem>(&checked)) {
        return output.fail(joinProblemText(*problem, first, names));
    }
    const auto& list = std::get<fragments::JoinListCheck>(checked);
    if (list.firstGap && !request.allowGap) {
        return output.fail(says::gapInNumbering(*list.firstGap, list.suggestedName));
    }
    // Held until the join has finished, so that no split, join or deletion of the set runs meanwhile.
    std::optional<fragments::SetLock> lock;
    try {
        lock = fragments::SetLock::forList(names, folder);
    } catch (const fileio::FileError& error) {
        return output.fail(says::joinAborted(error.path(), error.reason()));
    }
    if (!lock) {
        return output.fail(says::setBusy(folder + names.front()));
    }

    const std::string target = request.target.value_or(folder + list.suggestedName);
    const auto planned = fragments::planJoin(names, folder, target);
    if (const auto* problem = std::get_if<fragments::JoinProblem>(&planned)) {
        return output.fail(joinProblemText(*problem, first, names));
    }
    if (fileio::fileExists(target) && !request.force && !replaceConfirmed(target, output)) {
        return failure;
    }
    return runJoin(std::get<fragments::JoinPlan>(planned), names, output);
}

int crc(const std::vector<std::string>& files, const Output& output) {
    clsCRC32 calculator;
    int status = success;
    for (const std::string& file : files) {
        try {
            output.out << checksum::crcText(checksum::fileCrc32(file, calculator)) << "  " << file << '\n'
                       << std::flush;
        } catch (const std::system_error& error) {
            status = output.fail(says::fileUnreadable(file, error.code().message()));
        }
    }
    return status;
}

}  // namespace cli
