"""Simulated controllers for the tests: tavrix-sim started on loopback
addresses. The tests run inside a private network namespace (see
run_tests.sh), where port 502 needs no privileges."""
import os
import select
import subprocess
import time

import pytest

SIM = os.environ.get("TAVRIX_SIM")


def start_simulator(address, *options, ready="listening"):
    """tavrix-sim with `options`, once its start line (holding `ready`) has
    come; a simulator that does not start within 10 s fails the test."""
    if not SIM:
        pytest.skip("TAVRIX_SIM does not name a tavrix-sim program")
    process = subprocess.Popen([SIM, "--address", address, "--exit-with-parent", *options],
                               stderr=subprocess.PIPE, text=True)
    deadline = time.monotonic() + 10
    line = ""
    while ready not in line:
        waiting = select.select([process.stderr], [], [], max(0.0, deadline - time.monotonic()))[0]
        if not waiting or process.poll() is not None:
            process.kill()
            raise RuntimeError(f"tavrix-sim on {address} did not start: {line}")
        line = process.stderr.readline()
    return process


@pytest.fixture(scope="session")
def sim_address():
    """A simulator with 8 axes, inputs 0, 2 and 5 on and a version text."""
    address = "127.0.0.21"
    process = start_simulator(address, "--set", "axes=8", "--set", "inputs=0,2,5",
                              "--set", "version-text=PY 1.2.3")
    yield address
    process.terminate()
    process.wait(10)


@pytest.fixture
def ctl(sim_address):
    import tavrix
    with tavrix.Controller.open(sim_address) as c:
        yield c
