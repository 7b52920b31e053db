"""The module quarvel against the export tool, scikit-image and its own contract."""

import os
import signal
import subprocess
import threading
import tracemalloc

import numpy as np
import pytest

import quarvel

EXPORT = os.environ.get("QUARVEL_EXPORT")


def export(tmp_path, command, *options):
    out = tmp_path / ("out.csv" if command == "metrics" else "out.npy")
    subprocess.run([EXPORT, command, str(out), *options], check=True)
    if command == "metrics":
        header, row = out.read_text().split()
        return dict(zip(header.split(","), map(float, row.split(","))))
    return np.load(out)


# (export tool's command and options, the same through the module)
SAME_AS_EXPORT = [
    (("sinogram",), lambda: quarvel.project(quarvel.phantom(), quarvel.parallel())),
    (("sinogram", "--projector", "exact", "--views", "90", "--arc", "360", "--detectors", "150"),
     lambda: quarvel.project_exact(None, quarvel.parallel(90, 150, arc=360))),
    (("sinogram", "--photons", "1e4", "--seed", "7"),
     lambda: quarvel.add_noise(quarvel.project(quarvel.phantom(), quarvel.parallel()), 1e4, 7)),
    (("reconstruction", "--filter", "hann", "--cutoff", "0.8", "--views", "60"),
     lambda: quarvel.fbp(quarvel.project(quarvel.phantom(), quarvel.parallel(60)),
                         quarvel.parallel(60), 128, "hann", 0.8)),
    (("reconstruction", "--method", "sart", "--iterations", "3", "--views", "45"),
     lambda: quarvel.sart(quarvel.project(quarvel.phantom(), quarvel.parallel(45)),
                          quarvel.parallel(45), 128, 3)),
    (("metrics", "--method", "sirt", "--iterations", "4", "--views", "30"),
     lambda: quarvel.metrics(quarvel.sirt(quarvel.project(quarvel.phantom(), quarvel.parallel(30)),
                                          quarvel.parallel(30), 128, 4), quarvel.phantom())),
    (("metrics", "--grid-size", "64", "--photons", "1e3", "--seed", "2", "--method", "sart",
      "--relaxation", "0.5", "--nonnegative", "--iterations", "3", "--mask", "circle"),
     lambda: quarvel.metrics(
         quarvel.sart(quarvel.add_noise(quarvel.project(quarvel.phantom(size=64), quarvel.parallel()),
                                        1e3, 2, pixel=quarvel.pixel_size(64)),
                      quarvel.parallel(), 64, 3, 0.5, True), quarvel.phantom(size=64), "circle")),
    (("reconstruction", "--grid-size", "96", "--projector", "exact", "--method", "cgls",
      "--iterations", "3", "--views", "40"),
     lambda: quarvel.cgls(quarvel.project_exact(None, quarvel.parallel(40), 96),
                          quarvel.parallel(40), 96, 3)),
    (("sinogram", "--geometry", "fan-arc", "--views", "90", "--arc", "360"),
     lambda: quarvel.project(quarvel.phantom(), quarvel.fan_arc(90))),
    (("sinogram", "--geometry", "fan-flat", "--projector", "exact", "--views", "40", "--arc", "360",
      "--source-distance", "150", "--detector-distance", "50", "--detectors", "220"),
     lambda: quarvel.project_exact(None, quarvel.fan_flat(40, 220, 150, 50))),
    (("reconstruction", "--geometry", "fan-flat", "--grid-size", "64", "--views", "120", "--arc",
      "230", "--filter", "hann"),
     lambda: quarvel.fbp(quarvel.project(quarvel.phantom(size=64),
                                         quarvel.fan_flat(120, arc=230, size=64)),
                         quarvel.fan_flat(120, arc=230, size=64), 64, "hann")),
    (("reconstruction", "--geometry", "fan-arc", "--method", "sirt", "--iterations", "3",
      "--views", "60", "--arc", "360", "--detector-spacing", "1.5"),
     lambda: quarvel.sirt(quarvel.project(quarvel.phantom(), quarvel.fan_arc(60, spacing=1.5)),
                          quarvel.fan_arc(60, spacing=1.5), 128, 3)),
]


