#!/usr/bin/env python3
"""Mutation pass over the judge, the line patterns, the board and the .lib codec.

Each mutant is one small change to one source file: a relational or equality
operator flipped, one operand of && or || dropped, or an integer constant moved
by one. For each, the file is rewritten, only the test executable of that
folder is rebuilt (an incremental build in a build folder of its own) and run
with a timeout, and the file is put back, also when the run is interrupted.
What survives is tried again in a sanitizer build (address, undefined
behaviour, bounds of the standard containers, the game's asserts), which also
sees a mutant that only reads or writes out of bounds. A mutant that survives
both is either a behaviour the tests miss or a change no input can tell apart;
those of the second kind are listed in scripts/mutate_equivalent.txt, each with
its reason, and reported apart. Not part of the test suite; the 509 mutants
took 53 minutes on two cores shared with four other builds (the plain build's
part 16 minutes on idle ones). game/board.cpp only replays a list and yields no
mutant; the board's rules are in its header, which every unit includes.

    scripts/mutate.py                       all mutants, build folder build-mutate
    scripts/mutate.py --max-per-file 40     a spread of at most 40 per file
    scripts/mutate.py --list                the mutants, nothing built
    scripts/mutate.py --source DIR          mutate a copy of the tree, not this one
    scripts/mutate.py --match 'judge.cpp:168:'

The exit status is 1 when a mutant survives that the list does not accept, or
when the list accepts one that the tests kill. The files are changed in place
while a mutant is tested, so anything else building the same tree meanwhile
sees the mutant: when someone else works in the tree, run it on a copy
(git archive HEAD | tar -x -C DIR, then --source DIR).
"""

import argparse
import os
import re
import signal
import subprocess
import sys
import time

# The files mutated, each with the test executable that covers it: the tests
# of its own folder.
TARGETS = {
    "game/judge.cpp": ("tessaro_game_tests", "tests/game/tessaro_game_tests"),
    "game/line_pattern.cpp": ("tessaro_game_tests", "tests/game/tessaro_game_tests"),
    "game/board.cpp": ("tessaro_game_tests", "tests/game/tessaro_game_tests"),
    "files/lib_file.cpp": ("tessaro_files_tests", "tests/files/tessaro_files_tests"),
}

# ---- Reading the source ------------------------------------------------------


def blank_non_code(text):
    """The text with comments, string and character literals and preprocessor
    lines replaced by spaces (newlines kept), so that offsets stay valid."""
    out = list(text)
    i, n = 0, len(text)
    at_line_start = True
    while i < n:
        c = text[i]
        if at_line_start and c == "#":
            while i < n and text[i] != "\n":
                out[i] = " "
                i += 1
            continue
        if c == "\n":
            at_line_start = True
            i += 1
            continue
        if not c.isspace():
            at_line_start = False
        if text.startswith("//", i):
            while i < n and text[i] != "\n":
                out[i] = " "
                i += 1
        elif text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            for k in range(i, end):
                if text[k] != "\n":
                    out[k] = " "
            i = end
        elif c in "\"'":
            k = i + 1
            while k < n and text[k] != c:
                k += 2 if text[k] == "\\" else 1
            for j in range(i, min(k + 1, n)):
                out[j] = " "
            i = k + 1
        else:
            i += 1
    return "".join(out)


TOKEN = re.compile(
    r"0[xX][0-9a-fA-F]+[uUlL]*|\d+[uUlL]*|[A-Za-z_]\w*"
    r"|<<=|>>=|<=>|->\*|::|->|\+\+|--|<<|>>|<=|>=|==|!=|&&|\|\||[-+*/%&|^]=|\S"
)


def tokenize(code):
    return [(m.group(0), m.start(), m.end()) for m in TOKEN.finditer(code)]


# Tokens that may stand between the angle brackets of a template argument list.
TEMPLATE_INSIDE = re.compile(r"[A-Za-z_]\w*|\d+[uUlL]*|0[xX][0-9a-fA-F]+|::|,|\*|&|<|>")


def template_angles(tokens):
    """Indexes of < and > tokens that are template brackets, not comparisons:
    a < right after a name, closed by a > with only names, numbers, ::, commas
    and pointer or reference marks in between."""
    angles = set()
    for i, (text, _, _) in enumerate(tokens):
        if text != "<" or i == 0 or not re.match(r"[A-Za-z_]", tokens[i - 1][0]):
            continue
        depth, j = 1, i + 1
        while j < len(tokens) and TEMPLATE_INSIDE.fullmatch(tokens[j][0]):
            if tokens[j][0] == "<":
                depth += 1
            elif tokens[j][0] == ">":
                depth -= 1
                if depth == 0:
                    angles.update((i, j))
                    break
            j += 1
    return angles


