"""Builds the tavrix wheel with the tavrix shared library inside, using the
standard library alone: `pip install ./python` then works offline in a
plain virtual environment, with nothing to download for the build.

The library comes from, in order: the `library` build setting
(`pip wheel --config-settings library=PATH ...`), the TAVRIX_LIBRARY
environment variable, a copy already in the package directory, and the
CMake build tree next to the sources (../build). The wheel is tagged for
this platform (the library is native code) and any Python 3.
"""
import base64
import hashlib
import os
import re
import sysconfig
import zipfile
from pathlib import Path

HERE = Path(__file__).resolve().parent.parent  # the python/ directory
PACKAGE = HERE / "tavrix"
NAME = "tavrix"
LIBRARY_NAME = "tavrix.dll" if os.name == "nt" else "libtavrix.so.1"


def _project():
    """name, version, summary and required Python from pyproject.toml."""
    text = (HERE / "pyproject.toml").read_text()
    section = text.split("[project]", 1)[1].split("\n[", 1)[0]

    def field(key):
        found = re.search(rf'^{key}\s*=\s*"([^"]*)"', section, re.MULTILINE)
        if not found:
            raise RuntimeError(f"pyproject.toml: [project] has no {key}")
        return found.group(1)

    return field("name"), field("version"), field("description"), field("requires-python")


def _library(config_settings):
    candidates = []
    if config_settings and config_settings.get("library"):
        candidates.append(Path(config_settings["library"]))
    if os.environ.get("TAVRIX_LIBRARY"):
        candidates.append(Path(os.environ["TAVRIX_LIBRARY"]))
    candidates += [PACKAGE / LIBRARY_NAME, HERE.parent / "build" / LIBRARY_NAME]
    for path in candidates:
        if path.is_file():
            return path.resolve()
    raise RuntimeError("the tavrix library to put in the wheel was not found; build it first (cmake --build build) "
                       "or name it with TAVRIX_LIBRARY. Looked at: " + ", ".join(map(str, candidates)))


def _tag():
    platform = sysconfig.get_platform().replace("-", "_").replace(".", "_")
    return f"py3-none-{platform}"


def _digest(data):
    return "sha256=" + base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode("ascii")


def get_requires_for_build_wheel(config_settings=None):
    return []


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    name, version, summary, requires_python = _project()
    tag = _tag()
    dist_info = f"{name}-{version}.dist-info"
    files = {f"{NAME}/{p.name}": p.read_bytes() for p in sorted(PACKAGE.glob("*.py"))}
    files[f"{NAME}/py.typed"] = (PACKAGE / "py.typed").read_bytes()
    files[f"{NAME}/{LIBRARY_NAME}"] = _library(config_settings).read_bytes()
    readme = (HERE / "README.md").read_text()
    files[f"{dist_info}/METADATA"] = (
        f"Metadata-Version: 2.1\nName: {name}\nVersion: {version}\nSummary: {summary}\n"
        f"Requires-Python: {requires_python}\nDescription-Content-Type: text/markdown\n\n{readme}").encode()
    files[f"{dist_info}/WHEEL"] = (
        f"Wheel-Version: 1.0\nGenerator: tavrix_build\nRoot-Is-Purelib: false\nTag: {tag}\n").encode()
    record = "".join(f"{path},{_digest(data)},{len(data)}\n" for path, data in files.items())
    files[f"{dist_info}/RECORD"] = (record + f"{dist_info}/RECORD,,\n").encode()
    wheel_name = f"{name}-{version}-{tag}.whl"
    with zipfile.ZipFile(Path(wheel_directory) / wheel_name, "w", zipfile.ZIP_DEFLATED) as wheel:
        for path, data in files.items():
            info = zipfile.ZipInfo(path, date_time=(2020, 1, 1, 0, 0, 0))
            info.external_attr = (0o755 if path.endswith(LIBRARY_NAME) else 0o644) << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            wheel.writestr(info, data)
    return wheel_name
