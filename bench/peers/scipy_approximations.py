"""The peer's side of the approximation comparison: scipy.signal designs the five
approximations of one analog specification (order, poles, zeros and gain) and evaluates
each one's frequency response at 351 logarithmically spaced frequencies.

Usage: scipy_approximations.py APB_DB ASB_DB FPB_HZ FSB_HZ BESSEL_ORDER [REPEATS]

Prints one JSON object: the orders found and, when REPEATS > 0, the median time in
seconds of the whole computation repeated in this process (the in-process figure).
The whole-run figure (interpreter start, import of scipy, one computation) is measured
by the caller around the process.
"""

import json
import math
import statistics
import sys
import time

import numpy as np
from scipy import signal


def design_all(apb, asb, wp, ws, bessel_order, w):
    """Order, zeros, poles, gain and the response at w (rad/s) of every approximation."""
    out = {}
    n, wn = signal.buttord(wp, ws, apb, asb, analog=True)
    z, p, k = signal.butter(n, wn, analog=True, output="zpk")
    out["butterworth"] = (n, signal.freqs_zpk(z, p, k, w))
    n, wn = signal.cheb1ord(wp, ws, apb, asb, analog=True)
    z, p, k = signal.cheby1(n, apb, wn, analog=True, output="zpk")
    out["chebyshev"] = (n, signal.freqs_zpk(z, p, k, w))
    n, wn = signal.cheb2ord(wp, ws, apb, asb, analog=True)
    z, p, k = signal.cheby2(n, asb, wn, analog=True, output="zpk")
    out["inverse_chebyshev"] = (n, signal.freqs_zpk(z, p, k, w))
    n, wn = signal.ellipord(wp, ws, apb, asb, analog=True)
    z, p, k = signal.ellip(n, apb, asb, wn, analog=True, output="zpk")
    out["elliptic"] = (n, signal.freqs_zpk(z, p, k, w))
    z, p, k = signal.bessel(bessel_order, wp, analog=True, output="zpk", norm="mag")
    out["bessel"] = (bessel_order, signal.freqs_zpk(z, p, k, w))
    return out


def main():
    apb, asb, fpb, fsb = (float(a) for a in sys.argv[1:5])
    bessel_order = int(sys.argv[5])
    repeats = int(sys.argv[6]) if len(sys.argv) > 6 else 0
    wp, ws = 2 * math.pi * fpb, 2 * math.pi * fsb
    # The default axis of the response graphs: 0.1 to 10 times the passband edge, 351 points.
    w = np.logspace(math.log10(0.1 * wp), math.log10(10 * wp), 351)
    result = design_all(apb, asb, wp, ws, bessel_order, w)
    report = {"orders": {name: int(v[0]) for name, v in result.items()}, "points": int(len(w))}
    if repeats > 0:
        times = []
        for _ in range(repeats):
            t0 = time.perf_counter()
            design_all(apb, asb, wp, ws, bessel_order, w)
            times.append(time.perf_counter() - t0)
        report["in_process_median_s"] = statistics.median(times)
    print(json.dumps(report))


if __name__ == "__main__":
    main()
