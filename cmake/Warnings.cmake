# The compiler warnings, only through these INTERFACE targets and never set globally, so that the
# GoogleTest sources a cross build compiles get none. DODIVEVERAZED_WERROR makes them errors.
#   Dodiveverazed::warnings       every library and program under src/: the full set
#   Dodiveverazed::test_warnings  the tests (through test_support) and the benchmarks: the common set
#                                 (fixtures name their members and parameters alike, -Wshadow would
#                                 refuse them)
if(MSVC)
    set(common_warnings /W4 $<$<BOOL:${DODIVEVERAZED_WERROR}>:/WX>)
    set(strict_warnings)
else()
    set(common_warnings -Wall -Wextra -Wpedantic -Wconversion $<$<BOOL:${DODIVEVERAZED_WERROR}>:-Werror>)
    set(strict_warnings -Wshadow -Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual)
endif()

add_library(dodiveverazed_warnings INTERFACE)
add_library(Dodiveverazed::warnings ALIAS dodiveverazed_warnings)
target_compile_options(dodiveverazed_warnings INTERFACE ${common_warnings} ${strict_warnings})

add_library(dodiveverazed_test_warnings INTERFACE)
add_library(Dodiveverazed::test_warnings ALIAS dodiveverazed_test_warnings)
target_compile_options(dodiveverazed_test_warnings INTERFACE ${common_warnings})
