#!/usr/bin/env python3
"""Mutation check: do the tests notice small faults a developer could plausibly make?

Applies one mutation at a time at places sampled from the given C++ sources, rebuilds the test
programs that link the mutated file, runs them, records whether any failed (caught) or all passed
(missed), and puts the file back. Prints the share caught, per folder, and every miss as a diff.

Operators: invert a condition, shift a comparison's bound by one, drop a call statement, swap two
arguments of a call, replace a constant. A mutation that does not compile, or that changes no test
program's binary, is not counted; another place is drawn instead. A failing program counts as a
catch only if it fails again with the mutation and then passes without it, checked anew at every
catch; one that fails once and then passes is judged by a third run. A program that ctest ends at
its time-out is run again, never counted as a catch for it. A mutation is scored missed only after
every program it changes has run; one that only time-outs (or programs failing unmutated) kept from
a verdict is listed as not judged. Each process of a mutant's tests may map at most --memory GiB.
Every file named that cannot be sampled (no place to change, no test program that links it, test
programs that fail unmutated) is reported.

The tree is never left changed: each file is restored when its mutation ends, on every exit path
(an exception, Ctrl+C, SIGTERM, which end the run with what was counted so far); a run killed
outright leaves a backup that the next run restores before it starts.
"""

import argparse
import difflib
import hashlib
import json
import os
import random
import re
import resource
import signal
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass, field
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent

# Lines that only log or assert: a fault there changes nothing a user or a test could see.
SKIP_LINE = re.compile(r"\b(qC?(Debug|Info|Warning|Critical)|Q_ASSERT\w*|Q_UNUSED|static_assert)\b")
# Functions whose two arguments may change places without changing the result.
SYMMETRIC = {"qMin", "qMax", "std::min", "std::max", "qFuzzyCompare", "qHash", "QStringLiteral",
             "QLatin1String", "QLatin1StringView", "tr", "connect", "disconnect", "std::swap",
             "qSwap", "std::hypot", "QSize", "QSizeF", "QMargins", "QMarginsF"}
# Calls that only size memory ahead: dropping one changes no result.
NO_EFFECT_CALLS = {"reserve", "squeeze", "shrink_to_fit"}
STATEMENT_KEYWORDS = {"return", "delete", "throw", "case", "else", "break", "continue", "goto",
                      "co_await", "co_return", "co_yield", "if", "for", "while", "switch", "do",
                      "sizeof", "using", "typedef", "static_assert", "Q_OBJECT", "Q_PROPERTY",
                      "Q_DECLARE_METATYPE", "Q_LOGGING_CATEGORY", "Q_DECLARE_LOGGING_CATEGORY",
                      "Q_INVOKABLE", "Q_ENUM", "Q_DISABLE_COPY", "Q_DISABLE_COPY_MOVE",
                      "QT_BEGIN_NAMESPACE", "QT_END_NAMESPACE", "Q_SIGNALS", "signals"}


@dataclass
class Mutation:
    path: Path  # relative to ROOT
    line: int  # 0-based
    operator: str
    before: str
    after: str
    outcome: str = ""
    tests: list = field(default_factory=list)
    seconds: float = 0.0

    def where(self):
        return f"{self.path}:{self.line + 1}"

    def diff(self):
        return "".join(difflib.unified_diff([self.before + "\n"], [self.after + "\n"],
                                            f"a/{self.path}", f"b/{self.path}", n=0)).replace(
            "@@ -1 +1 @@", f"@@ -{self.line + 1} +{self.line + 1} @@")


