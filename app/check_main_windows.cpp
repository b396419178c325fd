// quenmoor-check for Windows: a console program with the Unicode entry point, like the update
// program. It takes no arguments, changes nothing, prints one line and ends with its status.
#include "app/check_run.h"

int wmain() { quenmoor::app::RunCheckProgram(); }
