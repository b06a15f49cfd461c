"""Talk to Tavrix motion controllers: a thin layer over the tavrix library.

    import tavrix
    with tavrix.Controller.open("127.0.0.21") as ctl:
        print(ctl.state, ctl.execute("?VR(10)"))
        print(ctl.read_holding_registers(0, 4))

tavrix.aio offers the same calls to asyncio programs.
"""
from __future__ import annotations

import atexit
import ctypes
from typing import Callable, List, NamedTuple, Optional, Union

from . import _args as A
from . import _library as L
from ._cycle import (CycleUpload as CycleUpload, WatchBlock as WatchBlock)
from ._library import library
from ._modbus import (AREA_WIDTHS as AREA_WIDTHS)
from ._programs import (LocalVariable as LocalVariable, ProjectRecord as ProjectRecord, RecordFile as RecordFile, StringType as StringType,
                        fill_project_record as fill_project_record, library_globals as library_globals,
                        library_type as library_type, make_library as make_library, make_nar as make_nar,
                        one_file_project as one_file_project, project_record as project_record,
                        real_project_record as real_project_record)
from ._screens import (CameraInfo as CameraInfo, Image as Image, LcdSession as LcdSession, RawChunk as RawChunk,
                       Region as Region)
from . import controller as _controller
from .controller import (LINK_ETHERNET as LINK_ETHERNET, LINK_PCI as LINK_PCI, LINK_SERIAL as LINK_SERIAL,
                         RESEND_ADAPTIVE as RESEND_ADAPTIVE, RESEND_FIXED as RESEND_FIXED,
                         ResendEstimate as ResendEstimate, ChildCard as ChildCard, Controller as Controller, FileEntry as FileEntry,
                         SoftVersion as SoftVersion, TaskStackState as TaskStackState, TaskState as TaskState,
                         link_kind_of as link_kind_of)
from .errors import *  # noqa: F401,F403 (result-code names)
from .errors import (ControllerError as ControllerError, TavrixError as TavrixError, check as check,
                     describe as describe)

__version__ = "1.0.0"

# Longest discovery wait a caller may ask: one minute.
MAX_SEARCH_MS = 60000


def version() -> str:
    """The loaded library's version, "major.minor.patch.tweak".

        print(tavrix.version())
    """
    text = ctypes.create_string_buffer(16)
    check(library().TVX_GetDllVersion(text), "TVX_GetDllVersion")
    return text.value.decode("ascii")


def search(time_ms: int = 500, capacity: int = 256) -> List[str]:
    """Broadcasts the discovery probe, waits `time_ms` and returns the
    addresses of the controllers that answered (room for `capacity`).

        for address in tavrix.search(300): print(address)
    """
    wait = A.count("time_ms", time_ms, MAX_SEARCH_MS)
    size = 16 * A.count("capacity", capacity, 1 << 16) + 1
    buffer = ctypes.create_string_buffer(size)
    result = library().TVX_SearchEth(buffer, size, wait)
    if result == -1:
        raise TavrixError(20006, "No socket could be made for the search.", "TVX_SearchEth")
    check(result, "TVX_SearchEth")
    return buffer.value.decode("ascii").split()


def pci_card_count() -> int:
    """Number of PCI and PCIe cards present (0 without a driver).

        if tavrix.pci_card_count(): ctl = tavrix.Controller.open_pci(0)
    """
    return int(library().TVX_GetMaxPciCards())


def set_serial_defaults(baud: int = 38400, data_bits: int = 8, parity: int = 0, stop_bits: int = 0) -> None:
    """Line settings of later serial opens: parity 0 none, 1 odd, 2 even,
    3 mark, 4 space; stop bits 0 one, 1 one and a half, 2 two.

        tavrix.set_serial_defaults(115200, parity=2)
    """
    check(library().TVX_SetComDefaultBaud(A.count("baud", baud, A.U32_MAX), A.integer("data_bits", data_bits, 5, 8),
                                          A.integer("parity", parity, 0, 4), A.integer("stop_bits", stop_bits, 0, 2)),
          "TVX_SetComDefaultBaud")


