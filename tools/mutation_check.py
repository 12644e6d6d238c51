#!/usr/bin/env python3
"""Mutation check: how many deliberate faults does the test suite catch?

Each fault of the list (tools/mutations.json) replaces one snippet of one source file.
The faults are applied one at a time to a scratch checkout, the changed code is rebuilt
and the test programs run until one fails; the fault is then caught, and if every
program passes it survived. The score is caught / valid faults (valid: the snippet was
found exactly once and the mutant compiled).

Usage:
  tools/mutation_check.py [--rev REV | --src DIR] [--only 1,4,7-9] [--jobs N]
                          [--timeout S] [--results FILE] [--check]

The scratch checkout is a git worktree of REV (default HEAD) in build/mutation/src,
built in Release with the tests (no sanitizers, ccache) in build/mutation/build. The
test programs run once unchanged first; tests that fail there are listed and left out
of every later run. The results go to build/mutation/results.txt unless --results says
otherwise.
"""

import argparse
import datetime
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path

TOOL_DIR = Path(__file__).resolve().parent
REPO = TOOL_DIR.parent


def run(cmd, cwd=None, env=None, timeout=None):
    """Runs a command, its output captured; returns (returncode, output). A timeout ends
    the command with everything it started and gives returncode None."""
    p = subprocess.Popen(cmd, cwd=cwd, env=env, text=True, errors="replace", stdout=subprocess.PIPE,
                         stderr=subprocess.STDOUT, start_new_session=True)
    try:
        out, _ = p.communicate(timeout=timeout)
        return p.returncode, out or ""
    except subprocess.TimeoutExpired:
        os.killpg(p.pid, signal.SIGKILL)
        out, _ = p.communicate()
        return None, out or ""


def git(*args, cwd=REPO):
    rc, out = run(["git", *args], cwd=cwd)
    if rc != 0:
        sys.exit(f"mutation_check: git {' '.join(args)} failed:\n{out}")
    return out.strip()


def parse_only(text):
    ids = set()
    for part in text.split(","):
        part = part.strip()
        if not part:
            continue
        if "-" in part:
            lo, hi = part.split("-", 1)
            ids.update(range(int(lo), int(hi) + 1))
        else:
            ids.add(int(part))
    return ids


# ---- The scratch source tree -----------------------------------------------------------

def prepare_worktree(path, rev):
    """A clean detached worktree of rev at path (reused when it already is one)."""
    sha = git("rev-parse", "--verify", rev + "^{commit}")
    if (path / ".git").exists():
        head = run(["git", "rev-parse", "HEAD"], cwd=path)[1].strip()
        dirty = run(["git", "status", "--porcelain", "--untracked-files=no"], cwd=path)[1].strip()
        if head == sha and not dirty:
            return sha
        run(["git", "worktree", "remove", "--force", str(path)], cwd=REPO)
    if path.exists():
        shutil.rmtree(path)
    run(["git", "worktree", "prune"], cwd=REPO)
    path.parent.mkdir(parents=True, exist_ok=True)
    git("worktree", "add", "--detach", str(path), sha)
    return sha


class Pending:
    """The file a mutant changed, kept on disk until it is restored, so that a run that
    was killed puts the source back at the next start."""

    def __init__(self, marker):
        self.marker = marker

    def restore_leftover(self):
        if self.marker.exists():
            data = json.loads(self.marker.read_text())
            Path(data["path"]).write_text(data["original"])
            self.marker.unlink()
            print(f"restored {data['path']} from an interrupted run")

    def apply(self, path, original, mutated):
        self.marker.write_text(json.dumps({"path": str(path), "original": original}))
        path.write_text(mutated)

    def restore(self, path, original):
        path.write_text(original)
        if self.marker.exists():
            self.marker.unlink()


# ---- Build ------------------------------------------------------------------------------

def build_env():
    env = dict(os.environ)
    # Paths below the base directory are hashed relative to the build folder, so the
    # scratch build shares the cache with other checkouts laid out the same way.
    env.setdefault("CCACHE_BASEDIR", str(REPO.parent))
    env.setdefault("CCACHE_NOHASHDIR", "true")
    return env


