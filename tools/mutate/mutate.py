#!/usr/bin/env python3
"""Mutation testing of the plug-in and of the host's edit and curve code.

Draws a seeded sample of small faults (see mutants.py), writes each into its source file,
rebuilds only the targets that compile that file, runs the test programs that reach those
targets, and puts the file back. A mutant is killed when a test fails or runs out of time.

    python3 tools/mutate/mutate.py --mutants 20 --seed 1
    python3 tools/mutate/mutate.py --list --mutants 300 --seed 1   # the sample, without running it
    python3 tools/mutate/mutate.py --only 'painters/arrow_painters.cpp:0123456789'
"""

import argparse
import collections
import fcntl
import hashlib
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import guard as guardmod  # noqa: E402
import mutants as mutmod  # noqa: E402

ROOT = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
# The plug-in, and the host's edit commands and curve evaluation. Only .cpp files: a fault
# in a header would rebuild most of the tree for one mutant.
SOURCE_DIRS = ["registry", "transformations", "manipulators", "painters", "pickers", "host/commands"]
SOURCE_FILES = ["host/scene/LXTimedValue.cpp"]
# Tests that open windows under a private X server or install the build elsewhere: minutes
# per mutant for paths the runner's scenes already play headless.
EXCLUDED_TESTS = re.compile(r"^(viewer|install|mutate)\.")
EQUIVALENT_FILE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "equivalent.txt")


def log(*a):
    print(*a, flush=True)


def source_files(root):
    files = []
    for d in SOURCE_DIRS:
        full = os.path.join(root, d)
        files += sorted(f"{d}/{f}" for f in os.listdir(full) if f.endswith(".cpp"))
    files += SOURCE_FILES
    return files


def all_mutants(root):
    out = []
    for rel in source_files(root):
        with open(os.path.join(root, rel)) as f:
            text = f.read()
        # The header beside a source declares its members, whose types tell which
        # arguments could be swapped.
        header = os.path.join(root, rel[:-len(".cpp")] + ".h")
        declarations = ""
        if os.path.exists(header):
            with open(header) as f:
                declarations = f.read()
        out += mutmod.find_mutants(rel, text, declarations)
    return out


def draw(mutants, count, seed):
    """Sites are drawn, then one variant of each, so that a literal with four possible
    replacements is no likelier to be picked than an operator with one.

    A site is ranked by a hash of the seed and of its mutants' ids, which outlive edits
    elsewhere in the file: a sample drawn again after the code has changed keeps every
    site that is still there, and new code enters it only where it outranks old sites."""
    sites = collections.defaultdict(list)
    for m in mutants:
        sites[m.site].append(m)

    def rank(*parts):
        return hashlib.sha1(":".join(str(p) for p in (seed,) + parts).encode()).hexdigest()

    keyed = []
    for variants in sites.values():
        variants = sorted(variants, key=lambda m: m.id)
        key = variants[0].id
        keyed.append((rank(key), key, variants))
    keyed.sort(key=lambda k: k[0])
    return [variants[int(rank(key, "variant"), 16) % len(variants)] for _, key, variants in keyed[:count]]


def read_equivalents(path=EQUIVALENT_FILE):
    out = {}
    if os.path.exists(path):
        with open(path) as f:
            for line in f:
                line = line.strip()
                if not line or line.startswith("#"):
                    continue
                ident, _, reason = line.partition(" ")
                out[ident] = reason.strip()
    return out


def folder(rel):
    return os.path.dirname(rel)