def mask(lines):
    """Each line with comments blanked and the insides of string and character literals replaced
    by underscores, lengths kept, so patterns see only code and positions still match."""
    out = []
    in_block = False
    for line in lines:
        chars = list(line)
        i = 0
        while i < len(chars):
            c = chars[i]
            if in_block:
                if line.startswith("*/", i):
                    chars[i] = chars[i + 1] = " "
                    in_block = False
                    i += 2
                    continue
                chars[i] = " "
                i += 1
                continue
            if line.startswith("//", i):
                for j in range(i, len(chars)):
                    chars[j] = " "
                break
            if line.startswith("/*", i):
                in_block = True
                chars[i] = chars[i + 1] = " "
                i += 2
                continue
            if c in "\"'":
                if c == "'" and i > 0 and chars[i - 1].isalnum():
                    i += 1  # a digit separator (1'000)
                    continue
                j = i + 1
                while j < len(chars) and chars[j] != c:
                    if chars[j] == "\\":
                        chars[j] = "_"
                        j += 1
                        if j >= len(chars):
                            break
                    chars[j] = "_"
                    j += 1
                i = j + 1
                continue
            i += 1
        out.append("".join(chars))
    return out


def closing_paren(text, open_at):
    depth = 0
    for i in range(open_at, len(text)):
        if text[i] == "(":
            depth += 1
        elif text[i] == ")":
            depth -= 1
            if depth == 0:
                return i
    return -1


def split_arguments(text, start, end):
    """Top-level comma positions of text[start:end] as (begin, end) spans."""
    spans, depth, begin = [], 0, start
    for i in range(start, end):
        c = text[i]
        if c in "([{":
            depth += 1
        elif c in ")]}":
            depth -= 1
        elif c == "<" and depth == 0:
            return []  # a template argument list or a comparison: too ambiguous to split safely
        elif c == "," and depth == 0:
            spans.append((begin, i))
            begin = i + 1
    spans.append((begin, end))
    return spans


SIMPLE_ARGUMENT = re.compile(r"^\s*[A-Za-z_][\w]*(\s*(\.|->|::)\s*[A-Za-z_]\w*)*(\(\))?\s*$")
CONDITION = re.compile(r"\b(if|while)\s*\(")
COMPARISON = re.compile(r"(?<= )(<=|>=|<|>)(?= )")
CALL = re.compile(r"\b([A-Za-z_][\w]*(?:(?:::|\.|->)[A-Za-z_]\w*)*)\s*\(")
INTEGER = re.compile(r"(?<![\w.])(\d+)(?![\w.'])")
FLOATING = re.compile(r"(?<![\w.])(\d+\.\d+)(f?)(?![\w.])")
BOOLEAN = re.compile(r"\b(true|false)\b")
DROPPABLE = re.compile(r"^(\s*)(emit\s+)?([A-Za-z_]\w*(?:\s*(?:::|\.|->)\s*~?[A-Za-z_]\w*)*)\s*\(")
SHIFTED = {"<": "<=", "<=": "<", ">": ">=", ">=": ">"}


