// The console of a Windows process: its locale, its terminals, its arguments (as UTF-8, whatever
// the code page) and Ctrl-C.

#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h.
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <iostream>

#include "cli/cli.hpp"
#include "fileio/files.hpp"

namespace cli {

namespace {

std::string toUtf8(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) {
        return {};
    }
    std::string utf8(static_cast<std::size_t>(size - 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), size, nullptr, nullptr);
    return utf8;
}

std::string localeInfo(LCTYPE type) {
    wchar_t text[16];
    return GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, text, 16) > 0 ? toUtf8(text) : std::string();
}

// Puts the console's code page back when the program ends; the console outlives the program.
struct RestoredCodePage {
    UINT codePage = GetConsoleOutputCP();
    ~RestoredCodePage() {
        if (codePage != 0) {
            SetConsoleOutputCP(codePage);
        }
    }
};

std::atomic<int> firstStopRequest{0};

// Runs on a thread of its own. Ctrl-C and Ctrl-Break stop the running command; a second one, and any
// other event, is left to the default handler, which ends the process.
BOOL WINAPI onConsoleControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
        return FALSE;
    }
    int none = 0;
    if (!firstStopRequest.compare_exchange_strong(none, event == CTRL_C_EVENT ? SIGINT : SIGBREAK)) {
        return FALSE;
    }
    fileio::requestCancel();
    return TRUE;
}

// An argument as UTF-8 with its "/" made "\": Windows takes either between the parts of a path and no name
// holds a "/", but the program's path rules look for "\" only (a join with "-o aus/x.iso" failed with
// "Datei oder Ordner nicht gefunden").
std::string argumentOf(const wchar_t* text) {
    std::string argument = toUtf8(text);
    std::replace(argument.begin(), argument.end(), '/', '\\');
    return argument;
}

}  // namespace

void catchStopRequests() {
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
}

int stopRequest() {
    return firstStopRequest.load();
}

Console processConsole(std::string program, bool opensWindow) {
    std::setlocale(LC_ALL, "");
    // The messages are UTF-8.
    static const RestoredCodePage restored;
    SetConsoleOutputCP(CP_UTF8);
    Console console;
    console.program = std::move(program);
    console.opensWindow = opensWindow;
    console.input = &std::cin;
    // `crc -` and `split --name NAME -` read standard input's bytes as they are, `join -o -` writes the
    // joined bytes so.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    console.inputIsTerminal = _isatty(_fileno(stdin)) != 0;
    console.errorIsTerminal = _isatty(_fileno(stderr)) != 0;
    console.regional = Regional{localeInfo(LOCALE_SDECIMAL), localeInfo(LOCALE_STHOUSAND), "%x", "^(y|yes)$"};
    return console;
}

std::vector<std::string> arguments(int argc, wchar_t* argv[]) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        args.push_back(argumentOf(argv[i]));
    }
    return args;
}

std::vector<std::string> arguments(int, char*[]) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 1; i < count; ++i) {
        args.push_back(argumentOf(wide[i]));
    }
    LocalFree(wide);
    return args;
}

}  // namespace cli
