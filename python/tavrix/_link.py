"""The handle of one open link and the ways of calling the library with it,
shared by the parts of Controller."""
from __future__ import annotations

import ctypes
import threading
from typing import Any, Callable, List, NamedTuple, Optional, Tuple

from . import _library as L
from ._library import Library, library
from .errors import TavrixError, check

# Room for the longest directory-entry name a reply can carry.
NAME_BYTES = 2035
# A listing longer than this is cut off: a controller that never ends its
# listing cannot keep the caller looping.
MAX_LISTING = 100000

Progress = Callable[[float], object]


class FileEntry(NamedTuple):
    """One entry of a controller's file listing."""
    name: str
    size: int


def decode(raw: bytes) -> str:
    return raw.decode("latin-1")


class Link:
    """The handle and the call helpers; Controller adds the operations."""

    def __init__(self, raw_handle: Optional[int]) -> None:
        self._handle = raw_handle
        self._lib: Library = library()

    @property
    def handle(self) -> Optional[int]:
        """The raw TVX_HANDLE value (None once closed), for calling exports directly.

            tavrix._library.library().TVX_GetAxises(ctl.handle)
        """
        return self._handle

    @property
    def closed(self) -> bool:
        """True once close() has been called.

            if not ctl.closed: ctl.close()
        """
        return self._handle is None

    def _call(self, name: str, *args: Any) -> None:
        check(getattr(self._lib, name)(self._handle, *args), name)

    def _get(self, name: str, ctype: Any, *args: Any) -> Any:
        out = ctype()
        self._call(name, *args, ctypes.byref(out))
        return out.value

    @property
    def progress(self) -> float:
        """Progress of the file transfer in flight, 0.0 to 1.0 (readable from another thread).

            print(f"{ctl.progress:.0%}")
        """
        return float(self._lib.TVX_GetProgress(self._handle))

    def _transfer(self, name: str, args: Tuple[Any, ...], progress: Optional[Progress]) -> None:
        """Runs a transfer export; with `progress`, on a worker thread while
        this thread reports progress (0.0 to 1.0) about every 50 ms."""
        function = getattr(self._lib, name)
        if progress is None:
            check(function(self._handle, *args), name)
            return
        result: List[Any] = []

        def transfer() -> None:
            try:
                result.append(function(self._handle, *args))
            except BaseException as e:  # a bad argument: raised on the caller's thread below
                result.append(e)

        worker = threading.Thread(target=transfer, daemon=True)
        worker.start()
        try:
            while worker.is_alive():
                worker.join(0.05)
                if worker.is_alive():
                    progress(self.progress)
        finally:
            worker.join()  # the transfer owns the caller's buffers until it ends
        if isinstance(result[0], BaseException):
            raise result[0]
        check(result[0], name)
        progress(1.0)

    def _upload(self, name: str, capacity: int, before: Tuple[Any, ...] = (), after: Tuple[Any, ...] = (),
                progress: Optional[Progress] = None) -> bytes:
        """Runs an export that fills (buffer, capacity, ..., received)."""
        buffer = ctypes.create_string_buffer(capacity)
        received = L.u32()
        self._transfer(name, (*before, buffer, capacity, *after, ctypes.byref(received)), progress)
        return buffer.raw[:received.value]

    def _listing(self, first: str, following: str) -> List[FileEntry]:
        """A directory listing through a find-first / find-next pair."""
        name = ctypes.create_string_buffer(NAME_BYTES)
        size = L.u32()
        entries: List[FileEntry] = []
        self._call(first, name, ctypes.byref(size))
        while name.value and len(entries) < MAX_LISTING:
            entries.append(FileEntry(decode(name.value), size.value))
            name[0] = b"\0"
            self._call(following, name, ctypes.byref(size))
        return entries


def raise_if(condition: bool, code: int, function: str) -> None:
    if condition:
        raise TavrixError(code, function=function)