@pytest.mark.skipif(not EXPORT, reason="QUARVEL_EXPORT names no export tool")
@pytest.mark.parametrize("command, module", SAME_AS_EXPORT, ids=[" ".join(c) for c, _ in SAME_AS_EXPORT])
def test_the_export_tools_numbers_bit_for_bit(tmp_path, command, module):
    expected, got = export(tmp_path, *command), module()
    if isinstance(expected, dict):
        assert got == expected
    else:
        assert got.dtype == np.float64 and got.shape == expected.shape
        assert np.array_equal(got, expected)


def test_metrics_equal_scikit_images():
    metrics = pytest.importorskip("skimage.metrics")
    truth = quarvel.phantom()
    scan = quarvel.parallel(40)
    image = quarvel.fbp(quarvel.add_noise(quarvel.project(truth, scan), 1e3, 3), scan)
    span = truth.max() - truth.min()
    got = quarvel.metrics(image, truth)
    expected = {
        "rmse": np.sqrt(metrics.mean_squared_error(truth, image)),
        "nrmse": metrics.normalized_root_mse(truth, image, normalization="min-max"),
        "psnr": metrics.peak_signal_noise_ratio(truth, image, data_range=span),
        "ssim": metrics.structural_similarity(truth, image, gaussian_weights=True, sigma=1.5,
                                              use_sample_covariance=False, data_range=span),
    }
    for name, value in expected.items():
        assert got[name] == pytest.approx(value, rel=1e-12, abs=1e-12), name


def test_a_masks_figures_take_its_pixels_alone():
    truth = quarvel.phantom()
    image = truth + np.random.default_rng(2).normal(0, 0.01, truth.shape)
    box = quarvel.metrics(image, truth, (10, 20, 70, 50))  # columns 10-69, rows 20-49
    crop = (slice(20, 50), slice(10, 70))
    inside = quarvel.metrics(image[crop], truth[crop])
    assert [box[k] for k in ("rmse", "nrmse", "psnr")] == [inside[k] for k in ("rmse", "nrmse", "psnr")]
    y, x = np.mgrid[0:128, 0:128]
    disc = (2 * x - 127) ** 2 + (2 * y - 127) ** 2 <= 127 ** 2
    rmse = np.sqrt(np.mean((image - truth)[disc] ** 2))
    assert quarvel.metrics(image, truth, "circle")["rmse"] == pytest.approx(rmse, rel=1e-12)


def test_fbp_agrees_with_scikit_image_after_the_conversion():
    transform = pytest.importorskip("skimage.transform")
    truth = quarvel.phantom()
    scan = quarvel.parallel(180, 182)
    sinogram = quarvel.project(truth, scan)
    # scikit-image turns the other way and centres its bins on index N // 2: negate the
    # angles and move each view by (1 - cos - sin) / 2 bins.
    theta = np.radians(scan.angles)
    shift = 0.5 * (1 - np.cos(theta) - np.sin(theta))
    bins = np.arange(scan.detectors, dtype=float)
    moved = np.array([np.interp(bins - s, bins, view) for view, s in zip(sinogram, shift)])
    theirs = transform.iradon(moved.T, theta=-scan.angles, output_size=128, filter_name="ramp",
                              circle=False)
    ours = quarvel.fbp(sinogram, scan)
    # The two filters and interpolations differ: compared as NRMSE (3e-4 here).
    assert np.sqrt(np.mean((ours - theirs) ** 2)) <= 1e-3 * (truth.max() - truth.min())


def traced_peak(call):
    """The largest memory Python and NumPy allocated during call(), in bytes."""
    tracemalloc.start()
    try:
        call()
        return tracemalloc.get_traced_memory()[1]
    finally:
        tracemalloc.stop()


