#pragma once
// The command line: split, join and crc without a window, over the same core calls the window makes.

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace cli {

// Exit statuses.
inline constexpr int success = 0;
inline constexpr int failure = 1;
inline constexpr int usageError = 2;

// Numbers and dates the regional way; the plain C/POSIX locale counts as German, like the window.
struct Regional {
    std::string decimalSeparator = ",";
    std::string groupSeparator = ".";
    std::string dateFormat = "%d.%m.%y";  // strftime format of the short date in the join script.
    // A POSIX extended regular expression that an answer meaning yes matches (besides "j" and "ja").
    std::string yesExpression;
};

// What the command line needs of the process it runs in; tests pass their own.
struct Console {
    std::string program = "dodiveverazed";  // The executable's name, for the help.
    // Whether the executable opens its window when no command is given (the help says so).
    bool opensWindow = true;
    // Where an answer typed by the user comes from; none means no answer.
    std::istream* input = nullptr;
    bool inputIsTerminal = false;  // A question is asked only when the answer can be typed.
    bool errorIsTerminal = false;  // Progress is shown only to a person watching.
    Regional regional;
};

// The console of this process: standard input, whether standard input and standard error are
// terminals, and the user's regional settings (it adopts the user's locale for the whole process).
Console processConsole(std::string program, bool opensWindow);

// The program's arguments after its own name, UTF-8.
std::vector<std::string> arguments(int argc, char* argv[]);
#ifdef _WIN32
// The same from wmain's UTF-16 arguments, which no ANSI code page has narrowed.
std::vector<std::string> arguments(int argc, wchar_t* argv[]);
#endif

// How `dodiveverazed` starts: its window, with a file chosen or not, or else the command line.
struct Launch {
    bool window = false;
    std::optional<std::string> file;
};
// No argument, one that is neither a command nor an option, or "--" and at most one more: the
// window. Everything else, unknown options included, is for run().
Launch launchFor(const std::vector<std::string>& args);

// From now on a request to stop the process (SIGINT, SIGTERM, SIGHUP, SIGPIPE; Ctrl-C and Ctrl-Break
// on Windows) stops the running command at its next block (fileio::requestCancel), which then fails as
// it would for a failing file. The first request is kept; a second of SIGINT, SIGTERM or SIGHUP ends
// the process at once. A signal ignored when the program started (nohup) stays ignored.
void catchStopRequests();
// The signal number of the first stop request caught; 0 when none came.
int stopRequest();

// run() on the process's standard streams, with stop requests caught: after one the status is 128 + the
// signal's number (130 for Ctrl-C), and a command it stopped ends with the line that says so.
int runInProcess(const std::vector<std::string>& args, const Console& console);

// Runs the command in `args` (the arguments after the program's name): results on `out`, messages
// and progress on `err`. Returns success, failure or usageError.
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const Console& console);

}  // namespace cli