def operand_end(tokens, start, step, stops):
    """The index of the last token of the operand that begins at `start` and
    runs in direction `step` (+1 or -1) up to a token of `stops` at its own
    bracket depth, or a bracket it did not open."""
    opening, closing = ("(", "[", "{"), (")", "]", "}")
    if step < 0:
        opening, closing = closing, opening
    depth, i, last = 0, start, start
    while 0 <= i < len(tokens):
        text = tokens[i][0]
        if text in opening:
            depth += 1
        elif text in closing:
            if depth == 0:
                break
            depth -= 1
        elif depth == 0 and text in stops:
            break
        last = i
        i += step
    return last


# What ends an operand of && and of ||: the operators that bind less tightly.
COMMON_STOPS = {"?", ":", ",", ";", "=", "+=", "-=", "*=", "/=", "return"}
AND_STOPS = COMMON_STOPS | {"&&", "||"}
OR_STOPS = COMMON_STOPS | {"||"}

RELATIONAL = {
    "<": ["<=", ">="],
    "<=": ["<", ">"],
    ">": [">=", "<="],
    ">=": [">", "<"],
    "==": ["!="],
    "!=": ["=="],
}


def moved_constant(text, delta):
    suffix = re.search(r"[uUlL]*$", text).group(0)
    digits = text[: len(text) - len(suffix)]
    if digits.lower().startswith("0x"):
        value = int(digits, 16) + delta
        if value < 0:
            return None
        upper = any(c in "ABCDEF" for c in digits[2:])
        body = format(value, "0%d%s" % (len(digits) - 2, "X" if upper else "x"))
        return digits[:2] + body + suffix
    value = int(digits) + delta
    return ("(%d)" % value if value < 0 else str(value)) + suffix


def mutants(text):
    """Every mutant of one file: (line, description, mutated text)."""
    code = blank_non_code(text)
    tokens = tokenize(code)
    angles = template_angles(tokens)
    found = []

    lines = text.split("\n")

    def add(start, end, replacement, what):
        line = text.count("\n", 0, start) + 1
        column = start - (text.rfind("\n", 0, start) + 1) + 1
        what = "col %d: %s    [%s]" % (column, what, lines[line - 1].strip())
        found.append((line, what, text[:start] + replacement + text[end:]))

    for i, (tok, start, end) in enumerate(tokens):
        if tok in RELATIONAL and i not in angles:
            for other in RELATIONAL[tok]:
                add(start, end, other, "%s -> %s" % (tok, other))
        elif tok in ("&&", "||"):
            stops = AND_STOPS if tok == "&&" else OR_STOPS
            left = operand_end(tokens, i - 1, -1, stops)
            right = operand_end(tokens, i + 1, +1, stops)
            left_text = text[tokens[left][1] : start].strip()
            right_text = text[end : tokens[right][2]].strip()
            add(tokens[left][1], tokens[i + 1][1], "",
                "drop left operand of %s: %s" % (tok, " ".join(left_text.split())))
            add(tokens[i - 1][2], tokens[right][2], "",
                "drop right operand of %s: %s" % (tok, " ".join(right_text.split())))
        elif re.match(r"\d", tok):
            for delta in (+1, -1):
                moved = moved_constant(tok, delta)
                if moved is not None:
                    add(start, end, moved, "%s -> %s" % (tok, moved))
    return found