def test_inputs_are_read_in_place_and_results_handed_over():
    scan = quarvel.parallel(4000)
    sinogram = quarvel.project(quarvel.phantom(), scan)  # 4000 x 182: 5.8 MB
    assert sinogram.base is not None and not sinogram.flags.owndata
    # A C-ordered float64 input is not copied, and the result (128 KiB) is not either.
    assert traced_peak(lambda: quarvel.fbp(sinogram, scan)) < sinogram.nbytes // 20
    # A float32 input is converted once, and gives what its float64 copy gives.
    single = sinogram.astype(np.float32)
    assert traced_peak(lambda: quarvel.fbp(single, scan)) >= sinogram.nbytes
    assert np.array_equal(quarvel.fbp(single, scan), quarvel.fbp(single.astype(float), scan))
    # Fortran order and a strided slice read the same values.
    fortran = np.asfortranarray(sinogram)
    assert np.array_equal(quarvel.fbp(fortran, scan), quarvel.fbp(sinogram, scan))
    every_other = quarvel.parallel(2000, arc=180)
    assert np.array_equal(quarvel.fbp(sinogram[::2], every_other),
                          quarvel.fbp(np.ascontiguousarray(sinogram[::2]), every_other))


def test_a_second_thread_runs_while_the_core_computes():
    scan = quarvel.parallel(180)
    sinogram = quarvel.project(quarvel.phantom(), scan)
    started = threading.Event()

    def reconstruct():
        started.set()
        quarvel.sirt(sinogram, scan, iterations=300, threads=1)

    worker = threading.Thread(target=reconstruct)
    worker.start()
    started.wait()
    steps = 0
    while worker.is_alive() and steps < 1000:
        steps += 1  # pure Python: runs only while the worker does not hold the GIL
    still_computing = worker.is_alive()
    worker.join()
    assert steps == 1000 and still_computing


BAD_CALLS = [
    ("rank", lambda: quarvel.project(np.zeros(128), quarvel.parallel()), ValueError,
     "image must have 2 dimensions, not 1"),
    ("text", lambda: quarvel.project(np.full((128, 128), "a"), quarvel.parallel()), TypeError,
     "image must be an array of real numbers"),
    ("complex", lambda: quarvel.project(np.zeros((128, 128), complex), quarvel.parallel()),
     TypeError, "image must be an array of real numbers"),
    ("not an array", lambda: quarvel.metrics(None, quarvel.phantom()), TypeError, "image"),
    ("NaN", lambda: quarvel.add_noise(np.where(np.eye(4, 5) > 0, np.nan, 0)[1:], 10), ValueError,
     "sinogram has a non-finite value at row 0, column 1"),
    ("empty", lambda: quarvel.metrics(np.zeros((0, 3)), np.zeros((0, 3))), ValueError,
     "image is empty"),
    ("shape", lambda: quarvel.fbp(np.zeros((10, 182)), quarvel.parallel(11)), ValueError, "11"),
    ("filter", lambda: quarvel.fbp(np.zeros((10, 182)), quarvel.parallel(10), filter="box"),
     ValueError, "filter must be ram-lak"),
    ("views", lambda: quarvel.parallel(0), ValueError, "views must be from 1 to 100000, not 0"),
    ("float view count", lambda: quarvel.parallel(180.0), TypeError, "angles must be"),
    ("angle", lambda: quarvel.parallel([0, np.inf]), ValueError, "non-finite value"),
    ("blob columns", lambda: quarvel.phantom(np.ones((2, 3))), ValueError, "4 or 5 columns"),
    ("spread", lambda: quarvel.phantom([[7, 2, 12, 2], [9, -3, 7, 1]]), ValueError,
     "blob 1: dx must be greater than 0, not -3.0"),
    ("phantom file", lambda: quarvel.phantom("/nonexistent/p.csv"), ValueError,
     "/nonexistent/p.csv"),
    ("size", lambda: quarvel.phantom(size=4), ValueError, "columns must be from 8 to 4096"),
    ("threads", lambda: quarvel.project(quarvel.phantom(), quarvel.parallel(), threads=-1),
     ValueError, "threads must be"),
    ("iterations", lambda: quarvel.sirt(np.zeros((10, 182)), quarvel.parallel(10), iterations=0),
     ValueError, "iterations"),
    ("callback", lambda: quarvel.sirt(np.zeros((10, 182)), quarvel.parallel(10), callback=3),
     TypeError, "callback must be callable"),
    ("relaxation", lambda: quarvel.sart(np.zeros((10, 182)), quarvel.parallel(10), relaxation=2),
     ValueError, "relaxation"),
    ("mask", lambda: quarvel.metrics(np.ones((16, 16)), np.ones((16, 16)), "square"), ValueError,
     "mask must be none, circle"),
    ("mask outside", lambda: quarvel.metrics(np.ones((16, 16)), np.ones((16, 16)), (0, 0, 17, 5)),
     ValueError, "17"),
    ("fan source inside", lambda: quarvel.fan_arc(source_distance=60), ValueError,
     "source distance"),
    ("fan size", lambda: quarvel.fan_flat(size=(8, 5000)), ValueError, "columns"),
    ("rebin parallel", lambda: quarvel.rebin(np.zeros((180, 182)), quarvel.parallel()),
     ValueError, "fan geometry"),
]


