#!/usr/bin/env python3
"""Runs every command that README.md and docs/*.md show and compares the output the
documents show with what the program prints.

    scripts/check-docs.py --velmora build/test/apps/cli/velmora [--data data] [SOURCE_DIR]

What counts as a command: a line of a code block (indented or fenced) that starts with
`velmora `, `build/release/apps/cli/velmora `, `mkdir ` or `ngspice ` (ngspice lines only
when ngspice is installed); a synopsis (`<command>`, `[options]`, `a | b`) is not run. A trailing `# ...` comment is not part of the command; a
comment that says "exits N" sets the exit status expected, else 0 is.

What counts as documented output:
  - a fenced block whose first line is a `velmora ...` command: the lines after it;
  - a fenced block right after the comment `<!-- output-of: COMMAND -->`.
Every line of such a block other than `...` must appear in the command's output (stdout
then stderr), in the order shown, with trailing blanks ignored.

`<!-- file: NAME -->` right before a fenced block writes the block to NAME first (a
request file a later command reads). The commands of one document run in order in one
temporary folder, so a file one command saves is there for the next; the folder `out`
exists from the start, as `make run` makes it.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
from concurrent.futures import ThreadPoolExecutor

PREFIXES = ("velmora ", "build/release/apps/cli/velmora ", "mkdir ", "ngspice ")


def strip_comment(line):
    """The command without a trailing `# comment` (outside quotes), and the comment."""
    quote = None
    for i, ch in enumerate(line):
        if quote:
            if ch == quote:
                quote = None
        elif ch in "'\"":
            quote = ch
        elif ch == "#" and (i == 0 or line[i - 1] in " \t"):
            return line[:i].rstrip(), line[i + 1:].strip()
    return line.rstrip(), ""


def is_command(line):
    """A command line, not a synopsis such as `velmora <command> [options]`."""
    if "<" in line or "[options]" in line or " | " in line:
        return False
    return line.startswith(PREFIXES) or line in ("velmora", "build/release/apps/cli/velmora")


class Step:
    def __init__(self, doc, line_no, command, status=0, expected=None, file_name=None, content=None):
        self.doc, self.line_no, self.command = doc, line_no, command
        self.status, self.expected = status, expected
        self.file_name, self.content = file_name, content


def parse(path):
    """The steps of one document, in order."""
    lines = open(path, encoding="utf-8").read().split("\n")
    steps = []
    pending = None  # ("output-of", command) or ("file", name) from a comment before a fence
    i = 0
    doc = os.path.basename(path)

    def command_step(text, line_no, expected=None):
        command, comment = strip_comment(text)
        m = re.search(r"exits (\d+)", comment)
        return Step(doc, line_no, command, int(m.group(1)) if m else 0, expected)

    while i < len(lines):
        line = lines[i]
        m = re.match(r"\s*<!--\s*(output-of|file):\s*(.*?)\s*-->\s*$", line)
        if m:
            pending = (m.group(1), m.group(2))
            i += 1
            continue
        if line.startswith("```"):
            start = i
            block = []
            i += 1
            while i < len(lines) and not lines[i].startswith("```"):
                block.append(lines[i])
                i += 1
            i += 1
            if pending and pending[0] == "file":
                steps.append(Step(doc, start + 1, None, file_name=pending[1], content="\n".join(block) + "\n"))
            elif pending and pending[0] == "output-of":
                step = command_step(pending[1], start)
                step.expected = block
                steps.append(step)
            elif block and is_command(block[0]):
                steps.append(command_step(block[0], start + 2, block[1:]))
            pending = None
            continue
        if line.startswith("    "):
            text = line[4:]
            if is_command(text):
                steps.append(command_step(text, i + 1))
        if line.strip():
            pending = None
        i += 1
    return steps


def contains_in_order(output, expected):
    """The first expected line not found in order in the output, or None."""
    out = [l.rstrip() for l in output.split("\n")]
    k = 0
    for e in expected:
        e = e.rstrip()
        if e == "..." or not e:
            continue
        while k < len(out) and out[k] != e:
            k += 1
        if k == len(out):
            return e
        k += 1
    return None


def run_document(path, velmora, data, ngspice):
    failures = []
    steps = parse(path)
    work = tempfile.mkdtemp(prefix="velmora-docs-")
    try:
        os.makedirs(os.path.join(work, "out"))
        env = dict(os.environ)
        env["PATH"] = os.path.dirname(os.path.abspath(velmora)) + os.pathsep + env.get("PATH", "")
        env["VELMORA_DATA_DIR"] = data
        env["HOME"] = work  # no user inventory or settings of the person running the check
        env.pop("XDG_DATA_HOME", None)
        env.pop("XDG_CONFIG_HOME", None)
        for s in steps:
            where = f"{s.doc}:{s.line_no}"
            if s.file_name:
                with open(os.path.join(work, s.file_name), "w", encoding="utf-8") as f:
                    f.write(s.content)
                continue
            command = s.command.replace("build/release/apps/cli/velmora", "velmora")
            if command.startswith("ngspice ") and not ngspice:
                continue
            r = subprocess.run(["bash", "-c", command], cwd=work, env=env, capture_output=True, text=True,
                               timeout=600)
            if r.returncode != s.status:
                failures.append(f"{where}: `{s.command}` exits {r.returncode}, the document says {s.status}\n"
                                f"{r.stderr.strip()[:400]}")
                continue
            if s.expected:
                missing = contains_in_order(r.stdout + r.stderr, s.expected)
                if missing is not None:
                    failures.append(f"{where}: `{s.command}` does not print, in the order shown:\n"
                                    f"    {missing}")
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return len([s for s in steps if s.command]), failures


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("--velmora", required=True, help="the built velmora program")
    p.add_argument("--data", help="the program data folder (default: SOURCE_DIR/data)")
    p.add_argument("--jobs", type=int, default=2)
    p.add_argument("source", nargs="?", default=os.path.join(os.path.dirname(__file__), ".."))
    a = p.parse_args()
    source = os.path.abspath(a.source)
    data = os.path.abspath(a.data or os.path.join(source, "data"))
    docs = [os.path.join(source, "README.md")] + sorted(
        os.path.join(source, "docs", f) for f in os.listdir(os.path.join(source, "docs")) if f.endswith(".md"))
    ngspice = shutil.which("ngspice") is not None
    with ThreadPoolExecutor(max_workers=a.jobs) as pool:
        results = list(pool.map(lambda d: run_document(d, a.velmora, data, ngspice), docs))
    count = sum(n for n, _ in results)
    failures = [f for _, fs in results for f in fs]
    for f in failures:
        print(f)
    print(f"{count} documented commands, {len(failures)} differences")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
