#!/usr/bin/env python3
"""Converter speed and memory at scale: generates classic-layout maps of 200 x 200 and
2000 x 2000 tiles with 2 layers, converts each with the built converter and with the
straightforward Python converter in the same run, and prints whole-process times, peak
memory (maximum resident set) and the ratios the goals are stated in.

Usage: run_benchmark.py [--converter PATH] [--work DIR] [--repeat N] [--skip-python]
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

here = os.path.dirname(os.path.abspath(__file__))
root = os.path.dirname(os.path.dirname(here))
sys.path.insert(0, here)
# The golden tests' oracle doubles as the speed baseline.
PY_CONVERTER = os.path.join(root, "tests", "app", "py_converter.py")
import make_map  # noqa: E402


def measure(command):
    """Wall time in seconds and peak resident memory in bytes of one child process. The
    peak comes from GNU time when present: a child forked from this Python process would
    otherwise count the parent's pages it started with."""
    gnu_time = shutil.which("time") or ("/usr/bin/time" if os.path.exists("/usr/bin/time") else None)
    report = None
    if gnu_time:
        fd, report = tempfile.mkstemp()
        os.close(fd)
        command = [gnu_time, "-f", "%U %S %M", "-o", report] + command
    start = time.perf_counter()
    child = subprocess.Popen(command, stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    elapsed = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"failed: {' '.join(command)}")
    peak = usage.ru_maxrss * 1024
    cpu = usage.ru_utime + usage.ru_stime
    if report:
        with open(report) as f:
            user, system, kilobytes = f.read().split()[-3:]
        peak, cpu = int(kilobytes) * 1024, float(user) + float(system)
        os.unlink(report)
    return elapsed, peak, cpu


def best_of(command, repeat):
    runs = [measure(command) for _ in range(repeat)]
    return min(r[0] for r in runs), max(r[1] for r in runs), min(r[2] for r in runs)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--converter", default=os.path.join(root, "build", "bin", "brisel42_x9"))
    parser.add_argument("--work", default=None)
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--skip-python", action="store_true")
    args = parser.parse_args()
    work = args.work or tempfile.mkdtemp(prefix="converter_bench_")
    os.makedirs(work, exist_ok=True)
    sizes = [("small", 200), ("large", 2000)]
    results = {}
    for name, side in sizes:
        path = os.path.join(work, f"{name}.tmx")
        if not os.path.exists(path):
            make_map.write_map(path, side, side, 2)
        ours_dir = os.path.join(work, "ours")
        py_dir = os.path.join(work, "python")
        os.makedirs(ours_dir, exist_ok=True)
        os.makedirs(py_dir, exist_ok=True)
        ours = best_of([args.converter, "-q", "-o", ours_dir, path], args.repeat)
        python = None
        if not args.skip_python:
            python = best_of([sys.executable, PY_CONVERTER, "--out", py_dir, path], 1)
            for ext in (".txt", ".pyxm"):
                with open(os.path.join(ours_dir, name + ext), "rb") as a, open(os.path.join(py_dir, name + ext), "rb") as b:
                    if a.read() != b.read():
                        sys.exit(f"outputs differ: {name}{ext}")
        size = os.path.getsize(path)
        results[name] = (size, ours, python)
        line = (f"{name:5} {side}x{side}x2  input {size / 1e6:8.1f} MB  ours {ours[0]:7.3f} s ({ours[2]:.3f} s cpu) "
                f"{ours[1] / 1e6:7.1f} MB peak ({ours[1] / size:5.2f} x input)")
        if python:
            line += (f"  python {python[0]:7.2f} s ({python[2]:.2f} s cpu) {python[1] / 1e6:7.1f} MB peak  "
                     f"speed-up {python[0] / ours[0]:6.1f} x")
        print(line, flush=True)
    small, large = results["small"], results["large"]
    print(f"large/small time ratio (ours): {large[1][0] / small[1][0]:.1f} wall, "
          f"{large[1][2] / max(small[1][2], 1e-3):.1f} cpu (100 x the tiles)")
    print(f"peak memory / input size (ours, large): {large[1][1] / large[0]:.2f}")
    if large[2]:
        print(f"speed-up over python on the large map: {large[2][0] / large[1][0]:.1f} x wall, "
              f"{large[2][2] / large[1][2]:.1f} x cpu")
    if not args.work:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