@pytest.mark.parametrize("call, error, message", [c[1:] for c in BAD_CALLS],
                         ids=[c[0] for c in BAD_CALLS])
def test_bad_arguments_raise_one_clear_error(call, error, message):
    with pytest.raises(error) as raised:
        call()
    assert message in str(raised.value)


def test_callbacks_run_on_the_calling_thread_and_their_errors_stop_the_work():
    scan = quarvel.parallel(30)
    sinogram = quarvel.project(quarvel.phantom(), scan)
    seen, images = [], []

    def callback(iteration, image):
        seen.append((iteration, threading.get_ident()))
        images.append(image)
        if iteration == 3:
            raise RuntimeError("enough")

    with pytest.raises(RuntimeError, match="enough"):
        quarvel.sart(sinogram, scan, iterations=1000, callback=callback)
    assert seen == [(k, threading.get_ident()) for k in (1, 2, 3)]
    # Each image is the reconstruction so far, kept after the call.
    assert np.array_equal(images[1], quarvel.sart(sinogram, scan, iterations=2))
    assert np.array_equal(images[2], quarvel.sart(sinogram, scan, iterations=3))


def test_project_and_backproject_are_transposes_on_a_rectangle():
    rng = np.random.default_rng(5)
    image = rng.random((20, 30))  # 20 rows, 30 columns
    scan = quarvel.parallel(rng.uniform(0, 360, 17), 41, spacing=0.7, offset=1.5)
    sinogram = rng.random((17, 41))
    back = quarvel.backproject(sinogram, scan, (20, 30))
    assert back.shape == (20, 30)
    left, right = np.vdot(quarvel.project(image, scan), sinogram), np.vdot(image, back)
    assert left == pytest.approx(right, rel=1e-12)
    assert quarvel.fbp(sinogram, scan, (20, 30)).shape == (20, 30)


def test_ctrl_c_stops_a_long_reconstruction():
    scan = quarvel.parallel(180)
    sinogram = quarvel.project(quarvel.phantom(), scan)
    seen = []

    def callback(iteration, image):
        seen.append(iteration)
        if iteration == 1:
            # Delivered while the core computes the next iteration, not inside the callback.
            threading.Thread(target=os.kill, args=(os.getpid(), signal.SIGINT)).start()

    with pytest.raises(KeyboardInterrupt):
        quarvel.sirt(sinogram, scan, iterations=100000, callback=callback)
    assert len(seen) < 100000


@pytest.mark.skipif(not EXPORT, reason="QUARVEL_EXPORT names no export tool")
def test_a_fan_geometry_reads_back_and_rebins_as_the_export_tool_does(tmp_path):
    fan = quarvel.fan_arc(72, source_distance=300)
    assert (fan.beam, fan.source_distance, fan.detector_distance) == ("fan-arc", 300, 300)
    assert repr(fan).startswith("quarvel.fan_arc(72, arc=360.0, detectors=")
    assert "source_distance=300.0, detector_distance=300.0" in repr(fan)
    sinogram = tmp_path / "fan.npy"
    subprocess.run([EXPORT, "sinogram", str(sinogram), "--geometry", "fan-arc", "--views", "72",
                    "--arc", "360", "--source-distance", "300"], check=True)
    assert np.array_equal(np.load(sinogram), quarvel.project(quarvel.phantom(), fan))
    rebinned = export(tmp_path, "rebin", "--sinogram", str(sinogram))
    ours, parallel = quarvel.rebin(np.load(sinogram), fan)
    assert parallel.beam == "parallel" and ours.shape == (parallel.views, parallel.detectors)
    assert np.array_equal(ours, rebinned)
