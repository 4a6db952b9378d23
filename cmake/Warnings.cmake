# The warnings of the program's own sources: one INTERFACE target that every library and executable
# under src/ links privately. Tests and benchmarks keep the common set of the top-level file.
add_library(dodiveverazed_warnings INTERFACE)
add_library(Dodiveverazed::warnings ALIAS dodiveverazed_warnings)
if(MSVC)
    target_compile_options(dodiveverazed_warnings INTERFACE /W4)
else()
    target_compile_options(dodiveverazed_warnings INTERFACE
        -Wall -Wextra -Wpedantic -Wconversion
        -Wshadow -Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual)
endif()
