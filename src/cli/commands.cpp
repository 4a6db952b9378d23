#include "cli/commands.hpp"

#include <cerrno>
#include <ctime>
#include <exception>
#include <istream>
#include <optional>
#include <ostream>
#include <regex>
#include <variant>
#include <vector>

#include "checksum/crc32.hpp"
#include "checksum/crc32_core.hpp"
#include "checksum/file_checksum.hpp"
#include "fileio/error.hpp"
#include "fileio/files.hpp"
#include "fragments/checksum_file.hpp"
#include "fragments/join_job.hpp"
#include "fragments/join_script.hpp"
#include "fragments/listing.hpp"
#include "fragments/paths.hpp"
#include "fragments/recovery_files.hpp"
#include "fragments/set_files.hpp"
#include "fragments/size_text.hpp"
#include "fragments/split_job.hpp"
#include "texts/failure.hpp"
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
        return texts::utf8::reason(error.code());
    }
}

// True when `path` itself is a folder that exists (a link to one is not).
bool isFolder(const std::string& path) {
    return fileio::entryAt(path).type == fileio::EntryType::Directory;
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

std::string splitRefusalText(const fragments::SplitRefusal& refusal, const std::string& source) {
    using Kind = fragments::SplitRefusal::Kind;
    switch (refusal.kind) {
        case Kind::SetBusy:
            return says::setBusy(source);
        case Kind::InvalidSize:
            return says::invalidFragmentSize;
        case Kind::OutOfMemory:
            return says::fragmentSizeOutOfRange;
        case Kind::StreamTooLong:
            return says::streamTooLong;
        case Kind::TooManyFragments:
            break;
    }
    return says::tooManyFragments(refusal.fragmentCount);
}

// A failure of standard input or output, for a message naming "-".
[[noreturn]] void standardStreamFailed() {
    throw fileio::FileError(fileio::FileError::Kind::Io, "-",
                            std::error_code(errno != 0 ? errno : EIO, std::generic_category()));
}

// Reads standard input (or what stands for it) for a split.
fragments::StreamReader readerOf(std::istream& input) {
    return [&input](void* buffer, std::size_t size) {
        errno = 0;
        input.read(static_cast<char*>(buffer), static_cast<std::streamsize>(size));
        if (input.bad()) {
            standardStreamFailed();
        }
        return static_cast<std::size_t>(input.gcount());
    };
}

// Shows the progress of work on recovery files in whole per cent.
recovery::Progress recoveryProgressOn(ProgressLine& progress) {
    return [&progress, shown = std::int64_t{-1}](std::int64_t done, std::int64_t total) mutable {
        const std::int64_t percent = total > 0 ? done * 100 / total : 100;
        if (percent != shown) {
            progress.show(says::recoveryProgress(shown = percent));
        }
    };
}

// What the recovery files of the set cut from `source` in `folder` say (in `diagnosis`; none without them),
// and with `repair` its damaged and missing fragments rebuilt first, under the set's lock, each named on
// `lines`. A failure's message, or nullopt to go on. Throws FileError.
std::optional<std::string> useRecoveryFiles(const std::string& folder, const std::string& source, bool repair,
                                            std::ostream& lines, const Output& output,
                                            std::optional<recovery::Diagnosis>& diagnosis) {
    const std::string mainFile = fragments::Nurdatei(fragments::recoveryFilePath(source));
    ProgressLine progress(output);
    std::optional<fragments::SetLock> lock;
    if (repair &&
        !(lock = fragments::SetLock::forSource(fragments::withTrailingSeparator(folder) + source))) {
        return says::setBusy(fragments::withTrailingSeparator(folder) + source);
    }
    try {
        diagnosis = fragments::diagnoseSet(folder, source, recoveryProgressOn(progress));
        if (!repair || !diagnosis || diagnosis->intact()) {
            return std::nullopt;
        }
        if (!diagnosis->repairable()) {
            return says::notRepairable(mainFile, diagnosis->missingBlocks, diagnosis->recoveryBlocks);
        }
        const auto rebuilt = fragments::repairSet(*diagnosis, recoveryProgressOn(progress));
        progress.clear();
        for (const auto& name : rebuilt) {
            lines << says::fragmentRebuilt(name) << '\n';
        }
        diagnosis.reset();
        return std::nullopt;
    } catch (const recovery::RecoveryError& error) {
        progress.clear();
        diagnosis.reset();
        const bool wrong = error.kind() == recovery::RecoveryError::Kind::RebuiltWrong;
        if (!repair) {
            output.err << says::recoveryUnusable(mainFile) << '\n';
            return std::nullopt;
        }
        return wrong ? says::rebuiltWrong(mainFile) : says::recoveryUnusable(mainFile);
    }
}

// What the recovery files of the set cut from `source` can do for it, on `state`, with the hint to use them
// on `hint` where they can.
void showRecoveryState(const std::string& source, const recovery::Diagnosis& diagnosis, std::ostream& state,
                       std::ostream& hint) {
    const std::string mainFile = fragments::Nurdatei(fragments::recoveryFilePath(source));
    state << says::recoveryState(mainFile, diagnosis.missingBlocks, diagnosis.recoveryBlocks) << '\n';
    if (!diagnosis.intact() && diagnosis.repairable()) {
        hint << says::repairHint(mainFile) << '\n';
    }
}

// After a join stopped for a damaged or missing fragment: what the set's recovery files can do about it.
void hintRecovery(const std::string& folder, const std::string& source, const Output& output) {
    try {
        std::optional<recovery::Diagnosis> diagnosis;
        if (!useRecoveryFiles(folder, source, false, output.err, output, diagnosis) && diagnosis) {
            showRecoveryState(source, *diagnosis, output.err, output.err);
        }
    } catch (const fileio::FileError&) {
        // The join's own message stands.
    }
}

// The split from its lock on; failures are thrown to split().
int splitSource(const SplitRequest& request, const Output& output) {
    const std::string& source = request.source;
    ProgressLine progress(output);
    std::int64_t fragmentCount = 0;
    fragments::SplitJobEvents events;
    events.writing = [&fragmentCount](const fragments::SplitPlan& plan) {
        fragmentCount = plan.fragmentCount;
    };
    events.progress.fragmentNamed = [&](int number, const std::string&, bool full) {
        if (request.fromInput) {
            progress.show(says::splitProgressSoFar(number));
        } else if (full) {
            progress.show(says::splitProgress(number, fragmentCount));
        }
    };
    events.joinScript = [&]() -> std::optional<fragments::JoinScriptStyle> {
        const auto& regional = output.console.regional;
        return request.script ? std::optional(fragments::JoinScriptStyle{regional.groupSeparator,
                                                                         today(regional.dateFormat)})
                              : std::nullopt;
    };
    const std::int64_t kilobytes =
        request.parts ? fragments::kilobytesForParts(fileio::fileSize(source), *request.parts)
                      : request.kilobytes;
    // Unlike the window, a refused size deletes nothing.
    const fragments::SplitRequest job{source,
                                      kilobytes,
                                      request.checksumFile,
                                      true,
                                      request.outputFolder,
                                      request.fromInput ? readerOf(*output.console.input) : nullptr,
                                      request.recoveryPercent};
    events.recoveryProgress = recoveryProgressOn(progress);
    const std::string setPath = fragments::setPathOf(job);
    const auto outcome = fragments::runSplitJob(job, events);
    progress.clear();
    if (const auto* refusal = std::get_if<fragments::SplitRefusal>(&outcome)) {
        return output.fail(splitRefusalText(*refusal, source));
    }
    const auto& result = std::get<fragments::SplitResult>(outcome);
    output.out << says::sourceSize(sizeText(result.plan.length, output)) << '\n'
               << says::splitProgress(std::ssize(result.fileNames), result.plan.fragmentCount) << '\n'
               << says::fragmentsSize(sizeText(result.bytesWritten, output)) << '\n';
    if (result.checksumFileKept) {
        output.out << says::checksumFileKept(fragments::Nurdatei(fragments::checksumFilePath(setPath)))
                   << '\n';
    }
    if (!result.recoveryFiles.empty()) {
        output.out << says::recoveryWritten(result.recoveryFiles.front(), result.recoveryFiles.size())
                   << '\n';
    }
    if (result.joinScriptFailure) {
        std::rethrow_exception(result.joinScriptFailure);
    }
    if (!result.joinScript) {
        return success;
    }
    const std::string scriptName = fragments::joinScriptLocation(setPath).name;
    if (const auto* refusal = std::get_if<fragments::NoJoinScript>(&*result.joinScript)) {
        return output.fail(says::noScript(*refusal, fragments::Nurdatei(source), scriptName));
    }
    output.out << says::scriptWritten(scriptName) << '\n';
    return success;
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
        return says::fileUnreadable(problem.path, texts::utf8::reason(fileio::Errc::NotRegularFile));
    }
    if (problem.kind == Kind::SetBusy) {
        return says::setBusy(problem.path);
    }
    if (problem.kind == Kind::UnfinishedSplit) {
        return says::unfinishedSplit(problem.path);
    }
    if (problem.kind == Kind::ChecksumFileUnusable) {
        return says::checksumFileUnusable(problem.path);
    }
    if (problem.kind == Kind::ChecksumFilesDisagree) {
        return says::checksumFilesDisagree(problem.path, problem.otherPath);
    }
    return says::fragmentGone(problem.path);
}

