#include "app/program.h"

#include <string>

#include "app/profile_vocabulary.h"
#include "app/update_run.h"
#include "platform/process_exit.h"
#include "platform/process_hardening.h"

namespace quenmoor::app {

void RunProgram() noexcept {
    // Before any path is resolved: a junction planted on the way to the profile or the copy is
    // then refused (on Windows that offers it) instead of leading the writes elsewhere.
    platform::RefuseUntrustedJunctions();
    try {
        RunUpdate(std::u16string(SourceProfilePath), std::u16string(TargetProfilePath));
    } catch (...) {  // NOLINT(bugprone-empty-catch)
        // Refused writes, exhausted memory, anything: the program has no one to tell, and the
        // profile is already closed by the time a failure gets here.
    }
    platform::ExitProcess(0);
}

}  // namespace quenmoor::app