class Running:
    """A command started in a session of its own, so that it can be killed whole."""

    def __init__(self, cmd, cwd, env, limit, out_path):
        self.out_path = out_path
        self.start = time.monotonic()
        self.deadline = self.start + limit
        with open(out_path, "wb") as out:
            self.proc = subprocess.Popen(cmd, cwd=cwd, env=env, stdout=out, stderr=subprocess.STDOUT,
                                         stdin=subprocess.DEVNULL, start_new_session=True)

    def poll(self):
        """(finished, exit code or None on timeout)."""
        rc = self.proc.poll()
        if rc is not None:
            return True, rc
        if time.monotonic() >= self.deadline:
            self.kill()
            return True, None
        return False, None

    def kill(self):
        if self.proc.poll() is None:
            try:
                os.killpg(self.proc.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        self.proc.wait()

    def seconds(self):
        return time.monotonic() - self.start


def run_limited(cmd, cwd, env, limit, out_path):
    """Runs cmd, killed whole when `limit` seconds pass or when we are interrupted.
    Returns (exit code or None on timeout, seconds)."""
    r = Running(cmd, cwd, env, limit, out_path)
    try:
        while True:
            finished, rc = r.poll()
            if finished:
                return rc, r.seconds()
            time.sleep(0.02)
    finally:
        r.kill()


class Unit:
    """A test program run whole (every GoogleTest case of it in one process), or the
    script-level ctest tests run as one ctest batch."""

    def __init__(self, name, kind, cmd, cwd, env, reaches, tests):
        self.name, self.kind, self.cmd, self.cwd, self.env = name, kind, cmd, cwd, env
        self.reaches = reaches
        self.tests = tests
        self.baseline = None

    def start(self, build, limit, out_path):
        if self.kind == "gtest":
            return Running(self.cmd, self.cwd, self.env, limit, out_path)
        regex = "^(" + "|".join(re.escape(t) for t in self.tests) + ")$"
        cmd = ["ctest", "--test-dir", build, "-R", regex, "--stop-on-failure", "-j1",
               "--timeout", str(int(max(5, limit)))]
        return Running(cmd, build, self.env, limit, out_path)

    def failures(self, rc, out_path):
        """(exit code, None when a test timed out; the failed tests' names)."""
        with open(out_path, errors="replace") as f:
            text = f.read()
        if self.kind == "gtest":
            # Parameterised cases end their name with ", where GetParam() = ...".
            return rc, sorted(set(re.findall(r"^\[  FAILED  \] ([^\s,]+\.[^\s,]+)(?=,| \(|$)", text, re.M)))
        failed = re.findall(r"^\s*\d+ - (\S+) \(([^)]*)\)", text, re.M)
        if any(status == "Timeout" for _, status in failed):
            rc = None
        return rc, [n for n, _ in failed]

    def run(self, build, limit, out_path):
        rc, secs = None, 0.0
        r = self.start(build, limit, out_path)
        try:
            while True:
                finished, rc = r.poll()
                if finished:
                    break
                time.sleep(0.02)
        finally:
            r.kill()
        rc, failed = self.failures(rc, out_path)
        return rc, r.seconds(), failed


def run_side_by_side(units, build, jobs, limit_of, deadline, out_dir, stop_at_first):
    """Runs `units` in order, `jobs` at a time (the programs are single-threaded; a
    survivor runs every one of them). Returns (unit, exit code or None on timeout, failed
    tests) for each unit that finished, and whether the deadline cut the run short. With
    `stop_at_first`, the first failure stops the others, which count as not run."""
    queue = list(units)
    running = []
    done = []
    out_of_time = False
    try:
        while queue or running:
            while queue and len(running) < jobs:
                left = deadline - time.monotonic()
                if left <= 0:
                    out_of_time = True
                    queue.clear()
                    break
                u = queue.pop(0)
                running.append((u, u.start(build, min(left, limit_of(u)), os.path.join(out_dir, f"test-{u.name}.log"))))
            still = []
            for u, r in running:
                finished, rc = r.poll()
                if not finished:
                    still.append((u, r))
                    continue
                rc, failed = u.failures(rc, r.out_path)
                done.append((u, rc, failed))
                if rc != 0 and stop_at_first:
                    queue.clear()
            running = still
            if stop_at_first and any(rc != 0 for _, rc, _ in done):
                for _, r in running:
                    r.kill()
                running = []
            time.sleep(0.02)
    finally:
        for _, r in running:
            r.kill()
    return done, out_of_time


def ctest_units(build):
    info = json.loads(subprocess.run(["ctest", "--test-dir", build, "--show-only=json-v1"],
                                     check=True, capture_output=True, text=True).stdout)
    gtests = collections.OrderedDict()
    scripts = []
    for t in info["tests"]:
        name = t["name"]
        if EXCLUDED_TESTS.match(name):
            continue
        props = {p["name"]: p["value"] for p in t.get("properties", [])}
        cmd = t.get("command", [])
        if any(a.startswith("--gtest_filter=") for a in cmd):
            exe = cmd[0]
            if exe not in gtests:
                env = dict(os.environ)
                for kv in props.get("ENVIRONMENT", []):
                    k, _, v = kv.partition("=")
                    env[k] = v
                gtests[exe] = (props.get("WORKING_DIRECTORY", build), env, [])
            gtests[exe][2].append(name)
        else:
            scripts.append(name)
    units = []
    for exe, (cwd, env, names) in gtests.items():
        target = os.path.basename(exe)
        units.append(Unit(target, "gtest", [exe], cwd, env, reach_of_program(exe, target), names))
    if scripts:
        # The runner's scenes and command lines, and the fuzz targets replaying their
        # corpora: every one of them opens the plug-in through the runner's loader.
        units.append(Unit("runner-and-replays", "ctest", None, build, dict(os.environ),
                          {"rigkit", "rigkit_host", "rigkit-run", "rigkit_app_core"}, scripts))
    return units


def reach_of_program(exe, target):
    """The targets whose code a test program runs: itself, the host library every program
    links, and the plug-in when it links it or opens it by its path."""
    reach = {target, "rigkit_host"}
    with open(exe, "rb") as f:
        data = f.read()
    needed = subprocess.run(["readelf", "-d", exe], capture_output=True, text=True).stdout
    if "librigkit.so" in needed or b"librigkit.so" in data:
        reach.add("rigkit")
    if b"rigkit_app_core" in data or b"plugin_loader" in data:
        reach.add("rigkit_app_core")
    return reach


def targets_of_files(build):
    """Source file (relative to the root) -> the build targets that compile it."""
    with open(os.path.join(build, "compile_commands.json")) as f:
        entries = json.load(f)
    out = collections.defaultdict(set)
    for e in entries:
        rel = os.path.relpath(e["file"], ROOT)
        m = re.search(r"([^/]+)\.dir/", e.get("output", "") or e.get("command", ""))
        if m:
            out[rel].add(m.group(1))
    return out


def git_dirty(root, files):
    r = subprocess.run(["git", "status", "--porcelain", "--"] + files, cwd=root,
                       capture_output=True, text=True, check=True)
    return [l[3:] for l in r.stdout.splitlines() if l.strip()]


def build_targets(build, targets, jobs, out_path, limit=1800):
    cmd = ["cmake", "--build", build, "-j", str(jobs)]
    if targets:
        cmd += ["--target"] + sorted(targets)
    return run_limited(cmd, ROOT, dict(os.environ), limit, out_path)


def score(counts):
    judged = counts["killed"] + counts["timed out"] + counts["survived"]
    return 100.0 * (counts["killed"] + counts["timed out"]) / judged if judged else float("nan")


def report(results, equivalents_seen, wall, args):
    cols = ["mutants", "killed", "survived", "timed out", "not compiled", "equivalent"]
    per = collections.OrderedDict()
    total = collections.Counter()
    for r in sorted(results, key=lambda r: r["path"]):
        c = per.setdefault(folder(r["path"]), collections.Counter())
        for ctr in (c, total):
            ctr["mutants"] += 1
            ctr[r["status"]] += 1
    log("")
    log(f"mutation score, seed {args.seed}, {len(results)} mutants "
        f"(equivalent and not compiled left out of the score)")
    header = f"{'folder':<18}" + "".join(f"{c:>14}" for c in cols) + f"{'score':>9}"
    log(header)
    for name, c in list(per.items()) + [("total", total)]:
        sc = score(c)
        log(f"{name:<18}" + "".join(f"{c[k]:>14}" for k in cols) + (f"{sc:>8.1f}%" if sc == sc else f"{'-':>9}"))
    timed = [r["seconds"] for r in results if r["status"] not in ("equivalent",)]
    if timed:
        log(f"time: {wall:.0f} s in all, {sum(timed) / len(timed):.1f} s per mutant "
            f"(build {sum(r.get('build_seconds', 0) for r in results) / len(timed):.1f} s, "
            f"tests {sum(r.get('test_seconds', 0) for r in results) / len(timed):.1f} s)")
    survivors = [r for r in results if r["status"] == "survived"]
    if survivors:
        log("")
        log(f"survivors ({len(survivors)}):")
        for r in survivors:
            log(f"\n{r['path']}:{r['line']}  {r['operator']}  {r['id']}")
            log(f"  ran: {', '.join(r['ran'])}")
            log(r["diff"])
    if equivalents_seen:
        log("")
        log("left out as equivalent (tools/mutate/equivalent.txt):")
        for r in equivalents_seen:
            log(f"  {r['path']}:{r['line']}  {r['id']}  {r['reason']}")
    killers = collections.Counter()
    for r in results:
        for k in r.get("killers", []):
            killers[k] += 1
    if killers:
        log("")
        log("mutants killed, per test program" + (" (all programs run)" if args.all_killers
                                                   else " (the first to fail)") + ":")
        for k, n in killers.most_common():
            log(f"  {n:>4}  {k}")


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--mutants", type=int, default=int(os.environ.get("MUTANTS", 300)))
    ap.add_argument("--seed", type=int, default=int(os.environ.get("SEED", 1)))
    ap.add_argument("--timeout", type=float, default=float(os.environ.get("TIMEOUT", 0) or 0),
                    help="seconds of tests per mutant (default: three times the tests' own time, plus 30)")
    ap.add_argument("--build", default=os.path.join(ROOT, "build", "default"),
                    help="the build tree to mutate, build/<preset> (build/asan: sanitizer reports kill)")
    ap.add_argument("--jobs", type=int, default=int(os.environ.get("JOBS", 2)))
    ap.add_argument("--list", action="store_true", help="print the sample and stop")
    ap.add_argument("--only", action="append", default=[], help="run this mutant id (repeatable)")
    ap.add_argument("--all-killers", action="store_true",
                    help="run every selected test program even after one has failed, to see which tests kill what")
    ap.add_argument("--json", help="also write the results here")
    args = ap.parse_args()
    args.build = os.path.abspath(args.build)

    state = os.path.join(ROOT, "build", "mutate")
    os.makedirs(state, exist_ok=True)
    lock = open(os.path.join(state, "lock"), "w")
    try:
        fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
    except BlockingIOError:
        sys.exit("mutate: another run holds build/mutate/lock")

    g = guardmod.Guard(ROOT, state)
    for p in g.recover():
        log(f"mutate: put {p} back as it was; an earlier run was stopped with a mutant in it")

    pool = all_mutants(ROOT)
    if args.only:
        wanted = set(args.only)
        sample = [m for m in pool if m.id in wanted]
        missing = wanted - {m.id for m in sample}
        if missing:
            sys.exit("mutate: no such mutant: " + ", ".join(sorted(missing)))
    else:
        sample = draw(pool, args.mutants, args.seed)
    log(f"mutate: {len(pool)} mutants at {len({m.site for m in pool})} sites in {len(source_files(ROOT))} files; "
        f"{len(sample)} drawn with seed {args.seed}")
    if args.list:
        for m in sample:
            log(f"{m.id}  {m.path}:{m.line}  {m.operator}  {' '.join(m.description.split())[:150]}")
        return 0

    dirty = git_dirty(ROOT, source_files(ROOT))
    if dirty:
        sys.exit("mutate: these files have uncommitted changes, which a mutant would be written over:\n  "
                 + "\n  ".join(dirty))

    guardmod.install_signal_handlers()
    equivalents = read_equivalents()
    results, equivalents_seen = [], []
    tmp = tempfile.mkdtemp(prefix="mutate-", dir=state)
    start = time.monotonic()
    interrupted = False
    try:
        if not os.path.exists(os.path.join(args.build, "build.ninja")):
            # build/<preset>: the sanitizer build (build/asan) counts a fault that reads or
            # writes out of bounds as killed even where the release build happens not to show it.
            subprocess.run(["cmake", "--preset", os.path.basename(os.path.normpath(args.build))], cwd=ROOT, check=True)
        log("mutate: building the tree as it is")
        rc, secs = build_targets(args.build, None, args.jobs, os.path.join(tmp, "build.log"))
        if rc != 0:
            sys.exit(f"mutate: the unmutated tree does not build; see {tmp}/build.log")
        files_targets = targets_of_files(args.build)
        units = ctest_units(args.build)
        log("mutate: running the tests on the unmutated tree, for their times")
        for u in units:
            rc, secs, failed = u.run(args.build, 1800, os.path.join(tmp, f"baseline-{u.name}.log"))
            u.baseline = secs
            log(f"  {u.name:<28} {secs:6.1f} s  {len(u.tests)} tests")
            if rc != 0:
                sys.exit(f"mutate: {u.name} fails without any mutant ({', '.join(failed)}); "
                         f"see {tmp}/baseline-{u.name}.log")
        by_file = collections.defaultdict(list)
        for m in sample:
            by_file[m.path].append(m)
        texts = {p: open(os.path.join(ROOT, p)).read() for p in by_file}
        kills = collections.Counter()
        done = 0
        for m in sorted(sample, key=lambda m: (m.path, m.line)):
            done += 1
            text = texts[m.path]
            r = {"id": m.id, "path": m.path, "line": m.line, "operator": m.operator,
                 "description": m.description, "diff": mutmod.diff(m, text), "ran": [], "killers": [],
                 "seconds": 0.0}
            if m.id in equivalents:
                r["status"] = "equivalent"
                r["reason"] = equivalents[m.id]
                results.append(r)
                equivalents_seen.append(r)
                log(f"[{done}/{len(sample)}] {m.path}:{m.line} {m.operator}  equivalent, not run")
                continue
            targets = files_targets.get(m.path, set())
            # The programs that have killed most per second of their run go first, so a
            # killed mutant seldom waits for the slow ones.
            chosen = sorted((u for u in units if u.reaches & targets),
                            key=lambda u: (u.baseline + 0.2) / (1 + kills[u.name]))
            t0 = time.monotonic()
            with g.mutated(m.path, m.apply(text)):
                brc, bsecs = build_targets(args.build, targets, args.jobs, os.path.join(tmp, "mutant-build.log"))
                r["build_seconds"] = bsecs
                if brc != 0:
                    r["status"] = "not compiled"
                else:
                    budget = args.timeout or (30 + 3 * sum(u.baseline for u in chosen))
                    deadline = time.monotonic() + budget
                    status = "survived"
                    finished, out_of_time = run_side_by_side(
                        chosen, args.build, args.jobs, lambda u: max(10.0, 3 * u.baseline + 10), deadline, tmp,
                        not args.all_killers)
                    for u, rc, failed in finished:
                        r["ran"].append(u.name)
                        if rc != 0:
                            kills[u.name] += 1
                            r["killers"].append(u.name)
                        if rc is None:
                            r.setdefault("failed", []).append(f"{u.name} (timed out)")
                            status = "timed out" if status == "survived" else status
                        elif rc != 0:
                            r.setdefault("failed", []).extend(failed or [f"{u.name} (exit {rc})"])
                            status = "killed" if status == "survived" else status
                    if out_of_time and status == "survived":
                        status = "timed out"
                    r["status"] = status
                    r["test_seconds"] = time.monotonic() - t0 - bsecs
            r["seconds"] = time.monotonic() - t0
            results.append(r)
            what = r["status"]
            if r.get("failed"):
                what += ": " + ", ".join(r["failed"][:3]) + (" ..." if len(r["failed"]) > 3 else "")
            log(f"[{done}/{len(sample)}] {m.path}:{m.line} {m.operator} ({' '.join(m.description.split())[:70]}) "
                f"{r['seconds']:.0f} s  {what}")
    except guardmod.Interrupted as e:
        interrupted = True
        log(f"mutate: stopped by {e}; the tree is as it was")
    finally:
        if not interrupted:
            # The build tree holds objects of the last mutant; bring it back in step.
            build_targets(args.build, None, args.jobs, os.path.join(tmp, "build.log"))
    wall = time.monotonic() - start
    if results:
        report(results, equivalents_seen, wall, args)
        if args.json:
            with open(args.json, "w") as f:
                json.dump({"seed": args.seed, "mutants": len(sample), "seconds": wall, "results": results}, f,
                          indent=1)
    shutil.rmtree(tmp, ignore_errors=True)
    return 130 if interrupted else 0


if __name__ == "__main__":
    sys.exit(main())
