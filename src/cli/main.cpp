// The console's executable: the command line alone, without the window (on Windows the window's
// executable has no console streams).

#include "cli/cli.hpp"

#ifdef _WIN32
// The arguments as UTF-16 (linked with -municode), so that every file name arrives whole.
int wmain(int argc, wchar_t* argv[]) {
#else
int main(int argc, char* argv[]) {
#endif
    return cli::runInProcess(cli::arguments(argc, argv), cli::processConsole("dodiveverazed-cli", false));
}
