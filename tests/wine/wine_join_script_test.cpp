// Runs written join scripts with Wine's command interpreter in a German locale and checks that they
// rebuild the source byte for byte, as a user without the program would run them.

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "checksum/crc32_core.hpp"
#include "fragments/join_script.hpp"
#include "fragments/paths.hpp"
#include "support/TempDir.hpp"

namespace fs = std::filesystem;
using namespace testsupport;

namespace {

bool onPath(const std::string& program) {
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

// Ends the prefix's wineserver and waits until it has, so that the folder can be removed.
struct WineServerStop {
    std::string prefix;
    ~WineServerStop() {
        const std::string env = "WINEPREFIX='" + prefix + "' ";
        std::system(
            (env + "wineserver -k >/dev/null 2>&1; " + env + "wineserver -w >/dev/null 2>&1").c_str());
    }
};

// One test, so that the Wine prefix is set up once and no two cases race on it.
TEST(WineJoinScript, ScriptsRebuildTheSourceOrAbort) {
    const std::string wine = onPath("wine") ? "wine" : onPath("wine64") ? "wine64" : "";
    if (wine.empty()) {
        if (std::getenv("CI") != nullptr) {
            FAIL() << "wine is required in CI but was not found on PATH";
        }
        GTEST_SKIP() << "wine is not installed; the join scripts cannot be run here";
    }
    TempDir dir;
    // A fresh prefix per run inside the run's own folder: no stale prefix can mislead the checks, and
    // no wineserver of an earlier run can still be writing into this one.
    const std::string prefix = dir.file("wineprefix");
    const WineServerStop stopServer{prefix};
    const std::string out = dir.file("out.txt"), err = dir.file("err.txt");
    const auto runWine = [&](const fs::path& folder, const std::string& command) {
        return std::system(("cd '" + folder.string() +
                            "' && LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8 WINEDEBUG=-all " +
                            "WINEDLLOVERRIDES='mscoree,mshtml=' WINEPREFIX='" + prefix + "' " + command +
                            " </dev/null >'" + out + "' 2>'" + err + "'")
                               .c_str());
    };
    runWine(dir.path(), wine + " wineboot -i");
    ASSERT_TRUE(fs::exists(fs::path(prefix) / "drive_c")) << readFile(err);

    struct Case {
        std::string name;
        std::size_t size, fragmentBytes;
        int missing;  // a fragment removed before the run, 0 for none
    };
    // Short form, one fragment, long form (26 fragments), empty, abort. (An umlaut, "%" and "&" are the
    // Windows round trip's, with the script the command-line program writes.)
    for (const Case& c : {Case{"Beispiel.dat", 2500, 1024, 0}, Case{"Einzel.bin", 700, 1024, 0},
                          Case{"Beispiel.dat", 2563, 100, 0}, Case{"Leer.dat", 0, 1024, 0},
                          Case{"Beispiel.dat", 2500, 1024, 3}}) {
        SCOPED_TRACE(c.name + " missing " + std::to_string(c.missing));
        const fs::path folder = dir.path() / "lauf";
        fs::remove_all(folder);
        fs::create_directories(folder);
        const auto bytes = patternBytes(c.size, static_cast<std::uint32_t>(c.size));
        const std::string source(bytes.begin(), bytes.end());
        fragments::JoinScriptInput in{c.name, {}, "", static_cast<std::int64_t>(c.size), ".", "06.12.2025"};
        for (std::size_t offset = 0; offset < c.size; offset += c.fragmentBytes) {
            in.lastFragmentName =
                fragments::fragmentName(c.name, static_cast<int>(in.fragmentNames.size()) + 1);
            writeFile((folder / in.lastFragmentName).string(), source.substr(offset, c.fragmentBytes));
            // The split lists names as the folder reported them: here with a lower-case first letter.
            in.fragmentNames.push_back(in.lastFragmentName);
            in.fragmentNames.back()[0] = static_cast<char>(std::tolower(c.name[0]));
        }
        if (c.missing != 0) {
            fs::remove(folder / fragments::fragmentName(c.name, c.missing));
        }
        const std::string script = fragments::NurName(c.name) + ".bat";
        fragments::writeJoinScript((folder / script).string(), in);

        // The quotes come from the variable so that Wine passes the command line on untouched.
        EXPECT_EQ(runWine(folder, "JOINSCRIPT='\"" + script + "\"' " + wine + " cmd /c %JOINSCRIPT%"), 0)
            << readFile(err);
        const std::string output = readFile(out);
        if (c.missing == 0) {
            EXPECT_TRUE(fs::exists(folder / c.name));
            EXPECT_EQ(readFile((folder / c.name).string()), source);
            EXPECT_EQ(output.find("Abbruch"), std::string::npos) << output;
            EXPECT_NE(output.find("Zusammenfuegen von \"" + c.name + "\" beendet.\r\n"), std::string::npos)
                << output;
        } else {
            // The banner, the source's line, the date and the abort, nothing else: nothing is copied.
            EXPECT_EQ(
                checksum::crc32Update(0, reinterpret_cast<const std::uint8_t*>(output.data()), output.size()),
                0x7BBE4391u)
                << output;
            EXPECT_FALSE(fs::exists(folder / c.name));
        }
    }
}

}  // namespace