def set_serial_station(station: int) -> None:
    """Station address of later serial opens (0 means 254, which every
    controller answers).

        tavrix.set_serial_station(3)
    """
    check(library().TVX_SetComDefaultID(A.u8("station", station)), "TVX_SetComDefaultID")


def set_connect_secure_id(value: int) -> None:
    """Connection identifier sent by every later open.

        tavrix.set_connect_secure_id(0)
    """
    check(library().TVX_SetConnectSecureID(A.u32("value", value)), "TVX_SetConnectSecureID")


def string_hash(data: Union[str, bytes]) -> int:
    """The library's 32-bit string hash of `data` (bytes or str).

        assert tavrix.string_hash("abc") == 3014
    """
    if isinstance(data, str):
        raw = A.text("data", data) if "\0" not in data else data.encode("latin-1")
    else:
        raw = A.data("data", data)
    out = L.i32()
    check(library().TVX_CalStringHash(raw, len(raw), ctypes.byref(out)), "TVX_CalStringHash")
    return int(out.value)


def _hmi(name: str, data: bytes) -> bytes:
    raw = A.data("data", data)
    buffer = ctypes.create_string_buffer(raw, len(raw))
    check(getattr(library(), name)(buffer, len(raw)), name)
    return buffer.raw


def hmi_encode(data: bytes) -> bytes:
    """An HMI file image encoded (the transform undoes itself).

        assert tavrix.hmi_decode(tavrix.hmi_encode(b"abc")) == b"abc"
    """
    return _hmi("TVX_HmiFileEncode", data)


def hmi_decode(data: bytes) -> bytes:
    """An HMI file image decoded.

        image = tavrix.hmi_decode(Path("screen.hmi").read_bytes())
    """
    return _hmi("TVX_HmiFileDecode", data)


TRACE_SENT, TRACE_RECEIVED, TRACE_DEBUG = 0, 1, 2


class TraceEvent(NamedTuple):
    kind: int
    link_kind: int
    port: str
    timestamp_ns: int
    data: bytes
    level: int


_trace_callback: Optional[object] = None  # kept alive while the library may call it
# Callbacks replaced while a call of them had not returned (20003): the
# library may still be running them, so they are never freed.
_stuck_trace_callbacks: List[object] = []


def _install_trace(c_callback: object, debug_level: int) -> None:
    global _trace_callback
    previous, _trace_callback = _trace_callback, c_callback
    r = library().TVX_SetTraceCallback(c_callback, None, debug_level)
    if r == 20003 and previous is not None:
        _stuck_trace_callbacks.append(previous)
    check(r, "TVX_SetTraceCallback")


def set_trace(callback: Optional[Callable[[TraceEvent], object]], debug_level: int = 0) -> None:
    """Calls `callback(TraceEvent)` for every frame sent and received on any
    link (and the debug lines up to `debug_level`); None removes it. The
    callback runs on the library's threads and must not call the library.

        frames = []
        tavrix.set_trace(frames.append)
    """
    A.callback("callback", callback)
    level = A.u32("debug_level", debug_level)
    if callback is None:
        _install_trace(L.TraceCallback(0), 0)
        return

    deliver: Callable[[TraceEvent], object] = callback

    def relay(event: "ctypes._Pointer[L.TraceEvent]", _context: object) -> None:
        e = event.contents
        port = e.port.decode("latin-1") if e.port else ""
        deliver(TraceEvent(e.kind, e.linkKind, port, e.timestampNs, ctypes.string_at(e.bytes, e.length), e.level))

    _install_trace(L.TraceCallback(relay), level)


@atexit.register
def _release_at_exit() -> None:
    """Before the interpreter shuts down: closes the controllers still open
    and removes the trace callback. The library's threads would otherwise
    call into Python while it finalizes, where they wait for ever and keep
    the process from ending."""
    for ctl in list(_controller.open_controllers):
        try:
            ctl.close()
        except Exception:
            pass
    if _trace_callback is not None:
        try:
            set_trace(None)
        except Exception:
            pass
