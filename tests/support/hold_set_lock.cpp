// The second process of the lock tests: holds the lock of the set of the source named on its command line,
// says "held", and keeps it until its input is closed.
#include <iostream>
#include <limits>

#include "fragments/set_files.hpp"

int main(int argc, char** argv) {
    const auto lock = argc == 2 ? fragments::SetLock::forSource(argv[1]) : std::nullopt;
    if (lock) {
        std::cout << "held" << std::flush;
        std::cin.ignore(std::numeric_limits<std::streamsize>::max());
    }
    return lock ? 0 : 1;
}
