"""quarvel.sweep: the same CSV from any engine, failed cases reported, bad plans refused."""

import json
import os
import subprocess
import sys
import time

import pytest

from quarvel import sweep

# 8 cases, of which the 4 with views 0 fail.
PLAN = {"views": [30, 0], "method": ["fbp", "sirt"], "photons": [None, 1e4], "iterations": [2]}


def run_cli(tmp_path, *where):
    plan = tmp_path / "plan.json"
    plan.write_text(json.dumps(PLAN))
    out = tmp_path / "out.csv"
    done = subprocess.run([sys.executable, "-m", "quarvel.sweep", str(plan), str(out), *where],
                          capture_output=True, text=True, timeout=300, check=False)
    return done, out.read_text()


@pytest.fixture(scope="module")
def serial():
    return sweep.to_csv(PLAN, sweep.run(PLAN, workers=0))


def test_the_serial_csv_holds_every_case_in_order(serial):
    lines = serial.splitlines()
    assert lines[0] == "case,views,photons,method,iterations,rmse,nrmse,psnr,ssim,error"
    assert [line.split(",")[0] for line in lines[1:]] == [str(n) for n in range(8)]
    assert lines[1].startswith("0,30,,fbp,2,0.00") and lines[1].endswith(",")
    assert lines[8] == ('7,0,10000.0,sirt,2,,,,,"ValueError: views must be from 1 to 100000, '
                        'not 0"')


def test_a_local_cluster_of_two_writes_the_serial_bytes(tmp_path, serial):
    done, text = run_cli(tmp_path, "--workers", "2")
    assert done.returncode == 1  # some cases failed
    assert text == serial
    failures = [line for line in done.stderr.splitlines() if " failed " in line]
    assert len(failures) == 4
    assert "case 4 failed (views=0, photons=None, method='fbp', iterations=2)" in done.stderr
    assert "cases/s" not in done.stderr  # no progress off a terminal


def test_a_scheduler_and_its_worker_write_the_serial_bytes(tmp_path, serial):
    address_file = tmp_path / "scheduler.json"
    # Both on the loopback only, and both end by themselves if the test cannot stop them.
    scheduler = subprocess.Popen(
        [sys.executable, "-m", "distributed.cli.dask_scheduler", "--host", "127.0.0.1",
         "--port", "0", "--no-dashboard", "--scheduler-file", str(address_file),
         "--idle-timeout", "120"],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    worker = None
    try:
        for _ in range(600):
            if address_file.exists() and address_file.stat().st_size > 0:
                break
            time.sleep(0.1)
        address = json.loads(address_file.read_text())["address"]
        worker = subprocess.Popen(
            [sys.executable, "-m", "distributed.cli.dask_worker", address, "--host", "127.0.0.1",
             "--nworkers", "1", "--nthreads", "1", "--no-dashboard", "--no-nanny",
             "--lifetime", "180"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=dict(os.environ))
        done, text = run_cli(tmp_path, "--scheduler", address)
        assert done.returncode == 1
        assert text == serial
    finally:
        for process in (worker, scheduler):
            if process is not None:
                process.terminate()
                process.wait(timeout=30)


def test_a_fan_case_equals_the_module_called_directly():
    import quarvel

    [(metrics, error)] = sweep.run({"geometry": ["fan-flat"], "views": [90], "arc": [360],
                                    "source_distance": [200]}, workers=0)
    fan = quarvel.fan_flat(90, source_distance=200)
    truth = quarvel.phantom()
    assert error is None
    assert metrics == quarvel.metrics(quarvel.fbp(quarvel.project(truth, fan), fan), truth)


BAD_SPECS = [
    ("[1, 2]", "a JSON object"),
    ('{"views": 180}', "views must hold a non-empty list"),
    ('{"views": []}', "views must hold a non-empty list"),
    ('{"colour": ["red"]}', "unknown key 'colour'"),
    ("{", "not JSON"),
]


@pytest.mark.parametrize("text, message", BAD_SPECS)
def test_a_bad_spec_is_refused_before_any_case_runs(tmp_path, text, message):
    plan = tmp_path / "plan.json"
    plan.write_text(text)
    out = tmp_path / "out.csv"
    status = sweep.main([str(plan), str(out), "--workers", "0"])
    assert status == 2 and not out.exists()
    with pytest.raises(sweep.PlanError, match=message):
        sweep.load_spec(text)
