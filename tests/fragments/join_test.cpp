#include "fragments/join.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "core_test_support.hpp"
#include "fragments/errors.hpp"
#include "fragments/file_io.hpp"
#include "fragments/paths.hpp"
#include "fragments/split.hpp"
#include "support/TempDir.hpp"

namespace fragments {
namespace {

using testsupport::filesIn;
using testsupport::patternBytes;
using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;
using Names = std::vector<std::string>;

TEST(JoinChecks, FirstMissingNumber) {
    EXPECT_EQ(firstMissingNumber({"B.dat._001", "B.dat._002", "B.dat._004"}), 3);
    EXPECT_EQ(firstMissingNumber({"B.dat._002", "B.dat._003"}), 1);
    EXPECT_EQ(firstMissingNumber({"B.dat._001", "B.dat._002", "B.txt._001"}), 3);
    EXPECT_EQ(firstMissingNumber({"B.dat._001", "B.dat._002", "B.dat._003"}), std::nullopt);
    EXPECT_EQ(firstMissingNumber({"B.dat._001", "B.dat._abc"}), std::nullopt);
    EXPECT_EQ(firstMissingNumber({}), std::nullopt);
}

TEST(JoinChecks, SameFile) {
    TempDir dir;
    writeFile(dir.file("a"), "x");
    writeFile(dir.file("b"), "x");
    std::filesystem::create_hard_link(dir.file("a"), dir.file("link"));
    EXPECT_TRUE(sameFile(dir.file("a"), dir.path().string() + "/./a"));
    EXPECT_TRUE(sameFile(dir.file("a"), dir.file("link")));
    EXPECT_FALSE(sameFile(dir.file("a"), dir.file("b")));
    EXPECT_FALSE(sameFile(dir.file("a"), dir.file("fehlt")));
    EXPECT_FALSE(sameFile(dir.file("fehlt"), dir.file("fehlt")));
}

class Join : public ::testing::Test {
  protected:
    void TearDown() override { testing::setWriteFault({}); }

    // Splits 2500 bytes into Beispiel.dat._001 to ._003 beside an empty fragment ._004.
    void SetUp() override {
        const auto bytes = patternBytes(2500);
        source = std::string(bytes.begin(), bytes.end());
        writeFile(dir.file("Beispiel.dat"), bytes);
        splitFile(dir.file("Beispiel.dat"), planSplit(2500, 1024), {}, '/');
        writeFile(dir.file("Beispiel.dat._004"), "");
        for (int n = 1; n <= 4; ++n) {
            fragments.push_back(fragmentName(dir.file("Beispiel.dat"), n));
        }
    }

    TempDir dir;
    std::string source;
    Names fragments;
};

TEST_F(Join, TargetAppearsWholeOnlyOnCommit) {
    const std::string target = dir.file("Größe neu.dat");
    writeFile(target, "alt");
    std::filesystem::permissions(target, std::filesystem::perms::owner_read);
    {
        JoinOutput output(target);
        for (const auto& fragment : fragments) {
            output.append(fragment);
        }
        EXPECT_EQ(readFile(target), "alt") << "the target is untouched until commit";
        EXPECT_EQ(filesIn(dir.path()).size(), 7u) << "a temporary file beside it";
        output.commit();
    }
    EXPECT_EQ(readFile(target), source);
    EXPECT_EQ(filesIn(dir.path()), (Names{"Beispiel.dat", "Beispiel.dat._001", "Beispiel.dat._002",
                                          "Beispiel.dat._003", "Beispiel.dat._004", "Größe neu.dat"}));
}

TEST_F(Join, WithoutCommitNothingChanges) {
    const std::string target = dir.file("neu.dat");
    writeFile(target, "alt");
    {
        JoinOutput output(target);
        output.append(fragments[0]);
    }
    { JoinOutput output(dir.file("nie.dat")); }
    EXPECT_EQ(readFile(target), "alt");
    EXPECT_EQ(filesIn(dir.path()).size(), 6u) << "no temporary file left";
}

TEST_F(Join, FailuresNameTheFragmentOrTheTarget) {
    const std::string target = dir.file("neu.dat");
    {
        JoinOutput output(target);
        output.append(fragments[0]);
        testsupport::expectFileError([&] { output.append(dir.file("Beispiel.dat._009")); },
                                     FileError::Kind::CannotOpen, dir.file("Beispiel.dat._009"));
        testing::setWriteFault([](const std::string&, std::size_t) { return ENOSPC; });
        testsupport::expectFileError([&] { output.append(fragments[1]); }, FileError::Kind::Io, target);
    }
    EXPECT_FALSE(fileExists(target));
    EXPECT_EQ(filesIn(dir.path()).size(), 5u) << "no temporary file left";

    const std::string elsewhere = dir.file("fehlt/neu.dat");
    testsupport::expectFileError([&] { JoinOutput output(elsewhere); }, FileError::Kind::CannotOpen,
                                 elsewhere);
}

}  // namespace
}  // namespace fragments
