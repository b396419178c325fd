#include "app/program.h"

#include <string>

#include "app/profile_vocabulary.h"
#include "app/update_run.h"
#include "platform/process_exit.h"

namespace quenmoor::app {

void RunProgram() noexcept {
    try {
        RunUpdate(std::u16string(SourceProfilePath), std::u16string(TargetProfilePath));
    } catch (...) {  // NOLINT(bugprone-empty-catch)
        // Refused writes, exhausted memory, anything: the program has no one to tell, and the
        // profile is already closed by the time a failure gets here.
    }
    platform::ExitProcess(0);
}

}  // namespace quenmoor::app
