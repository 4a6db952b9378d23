// The executables as a user starts them, without a display: help and version, commands on names
// relative to the working directory, and which arguments open the window instead.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>
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

// Runs `program` with `args` in `folder`, without a display, with `platform` as Qt's platform plugin
// when it is not empty, and without core dumps.
Outcome runProgram(const std::string& program, const Names& args, const TempDir& folder,
                   const std::string& platform = {}) {
    const TempDir outputs;
    std::string command = "cd '" + folder.utf8() + "' && ulimit -c 0 && env -u DISPLAY -u WAYLAND_DISPLAY " +
                          "-u QT_QPA_PLATFORM " + (platform.empty() ? "" : "QT_QPA_PLATFORM=" + platform) +
                          " '" + program + "'";
    for (const std::string& arg : args) {
        command += " '" + arg + "'";
    }
    command += " </dev/null >'" + outputs.file("out") + "' 2>'" + outputs.file("err") + "'";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), readFile(outputs.file("out")),
            readFile(outputs.file("err"))};
}

Names programs() {
    Names all{CLI_PROGRAM};
#ifdef WINDOW_PROGRAM
    all.emplace_back(WINDOW_PROGRAM);
#endif
    return all;
}

// Help and version need no display; names are taken as given, also one that looks like an option
// after "--" and one that is a command's name.
TEST(Programs, HelpVersionAndCommandsOnRelativeNames) {
    const TempDir dir;
    const auto bytes = patternBytes(2148);
    writeFile(dir.file("split"), bytes);
    writeFile(dir.file("-x"), std::string("123456789"));
    for (const std::string& program : programs()) {
        const Outcome help = runProgram(program, {"--help"}, dir);
        EXPECT_EQ(std::pair(help.status, help.err), std::pair(0, std::string())) << program;
        EXPECT_TRUE(help.out.starts_with("Aufruf:\n")) << help.out;
        EXPECT_TRUE(help.out.ends_with("Exit-Status: 0 Erfolg, 1 Fehler, 2 falscher Aufruf.\n")) << help.out;
        const Outcome version = runProgram(program, {"--version"}, dir);
        EXPECT_EQ(std::tuple(version.status, version.out, version.err),
                  std::tuple(0, "dodiveverazed " + std::string(dodiveverazed::version) + '\n', ""));

        EXPECT_EQ(runProgram(program, {"split", "-s", "1", "split"}, dir).status, 0);
        const Outcome join = runProgram(program, {"join", "-f", "split._001"}, dir);
        EXPECT_EQ(join.status, 0) << join.err;
        EXPECT_EQ(readFile(dir.file("split")), std::string(bytes.begin(), bytes.end()));
        const Outcome crc = runProgram(program, {"crc", "--", "-x"}, dir);
        EXPECT_EQ(std::pair(crc.status, crc.out), std::pair(0, std::string("CBF43926  -x\n")));
    }
}

#ifdef WINDOW_PROGRAM
// With a Qt platform that does not exist, whatever creates the application fails at once and names
// it; the command line never gets that far. (Which arguments are which: the launch decision's test.)
TEST(Programs, WhichArgumentsOpenTheWindow) {
    const TempDir dir;
    writeFile(dir.file("split"), std::string("x"));
    const std::string platform = "dodiveverazed-none";
    for (const Names& args : {Names{}, Names{"--", "split"}}) {
        const Outcome window = runProgram(WINDOW_PROGRAM, args, dir, platform);
        EXPECT_NE(window.err.find('"' + platform + '"'), std::string::npos) << window.err;
        EXPECT_NE(window.status, 0);
    }
    const Outcome unknown = runProgram(WINDOW_PROGRAM, {"-x", "split"}, dir, platform);
    EXPECT_EQ(std::pair(unknown.status, unknown.err),
              std::pair(2, std::string("Unbekannte Option: -x\nHilfe: dodiveverazed --help\n")));
}
#endif

}  // namespace
}  // namespace testsupport
