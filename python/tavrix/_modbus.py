"""Modbus coils and holding registers, and the controller's named register
areas. Names follow the usual Modbus client calls (read_coils,
write_registers, ...)."""
from __future__ import annotations

import ctypes
import struct
from typing import List, Optional, Sequence

from . import _args as A
from . import _library as L
from ._link import Link

# Per-request limits of the Modbus functions.
MAX_READ_COILS = 2000
MAX_WRITE_COILS = 1968
MAX_READ_REGISTERS = 125
MAX_WRITE_REGISTERS = 123
MAX_READ_LONGS = 62
MAX_WRITE_LONGS = 61

# Named areas and their element width in bits; None: the caller chooses
# (1, 16 or 32); "DT" is 64 bits wide when asked for 64, else 32.
AREA_WIDTHS = {"D": 16, "M": 1, "V": 16, "Z": 16, "S": 1, "C": None, "T": None, "X": 1, "Y": 1, "VR": 32,
               "VR_INT": 32, "DT": 32, "TABLE": 32, "DA": 32, "AD": 32}
READ_ONLY_AREAS = {"X", "AD"}


def _span(start: int, count: int, limit: int) -> tuple[int, int]:
    first = A.u16("address", start)
    amount = A.integer("count", count, 1, limit)
    if first + amount > 0x10000:
        raise ValueError("address + count must not pass 65536")
    return first, amount


def area_width(area: str, width_bits: Optional[int]) -> int:
    """The element width of a named area (see AREA_WIDTHS)."""
    if not isinstance(area, str):
        raise TypeError(f"area must be a str, not {type(area).__name__}")
    if area not in AREA_WIDTHS:
        raise ValueError(f"unknown area {area!r}; known: {', '.join(AREA_WIDTHS)}")
    if width_bits is not None:
        A.u8("width_bits", width_bits)
    fixed = AREA_WIDTHS[area]
    if fixed is None:
        if width_bits not in (1, 16, 32):
            raise ValueError(f"area {area} needs width_bits 1, 16 or 32")
        return width_bits
    if area == "DT" and width_bits == 64:
        return 64
    return fixed


