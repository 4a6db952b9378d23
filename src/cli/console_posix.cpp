// The console of a POSIX process: its locale, its terminals, its arguments and its signals.

#include <langinfo.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string_view>

#include "cli/cli.hpp"
#include "fileio/files.hpp"

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
    return Regional{conventions->decimal_point, conventions->thousands_sep, "%x", ""};
}

constexpr std::array stopSignals{SIGINT, SIGTERM, SIGHUP, SIGPIPE};
// Which of them the program catches: not those ignored when it started.
std::array<bool, stopSignals.size()> caught{};
volatile std::sig_atomic_t firstStopRequest = 0;

void setAction(int signal, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    // No SA_RESTART: a read of the terminal's answer returns at once. The handler runs one at a time.
    sigemptyset(&action.sa_mask);
    for (const int blocked : stopSignals) {
        sigaddset(&action.sa_mask, blocked);
    }
    sigaction(signal, &action, nullptr);
}

extern "C" void onStopRequest(int signal) {
    if (firstStopRequest == 0) {
        firstStopRequest = signal;
    }
    fileio::requestCancel();
    // A second request ends the process at once; a closed pipe only makes later writes fail.
    for (std::size_t i = 0; i < stopSignals.size(); ++i) {
        if (caught[i]) {
            setAction(stopSignals[i], stopSignals[i] == SIGPIPE ? SIG_IGN : SIG_DFL);
        }
    }
}

}  // namespace

void catchStopRequests() {
    for (std::size_t i = 0; i < stopSignals.size(); ++i) {
        struct sigaction current {};
        caught[i] = sigaction(stopSignals[i], nullptr, &current) == 0 && current.sa_handler != SIG_IGN;
        if (caught[i]) {
            setAction(stopSignals[i], onStopRequest);
        }
    }
}

int stopRequest() {
    return firstStopRequest;
}

Console processConsole(std::string program, bool opensWindow) {
    std::setlocale(LC_ALL, "");
    Console console;
    console.program = std::move(program);
    console.opensWindow = opensWindow;
    console.input = &std::cin;
    console.inputIsTerminal = isatty(STDIN_FILENO) == 1;
    console.errorIsTerminal = isatty(STDERR_FILENO) == 1;
    console.regional = regionalSettings();
    console.regional.yesExpression = nl_langinfo(YESEXPR);
    return console;
}

std::vector<std::string> arguments(int argc, char* argv[]) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

}  // namespace cli
