"""Controller files, logs, flash tables, firmware and the three-file store."""
from __future__ import annotations

import ctypes
import os
from typing import List, Optional, Sequence

from . import _args as A
from . import _library as L
from ._link import FileEntry, Link, Progress, decode

# Names the library takes for files and the three-file store.
_NAME_MAX = 1024
_STORE_CHECK_NAME_MAX = 2040
_STORE_DELETE_NAME_MAX = 2044


class StorageMixin(Link):
    def _get_named(self, function: str, name: str, local_path: A.PathArg, progress: Optional[Progress]) -> None:
        """Runs an upload export taking (local path, name): the controller's
        file `name` into `local_path`."""
        self._transfer(function, (A.path("local_path", local_path), A.text("name", name, _NAME_MAX)),
                       A.callback("progress", progress))

    def _get_named_bytes(self, function: str, name: str, capacity: int,
                         progress: Optional[Progress] = None) -> bytes:
        """Runs an upload export taking (buffer, capacity, name, received):
        the controller's file `name` as bytes."""
        return self._upload(function, A.count("capacity", capacity, A.MAX_CAPACITY),
                            after=(A.text("name", name, _NAME_MAX),), progress=A.callback("progress", progress))

    # ----------------------------------------------------------------- files

    def put(self, local_path: A.PathArg, name: Optional[str] = None, progress: Optional[Progress] = None) -> None:
        """Downloads a local file under `name` (default: its file name);
        `progress(fraction)` is called about every 50 ms when given.

            ctl.put("main.bas", progress=print)
        """
        source = A.path("local_path", local_path)
        if name is None:
            name = os.path.basename(os.fsdecode(source))
        self._transfer("TVX_DownFile", (source, A.text("name", name, _NAME_MAX)), A.callback("progress", progress))

    def put_bytes(self, data: bytes, name: str, progress: Optional[Progress] = None) -> None:
        """Downloads `data` as controller file `name`.

            ctl.put_bytes(b"PRINT 1\\n", "SMALL.BAS")
        """
        block = A.data("data", data)
        self._transfer("TVX_DownMemFile", (block, len(block), A.text("name", name, _NAME_MAX)),
                       A.callback("progress", progress))

    def get(self, name: str, local_path: Optional[A.PathArg] = None, progress: Optional[Progress] = None) -> None:
        """Uploads a controller file into `local_path` (default: its name).

            ctl.get("MAIN.BAS", "backup/main.bas")
        """
        self._get_named("TVX_UpFile", name, name if local_path is None else local_path, progress)

    def get_bytes(self, name: str, capacity: int = 4 << 20, progress: Optional[Progress] = None) -> bytes:
        """A controller file's contents; a file over `capacity` bytes raises
        TavrixError with code ERR_BUFFER_TOO_SMALL.

            data = ctl.get_bytes("MAIN.BAS")
        """
        return self._get_named_bytes("TVX_UpFileToMem", name, capacity, progress)

    def files(self) -> List[FileEntry]:
        """The controller's files as a list of FileEntry(name, size).

            for entry in ctl.files(): print(entry.name, entry.size)
        """
        return self._listing("TVX_FindFirstFile", "TVX_FindNextFile")

    def delete(self, name: str) -> None:
        """Deletes a controller file.

            ctl.delete("OLD.BAS")
        """
        self._call("TVX_DeleteFile", A.text("name", name, _NAME_MAX))

    def file_state(self, selector: int) -> str:
        """The controller's file-state text for `selector` (its meaning is the controller's).

            print(ctl.file_state(0))
        """
        out = ctypes.create_string_buffer(27)
        self._call("TVX_GetFileState", A.u16("selector", selector), out)
        return decode(out.value)

    def log(self, capacity: int = 1 << 20) -> bytes:
        """The controller's log.

            print(ctl.log().decode("latin-1"))
        """
        return self._upload("TVX_UpLogToMem", A.count("capacity", capacity, A.MAX_CAPACITY))

    def get_log(self, local_path: A.PathArg) -> None:
        """Uploads the controller's log into a local file.

            ctl.get_log("controller.log")
        """
        self._call("TVX_UpLog", A.path("local_path", local_path))

    def flash_write(self, table: int, values: Sequence[float]) -> None:
        """Writes a flash table of floats.

            ctl.flash_write(1, [1.5, 2.5])
        """
        number = A.u16("table", table)
        items = [A.f32("values", v) for v in A.sequence("values", values)]
        A.count("len(values)", len(items), 0x3FFFFFFF)
        self._call("TVX_FlashWritef", number, len(items), (L.f32 * len(items))(*items))

    def flash_read(self, table: int, count: int) -> List[float]:
        """Reads up to `count` floats of a flash table.

            values = ctl.flash_read(1, 2)
        """
        number, amount = A.u16("table", table), A.count("count", count, 0x3FFFFFFF)
        array = (L.f32 * amount)()
        read = L.u32()
        self._call("TVX_FlashReadf", number, amount, array, ctypes.byref(read))
        return list(array[:read.value])

    # -------------------------------------------------------------- firmware

    def check_firmware(self, image_path: A.PathArg) -> None:
        """Checks a firmware image against the controller without
        downloading it; raises TavrixError naming the failed check.

            ctl.check_firmware("update.bin")
        """
        self._call("TVX_CheckFirmWare", A.path("image_path", image_path))

    def update_firmware(self, image_path: A.PathArg, progress: Optional[Progress] = None) -> None:
        """Checks, prepares and downloads a firmware image.

            ctl.update_firmware("update.bin", progress=print)
        """
        self._transfer("TVX_DownFirmWare", (A.path("image_path", image_path),), A.callback("progress", progress))

    def get_firmware_file(self, name: str, local_path: A.PathArg, progress: Optional[Progress] = None) -> None:
        """Uploads a file of the controller's firmware area into a local file.

            ctl.get_firmware_file("BOOT.BIN", "boot.bin")
        """
        self._get_named("TVX_UpFirmFile", name, local_path, progress)

    def get_firmware_bytes(self, name: str, capacity: int = 16 << 20) -> bytes:
        """A file of the controller's firmware area.

            data = ctl.get_firmware_bytes("BOOT.BIN")
        """
        return self._get_named_bytes("TVX_UpFirmToMem", name, capacity)

    def start_hardware_test(self) -> None:
        """Starts the controller's hardware test.

            ctl.start_hardware_test()
        """
        self._call("TVX_StartHardwareTest")

    def jump_app(self) -> None:
        """Starts the application firmware.

            ctl.jump_app()
        """
        self._call("TVX_JumpApp")

    def jump_boot_loader(self) -> None:
        """Enters the boot loader.

            ctl.jump_boot_loader()
        """
        self._call("TVX_JumpNbios")

    # ------------------------------------------------------ three-file store

    def store_check(self, name: str) -> Optional[int]:
        """The controller's value of a file of the three-file store, or None
        when there is no such file.

            if ctl.store_check("MAIN.BAS") is None: ...
        """
        exists, value = L.u8(), L.u32()
        self._call("TVX_Check3File", A.text("name", name, _STORE_CHECK_NAME_MAX), ctypes.byref(exists),
                   ctypes.byref(value))
        return int(value.value) if exists.value else None

    def store_files(self) -> List[FileEntry]:
        """The files of the three-file store.

            names = [e.name for e in ctl.store_files()]
        """
        return self._listing("TVX_FindFirst3File", "TVX_FindNext3File")

    def store_current(self) -> FileEntry:
        """The three-file store's current file.

            print(ctl.store_current().name)
        """
        name = ctypes.create_string_buffer(2035)
        size = L.u32()
        self._call("TVX_GetCur3File", name, ctypes.byref(size))
        return FileEntry(decode(name.value), size.value)

    def store_delete(self, name: str) -> None:
        """Deletes a file of the three-file store.

            ctl.store_delete("OLD.BAS")
        """
        self._call("TVX_Delete3File", A.text("name", name, _STORE_DELETE_NAME_MAX))

    def store_clear(self) -> None:
        """Removes every file of the three-file store.

            ctl.store_clear()
        """
        self._call("TVX_RemoveAll3Files")

    def store_put(self, local_path: A.PathArg, name: Optional[str] = None,
                  progress: Optional[Progress] = None) -> None:
        """Downloads a local file into the three-file store.

            ctl.store_put("main.bas", "MAIN.BAS")
        """
        source = A.path("local_path", local_path)
        if name is None:
            name = os.path.basename(os.fsdecode(source))
        self._transfer("TVX_Down3File", (source, A.text("name", name, _NAME_MAX)), A.callback("progress", progress))

    def store_put_bytes(self, data: bytes, name: str, progress: Optional[Progress] = None) -> None:
        """Downloads `data` into the three-file store as `name`.

            ctl.store_put_bytes(b"PRINT 1\\n", "P1.BAS")
        """
        block = A.data("data", data)
        self._transfer("TVX_DownMem3File", (block, len(block), A.text("name", name, _NAME_MAX)),
                       A.callback("progress", progress))

    def store_get(self, name: str, local_path: A.PathArg, progress: Optional[Progress] = None) -> None:
        """Uploads a file of the three-file store into a local file.

            ctl.store_get("MAIN.BAS", "main.bas")
        """
        self._get_named("TVX_Up3File", name, local_path, progress)

    def store_get_bytes(self, name: str, capacity: int = 4 << 20) -> bytes:
        """A file of the three-file store.

            data = ctl.store_get_bytes("MAIN.BAS")
        """
        return self._get_named_bytes("TVX_Up3FileToMem", name, capacity)

    def store_put_ram(self, local_path: A.PathArg, name: str, number: int) -> None:
        """Downloads a local file whole to the controller's RAM under
        `name` (cut to 127 characters) and `number`."""
        self._call("TVX_Down3FileRam", A.path("local_path", local_path), A.text("name", name),
                   A.i32("number", number))

    def store_put_ram_bytes(self, data: bytes, name: str, number: int) -> None:
        """Downloads `data` whole to the controller's RAM.

            ctl.store_put_ram_bytes(b"...", "PART", 1)
        """
        block = A.data("data", data)
        self._call("TVX_DownMem3FileRam", block, len(block), A.text("name", name), A.i32("number", number))

    def ram_space(self, value: int = 0) -> int:
        """The controller's remaining RAM space for RAM downloads.

            if ctl.ram_space() > len(data): ctl.store_put_ram_bytes(data, "PART", 1)
        """
        space = L.u32()
        self._call("TVX_3FileRamGetRemainSpace", A.u16("value", value), ctypes.byref(space))
        return int(space.value)

    def ram_download_begin(self, file_number: int, announced: int, name: Optional[str] = None) -> int:
        """Starts a RAM download in parts of `announced` bytes in all; returns
        the controller's answer value.

            ctl.ram_download_begin(1, len(data), "PART")
            ctl.ram_download_part(1, data)
            ctl.ram_download_end(1)
        """
        out = L.u32()
        self._call("TVX_3FileRamDownBegin", A.u16("file_number", file_number), A.u32("announced", announced),
                   A.optional_text("name", name, _NAME_MAX), ctypes.byref(out))
        return int(out.value)

    def ram_download_part(self, file_number: int, data: bytes) -> int:
        """Sends one part; returns the controller's value of its last acknowledged block.

            ctl.ram_download_part(1, data[:4096])
        """
        block = A.data("data", data)
        out = L.u32()
        self._call("TVX_3FileRamDownPart", A.u16("file_number", file_number), block, len(block), ctypes.byref(out))
        return int(out.value)

    def ram_download_end(self, file_number: int) -> None:
        """Ends a RAM download in parts.

            ctl.ram_download_end(1)
        """
        self._call("TVX_3FileRamDownEnd", A.u16("file_number", file_number))

    def ram_run(self, first: int, second: int) -> None:
        """Runs what was downloaded to RAM (the arguments are the controller's).

            ctl.ram_run(1, 0)
        """
        self._call("TVX_Run3FileRam", A.u16("first", first), A.u16("second", second))