def configure(src, build, env):
    cmd = ["cmake", "-S", str(src), "-B", str(build), "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
           "-DVELMORA_TESTS=ON", "-DVELMORA_SANITIZE=OFF", "-DVELMORA_WERROR=OFF", "-DVELMORA_FUZZ_SMOKE=OFF",
           "-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"]
    rc, out = run(cmd, env=env)
    if rc != 0:
        sys.exit("mutation_check: configuring the scratch build failed:\n" + out[-4000:])


def build_targets(build, targets, jobs, env):
    rc, out = run(["cmake", "--build", str(build), "-j", str(jobs), "--target", *targets], env=env)
    return rc == 0, out


def object_of(build, source):
    """The object file the build makes of a source file (from compile_commands.json)."""
    db = json.loads((build / "compile_commands.json").read_text())
    for entry in db:
        if Path(entry["file"]).resolve() == source.resolve():
            out = entry.get("output")
            if not out:
                words = entry.get("command", "").split()
                out = words[words.index("-o") + 1] if "-o" in words[:-1] else None
            if out:
                return out
    return None


# ---- Test programs ------------------------------------------------------------------------

def test_programs(build):
    return sorted(p.name for p in (build / "tests").glob("velmora_*_tests") if os.access(p, os.X_OK))


def run_program(build, src, name, excluded, timeout, fail_fast):
    """Runs one test program; returns (status, failed tests, seconds). status is 'pass',
    'fail', 'timeout' or 'crash'."""
    env = dict(os.environ)
    env["VELMORA_DATA_DIR"] = str(src / "data")
    with tempfile.TemporaryDirectory(prefix="velmora-mutation-") as tmp:
        report = Path(tmp) / "report.json"
        cmd = [str(build / "tests" / name), f"--gtest_output=json:{report}", "--gtest_brief=1"]
        if fail_fast:
            cmd.append("--gtest_fail_fast")
        if excluded:
            cmd.append("--gtest_filter=-" + ":".join(sorted(excluded)))
        start = time.monotonic()
        rc, out = run(cmd, cwd=build / "tests", env=env, timeout=timeout)
        seconds = time.monotonic() - start
        if rc is None:
            return "timeout", [], seconds
        failed = []
        if report.exists():
            try:
                data = json.loads(report.read_text())
                for suite in data.get("testsuites", []):
                    for case in suite.get("testsuite", []):
                        if case.get("failures"):
                            failed.append(f"{suite['name']}.{case['name']}")
            except (ValueError, KeyError):
                pass
        if rc == 0:
            return "pass", [], seconds
        if not failed:
            failed = [line.split("]", 1)[1].strip().split(" ")[0]
                      for line in out.splitlines() if line.startswith("[  FAILED  ]") and "]" in line]
        if rc < 0 or (not failed and rc != 1):
            return "crash", failed, seconds
        return "fail", failed, seconds


def baseline(build, src, programs, timeout, cache, key):
    """Runs every program unchanged once: each program's failing tests and time."""
    if key is not None and cache.exists():
        data = json.loads(cache.read_text())
        if data.get("key") == key and set(data.get("programs", {})) == set(programs):
            print("baseline: reused from", cache)
            return data["programs"]
    result = {}
    for name in programs:
        status, failed, seconds = run_program(build, src, name, [], timeout, fail_fast=False)
        result[name] = {"status": status, "failed": failed, "seconds": round(seconds, 1)}
        print(f"baseline: {name}: {status}, {seconds:.0f} s" + (f", failing: {', '.join(failed)}" if failed else ""),
              flush=True)
    cache.write_text(json.dumps({"key": key, "programs": result}, indent=1))
    return result


def program_order(file, programs, base):
    """The test program of the changed file's own area first, then the command-line
    tests (end to end), then the rest, fastest first."""
    parts = Path(file).parts
    own = None
    if parts[0] == "src" and len(parts) > 2:
        own = f"velmora_{parts[1]}_tests"
    elif parts[0] == "apps":
        own = "velmora_cli_tests"
    order = [p for p in (own, "velmora_cli_tests") if p in programs]
    rest = sorted((p for p in programs if p not in order), key=lambda p: base[p]["seconds"])
    out = []
    for p in order + rest:
        if p not in out and base[p]["status"] in ("pass", "fail"):
            out.append(p)
    return out


