"""Talk to Tavrix motion controllers: a thin layer over the tavrix library.

    import tavrix
    with tavrix.Controller.open("127.0.0.21") as ctl:
        print(ctl.state, ctl.execute("?VR(10)"))
"""
import ctypes
import os
from collections import namedtuple

from . import _library as L
from ._library import library
from .controller import (LINK_ETHERNET, LINK_PCI, LINK_SERIAL, ChildCard, Controller, FileEntry, Image,
                         SoftVersion, TaskState, project_record)
from .errors import *  # noqa: F401,F403 (result-code names)
from .errors import TavrixError, check, describe

__version__ = "1.0.0"


def version():
    """The loaded library's version, "major.minor.patch.tweak"."""
    text = ctypes.create_string_buffer(16)
    check(library().TVX_GetDllVersion(text), "TVX_GetDllVersion")
    return text.value.decode("ascii")


def search(time_ms=500, capacity=256):
    """Broadcasts the discovery probe, waits `time_ms` and returns the
    addresses of the controllers that answered (room for `capacity`)."""
    size = 16 * capacity + 1
    buffer = ctypes.create_string_buffer(size)
    result = library().TVX_SearchEth(buffer, size, time_ms)
    if result == -1:
        raise TavrixError(20006, "No socket could be made for the search.", "TVX_SearchEth")
    check(result, "TVX_SearchEth")
    return buffer.value.decode("ascii").split()


def string_hash(data):
    """The library's 32-bit string hash of `data` (bytes or str)."""
    data = data.encode("latin-1") if isinstance(data, str) else bytes(data)
    out = L.i32()
    check(library().TVX_CalStringHash(data, len(data), ctypes.byref(out)), "TVX_CalStringHash")
    return out.value


def _hmi(name, data):
    buffer = ctypes.create_string_buffer(bytes(data), len(data))
    check(getattr(library(), name)(buffer, len(data)), name)
    return buffer.raw


def hmi_encode(data):
    """An HMI file image encoded (the transform undoes itself)."""
    return _hmi("TVX_HmiFileEncode", data)


def hmi_decode(data):
    return _hmi("TVX_HmiFileDecode", data)


def make_nar(npj_path, archive_path, password=None, word=0):
    """Builds a program archive file from a project text file (.npj) and its files."""
    record, directory = project_record(npj_path)
    check(library().TVX_MakeNar2(record, directory, os.fsencode(archive_path),
                                 None if password is None else password.encode("latin-1"), word), "TVX_MakeNar2")


def make_library(source_path, library_path):
    """Makes a library file (.nlb) from a .bas source or a compiled .plc program."""
    check(library().TVX_MakeNlib(os.fsencode(source_path), os.fsencode(library_path)), "TVX_MakeNlib")


def library_type(library_path):
    """2 for a BASIC library, 3 for a PLC library."""
    out = L.i32()
    check(library().TVX_GetNlibFileType(os.fsencode(library_path), ctypes.byref(out)), "TVX_GetNlibFileType")
    return out.value


def library_globals(library_path, capacity=65536):
    """The global declarations of a library file, as text."""
    text = ctypes.create_string_buffer(capacity)
    check(library().TVX_GetNlibGlobalDefine(os.fsencode(library_path), text, capacity), "TVX_GetNlibGlobalDefine")
    return text.value.decode("latin-1")


TRACE_SENT, TRACE_RECEIVED, TRACE_DEBUG = 0, 1, 2
TraceEvent = namedtuple("TraceEvent", "kind link_kind port timestamp_ns data level")
_trace_callback = None  # kept alive while the library may call it
# Callbacks replaced while a call of them had not returned (20003): the
# library may still be running them, so they are never freed.
_stuck_trace_callbacks = []


def _install_trace(c_callback, debug_level):
    global _trace_callback
    previous, _trace_callback = _trace_callback, c_callback
    r = library().TVX_SetTraceCallback(c_callback, None, debug_level)
    if r == 20003 and previous is not None:
        _stuck_trace_callbacks.append(previous)
    check(r, "TVX_SetTraceCallback")


def set_trace(callback, debug_level=0):
    """Calls `callback(TraceEvent)` for every frame sent and received on any
    link (and the debug lines up to `debug_level`); None removes it. The
    callback runs on the library's threads and must not call the library."""
    if callback is None:
        _install_trace(L.TraceCallback(), 0)
        return

    def relay(event, _context):
        e = event.contents
        port = e.port.decode("latin-1") if e.port else ""
        callback(TraceEvent(e.kind, e.linkKind, port, e.timestampNs, ctypes.string_at(e.bytes, e.length), e.level))

    _install_trace(L.TraceCallback(relay), debug_level)
