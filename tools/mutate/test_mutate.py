"""The mutation tool's own checks: which faults it writes, and that it never leaves one behind."""

import os
import signal
import subprocess
import sys
import tempfile
import textwrap
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import guard  # noqa: E402
import mutants  # noqa: E402
import mutate  # noqa: E402

SAMPLE = textwrap.dedent("""\
    #include <vector>  // a + b
    #define TWICE(x) ((x) + (x))

    struct Holder {
        int size = 4;
        void reset();
    };

    // The sum of a + b, which a comment must not lose.
    double blend(const Holder* h, double a, double b, std::vector<int>&& keep) {
        const char* text = "a + b < c";
        double out = a * b - 2.5f;
        if (a < b && h->size != 0)
            out += scale(a, b);
        int n = -1;
        h->reset();
        qWarning() << a + b;
        mix(a, 3);
        mix(a, a);
        return out;
    }
""")


def mutants_of(text, path="painters/sample.cpp"):
    return mutants.find_mutants(path, text)


def applied(text, ms):
    return {m.description: m.apply(text) for m in ms}


class Operators(unittest.TestCase):
    def setUp(self):
        self.ms = mutants_of(SAMPLE)
        self.by_op = {}
        for m in self.ms:
            self.by_op.setdefault(m.operator, []).append(m)

    def lines_changed(self, m):
        a, b = SAMPLE.split("\n"), m.apply(SAMPLE).split("\n")
        return [i + 1 for i, (x, y) in enumerate(zip(a, b)) if x != y]

    def test_binary_operators_swap_but_declarators_and_unary_signs_do_not(self):
        descs = sorted((m.line, m.description) for m in self.ms if m.operator in ("arith", "compare", "logic"))
        self.assertEqual(descs, [
            (12, "* -> /"), (12, "- -> +"),
            (13, "!= -> =="), (13, "&& -> ||"), (13, "< -> <="),
            (14, "+= -> -="),
        ])

    def test_comments_strings_directives_and_logging_are_left_alone(self):
        touched = {line for m in self.ms for line in self.lines_changed(m)}
        # line 1 #include, 2 #define, 9 comment, 11 string, 17 logging
        self.assertFalse(touched & {1, 2, 9, 11, 17}, sorted(touched))

    def test_constants_take_each_plausible_other_value_once(self):
        by_line = {}
        for m in self.by_op["constant"]:
            by_line.setdefault(m.line, []).append(m.apply(SAMPLE).split("\n")[m.line - 1].strip())
        self.assertEqual(sorted(by_line[12]), sorted([
            "double out = a * b - 0.0f;", "double out = a * b - 1.0f;", "double out = a * b - (-1.0f);",
            "double out = a * b - 3.5f;", "double out = a * b - 1.5f;"]))
        # A negative literal changes with its sign, never into a decrement of a literal.
        self.assertEqual(sorted(by_line[15]), ["int n = (-2);", "int n = 0;", "int n = 1;"])
        self.assertEqual(sorted(by_line[13]), ["if (a < b && h->size != (-1))", "if (a < b && h->size != 1)"])

    def test_a_float_off_by_one_is_spelled_as_written(self):
        [m] = [m for m in mutants_of("double f() {\n    return 1.57;\n}\n") if m.description.endswith("2.57")]
        self.assertEqual(m.apply("double f() {\n    return 1.57;\n}\n").split("\n")[1], "    return 2.57;")

    def test_negated_condition_wraps_the_whole_condition(self):
        [m] = self.by_op["negate"]
        self.assertEqual(m.apply(SAMPLE).split("\n")[12], "    if (!(a < b && h->size != 0))")

    def test_removed_statements_are_calls_and_assignments_in_function_bodies(self):
        removed = sorted((m.line, m.apply(SAMPLE).split("\n")[m.line - 1].strip())
                         for m in self.by_op["remove"])
        # Not the declarations (lines 11, 12, 15), not the return, not the member list,
        # not the logging; the statement under an unbraced if becomes an empty block, so
        # the next statement does not slip into the if.
        self.assertEqual(removed, [(14, "{}"), (16, "{}"), (18, "{}"), (19, "{}")])

    def test_swapped_arguments_are_two_different_values_of_one_kind(self):
        swaps = [m.apply(SAMPLE).split("\n")[m.line - 1].strip() for m in self.by_op["swap-args"]]
        self.assertEqual(swaps, ["out += scale(b, a);"])

    def test_every_mutant_has_a_distinct_id_that_survives_edits_above_it(self):
        ids = [m.id for m in self.ms]
        self.assertEqual(len(ids), len(set(ids)))
        shifted = mutants_of("// a new first line\n\n" + SAMPLE)
        self.assertEqual(sorted(ids), sorted(m.id for m in shifted))

    def test_a_sample_drawn_after_an_edit_keeps_the_sites_still_there(self):
        # A figure is tuned on one sample and rerun on the code that tuning changed.
        before = {m.id for m in mutate.draw(self.ms, 8, 3)}
        edited = SAMPLE.replace("    return out;\n", "    if (n > 2)\n        out -= n * 4;\n    return out;\n")
        grown = mutants_of(edited)
        after = {m.id for m in mutate.draw(grown, 8, 3)}
        old = {m.id for m in self.ms}
        self.assertEqual(len(after), 8)
        self.assertEqual(after - before, {i for i in after if i not in old}, "only new code displaces a site")


