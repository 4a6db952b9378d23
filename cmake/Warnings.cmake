# The warnings of the project's own code, and nowhere else (not the GoogleTest sources a cross build
# compiles): one INTERFACE target that every library, executable, test and benchmark links
# privately (the tests through test_support). DODIVEVERAZED_WERROR makes them errors.
add_library(dodiveverazed_warnings INTERFACE)
add_library(Dodiveverazed::warnings ALIAS dodiveverazed_warnings)
if(MSVC)
    target_compile_options(dodiveverazed_warnings INTERFACE /W4 $<$<BOOL:${DODIVEVERAZED_WERROR}>:/WX>)
else()
    target_compile_options(dodiveverazed_warnings INTERFACE
        -Wall -Wextra -Wpedantic -Wconversion
        -Wshadow -Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual
        $<$<BOOL:${DODIVEVERAZED_WERROR}>:-Werror>)
endif()