// True when the user types yes on the terminal ("j" or "ja" in any case, or what the locale's expression for
// yes takes); without one, the refusal names --force.
bool replaceConfirmed(const std::string& target, const Output& output) {
    const Console& console = output.console;
    if (!console.inputIsTerminal || !console.input) {
        output.fail(says::targetExists(target));
        return false;
    }
    output.err << says::replaceTargetQuestion(target) << std::flush;
    std::string answer;
    if (!std::getline(*console.input, answer)) {
        // No line came (end of input, a stop request): what follows starts on a line of its own.
        output.err << '\n';
    }
    const auto first = answer.find_first_not_of(" \t\r");
    answer = fragments::lowerCase(first == std::string::npos
                                      ? std::string()
                                      : answer.substr(first, answer.find_last_not_of(" \t\r") - first + 1));
    if (answer == "j" || answer == "ja") {
        return true;
    }
    try {
        const std::string& yes = console.regional.yesExpression;
        return !yes.empty() && !answer.empty() &&
               std::regex_search(answer, std::regex(yes, std::regex::extended));
    } catch (const std::regex_error&) {
        return false;
    }
}

}  // namespace

int Output::fail(const std::string& message) const {
    // A stopped command fails with no message of its own: the line that it was stopped follows.
    if (!fileio::cancelRequested()) {
        err << message << '\n' << std::flush;
    }
    return failure;
}

