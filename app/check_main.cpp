// quenmoor-check: takes no arguments, changes nothing, prints one line and ends with a status
// that says where the profile stands against the update run.
#include "app/check_run.h"

int main() { quenmoor::app::RunCheckProgram(); }
