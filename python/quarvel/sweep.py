"""Parameter sweeps: every combination of a JSON plan's lists, on a Dask cluster.

    python3 -m quarvel.sweep PLAN OUT.csv [--workers N | --scheduler ADDRESS]

PLAN is a JSON object whose keys are named after quarvel-export's options, each holding a
list of values; a key left out takes the option's default:

    {"views": [90, 180], "method": ["fbp", "sirt"], "photons": [null, 1e4]}

Each case builds its truth (the phantom, or an image from an NPY file), scans it,
optionally adds photon noise, reconstructs it and compares the result with the truth.
OUT.csv has one row per case, sorted by case number: the case, its parameters and its
metrics (rmse, nrmse, psnr, ssim), and an error column, empty unless the case failed. The
same cases give the same bytes whatever ran them: one worker, many, or a cluster.

By default the cases run on a local cluster of N worker processes (N = the processors);
--scheduler sends them to a running scheduler (`dask scheduler`, with `dask worker`s on
any machines that reach it, each able to import quarvel and read the files the plan
names); --workers 0 runs them one after another in this process. Every case computes on
one processor: the workers are the parallelism. Progress goes to a terminal only. A
failed case is reported on standard error with its parameters; the others go on. The
exit status is 0 when every case succeeded, 1 when any failed, 2 for a bad command line
or plan or a scheduler that cannot be reached.
"""

import argparse
import csv
import io
import itertools
import json
import math
import os
import sys
import time

# The keys in the order of the CSV's columns, with their defaults (the export tool's).
DEFAULTS = {
    "phantom": None,        # a phantom file; None: the built-in blobs
    "image": None,          # an NPY file: the truth instead of the phantom
    "grid_size": 128,       # the phantom's image, grid_size x grid_size
    "geometry": "parallel",  # parallel, fan-flat or fan-arc
    "views": 180,
    "arc": 180.0,
    "detectors": None,      # None: 182 in parallel beam, the fan's default in a fan
    "spacing": None,        # None: 1 in parallel beam, the fan's default in a fan
    "offset": 0.0,
    "source_distance": None,    # fan beam, None: the default for the image's size
    "detector_distance": None,  # fan beam, None: the source distance
    "projector": "grid",    # grid or exact
    "photons": None,        # None: no noise
    "seed": 0,
    "method": "fbp",        # fbp, sirt, sart or cgls
    "filter": "ram-lak",
    "cutoff": 1.0,
    "iterations": 10,
    "relaxation": 1.0,      # sirt and sart
    "nonnegative": False,   # sirt and sart
    "mask": "none",         # none or circle: the region the metrics take
}
METRICS = ("rmse", "nrmse", "psnr", "ssim")


class PlanError(ValueError):
    """A plan that cannot be run; the message says why."""


def load_spec(text):
    """The plan's lists, checked: a JSON object of known keys, each a non-empty list."""
    try:
        plan = json.loads(text)
    except json.JSONDecodeError as error:
        raise PlanError(f"not JSON: {error}") from None
    if not isinstance(plan, dict):
        raise PlanError("the plan must be a JSON object of lists")
    for key, values in plan.items():
        if key not in DEFAULTS:
            raise PlanError(f"unknown key {key!r}; the keys are {', '.join(DEFAULTS)}")
        if not isinstance(values, list) or not values:
            raise PlanError(f"{key} must hold a non-empty list of values")
    return plan


def cases(plan):
    """Every combination of the plan's lists as full parameter dicts, in a fixed order:
    keys in the order of DEFAULTS, the last varying fastest, values in the plan's order."""
    keys = [key for key in DEFAULTS if key in plan]
    for values in itertools.product(*(plan[key] for key in keys)):
        params = dict(DEFAULTS)
        params.update(zip(keys, values))
        yield params


