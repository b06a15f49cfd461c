"""Controller: one open link to a controller, closed on exit or close()."""
from __future__ import annotations

import ctypes
import ipaddress
import re
import sys
import weakref
from typing import Any, List, NamedTuple, Optional, Type, TypeVar, Union

from . import _args as A
from . import _library as L
from ._cycle import CycleMixin
from ._library import library
from ._link import FileEntry, decode
from ._modbus import ModbusMixin
from ._programs import ProgramsMixin, project_record
from ._screens import Image, ScreensMixin
from ._storage import StorageMixin
from .errors import ERR_BUFFER_TOO_SMALL, ERR_INVALID_HANDLE, TavrixError, check, check_answer

LINK_SERIAL = 1
LINK_ETHERNET = 2
LINK_PCI = 4
_LINK_KINDS = (LINK_SERIAL, LINK_ETHERNET, LINK_PCI)

# Resend policies: the link's base wait doubling (the default), or the
# wait estimated from measured round trips (Ethernet only).
RESEND_FIXED = 0
RESEND_ADAPTIVE = 1
# Largest cap of the adaptive policy: one minute.
MAX_RESEND_CAP_MS = 60000

# Longest wait a caller may ask of one text command or probe: ten minutes.
MAX_WAIT_MS = 600000


class SoftVersion(NamedTuple):
    version: int
    text: str
    date: int


class TaskState(NamedTuple):
    state: int
    second: int
    word: int
    value: int
    text: str


class TaskStackState(NamedTuple):
    byte: int
    value: int
    text: str


class ResendEstimate(NamedTuple):
    first_wait_ms: int  # wait before a transaction's first resend, under the policy in force
    smoothed_us: int    # smoothed round trip; 0 until one was measured
    variation_us: int   # its variation


class ChildCard(NamedTuple):
    id: int
    kind: int
    bytes: bytes


_SERIAL = re.compile(r"[Cc][Oo][Mm] *(\d+)")
_CARD = re.compile(r"[Pp][Cc][Ii]([Ee])?(\d+)")
_IPV4 = re.compile(r"(\d{1,3})\.(\d{1,3})\.(\d{1,3})\.(\d{1,3})(?::(\d{1,5}))?")


def link_kind_of(address: str) -> int:
    """The link kind an address names, read as tvx reads it: "a.b.c.d" or
    "a.b.c.d:port" is Ethernet, "COMn" serial, "PCIn" or "PCIEn" a PCI card.

        >>> link_kind_of("COM3") == LINK_SERIAL
        True

    Anything else raises ValueError."""
    if not isinstance(address, str):
        raise TypeError(f"address must be a str, not {type(address).__name__}")
    if _SERIAL.fullmatch(address) or _CARD.fullmatch(address):
        return LINK_SERIAL if _SERIAL.fullmatch(address) else LINK_PCI
    ip = _IPV4.fullmatch(address)
    if ip and all(int(part) <= 255 for part in ip.groups()[:4]) and (ip.group(5) is None or int(ip.group(5)) <= 65535):
        return LINK_ETHERNET
    raise ValueError(f"{address!r} is not a controller address (a.b.c.d, COMn or PCI<n>)")


_C = TypeVar("_C", bound="Controller")

# Controllers not closed yet, for closing at interpreter exit (see __init__).
open_controllers: "weakref.WeakSet[Controller]" = weakref.WeakSet()


