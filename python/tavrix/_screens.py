"""The remote LCD (a mirrored screen with touch, key and encoder input) and
the vision module's camera images."""
from __future__ import annotations

import array
import ctypes
from typing import Callable, List, NamedTuple, Optional, Tuple

from . import _args as A
from . import _library as L
from ._link import Link
from .errors import ERR_BAD_ARGUMENT, TavrixError


class Image(NamedTuple):
    """16-bit pixels, row by row (`width` per row), in the controller's encoding."""
    width: int
    height: int
    pixels: "array.array[int]"


class Region(NamedTuple):
    x: int
    y: int
    width: int
    height: int


class CameraInfo(NamedTuple):
    width: int
    height: int
    bits: int
    extra: int


class RawChunk(NamedTuple):
    """One chunk of a region as it came: its kind (1 = encoded pixels) and bytes."""
    next_position: int
    kind: int
    data: bytes


class LcdSession:
    """A session on one of the controller's screens: a pixel buffer the
    fetches paint into, and the screen's input. Made by Controller.lcd().

        with ctl.lcd(0) as lcd:
            lcd.fetch_all()
            lcd.touch(1, 10, 20)
            picture = lcd.image()
    """

    def __init__(self, ctl: Link, number: int, rgb565: bool) -> None:
        self._ctl = ctl
        self.number = A.u32("number", number)
        self.rgb565 = bool(A.flag("rgb565", rgb565))
        self.info = L.LcdScreenInfo()
        ctl._call("TVX_ELcdOpen", self.number, ctypes.byref(self.info))
        self._open = True
        if self.info.width <= 0 or self.info.height <= 0:
            self.close()
            raise TavrixError(ERR_BAD_ARGUMENT, "The controller reported an empty screen.", "TVX_ELcdOpen")
        self.screen = L.LcdScreen(info=self.info)
        self.pixels = (L.u16 * (self.info.width * self.info.height))()

    @property
    def width(self) -> int:
        """The screen's width in pixels (also the row length of the pixels).

            pixel = lcd.image().pixels[y * lcd.width + x]
        """
        return int(self.info.width)

    @property
    def height(self) -> int:
        """The screen's height in pixels.

            rows = lcd.height
        """
        return int(self.info.height)

    def _whole_screen(self) -> None:
        self.screen.regions.count = 1
        self.screen.regions.regions[0] = L.LcdRegion(0, 0, self.info.width, self.info.height)

    def image(self) -> Image:
        """A copy of the pixel buffer.

            picture = lcd.image()
        """
        return Image(self.width, self.height, array.array("H", self.pixels))

    def fetch_all(self, every: int = 0, on_progress: Optional[Callable[[], object]] = None) -> Image:
        """Fetches the whole screen into the pixel buffer; with `on_progress`,
        calls it before every `every`-th continuation fetch.

            picture = lcd.fetch_all()
        """
        self._whole_screen()
        A.callback("on_progress", on_progress)
        if on_progress is None:
            name = "TVX_ELcdDataGetAll2" if self.rgb565 else "TVX_ELcdDataGetAll"
            self._ctl._call(name, self.number, ctypes.byref(self.screen), self.pixels)
            return self.image()
        period = A.count("every", every, A.I32_MAX)
        failures: List[BaseException] = []
        report: Callable[[], object] = on_progress

        def relay(_handle: object) -> None:
            try:
                report()
            except BaseException as e:  # handed back once the fetch returns
                failures.append(e)

        callback = L.LcdProgressCallback(relay)
        name = "TVX_ELcdDataGetAll2WithEvents" if self.rgb565 else "TVX_ELcdDataGetAllWithEvents"
        self._ctl._call(name, self.number, ctypes.byref(self.screen), self.pixels, period, callback)
        if failures:
            raise failures[0]
        return self.image()

    def refresh(self) -> List[Region]:
        """Asks which regions changed and fetches them; returns them.

            changed = lcd.refresh()
        """
        name = "TVX_ELcdDataCheckAndGetAll2" if self.rgb565 else "TVX_ELcdDataCheckAndGetAll"
        self._ctl._call(name, self.number, ctypes.byref(self.screen), self.pixels)
        return self._regions()

    def _regions(self) -> List[Region]:
        count = max(0, min(self.screen.regions.count, len(self.screen.regions.regions)))
        return [Region(r.x, r.y, r.width, r.height) for r in self.screen.regions.regions[:count]]

    def check(self) -> Tuple[List[Region], List[int]]:
        """Asks which regions changed without fetching them; returns them and
        the controller's nine check values. Fetch them with fetch_chunk()."""
        info = L.LcdCheckInfo()
        self._ctl._call("TVX_ELcdDataCheck", self.number, ctypes.byref(self.screen.regions), ctypes.byref(info))
        return self._regions(), list(info.entries)

    def fetch_chunk(self, region: int, position: int = 0) -> int:
        """Fetches one chunk of changed region `region` (from check()) into
        the pixel buffer; returns the position to ask next (the region is
        complete when it is not greater than `position`)."""
        next_position = L.u32()
        name = "TVX_ELcdDataGet2" if self.rgb565 else "TVX_ELcdDataGet"
        self._ctl._call(name, self.number, A.integer("region", region, 0, 4), A.u32("position", position),
                        ctypes.byref(next_position), None, ctypes.byref(self.screen), self.pixels)
        return int(next_position.value)

    def fetch_raw_chunk(self, region: int, position: int = 0) -> RawChunk:
        """One chunk of a region as it came, without painting it.

            chunk = lcd.fetch_raw_chunk(0); print(chunk.kind, len(chunk.data))
        """
        next_position, raw = L.u32(), L.LcdRawChunk()
        self._ctl._call("TVX_ELcdDataGet", self.number, A.integer("region", region, 0, 4), A.u32("position", position),
                        ctypes.byref(next_position), ctypes.byref(raw), None, None)
        return RawChunk(next_position.value, raw.kind, bytes(raw.data[:max(0, min(raw.length, L.LCD_RAW_BYTES))]))

    def end(self) -> None:
        """Ends a refresh pass made of check() and fetch_chunk().

            regions, _ = lcd.check(); ...; lcd.end()
        """
        self._ctl._call("TVX_ELcdDataGetEnd", self.number)

    def touch(self, action: int, x: int, y: int, extra: Optional[int] = None) -> None:
        """Touch input at (x, y).

            lcd.touch(1, 100, 50)
        """
        args = (self.number, A.u8("action", action), A.u16("x", x), A.u16("y", y))
        if extra is None:
            self._ctl._call("TVX_ELcdMouseSet", *args)
        else:
            self._ctl._call("TVX_ELcdMouseSet2", *args, A.u16("extra", extra))

    def key(self, key: int, state: int, virtual: bool = False) -> None:
        """Key input (a virtual key with `virtual`).

            lcd.key(13, 1); lcd.key(13, 0)
        """
        name = "TVX_ELcdVKeySet" if A.flag("virtual", virtual) else "TVX_ELcdKeySet"
        self._ctl._call(name, self.number, A.u16("key", key), A.u8("state", state))

    def close(self) -> None:
        """Ends the session; closing again does nothing.

            lcd.close()
        """
        if self._open:
            self._open = False
            self._ctl._call("TVX_ELcdClose", self.number)

    def __enter__(self) -> LcdSession:
        return self

    def __exit__(self, *exc: object) -> None:
        try:
            self.close()
        except TavrixError:
            if exc[0] is None:
                raise