def spread(items, limit):
    """At most `limit` of the items, evenly spread over the list."""
    if limit is None or len(items) <= limit:
        return items
    return [items[(k * len(items)) // limit] for k in range(limit)]


# ---- Building and testing ------------------------------------------------------


def run(command, timeout=None):
    try:
        result = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                timeout=timeout)
        return result.returncode
    except subprocess.TimeoutExpired:
        return None


class Build:
    """One build folder of the two modules and their tests. Warnings stay
    warnings, so that a mutant fails to build only when it is not C++. The test
    executables are not run for test discovery after each link: a mutant that
    breaks them at start must count as killed, not as failing to build. The
    sanitizer build also checks bounds and the game's own asserts."""

    def __init__(self, source, folder, sanitize, jobs):
        self.source, self.folder, self.sanitize, self.jobs = source, folder, sanitize, jobs
        self.timeouts = {}

    def prepare(self, names):
        """Configures, then builds and runs each test executable unchanged; False
        with a message when that fails."""
        fresh = not os.path.exists(os.path.join(self.folder, "CMakeCache.txt"))
        generator = ["-G", "Ninja"] if fresh and run(["ninja", "--version"]) == 0 else []
        if run(["cmake", "-S", self.source, "-B", self.folder, *generator,
                "-DCMAKE_BUILD_TYPE=Release", "-DTESSARO_ONLY=game;files", "-DTESSARO_BENCH=OFF",
                "-DTESSARO_DESKTOP=OFF", "-DTESSARO_WERROR=OFF",
                "-DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST",
                "-DTESSARO_SANITIZE=%s" % ("ON" if self.sanitize else "OFF")]) != 0:
            print("cmake could not configure %s" % self.folder)
            return False
        for name in names:
            target, executable = TARGETS[name]
            if executable in self.timeouts:
                continue
            if not self.build(target):
                print("%s does not build unchanged in %s" % (target, self.folder))
                return False
            started = time.monotonic()
            if self.test(executable, None) != "passed":
                print("%s does not pass unchanged in %s" % (executable, self.folder))
                return False
            # Time enough for a loaded machine; a mutant that loops is killed.
            self.timeouts[executable] = 10 + 10 * (time.monotonic() - started)
        return True

    def build(self, target):
        return run(["cmake", "--build", self.folder, "--target", target, "-j", str(self.jobs)]) == 0

    def test(self, executable, timeout):
        """'passed', 'failed' or 'timeout'."""
        code = run([os.path.join(self.folder, executable), "--gtest_fail_fast", "--gtest_brief=1"],
                   timeout)
        return "timeout" if code is None else "passed" if code == 0 else "failed"

    def outcome(self, name):
        """'killed', 'timeout', 'survived' or 'failed to build' for the file as it
        now stands."""
        target, executable = TARGETS[name]
        if not self.build(target):
            return "failed to build"
        result = self.test(executable, self.timeouts[executable])
        return {"passed": "survived", "failed": "killed", "timeout": "timeout"}[result]


class Restorer:
    """Puts the file being mutated back: after each mutant, at exit and on
    SIGINT or SIGTERM. A copy lies in the build folder while a mutant is in
    place, so that a run killed outright is repaired by the next one."""

    def __init__(self, build_dir):
        self.saved = os.path.join(build_dir, "mutate-original")
        self.path = None
        self.text = None
        if os.path.exists(self.saved):
            with open(self.saved, encoding="utf-8") as f:
                path, _, text = f.read().partition("\n")
            write(path, text)
            os.remove(self.saved)
            print("put back %s, left mutated by an earlier run" % path)

    def hold(self, path, text):
        with open(self.saved, "w", encoding="utf-8") as f:
            f.write(path + "\n" + text)
        self.path, self.text = path, text

    def release(self):
        if self.path is not None:
            write(self.path, self.text)
            os.remove(self.saved)
            self.path = self.text = None


def write(path, text):
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


# ---- Mutants accepted as equivalent ----------------------------------------------


def mutant_key(name, what):
    """A mutant without its line number, so that an edit higher up in the file
    does not orphan its entry: the file, the column, the change and the line."""
    return name + ": " + " ".join(what.split())


def read_accepted(path):
    """{key: reason} from the list: each mutant as the run prints it
    (FILE:LINE: description), then its reason on indented lines."""
    accepted, key = {}, None
    if not os.path.exists(path):
        return accepted
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            if not line.strip() or line.startswith("#"):
                continue
            if line[0].isspace():
                if key is None:
                    sys.exit("%s:%d: a reason before any mutant" % (path, number))
                accepted[key] = (accepted[key] + " " + line.strip()).strip()
                continue
            found = re.match(r"([^:]+):\d+: (.*)", line.strip())
            if not found:
                sys.exit("%s:%d: not FILE:LINE: description" % (path, number))
            key = mutant_key(found.group(1), found.group(2))
            accepted[key] = ""
    for key, reason in accepted.items():
        if not reason:
            sys.exit("%s: %s has no reason" % (path, key))
    return accepted


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--source", default=root, help="the source tree to mutate")
    parser.add_argument("--build-dir", help="default: SOURCE/build-mutate; the sanitizer build "
                        "goes beside it, with -sanitize after its name")
    parser.add_argument("--files", nargs="*", default=list(TARGETS), choices=list(TARGETS))
    parser.add_argument("--max-per-file", type=int, help="test a spread of at most N per file")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--match", help="only the mutants whose FILE:LINE: description matches")
    parser.add_argument("--accepted", default=os.path.join(root, "scripts", "mutate_equivalent.txt"),
                        help="the mutants accepted as equivalent, each with its reason")
    parser.add_argument("--list", action="store_true", help="list the mutants and stop")
    args = parser.parse_args()
    source = os.path.abspath(args.source)
    build_dir = os.path.abspath(args.build_dir or os.path.join(source, "build-mutate"))
    accepted = read_accepted(args.accepted)

    plan, every = [], set()
    for name in args.files:
        path = os.path.join(source, name)
        with open(path, encoding="utf-8") as f:
            text = f.read()
        found = mutants(text)
        every.update(mutant_key(name, what) for _, what, _ in found)
        if args.match:
            found = [m for m in found if re.search(args.match, "%s:%d: %s" % (name, m[0], m[1]))]
        chosen = spread(found, args.max_per_file)
        plan += [(name, path, text, m) for m in chosen]
    stale = [key for key in accepted if key.split(":")[0] in args.files and key not in every]
    if args.list:
        for name, _, _, (line, what, _) in plan:
            print("%s:%d: %s" % (name, line, what))
        print("%d mutants" % len(plan))
        return 0

    os.makedirs(build_dir, exist_ok=True)
    restorer = Restorer(build_dir)

    def interrupted(signum, frame):
        restorer.release()
        print("\ninterrupted; every file is back as it was (the build folders may not be)")
        os._exit(130)

    signal.signal(signal.SIGINT, interrupted)
    signal.signal(signal.SIGTERM, interrupted)

    def attempt(builder, mutant):
        name, path, text, (_, _, mutated) = mutant
        restorer.hold(path, text)
        write(path, mutated)
        try:
            return builder.outcome(name)
        finally:
            restorer.release()

    def put_back(builder):
        """Leaves a build folder matching the sources again."""
        for target in {TARGETS[name][0] for name in args.files}:
            builder.build(target)

    # The plain build first; what survives it is tried again in the sanitizer
    # build, which also sees reads and writes out of bounds.
    plain = Build(source, build_dir, False, args.jobs)
    if not plain.prepare(args.files):
        return 2
    counts = {"killed": 0, "timeout": 0, "sanitizer": 0, "failed to build": 0}
    survivors = []
    started = time.monotonic()
    try:
        for number, mutant in enumerate(plan, 1):
            outcome = attempt(plain, mutant)
            if outcome == "survived":
                survivors.append(mutant)
            else:
                counts[outcome] += 1
            if sys.stdout.isatty():
                print("%d/%d %s" % (number, len(plan), outcome), end="\r", flush=True)
    finally:
        put_back(plain)
    if survivors:
        sanitized = Build(source, build_dir + "-sanitize", True, args.jobs)
        if not sanitized.prepare(args.files):
            return 2
        try:
            remaining = []
            for mutant in survivors:
                outcome = attempt(sanitized, mutant)
                if outcome in ("killed", "timeout"):
                    counts["sanitizer"] += 1
                else:
                    remaining.append(mutant)
            survivors = remaining
        finally:
            put_back(sanitized)

    described = [("%s:%d: %s" % (name, line, what), mutant_key(name, what))
                 for name, _, _, (line, what, _) in survivors]
    equivalent = [(text, key) for text, key in described if key in accepted]
    new = [text for text, key in described if key not in accepted]
    surviving = {key for _, key in described}
    planned = {mutant_key(name, what) for name, _, _, (_, what, _) in plan}
    killed_listed = [key for key in accepted if key in planned and key not in surviving]
    minutes = (time.monotonic() - started) / 60
    print("\n%d mutants in %.1f minutes: %d killed (%d by the timeout, %d only by the sanitizer "
          "build), %d equivalent as listed, %d survived, %d failed to build"
          % (len(plan), minutes, counts["killed"] + counts["timeout"] + counts["sanitizer"],
             counts["timeout"], counts["sanitizer"], len(equivalent), len(new),
             counts["failed to build"]))
    for title, items in (("Survived:", new),
                         ("Equivalent as listed in %s:" % args.accepted, [t for t, _ in equivalent]),
                         ("Listed as equivalent, but killed:", killed_listed),
                         ("Listed as equivalent, but no longer a mutant of the source:", stale)):
        if items:
            print(title)
            for item in items:
                print("  " + item)
    return 1 if new or killed_listed else 0


if __name__ == "__main__":
    sys.exit(main())
