# Each library shows its users its public headers and nothing else. Sources include each other by
# their path from the project root ("platform/profile_functions.h"), so the project root cannot be
# a library's public include folder: it would reach every internal header as well. Instead each
# library gets an include folder of its own in the build tree, holding symbolic links to its
# public headers at their paths from the project root, and that folder is its only PUBLIC include
# directory. A header left out of a library's list cannot be included by another library: an
# include of, say, "platform/linux/profile_cache.h" from app/ or profile/ does not compile. Only
# the platform layer sees the project root, for its own internals; the test programs and the
# benchmarks add it themselves.

# quenmoor_public_headers(target header...): the headers (relative to the current source folder)
# that `target` offers its users, made its PUBLIC include directory. The folder is made anew at
# every configure, so a header dropped from the list is gone from it.
function(quenmoor_public_headers target)
    set(root "${CMAKE_BINARY_DIR}/public/${target}")
    file(REMOVE_RECURSE "${root}")
    file(RELATIVE_PATH folder "${PROJECT_SOURCE_DIR}" "${CMAKE_CURRENT_SOURCE_DIR}")
    foreach(header IN LISTS ARGN)
        set(link "${root}/${folder}/${header}")
        get_filename_component(parent "${link}" DIRECTORY)
        file(MAKE_DIRECTORY "${parent}")
        file(CREATE_LINK "${CMAKE_CURRENT_SOURCE_DIR}/${header}" "${link}" SYMBOLIC)
    endforeach()
    target_include_directories(${target} PUBLIC "${root}")
endfunction()