class Controller(StorageMixin, ProgramsMixin, ModbusMixin, ScreensMixin, CycleMixin):
    """An open controller link.

        with Controller.open("127.0.0.21") as ctl:
            print(ctl.state, ctl.execute("?VR(10)"))

    Methods raise TavrixError when the library reports a failure, and
    TypeError or ValueError for an argument they cannot send as given (then
    nothing is sent). One Controller may be used from several threads: the
    library serialises their requests.
    """

    def __init__(self, raw_handle: Optional[int]) -> None:
        super().__init__(raw_handle)
        self._init_cycle()
        if raw_handle is not None:
            open_controllers.add(self)

    # ------------------------------------------------------------------ open

    @classmethod
    def open(cls: Type[_C], address: str, kind: Optional[int] = None, timeout_ms: Optional[int] = None,
             fast: bool = False, probe_ms: Optional[int] = None) -> _C:
        """Opens `address`: "a.b.c.d[:port]" (Ethernet), "COM<n>" (serial) or
        "PCI<n>" (a PCI card); the link kind is read from the address unless
        `kind` names it. With `fast`, skips the transfer probe and uses
        `timeout_ms` (default 5000) as the budget from the first request on;
        without it, `timeout_ms` bounds the whole open and then every request.
        With `probe_ms` (Ethernet only), asks the address for that long first
        and gives ERR_ETHERNET when no controller answers within it.

            ctl = Controller.open("COM3", timeout_ms=1000)
        """
        link = link_kind_of(address) if kind is None else kind
        if isinstance(link, bool) or not isinstance(link, int) or link not in _LINK_KINDS:
            raise ValueError(f"kind must be LINK_SERIAL, LINK_ETHERNET or LINK_PCI, not {kind!r}")
        name = A.text("address", address, 1023)
        if timeout_ms is not None:
            A.count("timeout_ms", timeout_ms, A.U32_MAX)
        if probe_ms is not None:
            A.count("probe_ms", probe_ms, MAX_WAIT_MS)
            if link != LINK_ETHERNET or fast:
                raise ValueError("probe_ms is for Ethernet addresses opened without fast")
        lib = library()
        out = L.handle()
        if fast:
            check(lib.TVX_FastOpen(link, name, timeout_ms or 5000, ctypes.byref(out)), "TVX_FastOpen")
        elif probe_ms is not None:
            check(lib.TVX_SearchAndOpenEth(name, probe_ms, ctypes.byref(out)), "TVX_SearchAndOpenEth")
        elif timeout_ms is not None:
            # The budget bounds the whole open too, not only what follows it.
            check(lib.TVX_OpenWithTimeOut(link, name, timeout_ms, ctypes.byref(out)), "TVX_OpenWithTimeOut")
        else:
            check(lib.TVX_Open(link, name, ctypes.byref(out)), "TVX_Open")
        return cls._opened(out.value, None if fast else timeout_ms)

    @classmethod
    def _opened(cls: Type[_C], raw: Optional[int], timeout_ms: Optional[int] = None) -> _C:
        ctl = cls(raw)
        if timeout_ms is not None:
            try:
                ctl.timeout_ms = timeout_ms
            except TavrixError:
                ctl.close()
                raise
        return ctl

    @classmethod
    def open_ethernet(cls: Type[_C], address: Union[str, int, ipaddress.IPv4Address]) -> _C:
        """Asks an Ethernet address for 100 ms and opens it when a controller
        answers (ERR_ETHERNET when none does). `address` is "a.b.c.d[:port]",
        an ipaddress.IPv4Address or its int value.

            ctl = Controller.open_ethernet(ipaddress.IPv4Address("192.168.0.11"))
        """
        out = L.handle()
        if isinstance(address, str):
            if link_kind_of(address) != LINK_ETHERNET:
                raise ValueError(f"{address!r} is not an Ethernet address")
            check(library().TVX_OpenEth(A.text("address", address), ctypes.byref(out)), "TVX_OpenEth")
        else:
            if isinstance(address, int):
                address = ipaddress.IPv4Address(A.u32("address", address))
            if not isinstance(address, ipaddress.IPv4Address):
                raise TypeError(f"address must be a str, an int or an IPv4Address, not {type(address).__name__}")
            # The export takes the address in network byte order.
            value = int.from_bytes(address.packed, sys.byteorder)
            check(library().TVX_OpenEth2(value, ctypes.byref(out)), "TVX_OpenEth2")
        return cls._opened(out.value)

    @classmethod
    def open_serial(cls: Type[_C], port: int, timeout_ms: Optional[int] = None) -> _C:
        """Opens serial port `port` (1 to 1024; on Linux the device named by
        TAVRIX_COM<port>, else /dev/ttyS<port-1>). With `timeout_ms`, that is
        the budget from the first request on and the transfer probe is skipped.

            ctl = Controller.open_serial(3)
        """
        number = A.integer("port", port, 1, 1024)
        out = L.handle()
        if timeout_ms is None:
            check(library().TVX_OpenCom(number, ctypes.byref(out)), "TVX_OpenCom")
        else:
            check(library().TVX_PeakCom(number, A.count("timeout_ms", timeout_ms, A.U32_MAX), ctypes.byref(out)),
                  "TVX_PeakCom")
        return cls._opened(out.value)

    @classmethod
    def search_serial(cls: Type[_C], first: int = 1, last: int = 16) -> _C:
        """Tries serial ports `first` to `last` (300 ms each) and opens the
        first that answers; its number is in `serial_port`.

            ctl = Controller.search_serial(1, 4)
        """
        low, high = A.integer("first", first, 1, 1024), A.integer("last", last, 1, 1024)
        if low > high:
            raise ValueError("first must not be above last")
        found, out = L.u32(), L.handle()
        check(library().TVX_SearchAndOpenCom(low, high, ctypes.byref(found), 0, ctypes.byref(out)),
              "TVX_SearchAndOpenCom")
        ctl = cls._opened(out.value)
        ctl.serial_port = found.value
        return ctl

    @classmethod
    def open_pci(cls: Type[_C], card: int) -> _C:
        """Opens PCI card `card`, counted from 0 over all cards (see
        pci_card_count()).

            ctl = Controller.open_pci(0)
        """
        out = L.handle()
        check(library().TVX_OpenPci(A.integer("card", card, 0, 31), ctypes.byref(out)), "TVX_OpenPci")
        return cls._opened(out.value)

    serial_port: Optional[int] = None

    def close(self) -> None:
        """Closes the link; closing again does nothing. A watch() running on
        another thread ends at its next block."""
        self._stop_cycle()
        h, self._handle = self._handle, None
        if h is not None:
            check(self._lib.TVX_Close(h), "TVX_Close")
            self._forget_callbacks()

    def __enter__(self: _C) -> _C:
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()

    def __del__(self) -> None:
        try:
            self.close()
        except Exception:
            pass

    def __repr__(self) -> str:
        state = self.address if self._handle is not None else "closed"
        return f"<tavrix.Controller {state}>"

    # ------------------------------------------------------ handle settings

    @property
    def timeout_ms(self) -> int:
        """Budget of each request in milliseconds.

            ctl.timeout_ms = 2000
        """
        return int(self._get("TVX_GetTimeOut", L.u32))

    @timeout_ms.setter
    def timeout_ms(self, ms: int) -> None:
        self._call("TVX_SetTimeOut", A.count("timeout_ms", ms, A.U32_MAX))

    def set_resend_policy(self, policy: int, floor_ms: int = 1, cap_ms: int = 1000) -> None:
        """Chooses when a request without a reply is sent again: RESEND_FIXED
        (the link's base wait, doubling; floor and cap unused) or, on
        Ethernet, RESEND_ADAPTIVE (the estimate from measured round trips,
        floor_ms <= wait <= cap_ms, cap_ms at most 60000).

            ctl.set_resend_policy(tavrix.RESEND_ADAPTIVE, floor_ms=2, cap_ms=200)
        """
        if isinstance(policy, bool) or policy not in (RESEND_FIXED, RESEND_ADAPTIVE):
            raise ValueError(f"policy must be RESEND_FIXED or RESEND_ADAPTIVE, not {policy!r}")
        floor = A.count("floor_ms", floor_ms, MAX_RESEND_CAP_MS)
        cap = A.integer("cap_ms", cap_ms, floor, MAX_RESEND_CAP_MS)
        self._call("TVX_SetResendPolicy", policy, floor, cap)

    @property
    def resend_estimate(self) -> ResendEstimate:
        """The first resend's wait and the measured round trip.

            print(ctl.resend_estimate.smoothed_us)
        """
        first, smoothed, variation = L.u32(), L.u32(), L.u32()
        self._call("TVX_GetResendEstimate", ctypes.byref(first), ctypes.byref(smoothed), ctypes.byref(variation))
        return ResendEstimate(first.value, smoothed.value, variation.value)

    @property
    def link_kind(self) -> int:
        """LINK_SERIAL, LINK_ETHERNET or LINK_PCI; 255 once closed.

            if ctl.link_kind == tavrix.LINK_SERIAL: ctl.set_station(1)
        """
        return int(self._lib.TVX_GetConnectType(self._handle))

    @property
    def address(self) -> str:
        """The address text given at open.

            print(ctl.address)  # "127.0.0.21"
        """
        text = self._lib.TVX_GetConnectString(self._handle)
        if text is None:
            raise TavrixError(ERR_INVALID_HANDLE, function="TVX_GetConnectString")
        return decode(text)

    @property
    def axes(self) -> int:
        """Axis count reported at open (its low byte).

            for axis in range(ctl.axes): print(ctl.axis_states(axis))
        """
        return int(self._lib.TVX_GetAxises(self._handle))

    def set_station(self, station: int) -> None:
        """Station address of this serial handle's frames (0 means 254).

            ctl.set_station(3)
        """
        self._call("TVX_SetComCurID", A.u8("station", station))

    def change_baud(self, baud: int) -> None:
        """Moves the controller's serial line and the local port to `baud`
        until the port is closed.

            ctl.change_baud(115200)
        """
        self._call("TVX_TempModBaud", A.count("baud", baud, A.U32_MAX))

    # --------------------------------------------------------------- queries

    @property
    def state(self) -> int:
        """Controller state byte (0 stopped, 1 running, 2 paused).

            if ctl.state == 1: ctl.stop()
        """
        return int(self._get("TVX_GetState", L.u8))

    @property
    def stop_pause_task(self) -> int:
        """The task that stopped or paused last.

            print(ctl.task_state(ctl.stop_pause_task))
        """
        return int(self._get("TVX_GetStopPauseTaskid", L.u8))

    @property
    def client_id(self) -> int:
        """The controller's client identifier.

            print(ctl.client_id)
        """
        return int(self._get("TVX_GetClientId", L.i32))

    @property
    def soft_id(self) -> int:
        """The controller's software identifier.

            print(ctl.soft_id)
        """
        return int(self._get("TVX_GetSoftId", L.i32))

    @property
    def hard_id(self) -> int:
        """The controller's hardware identifier (firmware images carry one).

            print(hex(ctl.hard_id))
        """
        return int(self._get("TVX_GetHardId", L.i32))

    @property
    def error(self) -> int:
        """The controller's error code.

            if ctl.error: print(tavrix.describe(ctl.error))
        """
        return int(self._get("TVX_GetError", L.i32))

    @property
    def chip_id(self) -> int:
        """The controller's chip identifier.

            print(hex(ctl.chip_id))
        """
        return int(self._get("TVX_GetChipId", L.i32))

    @property
    def ip_address(self) -> str:
        """The controller's own IP address text.

            print(ctl.ip_address)
        """
        text = ctypes.create_string_buffer(21)
        self._call("TVX_GetCurIpAddr", text)
        return decode(text.value)

    @property
    def soft_version(self) -> SoftVersion:
        """Firmware version number, text and date.

            print(ctl.soft_version.text)
        """
        version, date = L.u32(), L.u32()
        text = ctypes.create_string_buffer(17)
        self._call("TVX_GetSoftVersion", ctypes.byref(version), text, ctypes.byref(date))
        return SoftVersion(version.value, decode(text.value), date.value)

    @property
    def mac(self) -> str:
        """The controller's MAC address text.

            print(ctl.mac)
        """
        text = ctypes.create_string_buffer(15)
        self._call("TVX_GetMac", text)
        return decode(text.value)

    def set_mac(self, text: str) -> None:
        """Sends a MAC address text to the controller.

            ctl.set_mac("00:11:22:33:44:55")
        """
        self._call("TVX_SetMac", A.text("text", text, 2043))

    @property
    def sys_specification(self) -> L.SysSpecification:
        """The system record (TVX_SysSpecification); axisCount is its one named field.

            print(ctl.sys_specification.axisCount)
        """
        record = L.SysSpecification()
        self._call("TVX_GetSysSpecification", ctypes.byref(record))
        return record

    def task_state(self, task: int) -> TaskState:
        """State of task `task`, with the program it runs in `text`.

            print(ctl.task_state(0).text)
        """
        state, second, word, value = L.u8(), L.u8(), L.u16(), L.i32()
        text = ctypes.create_string_buffer(27)
        self._call("TVX_GetTaskState", A.u32("task", task), ctypes.byref(state), ctypes.byref(second),
                   ctypes.byref(word), ctypes.byref(value), text)
        return TaskState(state.value, second.value, word.value, value.value, decode(text.value))

    def task_stack_state(self, task: int, level: int) -> TaskStackState:
        """One level of a task's call stack.

            print(ctl.task_stack_state(0, 0).text)
        """
        byte, value = L.u8(), L.i32()
        text = ctypes.create_string_buffer(24)
        self._call("TVX_GetTaskStackState", A.u32("task", task), A.u32("level", level), ctypes.byref(byte),
                   ctypes.byref(value), text)
        return TaskStackState(byte.value, value.value, decode(text.value))

    def child_card(self, index: int) -> ChildCard:
        """Record `index` of the controller's extension cards.

            card = ctl.child_card(0); print(card.id, card.kind)
        """
        record = L.ChildCard()
        self._call("TVX_EnumChildCard", A.u32("index", index), ctypes.byref(record))
        return ChildCard(record.id, record.kind, bytes(record.bytes))

    def axis_states(self, axis: int) -> bytes:
        """The 17 state bytes of an axis.

            states = ctl.axis_states(0)
        """
        states = (L.u8 * 17)()
        self._call("TVX_GetAxisStates", A.u8("axis", axis), states)
        return bytes(states)

    def axis_features(self, axis: int) -> int:
        """The feature bits of an axis.

            features = ctl.axis_features(0)
        """
        return int(self._get("TVX_GetAxisFeatures", L.i32, A.u8("axis", axis)))

    def set_axis_enable(self, axis: int, enable: bool = True) -> None:
        """Enables (or disables) an axis.

            ctl.set_axis_enable(0, True)
        """
        self._call("TVX_SetAxisEnable", A.u8("axis", axis), A.flag("enable", enable))

    def low_format_nand(self, value: int) -> None:
        """Formats the controller's NAND flash (the value is the controller's).

            ctl.low_format_nand(0)
        """
        self._call("TVX_LowFormatNand", A.i32("value", value))

    def return_default(self, value: int) -> None:
        """Returns the controller's settings to their defaults (the value is the controller's).

            ctl.return_default(0)
        """
        self._call("TVX_ReturnDefault", A.i32("value", value))

    def reset(self) -> None:
        """Restarts the controller.

            ctl.reset()
        """
        self._call("TVX_ResetController")

    def clear_log(self) -> None:
        """Empties the controller's log.

            ctl.clear_log()
        """
        self._call("TVX_ClearLog")

    # ------------------------------------------------------------------- I/O

    def input(self, number: int) -> bool:
        """One digital input.

            if ctl.input(2): ...
        """
        return bool(self._get("TVX_GetIn", L.u8, A.u32("number", number)))

    def output(self, number: int) -> bool:
        """One digital output's state.

            if ctl.output(3): ctl.set_output(3, False)
        """
        return bool(self._get("TVX_GetOutput", L.u8, A.u32("number", number)))

    def set_output(self, number: int, on: bool) -> None:
        """Switches one digital output.

            ctl.set_output(3, True)
        """
        self._call("TVX_SetOutput", A.u32("number", number), A.flag("on", on))

    def _range(self, first: int, last: int) -> tuple[int, int]:
        low, high = A.u32("first", first), A.u32("last", last)
        if high < low or high - low >= 32:
            raise ValueError("first..last must be 1 to 32 numbers in ascending order")
        return low, high

    def inputs(self, first: int, last: int) -> int:
        """Inputs first..last (at most 32) as an int, bit 0 = input `first`.

            bits = ctl.inputs(0, 15)
        """
        return int(self._get("TVX_GetInAll", L.i32, *self._range(first, last))) & 0xFFFFFFFF

    def outputs(self, first: int, last: int) -> int:
        """Outputs first..last (at most 32) as an int, bit 0 = output `first`.

            bits = ctl.outputs(0, 15)
        """
        return int(self._get("TVX_GetOutAll", L.i32, *self._range(first, last))) & 0xFFFFFFFF

    def set_outputs(self, first: int, last: int, bits: int) -> None:
        """Sets outputs first..last from the bits of `bits` (bit 0 = `first`).

            ctl.set_outputs(8, 15, 0xA5)
        """
        low, high = self._range(first, last)
        value = A.integer("bits", bits, 0, (1 << (high - low + 1)) - 1)
        self._call("TVX_SetOutAll", low, high, ctypes.c_int32(value).value)

    def analog_in(self, channel: int) -> float:
        """An analogue input's value.

            volts = ctl.analog_in(0)
        """
        return float(self._get("TVX_GetAIn", L.f32, A.u32("channel", channel)))

    def analog_out(self, channel: int) -> float:
        """An analogue output's value.

            print(ctl.analog_out(1))
        """
        return float(self._get("TVX_GetDaOut", L.f32, A.u32("channel", channel)))

    def set_analog_out(self, channel: int, value: int) -> None:
        """Sets an analogue output (an integer value).

            ctl.set_analog_out(1, 1234)
        """
        self._call("TVX_SetDaOut", A.u32("channel", channel), A.i32("value", value))

    # --------------------------------------------------------- text commands

    def execute(self, command: str, timeout_ms: int = 5000, capacity: int = 65536) -> str:
        """Runs a command on the interpreter and returns its whole answer; an
        answer that reports an error raises ControllerError.

            ctl.execute("VR(10)=6*7")
            print(ctl.execute("?VR(10)"))   # "42\\n"
        """
        text = A.text("command", command)
        limit = A.count("timeout_ms", timeout_ms, MAX_WAIT_MS)
        room = A.count("capacity", capacity, A.MAX_CAPACITY)
        answer = ctypes.create_string_buffer(room + 1)
        self._call("TVX_Execute", text, limit, answer, room)
        return check_answer(decode(answer.value), "TVX_Execute")

    def execute_no_ack(self, command: str, timeout_ms: int = 5000) -> None:
        """Sends a command without collecting its answer (see receive()).

            ctl.execute_no_ack("?VR(10)")
            text, done = ctl.receive()
        """
        self._call("TVX_ExecuteNoAck", A.text("command", command), A.count("timeout_ms", timeout_ms, MAX_WAIT_MS))

    def wait_done(self, timeout_ms: int = 5000) -> None:
        """Discards answer text until the current command has finished.

            ctl.execute_no_ack("MOVE(100)"); ctl.wait_done(10000)
        """
        self._call("TVX_ExecuteWaitDown", A.count("timeout_ms", timeout_ms, MAX_WAIT_MS))

    def receive(self, capacity: int = 4096) -> tuple[str, bool]:
        """The answer text waiting now and whether the command has finished.

            text, done = ctl.receive()
        """
        room = A.count("capacity", capacity, A.MAX_CAPACITY)
        answer = ctypes.create_string_buffer(room)
        length, done = L.u32(), L.u8()
        self._call("TVX_ExecuteGetReceive", answer, room, ctypes.byref(length), ctypes.byref(done))
        return decode(answer.raw[:length.value]), bool(done.value)

    @property
    def command_buffer_space(self) -> int:
        """Free bytes of the controller's command buffer.

            if ctl.command_buffer_space > 100: ctl.execute_no_ack(text)
        """
        value = int(self._lib.TVX_ExecuteGetRemainBuffSpace(self._handle))
        if self._handle is None:
            raise TavrixError(ERR_INVALID_HANDLE, function="TVX_ExecuteGetRemainBuffSpace")
        return value

    def direct_command(self, command: str, capacity: int = 2048) -> str:
        """Runs a short command in one exchange; an answer that reports an
        error raises ControllerError.

            print(ctl.direct_command("?VR(10)+1"))
        """
        text = A.text("command", command, 2039)
        room = A.count("capacity", capacity, A.MAX_CAPACITY)
        answer = ctypes.create_string_buffer(room + 1)
        self._call("TVX_DirectCommand", text, answer, room)
        return check_answer(decode(answer.value), "TVX_DirectCommand")


__all__ = ["Controller", "LINK_SERIAL", "LINK_ETHERNET", "LINK_PCI", "SoftVersion", "TaskState", "TaskStackState",
           "ChildCard", "FileEntry", "Image", "ERR_BUFFER_TOO_SMALL", "link_kind_of", "project_record"]