def candidates(path):
    """Every mutation the operators can make in one file, one line changed each."""
    text = (ROOT / path).read_text(encoding="utf-8")
    lines = text.split("\n")
    masked = mask(lines)
    found = []

    def add(n, operator, after):
        if after != lines[n]:
            found.append(Mutation(path, n, operator, lines[n], after))

    previous_code = ""
    for n, (line, code) in enumerate(zip(lines, masked)):
        stripped = code.strip()
        if not stripped or stripped.startswith("#") or SKIP_LINE.search(code):
            previous_code = stripped or previous_code
            continue
        # Invert a condition that closes on its own line.
        for m in CONDITION.finditer(code):
            if code[m.end():].lstrip().startswith("constexpr"):
                continue
            close = closing_paren(code, m.end() - 1)
            if close > 0:
                add(n, "invert condition",
                    line[:m.end()] + "!(" + line[m.end():close] + ")" + line[close:])
        # Shift a comparison's bound by one.
        if "template" not in code and "operator" not in code:
            for m in COMPARISON.finditer(code):
                add(n, "shift bound", line[:m.start()] + SHIFTED[m.group(1)] + line[m.end():])
        # Drop a call statement: a whole statement on one line that is a call and nothing else.
        m = DROPPABLE.match(code)
        continuation = previous_code and previous_code[-1] not in ";{}):" and not previous_code.endswith("else")
        if (m and m.group(3).split(":")[0].split(".")[0].split("-")[0] not in STATEMENT_KEYWORDS
                and re.split(r"\.|->|::", m.group(3))[-1].strip() not in NO_EFFECT_CALLS
                and not continuation):
            close = closing_paren(code, m.end() - 1)
            if close > 0 and code[close + 1:].strip() == ";":
                add(n, "drop call", m.group(1) + "(void)0;")
        # Swap two neighbouring arguments of a call that closes on this line.
        for m in CALL.finditer(code):
            name = m.group(1)
            if name in SYMMETRIC or name.split("::")[-1] in STATEMENT_KEYWORDS:
                continue
            close = closing_paren(code, m.end() - 1)
            if close < 0:
                continue
            spans = split_arguments(code, m.end(), close)
            for (a0, a1), (b0, b1) in zip(spans, spans[1:]):
                a, b = code[a0:a1], code[b0:b1]
                if SIMPLE_ARGUMENT.match(a) and SIMPLE_ARGUMENT.match(b) and a.strip() != b.strip():
                    add(n, "swap arguments",
                        line[:a0] + line[a0:a1].replace(a.strip(), b.strip()) + line[a1:b0]
                        + line[b0:b1].replace(b.strip(), a.strip()) + line[b1:])
        # Replace a constant.
        for m in FLOATING.finditer(code):
            value = float(m.group(1))
            new = "1.0" if value == 0 else repr(round(value * 2, 6))
            add(n, "replace constant", line[:m.start(1)] + new + line[m.end(1):])
        for m in INTEGER.finditer(code):
            value = int(m.group(1))
            add(n, "replace constant", line[:m.start()] + str(value + 1) + line[m.end():])
        for m in BOOLEAN.finditer(code):
            add(n, "replace constant",
                line[:m.start()] + ("false" if m.group(1) == "true" else "true") + line[m.end():])
        previous_code = stripped
    return found


def sources(arguments, base):
    """The .cpp files named (folders walked) or, with --base, those changed since that revision.
    A link is never followed: the file written would not be ours."""
    files = set()
    if base:
        out = subprocess.run(["git", "diff", "--name-only", "--diff-filter=AM", base, "--", "src"],
                             cwd=ROOT, check=True, capture_output=True, text=True).stdout
        files.update(Path(p) for p in out.split() if p.endswith(".cpp") and not (ROOT / p).is_symlink())
    for a in arguments:
        p = Path(a)
        full = ROOT / p
        if full.is_dir():
            files.update(q.relative_to(ROOT) for q in full.rglob("*.cpp") if not q.is_symlink())
        elif full.is_file() and not full.is_symlink():
            files.add(full.relative_to(ROOT) if full.is_absolute() else p)
        else:
            sys.exit(f"mutate: no such file or folder: {a}")
    return sorted(files)


def group_of(path):
    """The folder a mutation is counted under: src/<layer>/<area> or src/<layer>."""
    parts = path.parts
    return "/".join(parts[:3]) if len(parts) > 3 else "/".join(parts[:2])


def sample(all_candidates, rng):
    """Draws places spread over the folders (round-robin), in random order within each, so no
    single large file takes the whole sample."""
    by_group = {}
    for c in all_candidates:
        by_group.setdefault(group_of(c.path), []).append(c)
    for items in by_group.values():
        rng.shuffle(items)
    order = []
    keys = sorted(by_group)
    while any(by_group[k] for k in keys):
        for k in keys:
            if by_group[k]:
                order.append(by_group[k].pop())
    return order


class Tree:
    """Holds the one file that is mutated at a time, and puts it back whatever happens."""

    def __init__(self, backup):
        self.backup = backup
        self.current = None

    def recover(self):
        if self.backup.exists():
            saved = json.loads(self.backup.read_text())
            (ROOT / saved["path"]).write_text(saved["text"], encoding="utf-8")
            self.backup.unlink()
            print(f"mutate: restored {saved['path']} left changed by an interrupted run")

    def apply(self, mutation):
        path = ROOT / mutation.path
        original = path.read_text(encoding="utf-8")
        self.backup.write_text(json.dumps({"path": str(mutation.path), "text": original}))
        self.current = (path, original)
        lines = original.split("\n")
        lines[mutation.line] = mutation.after
        path.write_text("\n".join(lines), encoding="utf-8")

    def revert(self):
        if self.current:
            path, original = self.current
            path.write_text(original, encoding="utf-8")
            self.current = None
        if self.backup.exists():
            self.backup.unlink()


