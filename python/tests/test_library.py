"""The package without a controller: loading, codes, module functions."""
import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

import pytest

import tavrix

PACKAGE = Path(tavrix.__file__).resolve().parent


def test_version_is_the_built_library():
    expected = os.environ.get("TAVRIX_EXPECTED_VERSION")
    assert re.fullmatch(r"\d+\.\d+\.\d+\.\d+", tavrix.version())
    if expected:
        assert tavrix.version() == expected


def test_result_codes_match_the_header():
    header = os.environ.get("TAVRIX_HEADER")
    if not header:
        pytest.skip("TAVRIX_HEADER not set")
    defined = dict(re.findall(r"#define TVX_(\w+) (-?\d+)", Path(header).read_text()))
    names = [n for n in dir(tavrix) if re.fullmatch(r"(OK|ERR_\w+|CH_\w+)", n)]
    assert len(names) > 30
    for name in names:
        assert int(defined[name]) == getattr(tavrix, name), name


@pytest.mark.parametrize("code, text", [
    (tavrix.CH_NO_REPLY, "No reply from the controller within the time budget."),
    (tavrix.ERR_INVALID_HANDLE, "Invalid or closed handle."),
    (3425, "Modbus exception reply from the controller."),
    (20026, "PCI link could not be opened."),
    (20999, "Library error."),
    (-5, "Operating-system failure."),
])
def test_describe_gives_a_text_for_every_code(code, text):
    assert tavrix.describe(code) == text
    error = tavrix.TavrixError(code)
    assert error.code == code and error.description == text and str(code) in str(error)


def test_module_functions():
    assert tavrix.string_hash("abc") == 3014
    assert tavrix.string_hash(b"") == 0
    image = bytes(range(256))
    encoded = tavrix.hmi_encode(image)
    assert encoded[0] == 2 and encoded[3] == 255
    assert tavrix.hmi_decode(encoded) == image


def test_a_closed_or_never_opened_handle_raises_with_the_code():
    ctl = tavrix.Controller(None)
    with pytest.raises(tavrix.TavrixError) as e:
        ctl.state
    assert e.value.code == tavrix.ERR_INVALID_HANDLE
    assert e.value.function == "TVX_GetState"
    assert ctl.axes == 0 and ctl.link_kind == 255


def run_python(code, env):
    return subprocess.run([sys.executable, "-c", code], env=env, capture_output=True, text=True, timeout=60)


def test_library_lookup(tmp_path):
    built = Path(tavrix._library.library().path).resolve()
    # A copy of the package with the library next to it finds that one.
    copy = tmp_path / "site" / "tavrix"
    shutil.copytree(PACKAGE, copy, ignore=shutil.ignore_patterns("__pycache__"))
    shutil.copy(built, copy / "libtavrix.so.1")
    env = {k: v for k, v in os.environ.items() if k != "TAVRIX_LIBRARY"}
    env["PYTHONPATH"] = str(tmp_path / "site")
    r = run_python("import tavrix; tavrix.version(); print(tavrix._library.library().path)", env)
    assert r.returncode == 0, r.stderr
    assert r.stdout.strip() == str(copy / "libtavrix.so.1")
    # TAVRIX_LIBRARY names the one file to load, and a wrong one is reported.
    env["TAVRIX_LIBRARY"] = str(tmp_path / "absent.so")
    r = run_python("import tavrix; tavrix.version()", env)
    assert r.returncode != 0 and "absent.so" in r.stderr


def test_every_public_call_has_a_docstring_with_an_example():
    import inspect

    import tavrix.aio

    def example(doc):
        return bool(doc) and bool(re.search(r"\n {8,}\S|>>>", doc))

    lacking = []
    for owner in (tavrix.Controller, tavrix.LcdSession, tavrix.CycleUpload, tavrix.aio.AsyncController):
        for name in dir(owner):
            member = inspect.getattr_static(owner, name)
            function = member.fget if isinstance(member, property) else getattr(member, "__func__", member)
            if name.startswith("_") or not callable(function):
                continue
            if owner is tavrix.aio.AsyncController and name in dir(tavrix.Controller):
                continue  # the same call as a coroutine, documented on Controller
            if not example(function.__doc__):
                lacking.append(f"{owner.__name__}.{name}")
    lacking += [name for name, f in vars(tavrix).items()
                if inspect.isfunction(f) and not name.startswith("_") and not example(f.__doc__)]
    assert lacking == []
