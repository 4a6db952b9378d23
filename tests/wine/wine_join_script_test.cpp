// Join scripts under Wine's cmd in a German locale rebuild the source, or abort on a missing fragment.

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>

#include "checksum/crc32_core.hpp"
#include "fragments/join_script.hpp"
#include "fragments/paths.hpp"
#include "support/TempDir.hpp"

using namespace testsupport;

namespace {

TEST(WineJoinScript, ScriptsRebuildTheSourceOrAbort) {
    const auto onPath = [](const std::string& p) {
        return std::system(("command -v " + p + " >/dev/null").c_str()) == 0;
    };
    const std::string wine = onPath("wine") ? "wine" : onPath("wine64") ? "wine64" : "";
    if (wine.empty()) {
        ASSERT_EQ(std::getenv("CI"), nullptr) << "wine is required in CI but was not found on PATH";
        GTEST_SKIP() << "wine is not installed; the join scripts cannot be run here";
    }
    // A fresh prefix in the run's own folder, its wineserver ended and waited for before the folder goes.
    TempDir dir;
    const std::string env = "WINEPREFIX='" + dir.file("wineprefix") + "' ", out = dir.file("out"),
                      err = dir.file("err");
    const std::shared_ptr<void> stop(nullptr, [&](void*) {
        // Whether a wineserver was left to end does not matter.
        [[maybe_unused]] const int ended = std::system(
            (env + "wineserver -k >/dev/null 2>&1; " + env + "wineserver -w >/dev/null 2>&1").c_str());
    });
    const auto runWine = [&](const std::string& folder, const std::string& command) {
        return std::system(("cd '" + folder + "' && LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8 WINEDEBUG=-all " +
                            "WINEDLLOVERRIDES='mscoree,mshtml=' " + env + command + " </dev/null >'" + out +
                            "' 2>'" + err + "'")
                               .c_str());
    };
    runWine(dir.utf8(), wine + " wineboot -i");
    ASSERT_TRUE(std::filesystem::exists(dir.path() / "wineprefix" / "drive_c")) << readFile(err);
    // Short form, one fragment, long form (26 fragments), empty, abort.
    for (const auto& [name, size, fragmentBytes, missing] : {std::tuple{"Beispiel.dat", 2500, 1024, 0},
                                                             {"Einzel.bin", 700, 1024, 0},
                                                             {"Beispiel.dat", 2563, 100, 0},
                                                             {"Leer.dat", 0, 1024, 0},
                                                             {"Beispiel.dat", 2500, 1024, 3}}) {
        SCOPED_TRACE(std::string(name) + " missing " + std::to_string(missing));
        const std::string folder = dir.file("lauf" + std::to_string(size) + "-" + std::to_string(missing)),
                          target = name;
        std::filesystem::create_directories(folder);
        const auto bytes = patternBytes(static_cast<std::size_t>(size), static_cast<std::uint32_t>(size));
        const std::string source(bytes.begin(), bytes.end());
        fragments::JoinScriptInput in{name, {}, "", size, ".", "06.12.2025"};
        for (int offset = 0; offset < size; offset += fragmentBytes) {
            in.lastFragmentName =
                fragments::fragmentName(name, static_cast<int>(in.fragmentNames.size()) + 1);
            writeFile(
                folder + "/" + in.lastFragmentName,
                source.substr(static_cast<std::size_t>(offset), static_cast<std::size_t>(fragmentBytes)));
            // The split lists names as the folder reported them: here with a lower-case first letter.
            in.fragmentNames.push_back(static_cast<char>(std::tolower(name[0])) +
                                       in.lastFragmentName.substr(1));
        }
        std::filesystem::remove(folder + "/" + (missing != 0 ? fragments::fragmentName(name, missing) : "-"));
        fragments::writeJoinScript(folder + "/" + fragments::NurName(name) + ".bat", in);
        // The quotes come from the variable so that Wine passes the command line on untouched.
        EXPECT_EQ(runWine(folder, "JOINSCRIPT='\"" + fragments::NurName(name) + ".bat\"' " + wine +
                                      " cmd /c %JOINSCRIPT%"),
                  0)
            << readFile(err);
        const std::string output = readFile(out);
        if (missing == 0) {
            EXPECT_EQ(std::filesystem::exists(folder + "/" + target) ? readFile(folder + "/" + target) : "-",
                      source);
            EXPECT_TRUE(output.find("Abbruch") == std::string::npos &&
                        output.find("Zusammenfuegen von \"" + target + "\" beendet.\r\n") !=
                            std::string::npos)
                << output;
        } else {  // the banner, the source's line, the date and the abort, nothing else: nothing is copied
            EXPECT_EQ(
                checksum::crc32Update(0, reinterpret_cast<const std::uint8_t*>(output.data()), output.size()),
                0x7BBE4391u)
                << output;
            EXPECT_FALSE(std::filesystem::exists(folder + "/" + target));
        }
    }
}

}  // namespace