# ---- One mutant --------------------------------------------------------------------------

def try_mutant(m, src, build, programs, base, args, env, pending, compile_only):
    path = src / m["file"]
    row = {"id": m["id"], "kind": m["kind"], "file": m["file"], "description": m["description"]}
    if not path.exists():
        return {**row, "outcome": "invalid", "detail": "file not found", "seconds": 0}
    original = path.read_text()
    count = original.count(m["find"])
    if count != 1:
        return {**row, "outcome": "invalid", "detail": f"snippet found {count} times", "seconds": 0}
    start = time.monotonic()
    pending.apply(path, original, original.replace(m["find"], m["replace"]))
    try:
        obj = object_of(build, path)
        if obj:
            ok, out = build_targets(build, [obj], args.jobs, env)
            if not ok:
                return {**row, "outcome": "did not compile", "detail": first_error(out),
                        "seconds": time.monotonic() - start}
        if compile_only:
            return {**row, "outcome": "compiles", "detail": "", "seconds": time.monotonic() - start}
        for name in program_order(m["file"], programs, base):
            ok, out = build_targets(build, [name], args.jobs, env)
            if not ok:
                return {**row, "outcome": "did not compile", "detail": first_error(out),
                        "seconds": time.monotonic() - start}
            limit = min(args.timeout, max(120.0, 4 * base[name]["seconds"] + 60))
            status, failed, _ = run_program(build, src, name, base[name]["failed"], limit, fail_fast=True)
            if status != "pass":
                what = {"fail": "", "timeout": "timed out ", "crash": "crashed "}[status]
                detail = f"{name}: {what}{', '.join(failed[:2])}".rstrip()
                return {**row, "outcome": "caught", "detail": detail, "seconds": time.monotonic() - start}
        return {**row, "outcome": "survived", "detail": "", "seconds": time.monotonic() - start}
    finally:
        pending.restore(path, original)


def first_error(out):
    for line in out.splitlines():
        if "error" in line:
            return line.strip()[:160]
    return out.strip().splitlines()[-1][:160] if out.strip() else "build failed"


# ---- Report -------------------------------------------------------------------------------

