// The console's executable: the command line alone, without the window (on Windows the window's
// executable has no console streams).

#include <iostream>

#include "cli/cli.hpp"

int main(int argc, char* argv[]) {
    return cli::run(cli::arguments(argc, argv), std::cout, std::cerr,
                    cli::processConsole("dodiveverazed-cli", false));
}