int split(const SplitRequest& request, const Output& output) {
    const auto reason = request.fromInput ? std::nullopt : whyUnreadable(request.source);
    if (reason || (request.fromInput && !output.console.input)) {
        return output.fail(
            says::fileUnreadable(request.fromInput ? "-" : request.source, reason.value_or("")));
    }
    if (!request.outputFolder.empty() && (request.outputFolder == "-" || !isFolder(request.outputFolder))) {
        return output.fail(says::noOutputFolder(request.outputFolder));
    }
    try {
        return splitSource(request, output);
    } catch (...) {
        return output.fail(texts::splitFailure(std::current_exception(), request.source).text);
    }
}

// With --repair, the set's damaged and missing fragments (the first one too) rebuilt before the set is
// listed: a failure's exit status, or nullopt to go on.
std::optional<int> repairFirst(const JoinRequest& request, const Output& output) {
    const std::string name = fragments::Nurdatei(request.firstFragment);
    if (!request.repair || !fragments::isMemberName(name)) {
        return std::nullopt;
    }
    std::optional<recovery::Diagnosis> diagnosis;
    try {
        const auto failed =
            useRecoveryFiles(fragments::folderOf(request.firstFragment), fragments::sourceNameOf(name), true,
                             request.target == "-" ? output.err : output.out, output, diagnosis);
        return failed ? std::optional(output.fail(*failed)) : std::nullopt;
    } catch (...) {
        return output.fail(texts::joinFailure(std::current_exception(), ""));
    }
}