class TheRepository(unittest.TestCase):
    """Every mutant drawn from the real sources is a change, and draws repeat per seed."""

    @classmethod
    def setUpClass(cls):
        cls.pool = mutate.all_mutants(mutate.ROOT)

    def test_each_mutant_changes_its_file_and_ids_are_unique(self):
        self.assertGreater(len(self.pool), 500)
        texts = {}
        for m in self.pool:
            if m.path not in texts:
                with open(os.path.join(mutate.ROOT, m.path)) as f:
                    texts[m.path] = f.read()
            self.assertNotEqual(m.apply(texts[m.path]), texts[m.path], m.description)
        self.assertEqual(len({m.id for m in self.pool}), len(self.pool))
        self.assertEqual({m.operator for m in self.pool},
                         {"arith", "compare", "logic", "negate", "constant", "remove", "swap-args"})

    def test_every_listed_equivalent_is_still_a_mutant_with_a_reason(self):
        # An entry left behind by an edit of its line would silently stop applying.
        ids = {m.id for m in self.pool}
        for ident, reason in mutate.read_equivalents().items():
            self.assertIn(ident, ids)
            self.assertTrue(reason, ident)

    def test_a_seed_draws_the_same_sample_and_another_seed_another(self):
        a = [m.id for m in mutate.draw(self.pool, 50, 7)]
        self.assertEqual(a, [m.id for m in mutate.draw(self.pool, 50, 7)])
        self.assertEqual(len(set(a)), 50)
        self.assertNotEqual(set(a), {m.id for m in mutate.draw(self.pool, 50, 8)})
        self.assertTrue(all(m.path.split("/")[0] in ("registry", "transformations", "manipulators", "painters",
                                                     "pickers", "host") for m in self.pool))


CHILD = textwrap.dedent("""\
    import os, sys, time
    sys.path.insert(0, {here!r})
    import guard
    g = guard.Guard({root!r}, {state!r})
    guard.install_signal_handlers()
    try:
        with g.mutated("src/a.cpp", "mutant\\n"):
            print("in", flush=True)
            time.sleep(30)
    except guard.Interrupted:
        sys.exit(3)
""")


class Restoring(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.root = os.path.join(self.dir.name, "tree")
        self.state = os.path.join(self.dir.name, "state")
        os.makedirs(os.path.join(self.root, "src"))
        self.file = os.path.join(self.root, "src", "a.cpp")
        with open(self.file, "w") as f:
            f.write("pristine\n")

    def tearDown(self):
        self.dir.cleanup()

    def content(self):
        with open(self.file) as f:
            return f.read()

    def child(self):
        script = CHILD.format(here=HERE, root=self.root, state=self.state)
        p = subprocess.Popen([sys.executable, "-c", script], stdout=subprocess.PIPE, text=True)
        self.assertEqual(p.stdout.readline(), "in\n")
        self.assertEqual(self.content(), "mutant\n")
        return p

    def test_an_exception_puts_the_file_back(self):
        g = guard.Guard(self.root, self.state)
        with self.assertRaises(ZeroDivisionError):
            with g.mutated("src/a.cpp", "mutant\n"):
                self.assertEqual(self.content(), "mutant\n")
                1 / 0
        self.assertEqual(self.content(), "pristine\n")
        self.assertEqual(g.recover(), [])

    def test_sigint_and_sigterm_put_the_file_back_before_exiting(self):
        for sig in (signal.SIGINT, signal.SIGTERM):
            p = self.child()
            p.send_signal(sig)
            self.assertEqual(p.wait(timeout=20), 3)
            self.assertEqual(self.content(), "pristine\n")
            self.assertFalse(os.path.exists(os.path.join(self.state, "journal.json")))

    def test_a_killed_run_is_put_back_by_the_next(self):
        p = self.child()
        p.kill()
        p.wait(timeout=20)
        self.assertEqual(self.content(), "mutant\n")
        g = guard.Guard(self.root, self.state)
        self.assertEqual(g.recover(), ["src/a.cpp"])
        self.assertEqual(self.content(), "pristine\n")
        self.assertEqual(os.listdir(self.state), [])

    def test_a_second_mutant_is_refused_while_one_is_in(self):
        g = guard.Guard(self.root, self.state)
        with g.mutated("src/a.cpp", "mutant\n"):
            with self.assertRaises(RuntimeError):
                with g.mutated("src/a.cpp", "other\n"):
                    pass
            self.assertEqual(self.content(), "mutant\n")
        self.assertEqual(self.content(), "pristine\n")

    def test_a_test_out_of_time_is_killed_with_everything_it_started(self):
        marker = os.path.join(self.dir.name, "grandchild")
        script = f"sleep 30 & echo $! > {marker}; wait"
        rc, secs = mutate.run_limited(["sh", "-c", script], self.dir.name, dict(os.environ), 0.5,
                                      os.path.join(self.dir.name, "out"))
        self.assertIsNone(rc)
        self.assertLess(secs, 10)
        with open(marker) as f:
            pid = int(f.read())
        for _ in range(50):  # the kill is sent; give the kernel a moment to act on it
            try:
                with open(f"/proc/{pid}/stat") as f:
                    state = f.read().rsplit(")", 1)[1].split()[0]
            except FileNotFoundError:
                break
            if state in ("Z", "X"):  # dead, waiting for whoever adopted it to reap it
                break
            time.sleep(0.1)
        else:
            self.fail("the test's own child outlived the time limit")

    def test_uncommitted_changes_are_found_before_anything_is_written(self):
        def git(*a):
            subprocess.run(["git", "-c", "user.name=t", "-c", "user.email=t@t", *a], cwd=self.root, check=True,
                           capture_output=True)
        git("init", "-q")
        git("add", ".")
        git("commit", "-qm", "start")
        self.assertEqual(mutate.git_dirty(self.root, ["src/a.cpp"]), [])
        with open(self.file, "a") as f:
            f.write("edited\n")
        self.assertEqual(mutate.git_dirty(self.root, ["src/a.cpp"]), ["src/a.cpp"])


if __name__ == "__main__":
    unittest.main()
