"""The mutation driver's own logic: the catalogue, planting a fault, choosing faults, the tests a
fault runs and the name of the test that killed it."""
import contextlib
import io
import os
import re
import subprocess
import tempfile
import unittest

from quenmoor_release import mutation, mutation_catalogue as catalogue
from quenmoor_release.mutation_catalogue import DEFAULT_FILTER, Entry

CATALOGUE = """# a comment
mutant  one
build   native
file    app/a.cpp
tests   a_tests,b
from    return c < 33;\x20
to      return c < 34;

mutant  moved
build   windows
file    platform/b.cpp
filter  S.*
from    x();
#to     z();
to
from    y();
to      y(); x();
"""


class CatalogueTest(unittest.TestCase):
    def test_parse(self):
        self.assertEqual(catalogue.parse(CATALOGUE), [
            Entry("one", "native", "app/a.cpp", "a_tests,b", DEFAULT_FILTER, ["return c < 33; "], ["return c < 34;"]),
            Entry("moved", "windows", "platform/b.cpp", "", "S.*", ["x();", "y();"], ["", "y(); x();"])])

    def test_plant(self):
        for froms, tos, planted in (
                (["< 33"], ["< 34"], "a < 34; b x(); y();"),
                (["x();", "y();"], ["", "y(); x();"], "a < 33; b  y(); x();"),
                (["x(); y", " y"], ["z", "-"], "stale: it holds the quoted text 'y' 0 times, not once"),
                ([";"], ["."], "stale: it holds the quoted text ';' 3 times, not once"),
                (["a", "b"], ["c"], "stale: 2 from lines but 1 to lines")):
            with self.subTest(froms=froms):
                try:
                    result = catalogue.plant("a < 33; b x(); y();", Entry("e", froms=froms, tos=tos))
                except catalogue.Stale as reason:
                    result = f"stale: {reason}"
                self.assertEqual(result, planted)

    def test_choose(self):
        entries = [Entry("a", "native", "x.cpp"), Entry("b", "windows", "x.cpp"), Entry("c", "native", "y.cpp")]
        for build, ids, changed, chosen in (("native", [], None, ["a", "c"]), ("windows", [], None, ["b"]),
                                            ("native", ["c", "b"], None, ["c"]), ("native", [], {"y.cpp"}, ["c"]),
                                            ("native", ["a"], {"y.cpp"}, []), ("native", [], set(), [])):
            with self.subTest(build=build, ids=ids, changed=changed):
                self.assertEqual([e.id for e in catalogue.choose(entries, build, ids, changed)], chosen)
        self.assertEqual(catalogue.unknown(entries, ["c", "typo", "a", "b2"]), ["typo", "b2"])


class DriverTest(unittest.TestCase):
    def test_parse_args(self):
        for args, parsed in (([], (["native"], None, [])),
                             (["--windows", "a", "b"], (["windows"], None, ["a", "b"])),
                             (["--all", "--changed"], (["native", "windows"], "", [])),
                             (["--changed=HEAD~3", "a"], (["native"], "HEAD~3", ["a"]))):
            with self.subTest(args=args):
                self.assertEqual(mutation.parse_args(args), parsed)

    def test_changed_files(self):
        """Committed on the branch, uncommitted and new files count; main's later commits do not."""
        home = os.getcwd()
        os.chdir(self.enterContext(tempfile.TemporaryDirectory()))
        self.addCleanup(os.chdir, home)
        subprocess.run("""c() { touch "$@" && git add . &&
                git -c user.name=t -c user.email=t@t -c commit.gpgsign=false commit -qm "$1"; }
            git init -qb main && c a b d && git checkout -qb topic && c ä && c f &&
            git checkout -q main && echo y >d && c e && git checkout -q topic && echo x >b && touch c""",
                       shell=True, check=True)
        with contextlib.redirect_stdout(io.StringIO()):
            self.assertEqual(mutation.changed_files(""), {"ä", "f", "b", "c"})
            self.assertEqual(mutation.changed_files("HEAD"), {"b", "c"})

    def test_ctest_selection(self):
        names = ["a", "a.S.One", "a.S.KilledAtAnyMoment", "a.T.TwentyMegabyte", "a.T.Large", "ab.S.One", "b.U.Two"]
        for tests, gtest_filter, selected in (
                ("a", DEFAULT_FILTER, ["a", "a.S.One", "a.T.Large"]),
                ("a,b", "*", names[:5] + ["b.U.Two"]),
                ("a,b", "S.*:?.Two-*One", ["a.S.KilledAtAnyMoment", "b.U.Two"])):
            with self.subTest(tests=tests, gtest_filter=gtest_filter):
                options = dict(zip(*[iter(mutation.ctest_selection(tests, gtest_filter))] * 2))
                self.assertEqual([name for name in names if re.search(options["-R"], name)
                                  and not re.search(options.get("-E", "^$"), name)], selected)

    def test_killed_by(self):
        for log, test in (("[  FAILED  ] S.One (3 ms)\n[  FAILED  ] S.Two, where\n 7 - a.S.One (Failed)", "S.One"),
                          ("The following tests FAILED:\n\t  7 - program_scenarios (Child aborted)\n",
                           "program_scenarios (Child aborted)"),
                          ("100% tests passed\n", None)):
            with self.subTest(log=log):
                self.assertEqual(mutation.killed_by(log), test)
