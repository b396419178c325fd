// quenmoor-update: takes no arguments, prints nothing, always ends with status 0.
#include "app/program.h"

int main() { quenmoor::app::RunProgram(); }
