"""Cycle upload (values the controller pushes every cycle), watch() over it,
and the callback for text the controller pushes (auto-upload)."""
from __future__ import annotations

import ctypes
import re
import threading
import time
from typing import Callable, Dict, Iterator, List, NamedTuple, Optional, Sequence, Set, Tuple, Union

from . import _args as A
from . import _library as L
from ._link import Link, decode
from .errors import CH_NO_REPLY, ERR_NO_HANDLE, TavrixError

MAX_BUFFER_NUMBER = 255
MAX_ITEM_TEXT = 2025
MAX_CYCLE_MS = 60000
Items = Union[str, Sequence[str]]

_ITEM = re.compile(r"\s*,?\s*([A-Za-z_][A-Za-z0-9_]*)\s*(?:\(\s*(\d+)\s*(?:,\s*(\d+)\s*)?\))?\s*,?")


class WatchBlock(NamedTuple):
    """One block of watched values: the number of blocks received so far and
    each value by its label ("DPOS(0)"); None for a value the block lacks."""
    number: int
    values: Dict[str, Optional[float]]


def item_columns(items: Items) -> Tuple[str, List[Tuple[str, int, str]]]:
    """The item text and its values as (name, index, label), read as tvx
    watch reads it: NAME, NAME(FIRST) or NAME(FIRST,COUNT)."""
    if isinstance(items, str):
        text = items
    else:
        text = " ".join(A.text("items", item).decode("latin-1") for item in A.sequence("items", items))
    A.text("items", text, MAX_ITEM_TEXT)
    columns: List[Tuple[str, int, str]] = []
    at = 0
    stripped = text.rstrip()
    while at < len(stripped):
        found = _ITEM.match(stripped, at)
        if not found or found.end() == at:
            raise ValueError(f"items: a name was expected at {stripped[at:at + 10]!r}")
        name, first, count = found.group(1), found.group(2), found.group(3)
        if first is None:
            columns.append((name, 0, name))
        else:
            amount = int(count) if count is not None else 1
            if not 1 <= amount <= 64 or int(first) > A.U32_MAX - amount:
                raise ValueError(f"items: {name} needs (FIRST) or (FIRST,COUNT), COUNT 1-64")
            columns.extend((name, int(first) + k, f"{name}({int(first) + k})") for k in range(amount))
        at = found.end()
    if not columns:
        raise ValueError("items names no value")
    return text, columns


class CycleUpload:
    """One active cycle upload: the controller pushes the named values every
    `cycle_ms` and the latest block is read here. Made by
    Controller.cycle_upload(); close() stops it.

        with ctl.cycle_upload("DPOS(0) VR(10)", 50) as up:
            time.sleep(0.2); print(up.received, up.read("DPOS", 0))
    """

    def __init__(self, ctl: CycleMixin, buffer: int, items: str, cycle_ms: int) -> None:
        self._ctl = ctl
        self.buffer = buffer
        ctl._call("TVX_CycleUpEnable", buffer, cycle_ms, A.text("items", items, MAX_ITEM_TEXT))
        ctl._cycle_buffers.add(buffer)
        self._active = True

    @property
    def received(self) -> int:
        """Blocks received since the upload started.

            while up.received == 0: time.sleep(0.01)
        """
        if self._ctl.closed:
            raise TavrixError(L.INVALID_HANDLE_VALUE, function="TVX_CycleUpGetRecvTimes")
        return int(self._ctl._lib.TVX_CycleUpGetRecvTimes(self._ctl.handle, self.buffer))

    def read(self, name: str, index: int = 0) -> float:
        """Element `index` of item `name` (any case) from the latest block.

            position = up.read("DPOS", 0)
        """
        out = ctypes.c_double()
        self._ctl._call("TVX_CycleUpReadBuff", self.buffer, A.text("name", name), A.u32("index", index),
                        ctypes.byref(out))
        return float(out.value)

    def read_int(self, name: str, index: int = 0) -> int:
        """As read(), as a 32-bit integer (truncated toward zero).

            count = up.read_int("VR", 10)
        """
        out = L.i32()
        self._ctl._call("TVX_CycleUpReadBuffInt", self.buffer, A.text("name", name), A.u32("index", index),
                        ctypes.byref(out))
        return int(out.value)

    def force_once(self) -> None:
        """Asks for one block at once.

            up.force_once(); print(up.read("VR", 10))
        """
        self._ctl._call("TVX_CycleUpForceOnce", self.buffer)

    def close(self) -> None:
        """Stops the upload; closing again (or after the controller) does nothing.

            up.close()
        """
        if self._active:
            self._active = False
            self._ctl._cycle_buffers.discard(self.buffer)
            if not self._ctl.closed:
                self._ctl._call("TVX_CycleUpDisable", self.buffer)

    def __enter__(self) -> CycleUpload:
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()


