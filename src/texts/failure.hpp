#pragma once
// What the window and the command line say when a split or a join stops on an exception: one description
// of each kind of failure, UTF-8 (an exception's own text is taken as UTF-8 too). No Qt here.

#include <exception>
#include <new>
#include <optional>
#include <string>

#include "checksum/file_checksum.hpp"
#include "fileio/error.hpp"
#include "fileio/files.hpp"
#include "fragments/join.hpp"
#include "fragments/paths.hpp"
#include "texts/texts.hpp"

namespace texts {

// A split that stopped.
struct SplitFailure {
    enum class Kind {
        OutOfMemory,  // memory ran out: `text` is utf8::outOfMemory
        // A file could not be opened or created: `text` names the source when it was that file, and says the
        // fragments cannot be written otherwise (the window says so for the source too).
        CannotOpen,
        Aborted,  // anything else: `text` says where and why
    };
    Kind kind = Kind::Aborted;
    std::string text;
};

// The split of `source` that threw `error`. An exception that is no std::exception is thrown on.
// A lock file another user owns, which keeps this one from the set, named with its owner.
inline std::optional<std::string> foreignLock(const fileio::FileError& failed) {
    const std::string name = fragments::Nurdatei(failed.path());
    const auto owner = name.starts_with('.') && name.ends_with(".lock") &&
                               (failed.code() == std::errc::permission_denied ||
                                failed.code() == std::errc::operation_not_permitted)
                           ? fileio::otherOwnerOf(failed.path())
                           : std::nullopt;
    return owner ? std::optional(utf8::lockOfOtherUser(failed.path(), *owner)) : std::nullopt;
}

inline SplitFailure splitFailure(const std::exception_ptr& error, const std::string& source) {
    using Kind = SplitFailure::Kind;
    try {
        std::rethrow_exception(error);
    } catch (const std::bad_alloc&) {
        return {Kind::OutOfMemory, utf8::outOfMemory};
    } catch (const fileio::FileError& failed) {
        if (const auto lock = foreignLock(failed)) {
            return {Kind::Aborted, *lock};
        }
        if (failed.kind() != fileio::FileError::Kind::CannotOpen) {
            return {Kind::Aborted, utf8::splitAborted(failed.path(), utf8::reason(failed.code()))};
        }
        return {Kind::CannotOpen, failed.path() == source
                                      ? utf8::fileUnreadable(source, utf8::reason(failed.code()))
                                      : utf8::cannotWriteFragments};
    } catch (const std::exception& failed) {
        return {Kind::Aborted, utf8::splitAborted(failed.what())};
    }
}

// The message for the join to `target` (empty before one was accepted) that threw `error`. An exception
// that is no std::exception is thrown on.
inline std::string joinFailure(const std::exception_ptr& error, const std::string& target) {
    try {
        std::rethrow_exception(error);
    } catch (const fragments::DamagedFragment& damaged) {
        return damaged.staleBy().empty()
                   ? utf8::damagedFragment(damaged.name(), checksum::crcText(damaged.found()),
                                           checksum::crcText(damaged.expected()))
                   : utf8::staleChecksumFile(damaged.name(), checksum::crcText(damaged.found()),
                                             checksum::crcText(damaged.expected()), damaged.staleBy());
    } catch (const fileio::FileError& failed) {
        return foreignLock(failed).value_or(utf8::joinAborted(failed.path(), utf8::reason(failed.code())));
    } catch (const std::exception& failed) {
        return utf8::joinAborted(target, failed.what());
    }
}

}  // namespace texts
