"""The Python module's scaling, interrupt and sweep figures.

    PYTHONPATH=build/python /usr/bin/python3 bench/python_module.py threads|interrupt|sweep

threads:   two reconstructions in two Python threads against the same two in one thread,
           each on one processor (threads=1): the speed-up the released GIL gives.
interrupt: the time from SIGINT to KeyboardInterrupt in a long SIRT (target 0.1 s).
sweep:     a 64-case sweep on a local cluster of 1 and of 2 workers (start-up included).
Each figure is the best of a few runs; give the machine's load (uptime) with it.
"""

import os
import signal
import sys
import threading
import time

import quarvel
from quarvel import sweep


def best(runs, call):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        call()
        times.append(time.perf_counter() - start)
    return min(times)


def bench_threads():
    scan = quarvel.parallel(360, 363)
    sinogram = quarvel.project(quarvel.phantom(), scan)

    def one():
        quarvel.sirt(sinogram, scan, iterations=20, threads=1)

    def two_in_sequence():
        one()
        one()

    def two_in_threads():
        workers = [threading.Thread(target=one) for _ in range(2)]
        for w in workers:
            w.start()
        for w in workers:
            w.join()

    serial = best(3, two_in_sequence)
    parallel = best(3, two_in_threads)
    print(f"two SIRT (20 iterations, 360 views) in one thread: {serial:.3f} s; "
          f"in two threads: {parallel:.3f} s; speed-up {serial / parallel:.2f}x")


def bench_interrupt():
    scan = quarvel.parallel(360, 363)
    sinogram = quarvel.project(quarvel.phantom(), scan)
    delays = []
    for _ in range(5):
        sent = []

        def interrupt():
            time.sleep(0.5)
            sent.append(time.perf_counter())
            os.kill(os.getpid(), signal.SIGINT)

        threading.Thread(target=interrupt).start()
        try:
            quarvel.sirt(sinogram, scan, iterations=100000)
        except KeyboardInterrupt:
            delays.append(time.perf_counter() - sent[0])
    print("SIGINT to KeyboardInterrupt: " + ", ".join(f"{d * 1000:.1f} ms" for d in delays) +
          f"; worst {max(delays) * 1000:.1f} ms")


def bench_sweep():
    # Cases long enough (about a second) that the cluster's start-up does not decide.
    plan = {"grid_size": [256], "views": [180, 360, 540, 720], "detectors": [363],
            "method": ["fbp", "sirt"], "photons": [None, 1e3, 1e4, 1e5], "seed": [1, 2],
            "iterations": [20]}
    assert len(list(sweep.cases(plan))) == 64
    figures = {}
    for workers in (1, 2):
        figures[workers] = best(2, lambda: sweep.run(plan, workers=workers,
                                                     stream=open(os.devnull, "w")))
        print(f"64 cases on {workers} worker(s): {figures[workers]:.2f} s")
    print(f"speed-up {figures[1] / figures[2]:.2f}x")


if __name__ == "__main__":
    {"threads": bench_threads, "interrupt": bench_interrupt, "sweep": bench_sweep}[sys.argv[1]]()