class CycleMixin(Link):
    def _init_cycle(self) -> None:
        self._cycle_buffers: Set[int] = set()
        self._closing = threading.Event()
        self._auto_up: Optional[object] = None

    def _stop_cycle(self) -> None:
        self._closing.set()

    def _forget_callbacks(self) -> None:
        self._auto_up = None

    def _free_buffer(self) -> int:
        for number in range(MAX_BUFFER_NUMBER + 1):
            if number not in self._cycle_buffers:
                return number
        raise TavrixError(ERR_NO_HANDLE, function="TVX_CycleUpEnable")

    def cycle_upload(self, items: Items, cycle_ms: int = 100, buffer: Optional[int] = None) -> CycleUpload:
        """Starts a cycle upload of `items` ("DPOS(0) VR(10)", or a list of
        such names) every `cycle_ms`; `buffer` (0-255) picks its number, by
        default the lowest this controller is not using.

            up = ctl.cycle_upload(["DPOS(0)", "VR(10)"], 50)
        """
        text, _columns = item_columns(items)
        period = A.count("cycle_ms", cycle_ms, MAX_CYCLE_MS)
        number = self._free_buffer() if buffer is None else A.integer("buffer", buffer, 0, MAX_BUFFER_NUMBER)
        return CycleUpload(self, number, text, period)

    def watch(self, items: Items, cycle_ms: int = 100, buffer: Optional[int] = None,
              timeout_ms: Optional[int] = None) -> Iterator[WatchBlock]:
        """Yields a WatchBlock for every new block of `items` the controller
        pushes (every `cycle_ms`). Ends when the controller is closed (from
        any thread) or the loop leaves; the upload is stopped then. No block
        within `timeout_ms` (default: the handle's budget, at least three
        cycles) raises TavrixError CH_NO_REPLY.

            for block in ctl.watch("DPOS(0,2) IN(0)", 50):
                print(block.values["DPOS(1)"])
        """
        text, columns = item_columns(items)
        period = A.count("cycle_ms", cycle_ms, MAX_CYCLE_MS)
        if buffer is not None:
            A.integer("buffer", buffer, 0, MAX_BUFFER_NUMBER)
        if timeout_ms is not None:
            A.count("timeout_ms", timeout_ms, A.U32_MAX)
        return self._watch(text, columns, period, buffer, timeout_ms)

    def _watch(self, text: str, columns: List[Tuple[str, int, str]], period: int, buffer: Optional[int],
               timeout_ms: Optional[int]) -> Iterator[WatchBlock]:
        if self._closing.is_set():
            return
        wait_s = (timeout_ms if timeout_ms is not None else max(self._get("TVX_GetTimeOut", L.u32), 3 * period)) / 1000
        poll_s = max(0.001, min(period / 4, 20) / 1000)
        upload = self.cycle_upload(text, period, buffer)
        try:
            seen = 0
            deadline = time.monotonic() + wait_s
            while not self._closing.is_set():
                try:
                    received = upload.received
                    if received == seen:
                        if time.monotonic() > deadline:
                            raise TavrixError(CH_NO_REPLY, "No cycle-upload block arrived in time.",
                                              "TVX_CycleUpGetRecvTimes")
                        self._closing.wait(poll_s)
                        continue
                    seen = received
                    deadline = time.monotonic() + wait_s
                    values: Dict[str, Optional[float]] = {}
                    for name, index, label in columns:
                        out = ctypes.c_double()
                        r = self._lib.TVX_CycleUpReadBuff(self._handle, upload.buffer, name.encode("latin-1"), index,
                                                          ctypes.byref(out))
                        if r == L.INVALID_HANDLE_VALUE and self.closed:
                            return
                        values[label] = float(out.value) if r == 0 else None
                except TavrixError:
                    if self.closed:
                        return  # closed by another thread while waiting
                    raise
                yield WatchBlock(seen, values)
        finally:
            try:
                upload.close()
            except TavrixError:
                if not self.closed:
                    raise

    def set_print_callback(self, callback: Optional[Callable[[str], object]]) -> None:
        """Calls `callback(text)` with the text the controller pushes (the
        output of running programs); None removes it. The callback runs on
        the library's receive thread and must not use this controller.

            ctl.set_print_callback(lambda text: print(text, end=""))
        """
        A.callback("callback", callback)
        if callback is None:
            self._call("TVX_SetAutoUpCallBack", L.AutoUpCallback(0))
            self._auto_up = None
            return

        deliver: Callable[[str], object] = callback

        def relay(_handle: object, _value: int, _length: int, data: Optional[bytes]) -> None:
            deliver(decode(data or b""))

        c_callback = L.AutoUpCallback(relay)
        self._call("TVX_SetAutoUpCallBack", c_callback)
        self._auto_up = c_callback
