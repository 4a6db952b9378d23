// Holds the lock of the set of the source named on its command line, says "held", until stdin closes.
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
