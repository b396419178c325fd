# Every target of our own links this interface library: warnings are errors, always.
add_library(quenmoor_warnings INTERFACE)
target_compile_options(quenmoor_warnings INTERFACE -Wall -Wextra -Wpedantic -Werror -Wconversion
                                                   -Wsign-conversion -Wshadow)