// A join that failed with `thrown`: its message, and for a damaged fragment what the recovery files can do.
int joinFailed(const std::exception_ptr& thrown, const std::string& target, const std::string& folder,
               const std::vector<std::string>& names, const Output& output) {
    output.fail(texts::joinFailure(thrown, target));
    try {
        std::rethrow_exception(thrown);
    } catch (const fragments::DamagedFragment&) {
        hintRecovery(folder, fragments::sourceNameOf(names.front()), output);
    } catch (...) {
        // Only a damaged fragment can be rebuilt.
    }
    return failure;
}

int join(const JoinRequest& request, const Output& output) {
    const std::string& first = request.firstFragment;
    const std::string folder = fragments::folderOf(first);
    const bool toOutput = request.target == "-";
    if (const auto failed = repairFirst(request, output)) {
        return *failed;
    }
    if (const auto reason = whyUnreadable(first)) {
        return output.fail(says::fileUnreadable(first, *reason));
    }
    // The set the window lists beside the first fragment, in its order.
    const std::vector<std::string> names = fragments::setBeside(first).names;
    ProgressLine progress(output);
    std::string target;
    fragments::JoinJobEvents events;
    if (toOutput) {
        events.stream = [&output](const void* data, std::size_t size) {
            errno = 0;
            if (!output.out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size))) {
                standardStreamFailed();
            }
        };
    }
    events.joinDespiteGap = [&](int missingNumber) {
        if (!request.allowGap) {
            output.fail(
                says::gapInNumbering(missingNumber, fragments::memberName(names.front(), missingNumber)));
        }
        return request.allowGap;
    };
    events.chooseTarget = [&](const std::string& suggestedName) {
        // Into an existing folder under the name the fragments carry, as cp puts a file into one.
        if (request.target && isFolder(*request.target)) {
            return std::optional(fragments::withTrailingSeparator(*request.target) + suggestedName);
        }
        return std::optional(request.target.value_or(folder + suggestedName));
    };
    // For a failure's message.
    events.targetAccepted = [&](const std::string& accepted) { target = toOutput ? "-" : accepted; };
    events.beforeRun = [&](const fragments::JoinPlan& plan) {
        return !fileio::fileExists(plan.targetPath) || request.force ||
               replaceConfirmed(plan.targetPath, output);
    };
    events.progress.beforeFragment = [&](std::size_t index) {
        progress.show(says::joinProgress(fragments::progressNumber(names[index]), std::ssize(names)));
    };
    try {
        const auto outcome = fragments::runJoinJob(names, folder, events);
        progress.clear();
        if (const auto* problem = std::get_if<fragments::JoinProblem>(&outcome)) {
            if (problem->kind == fragments::JoinProblem::Kind::Cancelled) {
                return failure;
            }
            output.fail(joinProblemText(*problem, first, names));
            if (problem->kind == fragments::JoinProblem::Kind::MissingFragment) {
                hintRecovery(folder, fragments::sourceNameOf(names.front()), output);
            }
            return failure;
        }
        const auto& result = std::get<fragments::JoinResult>(outcome);
        if (toOutput) {
            errno = 0;
            if (!output.out.flush()) {
                standardStreamFailed();
            }
            return success;
        }
        output.out << says::joinedFile(result.targetPath) << '\n'
                   << says::joinedSize(sizeText(result.bytesWritten, output)) << '\n'
                   << says::verification(result.verifiedFragments, result.checksumFile,
                                         result.checksumFileIsLink)
                   << '\n';
        return success;
    } catch (...) {
        progress.clear();
        return joinFailed(std::current_exception(), target, folder, names, output);
    }
}

