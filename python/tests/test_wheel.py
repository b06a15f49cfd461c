"""The package as users install it: a wheel with the library inside, built
and installed offline into a fresh virtual environment, then used against
the simulator without TAVRIX_LIBRARY or the source tree."""
import os
import subprocess
import sys
import zipfile
from pathlib import Path

import pytest

SOURCE = Path(__file__).resolve().parent.parent
LIBRARY = "tavrix.dll" if os.name == "nt" else "libtavrix.so.1"


def run(*command, env=None, cwd=None):
    result = subprocess.run(command, env=env, cwd=cwd, capture_output=True, text=True, timeout=300)
    assert result.returncode == 0, f"{command}: {result.stdout}{result.stderr}"
    return result.stdout


def test_wheel_installs_offline_and_works(tmp_path, sim_address):
    try:
        import ensurepip  # noqa: F401 (a plain venv needs it for pip)
    except ImportError:
        pytest.skip("this Python has no ensurepip (install python3-venv)")
    built = os.environ.get("TAVRIX_LIBRARY")
    # The wheel, built with nothing from a package index.
    run(sys.executable, "-m", "pip", "wheel", "--no-deps", "--no-build-isolation", "--no-index",
        "-w", str(tmp_path / "dist"), str(SOURCE))
    [wheel] = (tmp_path / "dist").glob("tavrix-*.whl")
    with zipfile.ZipFile(wheel) as archive:
        names = archive.namelist()
        assert f"tavrix/{LIBRARY}" in names and "tavrix/py.typed" in names and "tavrix/aio.py" in names
        if built:
            assert archive.read(f"tavrix/{LIBRARY}") == Path(built).read_bytes()
    assert "-py3-none-" in wheel.name and not wheel.name.endswith("-any.whl")

    # `pip install ./python` in a plain virtual environment, offline.
    venv = tmp_path / "venv"
    run(sys.executable, "-m", "venv", str(venv))
    python = venv / ("Scripts/python.exe" if os.name == "nt" else "bin/python")
    run(str(python), "-m", "pip", "install", "--no-index", "--disable-pip-version-check", str(SOURCE))

    env = {k: v for k, v in os.environ.items() if k not in ("TAVRIX_LIBRARY", "PYTHONPATH")}
    script = (
        "import tavrix, tavrix.aio\n"
        "print(tavrix.__file__)\n"
        "print(tavrix._library.library().path)\n"
        f"with tavrix.Controller.open({sim_address!r}) as ctl:\n"
        "    print(ctl.execute('?1+2').strip(), ctl.read_holding_registers(0, 2))\n")
    out = run(str(python), "-c", script, env=env, cwd=str(tmp_path)).splitlines()
    site = venv.resolve()
    assert Path(out[0]).resolve().is_relative_to(site), out
    assert Path(out[1]).resolve() == Path(out[0]).resolve().parent / LIBRARY, out
    assert out[2].startswith("3 ["), out
