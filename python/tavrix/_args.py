"""Argument checks made before any call into the library.

ctypes converts a Python int to a C integer by dropping the high bits, so an
unchecked 2**32 + 3 reaches the controller as 3 and -1 as 4294967295. Every
public function passes its arguments through these checks first: a wrong
type raises TypeError, a value outside the C type's range raises ValueError,
and nothing is sent.
"""
from __future__ import annotations

import math
import os
from typing import Callable, Optional, Sequence, Union

PathArg = Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]
TextArg = Union[str, bytes]

U8_MAX = 0xFF
U16_MAX = 0xFFFF
U32_MAX = 0xFFFFFFFF
I32_MIN = -0x80000000
I32_MAX = 0x7FFFFFFF


def integer(name: str, value: object, low: int, high: int) -> int:
    """`value` as an int within low..high; bool is refused (it is an int to
    Python but never a number the caller meant)."""
    if isinstance(value, bool) or not isinstance(value, int):
        raise TypeError(f"{name} must be an int, not {type(value).__name__}")
    if not low <= value <= high:
        raise ValueError(f"{name} must be from {low} to {high}, not {value}")
    return value


def u8(name: str, value: object) -> int:
    return integer(name, value, 0, U8_MAX)


def u16(name: str, value: object) -> int:
    return integer(name, value, 0, U16_MAX)


def u32(name: str, value: object) -> int:
    return integer(name, value, 0, U32_MAX)


def i32(name: str, value: object) -> int:
    return integer(name, value, I32_MIN, I32_MAX)


def count(name: str, value: object, high: int = U32_MAX) -> int:
    """A size or count: 1..high."""
    return integer(name, value, 1, high)


def flag(name: str, value: object) -> int:
    """A switch as 0 or 1: a bool, or the ints 0 and 1."""
    if isinstance(value, bool):
        return int(value)
    if isinstance(value, int) and value in (0, 1):
        return value
    if isinstance(value, int):
        raise ValueError(f"{name} must be True, False, 0 or 1, not {value}")
    raise TypeError(f"{name} must be a bool, not {type(value).__name__}")


def real(name: str, value: object) -> float:
    """A finite number (int or float)."""
    if isinstance(value, bool) or not isinstance(value, (int, float)):
        raise TypeError(f"{name} must be a number, not {type(value).__name__}")
    result = float(value)
    if not math.isfinite(result):
        raise ValueError(f"{name} must be a finite number, not {value}")
    return result


def f32(name: str, value: object) -> float:
    """A finite number that a 32-bit float can hold."""
    result = real(name, value)
    if abs(result) > 3.4028234663852886e38:
        raise ValueError(f"{name} is beyond the range of a 32-bit float: {value}")
    return result


def text(name: str, value: object, max_length: Optional[int] = None) -> bytes:
    """A controller-side text (command, file or variable name) as bytes:
    str (Latin-1) or bytes, without NUL (the library would cut it there)."""
    if isinstance(value, str):
        try:
            data = value.encode("latin-1")
        except UnicodeEncodeError:
            raise ValueError(f"{name} has characters outside Latin-1: {value!r}") from None
    elif isinstance(value, (bytes, bytearray)):
        data = bytes(value)
    else:
        raise TypeError(f"{name} must be a str or bytes, not {type(value).__name__}")
    if b"\0" in data:
        raise ValueError(f"{name} must not contain a NUL character")
    if max_length is not None and len(data) > max_length:
        raise ValueError(f"{name} is longer than {max_length} characters")
    return data


def optional_text(name: str, value: object, max_length: Optional[int] = None) -> Optional[bytes]:
    return None if value is None else text(name, value, max_length)


def path(name: str, value: object) -> bytes:
    """A local file-system path as the library's bytes."""
    if not isinstance(value, (str, bytes, os.PathLike)):
        raise TypeError(f"{name} must be a path (str, bytes or os.PathLike), not {type(value).__name__}")
    data = os.fsencode(value)
    if not data or b"\0" in data:
        raise ValueError(f"{name} must be a non-empty path without NUL")
    return data


def data(name: str, value: object) -> bytes:
    """A block of bytes (bytes, bytearray, memoryview)."""
    if isinstance(value, (bytes, bytearray, memoryview)):
        result = bytes(value)
        if len(result) > U32_MAX:
            raise ValueError(f"{name} is larger than 4 GiB")
        return result
    raise TypeError(f"{name} must be bytes-like, not {type(value).__name__}")


def callback(name: str, value: object) -> Optional[Callable[..., object]]:
    """A callable or None."""
    if value is not None and not callable(value):
        raise TypeError(f"{name} must be callable or None, not {type(value).__name__}")
    return value


def sequence(name: str, value: object) -> Sequence[object]:
    """A list or tuple of values (a str is refused: it is never meant as one)."""
    if isinstance(value, (str, bytes)) or not isinstance(value, Sequence):
        raise TypeError(f"{name} must be a list or tuple, not {type(value).__name__}")
    return value


# Largest buffer a call may ask the library to fill (its size travels as a
# 32-bit value; larger data are better moved through a file).
MAX_CAPACITY = 1 << 30
