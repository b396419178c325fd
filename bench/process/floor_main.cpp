// The floor as a process of its own: quenmoor-floor SOURCE TARGET. Built like the update
// program, so the two are compared as a user starts them.
#include <exception>
#include <iostream>

#include "bench/floor.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: quenmoor-floor SOURCE TARGET\n";
        return 2;
    }
    try {
        quenmoor::bench::RunFloor(argv[1], argv[2]);
    } catch (const std::exception& failure) {
        std::cerr << failure.what() << '\n';
        return 1;
    }
    return 0;
}
