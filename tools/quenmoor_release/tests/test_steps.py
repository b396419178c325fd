"""How a release tool stops: a failed step ends it with that step's status and message."""
import contextlib
import io
import os
import unittest

from quenmoor_release import steps


class StepsTest(unittest.TestCase):
    def test_a_failed_step_is_the_tool_status(self):
        def work(command, message):
            steps.run(command)
            if message:
                raise steps.Stop(5, message)
            return int(steps.output(["echo", "7"]))

        here, errors = os.getcwd(), io.StringIO()
        try:
            with contextlib.redirect_stderr(errors):
                results = [steps.main(work, ["sh", "-c", "exit 3"], None), steps.main(work, ["true"], "why"),
                           steps.main(work, ["true"], None)]
        finally:
            os.chdir(here)
        self.assertEqual(results, [3, 5, 7])
        self.assertEqual(errors.getvalue(), "why\n")
