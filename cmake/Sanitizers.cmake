# AddressSanitizer and UndefinedBehaviorSanitizer over everything built, for the sanitizers
# preset; a build option, so the tests can ask whether they run sanitized.
option(QUENMOOR_SANITIZERS "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(QUENMOOR_SANITIZERS)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()