def ctest_names(build, label=None):
    out = subprocess.run(["ctest", "--test-dir", str(build), "-N"] + (["-L", label] if label else []),
                         capture_output=True, text=True, check=True).stdout
    return set(re.findall(r"Test\s+#\d+:\s+(\S+)", out))


def linked_inputs(build, tests):
    """For each test program, the objects and libraries it links (order-only steps left out)."""
    out = subprocess.run(["ninja", "-C", str(build), "-t", "query", *(f"tests/{t}" for t in tests)],
                         capture_output=True, text=True).stdout
    inputs, program, section = {}, None, None
    for line in out.split("\n"):
        if line and not line.startswith(" "):
            program = Path(line.rstrip(":")).name
            inputs[program] = set()
        elif line.strip().startswith("input:"):
            section = "input"
        elif line.strip() == "outputs:":
            section = None
        elif section == "input" and program and not line.strip().startswith("||"):
            inputs[program].add(line.strip().lstrip("| ").strip())
    return inputs


def query(build, *targets):
    return subprocess.run(["ninja", "-C", str(build), "-t", "query", *targets],
                          capture_output=True, text=True).stdout


def query_outputs(build, *targets):
    """What ninja builds from `targets` (the lines under each "outputs:")."""
    found, section = set(), None
    for line in query(build, *targets).split("\n"):
        if line and not line.startswith(" "):
            section = None
        elif line.strip() == "outputs:":
            section = "outputs"
        elif line.strip().endswith(":"):
            section = None
        elif section == "outputs" and line.strip():
            found.add(line.strip())
    return found


def covering_programs(build, inputs, only, source):
    """The test programs that run the file, and what the file is built into besides them: the
    programs that link it, directly or through its library; for a file of the application itself or
    of a module loaded at run time (not linked by any program), the programs that are built after it
    (a library that loads the module, the application a test starts). Returns (programs, artefacts):
    the files whose contents change with the file's code."""
    objects = [line.strip() for line in query(build, str(ROOT / source)).split("\n")
               if line.strip().endswith(".o")]
    if not objects:
        return [], []
    made = query_outputs(build, *objects)
    linked = set(objects) | {o for o in made if o.endswith(".a")}
    artefacts = []
    if not any(o.endswith(".a") for o in made):
        # An executable or a module: the programs that need it built first.
        artefacts = sorted(o for o in made if o.endswith(".so") or Path(o).name == "quorvantis")
        if artefacts:
            after = query_outputs(build, *artefacts)
            linked |= {o for o in after if o.endswith(".a")}
            linked |= {Path(o).name for o in after if o.startswith("tests/")}
    programs = sorted(p for p, used in inputs.items()
                      if (used & linked or p in linked) and (not only or re.search(only, p)))
    return programs, artefacts


def digest(build, files):
    result = {}
    for f in files:
        path = build / f if "/" in f else build / "tests" / f
        result[f] = hashlib.sha1(path.read_bytes()).hexdigest() if path.exists() else None
    return result


RESULT = re.compile(r"Test\s+#\d+:\s+(\S+)\s+\.*\s*(\*\*\*)?(Passed|Failed|Timeout|Exception|Not Run|\w+)")


def program_results(output):
    """Each program's end in one ctest run's output: "passed", "failed" (a failed check or a crash),
    "timeout" (ctest ended it at its TIMEOUT, which is never a catch) or "notrun"."""
    results = {}
    for name, _, word in RESULT.findall(output):
        results[name] = {"Passed": "passed", "Timeout": "timeout", "Not Run": "notrun"}.get(word, "failed")
    return results


