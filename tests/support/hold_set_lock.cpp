// The second process of the lock tests: holds the lock of the fragment set of the source named on
// its command line, says "held", and keeps it until its input is closed.
#include <iostream>

#include "fragments/set_files.hpp"

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
    const auto lock = fragments::SetLock::forSource(argv[1]);
    if (!lock) {
        return 1;
    }
    std::cout << "held" << std::flush;
    for (char ignored = 0; std::cin.get(ignored);) {
    }
    return 0;
}
