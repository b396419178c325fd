# AddressSanitizer and UndefinedBehaviorSanitizer over everything built, for the sanitizers
# preset; a build option, so the tests can ask whether they run sanitized. The fuzzer (preset
# fuzz, clang) adds libFuzzer's coverage instrumentation to the same.
option(QUENMOOR_SANITIZERS "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(QUENMOOR_BUILD_FUZZER "Build the libFuzzer target (clang only), sanitized" OFF)
if(QUENMOOR_BUILD_FUZZER)
    add_compile_options(-fsanitize=fuzzer-no-link -O1)
    set(QUENMOOR_SANITIZERS ON)
endif()
if(QUENMOOR_SANITIZERS)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()