class ScreensMixin(Link):
    def lcd(self, number: int = 0, rgb565: bool = False) -> LcdSession:
        """Opens a session on remote screen `number`. With `rgb565`, colours
        are converted from 5-5-5 to 5-6-5.

            with ctl.lcd() as lcd: picture = lcd.fetch_all()
        """
        return LcdSession(self, number, rgb565)

    def lcd_screen(self, lcd: int = 0, rgb565: bool = False) -> Image:
        """The whole remote screen `lcd` as an Image (a session is opened and
        closed around the fetch).

            picture = ctl.lcd_screen()
        """
        with self.lcd(lcd, rgb565) as session:
            return session.fetch_all()

    def set_lcd_features(self, feature_a: int, feature_b: int, feature_c: int) -> None:
        """The three feature values sent with every later screen session.

            ctl.set_lcd_features(1, 0, 0)
        """
        self._call("TVX_ELcdSetFeature", A.u16("feature_a", feature_a), A.u16("feature_b", feature_b),
                   A.u16("feature_c", feature_c))

    def lcd_encoder(self, coder_a: int, coder_b: int, coder_c: int, coder_d: int) -> None:
        """Encoder input for the remote screens.

            ctl.lcd_encoder(1, 0, 5, 0)
        """
        self._call("TVX_ELcdCoderSet", A.u16("coder_a", coder_a), A.u16("coder_b", coder_b),
                   A.i32("coder_c", coder_c), A.i32("coder_d", coder_d))

    def camera_info(self, number: int = 0) -> CameraInfo:
        """Width, height, bits per pixel and the further value of camera image `number`.

            info = ctl.camera_info(0); print(info.width, info.height)
        """
        width, height, bits, extra = L.i32(), L.i32(), L.i32(), L.i32()
        self._call("TVX_NVLatinImgGetInfo", A.u16("number", number), ctypes.byref(width), ctypes.byref(height),
                   ctypes.byref(bits), ctypes.byref(extra))
        return CameraInfo(width.value, height.value, bits.value, extra.value)

    def camera_image(self, number: int = 0, rgb565: bool = False) -> Image:
        """Camera image `number` of the vision module.

            picture = ctl.camera_image(0)
        """
        image = A.u16("number", number)
        name = "TVX_NVLatinImgGet2" if A.flag("rgb565", rgb565) else "TVX_NVLatinImgGet"
        width, height = L.i32(), L.i32()
        self._call("TVX_NVLatinImgGetInfo", image, ctypes.byref(width), ctypes.byref(height), None, None)
        pixels = (L.u16 * (max(width.value, 0) * max(height.value, 0)))()
        self._call(name, image, ctypes.byref(width), ctypes.byref(height), None, pixels, ctypes.sizeof(pixels))
        return Image(width.value, height.value, array.array("H", pixels[:width.value * height.value]))
