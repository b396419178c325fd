// quenmoor-update for Windows: a console program with the Unicode entry point, so no path ever
// passes through the ANSI code page. It takes no arguments, prints nothing, always ends with
// status 0.
#include "app/program.h"

int wmain() { quenmoor::app::RunProgram(); }
