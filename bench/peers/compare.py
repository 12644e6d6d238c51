"""Velmora against two peers, side by side in one run on this machine.

(a) The approximation step: scipy.signal computing the order, poles, zeros and a
    351-point analog frequency response of the five approximations of a lowpass
    (3 dB up to 1 kHz, 30 dB from 3 kHz, a specification for which Velmora realises all
    five; the Bessel filter at Velmora's Bessel order), against Velmora's approximation
    step with the 351-point responses (bench/approximation_bench.cpp,
    BM_ApproximationStepAndResponseWideLowpass).
(b) The realised filter's frequency response: ngspice's AC analysis (351 points) of
    the netlist Velmora exports, against Velmora's final response of the same circuit
    (bench/final_response_bench.cpp).

The peers' figures are whole runs (the process started, the work done, the process
ended), as a user would run them; scipy's in-process figure is printed beside it.
Velmora's figures are in-process medians from Google Benchmark. Every figure is a median.

Usage: compare.py BUILD_DIR [RUNS]
"""

import json
import os
import re
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))

SPEC = {"apb": "3", "asb": "30", "fpb": "1000", "fsb": "3000"}


def whole_run_median(cmd, runs, cwd=None):
    """Median wall time in seconds of running cmd to completion, after one warm-up run."""
    subprocess.run(cmd, cwd=cwd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    times = []
    for _ in range(runs):
        t0 = time.perf_counter()
        subprocess.run(cmd, cwd=cwd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        times.append(time.perf_counter() - t0)
    return statistics.median(times)


def benchmark(build, program, name, repetitions):
    """Median CPU and real time (seconds) and the counters of one Google Benchmark."""
    exe = os.path.join(build, "bench", program)
    out = subprocess.run(
        [exe, f"--benchmark_filter=^{name}$", f"--benchmark_repetitions={repetitions}",
         "--benchmark_report_aggregates_only=true", "--benchmark_format=json"],
        check=True, capture_output=True, text=True,
        env=dict(os.environ, VELMORA_DATA_DIR=os.path.join(ROOT, "data"))).stdout
    for b in json.loads(out)["benchmarks"]:
        if b.get("aggregate_name") == "median":
            scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[b["time_unit"]]
            counters = {k: v for k, v in b.items() if k.startswith("order_") or k in ("points", "stages")}
            return b["cpu_time"] * scale, b["real_time"] * scale, counters
    raise RuntimeError(f"no median for {name}")


def fmt(seconds):
    if seconds >= 1e-3:
        return f"{seconds * 1e3:.2f} ms"
    return f"{seconds * 1e6:.1f} us"


def approximation_comparison(build, runs):
    cpu, real, counters = benchmark(build, "approximation_bench", "BM_ApproximationStepAndResponseWideLowpass",
                                    runs)
    bessel = int(counters["order_bessel"])
    script = [sys.executable, os.path.join(HERE, "scipy_approximations.py"), SPEC["apb"], SPEC["asb"],
              SPEC["fpb"], SPEC["fsb"], str(bessel)]
    info = json.loads(subprocess.run(script + ["200"], check=True, capture_output=True, text=True).stdout)
    whole = whole_run_median(script, runs)
    print("(a) Five approximations of a lowpass (3 dB to 1 kHz, 30 dB from 3 kHz): order, poles, zeros, "
          "351-point response")
    names = ["butterworth", "chebyshev", "inverse_chebyshev", "elliptic", "bessel"]
    print("    orders  Velmora: " + ", ".join(f"{n} {int(counters['order_' + n])}" for n in names))
    print("            scipy:   " + ", ".join(f"{n} {info['orders'][n]}" for n in names))
    print(f"    scipy.signal, whole run (python3 started, scipy imported, work done): {fmt(whole)}")
    print(f"    scipy.signal, in-process (the work alone, median of 200):            "
          f"{fmt(info['in_process_median_s'])}")
    print(f"    Velmora approximation step with responses, in-process:               "
          f"{fmt(cpu)} CPU, {fmt(real)} real")
    print(f"    ratio scipy whole run / Velmora:  {whole / cpu:,.0f}x")
    print(f"    ratio scipy in-process / Velmora: {info['in_process_median_s'] / cpu:,.1f}x")
    return {"scipy_whole_s": whole, "scipy_in_process_s": info["in_process_median_s"], "velmora_cpu_s": cpu,
            "velmora_real_s": real, "orders_velmora": {n: int(counters["order_" + n]) for n in names},
            "orders_scipy": info["orders"]}


def ac_points(data_file):
    with open(data_file) as f:
        return sum(1 for line in f if re.match(r"\s*[-+0-9.]", line))


def spice_comparison(build, runs, label, design_args, bench_name):
    velmora = os.path.join(build, "apps", "cli", "velmora")
    with tempfile.TemporaryDirectory() as tmp:
        cir = os.path.join(tmp, "filter.cir")
        # The default axis spans two decades (0.1 to 10 times the passband edge):
        # 175 points per decade give the 351 points of Velmora's column.
        subprocess.run([velmora, "design", *design_args, "--spice", cir, "--spice-dialect", "ngspice",
                        "--spice-points", "175"], check=True, stdout=subprocess.DEVNULL,
                       env=dict(os.environ, VELMORA_DATA_DIR=os.path.join(ROOT, "data")))
        whole = whole_run_median(["ngspice", "-b", cir], runs, cwd=tmp)
        points = ac_points(os.path.join(tmp, "filter.ac.txt"))
    cpu, real, counters = benchmark(build, "final_response_bench", bench_name, runs)
    print(f"(b) {label}: AC response of the realised circuit")
    print(f"    ngspice -b on the exported netlist, whole run ({points} points):  {fmt(whole)}")
    print(f"    Velmora final response, in-process ({int(counters['points'])} points):  "
          f"{fmt(cpu)} CPU, {fmt(real)} real")
    print(f"    ratio ngspice / Velmora: {whole / cpu:,.0f}x")
    return {"ngspice_whole_s": whole, "ngspice_points": points, "velmora_cpu_s": cpu, "velmora_real_s": real}


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build", "bench")
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 11
    print(f"Medians of {runs} runs; load average before: {os.getloadavg()[0]:.2f}")
    results = {"approximations": approximation_comparison(build, runs)}
    results["default_lowpass"] = spice_comparison(
        build, runs, "Default lowpass (3rd-order elliptic, 2 stages)",
        ["--apb", "0.5", "--asb", "30", "--fpb", "1k", "--fsb", "2k"], "BM_FinalResponseDefaultLowpass")
    results["bessel_lowpass_20"] = spice_comparison(
        build, runs, "20th-order Bessel lowpass (10 stages)",
        ["--fpb", "1k", "--fsb", "2k", "--order", "20", "--approx", "bessel"], "BM_FinalResponseBesselLowpass20")
    print(f"Load average after: {os.getloadavg()[0]:.2f}")
    out = os.environ.get("VELMORA_PEERS_JSON")
    if out:
        with open(out, "w") as f:
            json.dump(results, f, indent=2)


if __name__ == "__main__":
    main()