def geometry(params, size):
    """The case's scan geometry for images of `size`, as quarvel-export makes it."""
    import quarvel

    kind = params["geometry"]
    if kind == "parallel":
        for key in ("source_distance", "detector_distance"):
            if params[key] is not None:
                raise ValueError(f"{key} applies only to geometry fan-flat or fan-arc")
        return quarvel.parallel(params["views"],
                                182 if params["detectors"] is None else params["detectors"],
                                1.0 if params["spacing"] is None else params["spacing"],
                                params["offset"], arc=params["arc"])
    if kind not in ("fan-flat", "fan-arc"):
        raise ValueError(f"geometry must be parallel, fan-flat or fan-arc, not {kind!r}")
    make = quarvel.fan_flat if kind == "fan-flat" else quarvel.fan_arc
    return make(params["views"], params["detectors"], params["source_distance"],
                params["detector_distance"], params["spacing"], params["offset"],
                arc=params["arc"], size=size)


def run_case(params, threads=1):
    """The metrics of one case, as a dict; raises the module's errors for bad values."""
    import numpy
    import quarvel

    if params["image"] is not None:
        if params["projector"] == "exact":
            raise ValueError("the exact projector scans a phantom, not an image")
        truth = numpy.load(params["image"], allow_pickle=False)
    else:
        truth = quarvel.phantom(params["phantom"], params["grid_size"])
    size = truth.shape
    scan = geometry(params, size)
    if params["projector"] == "grid":
        sinogram = quarvel.project(truth, scan, threads=threads)
    elif params["projector"] == "exact":
        sinogram = quarvel.project_exact(params["phantom"], scan, params["grid_size"],
                                         threads=threads)
    else:
        raise ValueError(f"projector must be grid or exact, not {params['projector']!r}")
    if params["photons"] is not None:
        sinogram = quarvel.add_noise(sinogram, params["photons"], params["seed"],
                                     pixel=quarvel.pixel_size(params["grid_size"]),
                                     threads=threads)
    method = params["method"]
    if method == "fbp":
        image = quarvel.fbp(sinogram, scan, size, params["filter"], params["cutoff"],
                            threads=threads)
    elif method in ("sirt", "sart"):
        image = getattr(quarvel, method)(sinogram, scan, size, params["iterations"],
                                         params["relaxation"], params["nonnegative"],
                                         threads=threads)
    elif method == "cgls":
        image = quarvel.cgls(sinogram, scan, size, params["iterations"], threads=threads)
    else:
        raise ValueError(f"method must be fbp, sirt, sart or cgls, not {method!r}")
    return quarvel.metrics(image, truth, params["mask"])


def _case_outcome(params):
    """(metrics, None) or (None, message): a case's failure is a result like any other."""
    try:
        return run_case(params), None
    except Exception as error:  # noqa: BLE001 - every failure is reported with its case
        return None, f"{type(error).__name__}: {error}"


def _text(value):
    if value is None:
        return ""
    if isinstance(value, bool):
        return "true" if value else "false"
    if isinstance(value, float):
        return repr(value) if math.isfinite(value) else ("inf" if value > 0 else
                                                         "-inf" if value < 0 else "nan")
    return str(value)


def to_csv(plan, outcomes):
    """The CSV text: a header, then one row per case in case order."""
    keys = [key for key in DEFAULTS if key in plan]
    out = io.StringIO()
    writer = csv.writer(out, lineterminator="\n")
    writer.writerow(["case", *keys, *METRICS, "error"])
    for number, (params, (metrics, error)) in enumerate(zip(cases(plan), outcomes)):
        figures = [_text(metrics[m]) if metrics else "" for m in METRICS]
        writer.writerow([number, *(_text(params[k]) for k in keys), *figures, error or ""])
    return out.getvalue()


def describe(plan, params):
    """The parameters the plan varies, as key=value."""
    return ", ".join(f"{key}={params[key]!r}" for key in DEFAULTS if key in plan)