def _pack(values: Sequence[int], width: int) -> bytes:
    if width == 1:
        data = bytearray((len(values) + 7) // 8)
        for i, v in enumerate(values):
            if v:
                data[i // 8] |= 1 << (i % 8)
        return bytes(data)
    return b"".join(v.to_bytes(width // 8, "little") for v in values)


def _unpack(data: bytes, width: int, count: int) -> List[int]:
    if width == 1:
        return [(data[i // 8] >> (i % 8)) & 1 for i in range(count)]
    size = width // 8
    return [int.from_bytes(data[i * size:(i + 1) * size], "little") for i in range(count)]


class ModbusMixin(Link):
    def read_coils(self, address: int, count: int = 1) -> List[bool]:
        """`count` coils (0x) from `address`.

            ctl.read_coils(0, 8)   # [False, True, ...]
        """
        first, amount = _span(address, count, MAX_READ_COILS)
        bits = (L.u8 * ((amount + 7) // 8))()
        self._call("TVX_Modbus_Get0x", first, amount, bits)
        return [bool((bits[i // 8] >> (i % 8)) & 1) for i in range(amount)]

    def write_coil(self, address: int, value: bool) -> None:
        """Writes one coil.

            ctl.write_coil(5, True)
        """
        bits = (L.u8 * 1)(A.flag("value", value))
        self._call("TVX_Modbus_Set0x", A.u16("address", address), 1, bits)

    def write_coils(self, address: int, values: Sequence[bool]) -> None:
        """Writes coils from `address` (at most 1968).

            ctl.write_coils(0, [True, False, True])
        """
        items = [A.flag("values", v) for v in A.sequence("values", values)]
        first, amount = _span(address, len(items), MAX_WRITE_COILS)
        data = _pack(items, 1)
        self._call("TVX_Modbus_Set0x", first, amount, (L.u8 * len(data)).from_buffer_copy(data))

    def read_holding_registers(self, address: int, count: int = 1) -> List[int]:
        """`count` holding registers (4x) from `address` (at most 125).

            ctl.read_holding_registers(0, 4)
        """
        first, amount = _span(address, count, MAX_READ_REGISTERS)
        words = (L.u16 * amount)()
        self._call("TVX_Modbus_Get4x", first, amount, words)
        return list(words)

    def write_register(self, address: int, value: int) -> None:
        """Writes one holding register (0 to 65535).

            ctl.write_register(10, 1234)
        """
        words = (L.u16 * 1)(A.u16("value", value))
        self._call("TVX_Modbus_Set4x", A.u16("address", address), 1, words)

    def write_registers(self, address: int, values: Sequence[int]) -> None:
        """Writes holding registers from `address` (at most 123).

            ctl.write_registers(10, [1, 2, 3])
        """
        items = [A.u16("values", v) for v in A.sequence("values", values)]
        first, amount = _span(address, len(items), MAX_WRITE_REGISTERS)
        self._call("TVX_Modbus_Set4x", first, amount, (L.u16 * amount)(*items))

    def read_longs(self, address: int, count: int = 1, signed: bool = False) -> List[int]:
        """32-bit values in register pairs (low word first) from `address`.

            ctl.read_longs(20, 2, signed=True)
        """
        first, amount = _span(address, count, MAX_READ_LONGS)
        values = (L.u32 * amount)()
        self._call("TVX_Modbus_GetLong", first, amount, values)
        return [ctypes.c_int32(v).value if signed else int(v) for v in values]

    def write_longs(self, address: int, values: Sequence[int]) -> None:
        """Writes 32-bit values (signed or unsigned) in register pairs.

            ctl.write_longs(20, [-1, 70000])
        """
        items = [A.integer("values", v, A.I32_MIN, A.U32_MAX) & 0xFFFFFFFF for v in A.sequence("values", values)]
        first, amount = _span(address, len(items), MAX_WRITE_LONGS)
        self._call("TVX_Modbus_SetLong", first, amount, (L.u32 * amount)(*items))

    def read_floats(self, address: int, count: int = 1) -> List[float]:
        """32-bit floats in register pairs from `address`.

            ctl.read_floats(30, 2)
        """
        first, amount = _span(address, count, MAX_READ_LONGS)
        values = (L.u32 * amount)()
        self._call("TVX_Modbus_GetIEEE", first, amount, values)
        return [struct.unpack("<f", struct.pack("<I", v))[0] for v in values]

    def write_floats(self, address: int, values: Sequence[float]) -> None:
        """Writes 32-bit floats in register pairs.

            ctl.write_floats(30, [1.5, -2.25])
        """
        items = [struct.unpack("<I", struct.pack("<f", A.f32("values", v)))[0] for v in A.sequence("values", values)]
        first, amount = _span(address, len(items), MAX_WRITE_LONGS)
        self._call("TVX_Modbus_SetIEEE", first, amount, (L.u32 * amount)(*items))

    def read_area(self, area: str, start: int, count: int, width_bits: Optional[int] = None) -> List[int]:
        """`count` elements of a named register area ("D", "M", "VR", ...;
        see AREA_WIDTHS) as unsigned ints, bits as 0 and 1.

            ctl.read_area("D", 0, 4)
            ctl.read_area("C", 0, 2, width_bits=32)
        """
        width = area_width(area, width_bits)
        amount = A.count("count", count, 0xFFFF)
        size = (width * amount + 7) // 8
        data = ctypes.create_string_buffer(size)
        self._call("TVX_RegisterRead", A.text("area", area), A.u8("width_bits", width_bits or 0),
                   A.u32("start", start), amount, data)
        return _unpack(data.raw, width, amount)

    def write_area(self, area: str, start: int, values: Sequence[int], width_bits: Optional[int] = None) -> None:
        """Writes elements of a named register area (bits as 0 and 1 or bools).

            ctl.write_area("M", 0, [1, 0, 1])
        """
        width = area_width(area, width_bits)
        if area in READ_ONLY_AREAS:
            raise ValueError(f"area {area} is read only")
        items = A.sequence("values", values)
        if width == 1:
            ints = [A.flag("values", v) for v in items]
        else:
            ints = [A.integer("values", v, -(1 << (width - 1)), (1 << width) - 1) & ((1 << width) - 1) for v in items]
        amount = A.count("len(values)", len(ints), 0xFFFF)
        data = _pack(ints, width)
        self._call("TVX_RegisterWrite", A.text("area", area), A.u8("width_bits", width_bits or 0),
                   A.u32("start", start), amount, data)

    def read_area_floats(self, area: str, start: int, count: int) -> List[float]:
        """Elements of a 32-bit float area ("VR", "TABLE") as floats.

            ctl.read_area_floats("VR", 0, 2)
        """
        if area_width(area, None) != 32:
            raise ValueError(f"area {area} does not hold 32-bit values")
        return [struct.unpack("<f", struct.pack("<I", v))[0] for v in self.read_area(area, start, count)]
