// The console of a POSIX process: its locale, its terminals and its arguments.

#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <iostream>
#include <string_view>

#include "cli/cli.hpp"

namespace cli {

namespace {

// The plain C/POSIX locale, in any of its spellings ("C", "POSIX", "C.UTF-8").
bool isPlainLocale(std::string_view name) {
    return name == "C" || name == "POSIX" || name.starts_with("C.");
}

Regional regionalSettings() {
    const char* numeric = std::setlocale(LC_NUMERIC, nullptr);
    if (!numeric || isPlainLocale(numeric)) {
        return Regional{};
    }
    const std::lconv* conventions = std::localeconv();
    return Regional{conventions->decimal_point, conventions->thousands_sep, "%x"};
}

}  // namespace

Console processConsole(std::string program, bool opensWindow) {
    std::setlocale(LC_ALL, "");
    Console console;
    console.program = std::move(program);
    console.opensWindow = opensWindow;
    console.input = &std::cin;
    console.inputIsTerminal = isatty(STDIN_FILENO) == 1;
    console.errorIsTerminal = isatty(STDERR_FILENO) == 1;
    console.regional = regionalSettings();
    return console;
}

std::vector<std::string> arguments(int argc, char* argv[]) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

}  // namespace cli
