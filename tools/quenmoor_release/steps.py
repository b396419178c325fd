"""What the release's command-line tools share: a step the tool cannot go on without, whose failure
stops the whole tool with that step's status (as a shell script under `set -e` would), and the
entry that turns such a stop into the tool's exit status."""
import os
import subprocess
import sys

ROOT = os.path.normpath(os.path.join(__file__, "..", "..", ".."))


class Stop(Exception):
    """Ends the tool with `status`, after printing `message` (if any) to standard error."""

    def __init__(self, status, message=None):
        super().__init__(message)
        self.status, self.message = status, message


def run(command, **options):
    """Runs the step; a failure stops the tool with its status. Returns the step's standard output
    where the caller captured it."""
    result = subprocess.run(command, check=False, **options)
    if result.returncode:
        raise Stop(result.returncode)
    return result.stdout


def output(command, **options):
    """The step's standard output as text; a failure stops the tool with its status."""
    return run(command, stdout=subprocess.PIPE, **options).decode("utf-8", errors="surrogateescape")


def main(work, *args):
    """Runs `work` from the source tree's root, its lines in the order they happen between those of
    the tools it starts. The status to exit with: the one `work` returns, or its stop's."""
    os.chdir(ROOT)
    sys.stdout.reconfigure(line_buffering=True)
    try:
        return work(*args) or 0
    except Stop as stop:
        if stop.message:
            print(stop.message, file=sys.stderr)
        return stop.status