def report(rows, meta, base, results):
    valid = [r for r in rows if r["outcome"] in ("caught", "survived")]
    caught = [r for r in valid if r["outcome"] == "caught"]
    lines = [
        "Mutation check",
        f"source: {meta['source']}",
        f"date: {meta['date']}    build: Release, tests on, no sanitizers",
        f"faults: {len(rows)} tried, {len(valid)} valid, {len(caught)} caught, "
        f"{len(valid) - len(caught)} survived, "
        f"{sum(r['outcome'] == 'did not compile' for r in rows)} did not compile, "
        f"{sum(r['outcome'] == 'invalid' for r in rows)} invalid",
        f"score: {len(caught)}/{len(valid)}" + (f" = {100.0 * len(caught) / len(valid):.1f} %" if valid else ""),
        "",
    ]
    left_out = {p: v["failed"] for p, v in base.items() if v["failed"]}
    broken = [p for p, v in base.items() if v["status"] not in ("pass", "fail")]
    if left_out or broken:
        lines.append("Left out (failing before any fault):")
        for p, tests in sorted(left_out.items()):
            lines.extend(f"  {p}: {t}" for t in tests)
        lines.extend(f"  {p}: the whole program ({base[p]['status']})" for p in broken)
        lines.append("")
    lines.append(f"{'id':>3}  {'outcome':<15} {'kind':<18} {'file':<46} {'s':>5}  description / caught by")
    for r in rows:
        lines.append(f"{r['id']:>3}  {r['outcome']:<15} {r['kind']:<18} {r['file']:<46} {r['seconds']:>5.0f}  "
                     f"{r['description']}")
        if r["detail"]:
            lines.append(f"{'':>3}  {'':<15} {'':<18} {'':<46} {'':>5}    -> {r['detail']}")
    survivors = [r for r in rows if r["outcome"] == "survived"]
    if survivors:
        lines.append("")
        lines.append("Survived (faults no test notices):")
        lines.extend(f"  {r['id']:>3} {r['file']}: {r['description']}" for r in survivors)
    text = "\n".join(lines) + "\n"
    results.parent.mkdir(parents=True, exist_ok=True)
    results.write_text(text)
    return text


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    where = ap.add_mutually_exclusive_group()
    where.add_argument("--rev", default="HEAD", help="revision to check in a scratch worktree (default HEAD)")
    where.add_argument("--src", type=Path, help="an existing source tree to mutate in place instead")
    ap.add_argument("--work", type=Path, default=REPO / "build" / "mutation",
                    help="folder of the scratch worktree, build and results (default build/mutation)")
    ap.add_argument("--list", type=Path, default=TOOL_DIR / "mutations.json", help="the list of faults")
    ap.add_argument("--only", help="fault ids to try, e.g. 1,4,7-9")
    ap.add_argument("--jobs", type=int, default=2, help="parallel build jobs (default 2)")
    ap.add_argument("--timeout", type=float, default=900, help="limit of one test program's run, seconds")
    ap.add_argument("--results", type=Path, help="results file (default WORK/results.txt)")
    ap.add_argument("--check", action="store_true",
                    help="only check that every fault applies and compiles; run no tests")
    ap.add_argument("--fresh-baseline", action="store_true", help="run the unchanged suite again")
    ap.add_argument("--programs", help="only these test programs, e.g. velmora_circuits_tests,velmora_stages_tests")
    args = ap.parse_args()

    signal.signal(signal.SIGTERM, lambda *_: sys.exit("mutation_check: terminated"))
    work = args.work.resolve()
    work.mkdir(parents=True, exist_ok=True)
    pending = Pending(work / "pending.json")
    pending.restore_leftover()

    if args.src:
        src = args.src.resolve()
        rc, sha = run(["git", "rev-parse", "HEAD"], cwd=src)
        source = f"{src}" + (f" at {sha.strip()[:12]}" if rc == 0 else "")
        key = sha.strip() + ":" + run(["git", "status", "--porcelain"], cwd=src)[1] if rc == 0 else None
    else:
        src = work / "src"
        sha = prepare_worktree(src, args.rev)
        source = f"{args.rev} = {sha[:12]} ({git('log', '-1', '--format=%s', sha)[:70]})"
        key = sha
    build = work / "build"
    env = build_env()

    mutations = json.loads(args.list.read_text())["mutations"]
    if args.only:
        wanted = parse_only(args.only)
        mutations = [m for m in mutations if m["id"] in wanted]

    print(f"source: {source}\nconfiguring and building {build} ...", flush=True)
    configure(src, build, env)
    ok, out = build_targets(build, ["all"], args.jobs, env)
    if not ok:
        sys.exit("mutation_check: the unchanged source does not build:\n" + out[-4000:])
    programs = test_programs(build)
    if args.programs:
        programs = [p for p in programs if p in args.programs.split(",")]
    if args.check:
        base = {p: {"status": "pass", "failed": [], "seconds": 0} for p in programs}
    else:
        base = baseline(build, src, programs, args.timeout, work / "baseline.json",
                        None if args.fresh_baseline or key is None else key)

    rows = []
    for m in mutations:
        r = try_mutant(m, src, build, programs, base, args, env, pending, args.check)
        rows.append(r)
        print(f"{r['id']:>3} {r['outcome']:<15} {r['seconds']:>5.0f} s  {r['file']}: {r['description']}"
              + (f"  [{r['detail']}]" if r["detail"] else ""), flush=True)

    if args.check:
        bad = [r for r in rows if r["outcome"] != "compiles"]
        print(f"{len(rows) - len(bad)}/{len(rows)} faults apply and compile")
        return 1 if bad else 0
    results = args.results or work / "results.txt"
    meta = {"source": source, "date": datetime.datetime.now().strftime("%Y-%m-%d %H:%M")}
    print()
    print(report(rows, meta, base, results), end="")
    print(f"written to {results}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
