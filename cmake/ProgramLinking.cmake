# How the native program is linked, in one place, so the benchmarks' floor and empty program are
# linked the same way and compared with it fairly.
#
# With QUENMOOR_STATIC_RUNTIME (the default) the C++ runtime and ICU's common library are linked
# into the program: starting it then loads and relocates only the C library, instead of also
# libstdc++, libgcc, libicuuc and ICU's 30 MB data library, which cost a run more time than
# reading a shop's profile. The program uses ICU's case folding only, whose tables are part of
# the common library; it needs no ICU data file.
option(QUENMOOR_STATIC_RUNTIME "Link the C++ runtime and ICU into the native program" ON)

find_package(ICU REQUIRED COMPONENTS uc)
add_library(quenmoor_icu_uc INTERFACE)
if(QUENMOOR_STATIC_RUNTIME)
    find_library(QUENMOOR_ICU_UC_ARCHIVE NAMES libicuuc.a REQUIRED)
    target_link_libraries(quenmoor_icu_uc INTERFACE "${QUENMOOR_ICU_UC_ARCHIVE}" ${CMAKE_DL_LIBS})
    target_include_directories(quenmoor_icu_uc SYSTEM INTERFACE ${ICU_INCLUDE_DIRS})
else()
    target_link_libraries(quenmoor_icu_uc INTERFACE ICU::uc)
endif()

function(quenmoor_link_like_program target)
    if(QUENMOOR_STATIC_RUNTIME)
        target_link_options(${target} PRIVATE -static-libstdc++ -static-libgcc)
    endif()
endfunction()
