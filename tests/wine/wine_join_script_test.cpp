// Runs written join scripts with Wine's command interpreter in a German locale and checks that they
// rebuild the source byte for byte, as a user without the program would run them.

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "fragments/join_script.hpp"
#include "fragments/paths.hpp"
#include "support/TempDir.hpp"

namespace fs = std::filesystem;

namespace {

std::optional<std::string> findWine() {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        const std::size_t end = std::min(dirs.find(':', start), dirs.size());
        const std::string dir = dirs.substr(start, end - start);
        for (const char* name : {"wine", "wine64"}) {
            const std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
            if (::access(candidate.c_str(), X_OK) == 0) {
                return candidate;
            }
        }
        start = end + 1;
    }
    return std::nullopt;
}

// Runs `arguments` with Wine in `cwd`, stdin from /dev/null, stdout and stderr to files.
int runWine(const std::string& wine, const std::vector<std::string>& arguments, const fs::path& cwd,
            const std::vector<std::string>& extraEnvironment, const fs::path& out, const fs::path& err) {
    const char* prefix = std::getenv("DODIVEVERAZED_WINEPREFIX");
    const pid_t child = ::fork();
    if (child == 0) {
        if (::chdir(cwd.c_str()) != 0) {
            ::_exit(126);
        }
        const int in = ::open("/dev/null", O_RDONLY);
        const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || o < 0 || e < 0) {
            ::_exit(126);
        }
        ::dup2(in, 0);
        ::dup2(o, 1);
        ::dup2(e, 2);
        ::setenv("LANG", "de_DE.UTF-8", 1);
        ::setenv("LC_ALL", "de_DE.UTF-8", 1);
        ::setenv("WINEDEBUG", "-all", 1);
        ::setenv("WINEDLLOVERRIDES", "mscoree,mshtml=", 1);
        ::setenv("WINEPREFIX", prefix, 1);
        for (const auto& assignment : extraEnvironment) {
            const auto eq = assignment.find('=');
            ::setenv(assignment.substr(0, eq).c_str(), assignment.substr(eq + 1).c_str(), 1);
        }
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(wine.c_str()));
        for (const auto& a : arguments) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        ::execv(wine.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string asciiLower(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return s;
}

struct ScriptRun {
    std::string output;  // what the script printed
    std::string joined;  // the rebuilt file ("" when none was made)
    bool joinedExists = false;
    std::string source;  // the original bytes
};

class WineJoinScript : public ::testing::Test {
  protected:
    void SetUp() override {
        wine_ = findWine();
        if (!wine_) {
            if (std::getenv("CI") != nullptr) {
                FAIL() << "wine is required in CI but was not found on PATH";
            }
            GTEST_SKIP() << "wine is not installed; the join scripts cannot be run here";
        }
        const char* prefix = std::getenv("DODIVEVERAZED_WINEPREFIX");
        ASSERT_NE(prefix, nullptr) << "DODIVEVERAZED_WINEPREFIX must name the Wine prefix folder";
        static bool prefixReady = false;
        if (!prefixReady) {
            // A fresh prefix per run: a stale one from an earlier Wine could mislead the checks.
            fs::remove_all(prefix);
            fs::create_directories(fs::path(prefix).parent_path());
            runWine(*wine_, {"wineboot", "-i"}, dir_.path(), {}, dir_.path() / "boot.out",
                    dir_.path() / "boot.err");
            ASSERT_TRUE(fs::exists(fs::path(prefix) / "drive_c"))
                << "Wine could not create its prefix: "
                << testsupport::readFile((dir_.path() / "boot.err").string());
            prefixReady = true;
        }
    }

    // Splits `size` pattern bytes named `name` into fragments of `fragmentBytes` in a folder of
    // their own, writes the script beside them, drops the fragments numbered in `missing`, and
    // runs the script there.
    ScriptRun splitAndRun(const std::string& name, std::size_t size, std::size_t fragmentBytes,
                          const std::vector<int>& missing = {}) {
        ScriptRun run;
        const auto bytes = testsupport::patternBytes(size, static_cast<std::uint32_t>(size));
        run.source.assign(bytes.begin(), bytes.end());

        const fs::path folder = dir_.path() / "lauf";
        fs::create_directories(folder);
        fragments::JoinScriptInput in;
        in.targetName = name;
        in.sourceBytes = static_cast<std::int64_t>(size);
        in.thousandsSeparator = ".";
        in.dateText = "06.12.2025";
        int number = 0;
        for (std::size_t offset = 0; offset < size; offset += fragmentBytes) {
            const std::string fragment = fragments::fragmentName(name, ++number);
            testsupport::writeFile((folder / fragment).string(),
                                   run.source.substr(offset, std::min(fragmentBytes, size - offset)));
            in.fragmentNames.push_back(asciiLower(fragment));
            in.lastFragmentName = fragment;
        }
        for (int gone : missing) {
            fs::remove(folder / fragments::fragmentName(name, gone));
        }
        script_ = fragments::NurName(name) + ".bat";
        fragments::writeJoinScript((folder / script_).string(), in);
        scriptText_ = testsupport::readFile((folder / script_).string());

        // The quotes come from the variable so that Wine passes the command line on untouched.
        const int rc =
            runWine(*wine_, {"cmd", "/c", "%JOINSCRIPT%"}, folder, {"JOINSCRIPT=\"" + script_ + "\""},
                    dir_.path() / "out.txt", dir_.path() / "err.txt");
        EXPECT_EQ(rc, 0) << testsupport::readFile((dir_.path() / "err.txt").string());
        EXPECT_EQ(testsupport::readFile((dir_.path() / "err.txt").string()), "");
        run.output = testsupport::readFile((dir_.path() / "out.txt").string());
        run.joinedExists = fs::exists(folder / name);
        run.joined = testsupport::readFile((folder / name).string());
        return run;
    }

    static constexpr const char* abortText =
        "Abbruch: Eine oder mehrere Fragmentdateien fehlen oder befinden sich\r\n"
        "         in einem anderen Ordner !\r\n";

    testsupport::TempDir dir_;
    std::optional<std::string> wine_;
    std::string script_;
    std::string scriptText_;
};

std::string doneLine(const std::string& nameAsPrinted) {
    return "Zusammenfuegen von \"" + nameAsPrinted + "\" beendet.\r\n";
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

}  // namespace

TEST_F(WineJoinScript, PlainNameShortForm) {
    const auto run = splitAndRun("Beispiel.dat", 2500, 1024);
    ASSERT_TRUE(contains(scriptText_, "\r\ncopy /b \"beispiel.dat._001\"+\"beispiel.dat._002\"+"));
    EXPECT_TRUE(run.joinedExists);
    EXPECT_EQ(run.joined, run.source);
    EXPECT_TRUE(contains(run.output, "Die Originaldatei \"Beispiel.dat\" [2.500 Byte]\r\n")) << run.output;
    EXPECT_TRUE(contains(run.output, doneLine("Beispiel.dat"))) << run.output;
    EXPECT_FALSE(contains(run.output, "Abbruch")) << run.output;
}

TEST_F(WineJoinScript, OneFragment) {
    const auto run = splitAndRun("Einzel.bin", 700, 1024);
    EXPECT_EQ(run.joined, run.source);
    EXPECT_TRUE(contains(run.output, doneLine("Einzel.bin"))) << run.output;
}

TEST_F(WineJoinScript, LongFormWithTwentySixFragments) {
    const auto run = splitAndRun("Beispiel.dat", 26 * 100 - 37, 100);
    ASSERT_TRUE(
        contains(scriptText_, "\r\ncopy /b \"Beispiel.dat\"+\"beispiel.dat._026\" \"Beispiel.dat\"\r\n"));
    EXPECT_EQ(run.joined, run.source);
    EXPECT_TRUE(contains(run.output, doneLine("Beispiel.dat"))) << run.output;
}

// The script is read in code page 850; a wrong code page would name files that do not exist.
TEST_F(WineJoinScript, UmlautInTheName) {
    const auto run = splitAndRun(
        "Pr\xC3\xBC"
        "fung.dat",
        5000, 2048);
    EXPECT_TRUE(contains(scriptText_,
                         "\"Pr\x81"
                         "fung.dat._003\""));
    EXPECT_EQ(run.joined, run.source);
    EXPECT_FALSE(contains(run.output, "Abbruch")) << run.output;
}

TEST_F(WineJoinScript, PercentAndAmpersandInTheName) {
    const auto run = splitAndRun("100% & mehr.dat", 3000, 1024);
    EXPECT_EQ(run.joined, run.source);
    EXPECT_TRUE(contains(run.output, doneLine("100% & mehr.dat"))) << run.output;
}

// The whole output, since the abort must be the only thing after the banner: nothing is copied.
TEST_F(WineJoinScript, MissingLastFragmentAborts) {
    const auto run = splitAndRun("Beispiel.dat", 2500, 1024, {3});
    const std::string frame = std::string(55, '*') + "\r\n";
    const std::string blank = "*" + std::string(53, ' ') + "*\r\n";
    EXPECT_EQ(run.output, "\r\n" + frame + blank +
                              "*        Gesplittet mit Brisko's Dodiveverazed.       *\r\n" + blank + frame +
                              "\r\nDie Originaldatei \"Beispiel.dat\" [2.500 Byte]\r\n" +
                              "wurde am: 06.12.2025 gesplittet.\r\n\r\n" + abortText);
    EXPECT_FALSE(run.joinedExists);
}

TEST_F(WineJoinScript, EmptySourceGivesAnEmptyFile) {
    const auto run = splitAndRun("Leer.dat", 0, 1024);
    EXPECT_TRUE(run.joinedExists);
    EXPECT_EQ(run.joined, "");
    EXPECT_TRUE(contains(run.output, doneLine("Leer.dat"))) << run.output;
}