def batch_allowance(programs, per_test):
    """Seconds a ctest run of `programs` two at a time may take when each uses all of its own time."""
    return per_test * ((len(programs) + 1) // 2) + 60


def run(cmd, timeout, log, memory=0):
    """Runs cmd with its output to log; on timeout its whole process group is ended. With `memory`
    (bytes), cmd and everything it starts may map no more than that each (a mutant that allocates
    without end fails, instead of taking the machine's memory)."""
    start = time.monotonic()

    def bound():
        if memory:
            resource.setrlimit(resource.RLIMIT_AS, (memory, memory))

    p = subprocess.Popen(cmd, stdout=log, stderr=subprocess.STDOUT, start_new_session=True, preexec_fn=bound)
    try:
        return p.wait(timeout=timeout), time.monotonic() - start
    except subprocess.TimeoutExpired:
        return None, time.monotonic() - start
    finally:
        if p.poll() is None:
            os.killpg(p.pid, signal.SIGKILL)
            p.wait()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("paths", nargs="*", help="source files or folders to mutate")
    parser.add_argument("--base", help="also mutate the .cpp files changed since this revision")
    parser.add_argument("--count", type=int, default=20, help="mutations to count (default 20)")
    parser.add_argument("--seed", type=int, default=1, help="sampling seed (default 1)")
    parser.add_argument("--build", default="build-test", help="Release build folder (default build-test)")
    parser.add_argument("--tests", help="only test programs whose name matches this pattern")
    parser.add_argument("--timeout", type=int, default=900, help="seconds for one mutation's tests")
    parser.add_argument("--list", action="store_true", help="print the sampled mutations and stop")
    parser.add_argument("--replay", help="run again the mutations a run recorded (its mutate-results.json)")
    parser.add_argument("--memory", type=int, default=4,
                        help="GiB each process of a mutant's tests may map (default 4)")
    parser.add_argument("--jobs", type=int, default=max(1, min(3, os.cpu_count() or 1)))
    args = parser.parse_args()

    if args.replay:
        recorded = json.loads(Path(args.replay).read_text())
        order = [Mutation(Path(r["path"]), r["line"], r["operator"], r["before"], r["after"]) for r in recorded]
        for m in order:  # the code may have moved since
            lines = (ROOT / m.path).read_text(encoding="utf-8").split("\n")
            if not (m.line < len(lines) and lines[m.line] == m.before):
                m.line = lines.index(m.before) if lines.count(m.before) == 1 else -1
        for m in order:
            if m.line < 0:
                print(f"mutate: {m.path}: the line mutated is gone, not replayed: {m.before.strip()}")
        order = [m for m in order if m.line >= 0]
        args.count, files, pool = len(order), sorted({m.path for m in order}), order
    else:
        files = sources(args.paths, args.base)
        if not files:
            sys.exit("mutate: nothing to mutate (name files or folders, or --base REV)")
        rng = random.Random(args.seed)
        pool = [c for f in files for c in candidates(f)]
        order = sample(pool, rng)
    if args.list:
        signal.signal(signal.SIGPIPE, signal.SIG_DFL)  # a pager or head may stop reading early
        for m in order[:args.count]:
            print(f"{m.where()}  {m.operator}\n  - {m.before.strip()}\n  + {m.after.strip()}")
        return 0

    build = ROOT / args.build
    if not (build / "build.ninja").exists():
        sys.exit(f"mutate: no build in {build}: run scripts/test.sh first")
    tree = Tree(build / "mutate-backup.json")
    tree.recover()

    stopping = []

    def stop(signum, _frame):
        if not stopping:  # once: a second signal must not cut the restore short
            stopping.append(signum)
            raise KeyboardInterrupt(f"signal {signum}")

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGHUP, stop)
    signal.signal(signal.SIGINT, stop)

    tests = ctest_names(build)
    inputs = linked_inputs(build, tests)
    display_tests = ctest_names(build, "x11")

    # Files no mutation can be drawn from are named, so a share is never read as covering them.
    covering, artefacts, unsampled = {}, {}, {}
    places = {}
    for m in pool:
        places[m.path] = places.get(m.path, 0) + 1
    for f in files:
        if not places.get(f):
            unsampled[f] = "no place the operators can change"
            continue
        covering[f], artefacts[f] = covering_programs(build, inputs, args.tests, f)
        if not covering[f]:
            unsampled[f] = ("no test program matching --tests links it" if args.tests
                            else "no test program links it")
    for f in sorted(unsampled):
        print(f"mutate: not sampled: {f} ({unsampled[f]})")
    order = [m for m in order if m.path not in unsampled]

    def ctest_command(programs, stop_on_failure=True):
        return (["ctest", "--test-dir", str(build), "-R", "^(" + "|".join(programs) + ")$", "-j", "2",
                 "--output-on-failure", "--timeout", str(args.timeout)]
                + (["--stop-on-failure"] if stop_on_failure else []))

    memory = args.memory * 1024 ** 3

    def run_tests(programs, log, stop_on_failure=True):
        """One ctest run of the programs under the memory bound. Returns each program's end
        (program_results; a program the run did not reach is "notrun", one still running when the
        whole run outlived its allowance "timeout") and the seconds taken."""
        with tempfile.TemporaryFile("w+") as out:
            code, seconds = run(ctest_command(programs, stop_on_failure),
                                batch_allowance(programs, args.timeout), out, memory)
            out.seek(0)
            text = out.read()
        log.write(text)
        log.flush()
        results = program_results(text)
        for p in programs:
            results.setdefault(p, "timeout" if code is None else "notrun")
        return results, seconds

    def confirm(program, first, log):
        """A program's end with the mutation in, given its first. A time-out is run again (a loaded
        machine, not a caught fault: two are "timeout", never a catch); a failure counts only if it
        happens again (one slow start of a real program is not a caught fault); failed once and
        passed once, a third run decides. Returns ("failed" | "passed" | "timeout", every end, the
        seconds the runs after the first took)."""
        ends, seconds = [first], 0.0
        while True:
            if ends.count("failed") >= 2:
                return "failed", ends, seconds
            if ends.count("timeout") >= 2:
                return "timeout", ends, seconds
            if "passed" in ends and ("failed" not in ends or len(ends) == 3):
                return "passed", ends, seconds
            result, took = run_tests([program], log)
            ends.append(result[program])
            seconds += took

    def judge(mutation, programs, log):
        """Runs every program the mutation touches until one catches it. Returns ("caught", the
        program) or ("missed", []) or ("unjudged", the programs that outlived their time or fail
        without the mutation), and the seconds the tests took. The tree holds the mutation on entry
        and not on return."""
        seconds = 0.0
        pending = ([p for p in programs if p not in display_tests]
                   + [p for p in programs if p in display_tests])
        unjudged_by = []
        while pending:
            # The quick ones first, those on the real display when none of those is left.
            quick = [p for p in pending if p not in display_tests]
            batch = quick or pending
            results, took = run_tests(batch, log)
            seconds += took
            if all(results[p] == "notrun" for p in batch):
                print(f"mutate: ctest ran none of {', '.join(batch)}; not judged by them")
                unjudged_by += batch
                pending = [p for p in pending if p not in batch]
                continue
            suspects = []
            for p in batch:
                if results[p] == "passed":
                    pending.remove(p)
                elif results[p] in ("failed", "timeout"):
                    pending.remove(p)
                    suspects.append(p)
            confirmed = []
            for p in suspects:
                end, ends, took = confirm(p, results[p], log)
                seconds += took
                if end == "failed":
                    confirmed.append(p)
                    continue
                print(f"mutate: {p} ended {', '.join(ends)} with {mutation.where()} mutated; not a catch")
                if end == "timeout":
                    unjudged_by.append(p)
            if not confirmed:
                continue
            # A failure means something only if the same program passes unmutated, now: the
            # machine may have changed since it last passed (a full disk, a broken display).
            tree.revert()
            build_command = ["cmake", "--build", str(build), "-j", str(args.jobs), "--target"]
            if run(build_command + confirmed, 1800, log)[0] != 0:
                sys.exit(f"mutate: the build fails without any mutation (see {log_path})")
            results, took = run_tests(confirmed, log, stop_on_failure=False)
            seconds += took
            for p in confirmed:
                if results[p] == "passed":
                    return "caught", [p], seconds
            print(f"mutate: {' '.join(confirmed)} fail without any mutation too; not a catch")
            baseline_failed.update(confirmed)
            unjudged_by += confirmed
            if pending:
                tree.apply(mutation)
                if run(build_command + pending, 1800, log)[0] != 0:
                    tree.revert()
                    break
        tree.revert()
        if unjudged_by:
            return "unjudged", unjudged_by, seconds
        return "missed", [], seconds

    log_path = build / "mutate.log"
    report_path = build / "mutate-report.txt"
    done, baseline_failed, unchanged, unjudged = [], set(), 0, []
    print(f"mutate: {len(pool)} places in {len(files)} files; counting {args.count}")
    try:
        with open(log_path, "w") as log:
            for mutation in order:
                if len(done) >= args.count:
                    break
                programs = covering[mutation.path]
                if any(p in baseline_failed for p in programs):
                    unsampled.setdefault(mutation.path, "its test programs fail without any mutation")
                    continue
                # Built from the unchanged file first (the last mutation may have left its objects),
                # so that a program whose binary the mutation does not change is not run: it does not
                # contain the mutated code, or the compiler made the same code of both.
                build_command = ["cmake", "--build", str(build), "-j", str(args.jobs), "--target"]
                if run(build_command + programs, 1800, log)[0] != 0:
                    sys.exit(f"mutate: the build fails without any mutation (see {log_path})")
                before = digest(build, programs + artefacts[mutation.path])
                tree.apply(mutation)
                code, build_seconds = run(build_command + programs, 1800, log)
                if code != 0:
                    tree.revert()
                    continue
                after = digest(build, programs + artefacts[mutation.path])
                if any(before[a] != after[a] for a in artefacts[mutation.path]):
                    pass  # every program that runs the changed module or application
                else:
                    programs = [p for p in programs if before[p] != after[p]]
                if not programs:
                    tree.revert()
                    unchanged += 1
                    continue
                outcome, tests, test_seconds = judge(mutation, programs, log)
                mutation.seconds = build_seconds + test_seconds
                if outcome == "unjudged":
                    unjudged.append(mutation)
                    print(f"mutate: {mutation.where()} not judged: {', '.join(tests)} outlived "
                          "their time or fail without it, and nothing else caught it")
                    continue
                mutation.outcome = outcome
                mutation.tests = tests or programs
                done.append(mutation)
                print(f"[{len(done)}/{args.count}] {mutation.outcome:6} {mutation.where()}  "
                      f"{mutation.operator}  ({', '.join(mutation.tests)}; {mutation.seconds:.0f} s)", flush=True)
    except KeyboardInterrupt:
        print("\nmutate: interrupted")
    finally:
        tree.revert()

    if not done:
        return 1
    lines = []
    caught = sum(m.outcome == "caught" for m in done)
    lines.append(f"caught {caught} of {len(done)}: {100 * caught / len(done):.0f} % "
                 f"({unchanged} more changed no test program's binary and were not counted)")
    if unjudged:
        lines.append(f"not judged (a program outlived its time twice or failed unmutated too, and no "
                     f"other caught it): "
                     f"{', '.join(m.where() for m in unjudged)}")
    groups = {}
    for m in done:
        groups.setdefault(group_of(m.path), []).append(m)
    for g in sorted(groups):
        ms = groups[g]
        c = sum(m.outcome == "caught" for m in ms)
        lines.append(f"  {g:40} {c:3} of {len(ms):3}")
    if unsampled:
        lines.append("\nnot sampled:")
        for f in sorted(unsampled):
            lines.append(f"  {f} ({unsampled[f]})")
    missed = [m for m in done if m.outcome == "missed"]
    if missed:
        lines.append("\nmissed:")
        for m in missed:
            lines.append(f"{m.operator} ({', '.join(m.tests)})\n{m.diff()}")
    report = "\n".join(lines)
    print("\n" + report)
    report_path.write_text(report + "\n")
    (build / "mutate-results.json").write_text(json.dumps(
        [{"path": str(m.path), "line": m.line, "operator": m.operator, "before": m.before, "after": m.after,
          "outcome": m.outcome} for m in done], indent=1))
    print(f"\n(report in {report_path}, build and test output in {log_path})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
