#pragma once
// Joining fragments into one file, safely: the target appears only when every byte is there.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace fragments {

// The first number missing from 1, 2, ... n when every name ends in three digits and they do not
// run without a gap; nullopt otherwise.
std::optional<int> firstMissingNumber(const std::vector<std::string>& names);

// True when both paths name the same existing file.
bool sameFile(const std::string& a, const std::string& b);

// The joined output: written to a temporary file in the target's folder and moved onto the target
// by commit(). Destroyed without commit, it removes the temporary file and leaves the target alone.
class JoinOutput {
  public:
    // Throws FileError (CannotOpen) naming the target.
    explicit JoinOutput(const std::string& targetPath);
    ~JoinOutput();
    JoinOutput(const JoinOutput&) = delete;
    JoinOutput& operator=(const JoinOutput&) = delete;

    // Reserves room for `bytes` of joined data up front (faster, and a full disk shows at once).
    // Throws FileError (Io) naming the target when the space is not there.
    void reserve(std::int64_t bytes);
    // Appends the whole file. Throws FileError naming the fragment (read) or the target (write).
    void append(const std::string& fragmentPath);
    // Replaces the target (a read-only one too) by the joined data. Throws FileError naming the target.
    void commit();

  private:
    struct State;
    std::string targetPath_;
    std::string temporaryPath_;
    std::unique_ptr<State> state_;
};

}  // namespace fragments
