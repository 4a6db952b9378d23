// The executables as a user starts them, without a display: help and version, commands on names
// relative to the working directory, and which arguments open the window instead.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "dodiveverazed/project.hpp"
#include "support/TempDir.hpp"

namespace testsupport {
namespace {

using Names = std::vector<std::string>;

struct Outcome {
    int status;  // the exit status, or 128 and the signal that ended the program
    std::string out;
    std::string err;
};

// Runs `program` with `args` in `folder`, without DISPLAY and WAYLAND_DISPLAY, with `platform` as Qt's
// platform plugin when it is not empty, and without core dumps.
Outcome runProgram(const std::string& program, const Names& args, const TempDir& folder,
                   const std::string& platform = {}) {
    const TempDir outputs;
    const std::string outPath = outputs.file("out");
    const std::string errPath = outputs.file("err");
    const pid_t child = fork();
    if (child == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int in = open("/dev/null", O_RDONLY);
        const rlimit noCore{0, 0};
        if (out < 0 || err < 0 || in < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 ||
            chdir(folder.path().c_str()) != 0 || setrlimit(RLIMIT_CORE, &noCore) != 0) {
            _exit(127);
        }
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("QT_QPA_PLATFORM");
        if (!platform.empty()) {
            setenv("QT_QPA_PLATFORM", platform.c_str(), 1);
        }
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int status = -1;
    waitpid(child, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), readFile(outPath),
            readFile(errPath)};
}

Names programs() {
    Names all{CLI_PROGRAM};
#ifdef WINDOW_PROGRAM
    all.emplace_back(WINDOW_PROGRAM);
#endif
    return all;
}

TEST(Programs, HelpAndVersionNeedNoDisplay) {
    const TempDir dir;
    for (const std::string& program : programs()) {
        const Outcome help = runProgram(program, {"--help"}, dir);
        EXPECT_EQ(help.status, 0) << program;
        EXPECT_TRUE(help.out.starts_with("Aufruf:\n")) << help.out;
        EXPECT_TRUE(help.out.ends_with("Exit-Status: 0 Erfolg, 1 Fehler, 2 falscher Aufruf.\n")) << help.out;
        EXPECT_EQ(help.err, "") << program;
        const Outcome version = runProgram(program, {"--version"}, dir);
        EXPECT_EQ(version.status, 0);
        EXPECT_EQ(version.out, "dodiveverazed " + std::string(dodiveverazed::version) + '\n');
        EXPECT_EQ(version.err, "");
    }
}

// Names as given, also one that looks like an option after "--" and one that is a command's name.
TEST(Programs, CommandsOnRelativeNames) {
    const TempDir dir;
    const auto bytes = patternBytes(2148);
    writeFile(dir.file("split"), bytes);
    writeFile(dir.file("-x"), std::string("123456789"));
    for (const std::string& program : programs()) {
        EXPECT_EQ(runProgram(program, {"split", "-s", "1", "split"}, dir).status, 0);
        const Outcome join = runProgram(program, {"join", "-f", "split._001"}, dir);
        EXPECT_EQ(join.status, 0) << join.err;
        EXPECT_EQ(readFile(dir.file("split")), std::string(bytes.begin(), bytes.end()));
        const Outcome crc = runProgram(program, {"crc", "--", "-x"}, dir);
        EXPECT_EQ(crc.out, "CBF43926  -x\n");
        EXPECT_EQ(crc.status, 0);
    }
}

#ifdef WINDOW_PROGRAM
// With a Qt platform that does not exist, whatever creates the application fails at once and names
// it; the command line never gets that far.
TEST(Programs, WhichArgumentsOpenTheWindow) {
    const TempDir dir;
    writeFile(dir.file("split"), std::string("x"));
    const std::string platform = "dodiveverazed-none";
    for (const Names& args : {Names{}, Names{"--", "split"}, Names{"split._001"}, Names{"--"}}) {
        const Outcome window = runProgram(WINDOW_PROGRAM, args, dir, platform);
        EXPECT_NE(window.err.find('"' + platform + '"'), std::string::npos) << window.err;
        EXPECT_NE(window.status, 0);
    }
    const Outcome unknown = runProgram(WINDOW_PROGRAM, {"-x", "split"}, dir, platform);
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(unknown.err, "Unbekannte Option: -x\nHilfe: dodiveverazed --help\n");
    const Outcome missing = runProgram(WINDOW_PROGRAM, {"split"}, dir, platform);
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.err, "Es fehlt der Dateiname.\nHilfe: dodiveverazed --help\n");
}
#endif

}  // namespace
}  // namespace testsupport