int check(const std::string& file, bool repair, const Output& output) {
    using State = fragments::FragmentCheck::State;
    using Found = fragments::SetChecksums::Found;
    const std::string folder = fragments::folderOf(file), name = fragments::Nurdatei(file);
    try {
        const bool isChecksumFile = fragments::lowerCase(name).ends_with(".sfv");
        const auto source = isChecksumFile                  ? fragments::setNameOf(file)
                            : fragments::isMemberName(name) ? std::optional(fragments::sourceNameOf(name))
                                                            : std::nullopt;
        if (!source) {
            return output.fail(says::noFragmentsBeside(file));
        }
        std::optional<recovery::Diagnosis> recovered;
        if (const auto failed = useRecoveryFiles(folder, *source, repair, output.out, output, recovered)) {
            return output.fail(*failed);
        }
        const auto sums = fragments::findSetChecksums(folder, *source, isChecksumFile ? name : "");
        if (const auto untrusted = fragments::untrustedChecksums(sums, folder)) {
            return output.fail(joinProblemText(*untrusted, file, {}));
        }
        int whole = 0;
        for (const auto& fragment : fragments::checkFragments(folder, sums.crcs)) {
            whole += fragment.state == State::Whole ? 1 : 0;
            output.out << (fragment.state == State::Whole ? says::fragmentWhole(fragment.name)
                           : fragment.state == State::Missing
                               ? says::fragmentMissing(fragment.name)
                               : says::fragmentDamaged(fragment.name, checksum::crcText(fragment.found),
                                                       checksum::crcText(fragment.expected)))
                       << '\n';
        }
        if (recovered) {
            showRecoveryState(*source, *recovered, output.out, output.err);
        }
        if (fragments::isUnfinished(folder, *source)) {
            return output.fail(says::setUnfinished(*source));
        }
        const std::string verified = says::verification(
            whole, sums.found == Found::None ? "" : sums.files.front(), sums.found == Found::Link);
        if (sums.found != Found::Read || whole != std::ssize(sums.crcs)) {
            return output.fail(whole == std::ssize(sums.crcs) ? verified : says::setNotWhole(*source));
        }
        output.out << says::setWhole(*source, verified) << '\n';
        return success;
    } catch (const fileio::FileError& error) {
        return output.fail(says::fileUnreadable(error.path(), texts::utf8::reason(error.code())));
    }
}

// The CRC-32 of what comes on `input` until its end.
std::uint32_t streamCrc32(std::istream& input) {
    checksum::RunningCrc32 crc;
    std::vector<char> block(std::size_t{1} << 20);
    while (input.read(block.data(), static_cast<std::streamsize>(block.size())) || input.gcount() > 0) {
        crc(block.data(), static_cast<std::size_t>(input.gcount()));
    }
    return crc.value();
}

// A line of `crc` as sha256sum writes one: a name with a line end or a backslash escaped, the line marked.
std::string crcLine(std::uint32_t crc, const std::string& name) {
    std::string escaped;
    for (const char c : name) {
        const char* escape = c == '\n' ? "\\n" : c == '\r' ? "\\r" : c == '\\' ? "\\\\" : nullptr;
        escape ? escaped.append(escape) : escaped.append(1, c);
    }
    std::string line(escaped == name ? "" : "\\");
    return line.append(checksum::crcText(crc)).append("  ").append(escaped).append(1, '\n');
}

int crc(const std::vector<std::string>& files, const Output& output) {
    clsCRC32 calculator;
    int status = success;
    for (const std::string& file : files) {
        try {
            // "-" is standard input, never a file of that name.
            const bool piped = file == "-" && output.console.input;
            output.out << crcLine(piped ? streamCrc32(*output.console.input)
                                        : checksum::fileCrc32(file, calculator),
                                  file)
                       << std::flush;
        } catch (const fileio::FileError& error) {
            status = output.fail(says::fileUnreadable(file, texts::utf8::reason(error.code())));
        }
    }
    return status;
}

}  // namespace cli