class Progress:
    """Cases done, rate and time left on one line of a terminal; nothing elsewhere."""

    def __init__(self, total, stream):
        self.total, self.stream, self.done = total, stream, 0
        self.shown = stream.isatty()
        self.start = time.monotonic()

    def step(self):
        self.done += 1
        if not self.shown:
            return
        elapsed = time.monotonic() - self.start
        rate = self.done / elapsed if elapsed > 0 else 0.0
        left = (self.total - self.done) / rate if rate > 0 else 0.0
        self.stream.write(f"\r{self.done}/{self.total} cases, {rate:.2f} cases/s, "
                          f"{left:.0f} s left ")
        self.stream.flush()

    def close(self):
        if self.shown:
            self.stream.write("\n")
            self.stream.flush()


def run(plan, workers=None, scheduler=None, stream=sys.stderr):
    """Every case's outcome, (metrics, None) or (None, message), in case order. workers=0
    runs them in this process; otherwise a local cluster of `workers` processes (None:
    one per processor) or the scheduler at `scheduler` runs them."""
    params = list(cases(plan))
    progress = Progress(len(params), stream)
    outcomes = [None] * len(params)

    def finish(number, outcome):
        outcomes[number] = outcome
        if outcome[1] is not None:
            if progress.shown:
                stream.write("\n")
            stream.write(f"case {number} failed ({describe(plan, params[number])}): "
                         f"{outcome[1]}\n")
        progress.step()

    if workers == 0 and scheduler is None:
        for number, p in enumerate(params):
            finish(number, _case_outcome(p))
        progress.close()
        return outcomes

    from distributed import Client, LocalCluster, as_completed

    cluster = None
    if scheduler is None:
        cluster = LocalCluster(n_workers=workers or os.cpu_count() or 1, threads_per_worker=1,
                               processes=True, dashboard_address=None,
                               silence_logs=40)  # logging.ERROR
        client = Client(cluster)
    else:
        client = Client(scheduler)
    try:
        futures = client.map(_case_outcome, params, pure=False)
        number_of = {future.key: number for number, future in enumerate(futures)}
        for future in as_completed(futures):
            number = number_of[future.key]
            try:
                outcome = future.result()
            except Exception as error:  # noqa: BLE001 - a lost worker fails its case only
                outcome = (None, f"{type(error).__name__}: {error}")
            finish(number, outcome)
    finally:
        client.close()
        if cluster is not None:
            cluster.close()
    progress.close()
    return outcomes


def main(argv=None):
    parser = argparse.ArgumentParser(
        prog="python3 -m quarvel.sweep",
        description="Runs every combination of a JSON plan's lists and writes one CSV row "
                    "per case.")
    parser.add_argument("plan", help="the JSON plan")
    parser.add_argument("out", help="the CSV to write ('-': standard output)")
    where = parser.add_mutually_exclusive_group()
    where.add_argument("--workers", type=int, default=None,
                       help="local worker processes (default: one per processor; "
                            "0: in this process)")
    where.add_argument("--scheduler", help="a running scheduler's address (tcp://HOST:PORT)")
    args = parser.parse_args(argv)
    if args.workers is not None and args.workers < 0:
        parser.error(f"--workers must be 0 or more, not {args.workers}")
    try:
        with open(args.plan, encoding="utf-8") as file:
            plan = load_spec(file.read())
    except (OSError, PlanError) as error:
        print(f"quarvel.sweep: {args.plan}: {error}", file=sys.stderr)
        return 2
    try:
        outcomes = run(plan, args.workers, args.scheduler)
    except (OSError, TimeoutError) as error:  # the scheduler cannot be reached
        print(f"quarvel.sweep: {args.scheduler or 'the local cluster'}: {error}", file=sys.stderr)
        return 2
    text = to_csv(plan, outcomes)
    if args.out == "-":
        sys.stdout.write(text)
    else:
        # Written whole beside the target and renamed over it: a reader never sees half.
        partial = args.out + ".partial"
        with open(partial, "w", encoding="utf-8", newline="") as file:
            file.write(text)
        os.replace(partial, args.out)
    return 1 if any(error for _, error in outcomes) else 0


if __name__ == "__main__":
    sys.exit(main())
