"""Projects, program archives and runs; arrays and variables; line moves;
the debugger and the locks."""
from __future__ import annotations

import contextlib
import ctypes
import os
from typing import Iterator, List, NamedTuple, Optional, Sequence, Union

from . import _args as A
from . import _library as L
from ._library import library
from ._link import Link, Progress, decode
from .errors import check

PROJECT_HEADER_BYTES = 64
PROJECT_ENTRY_BYTES = 36
PROJECT_RECORD_MAX_BYTES = PROJECT_HEADER_BYTES + PROJECT_ENTRY_BYTES * 1000
PATH_BYTES = 260
_LOCAL_NAME_BYTES = 2023
_PROGRAM_NAME_MAX = 2044
_PASSWORD_MAX = 15


class ProjectRecord(NamedTuple):
    """A project record (64-byte header, 36 bytes per file) and the
    directory of its files, as the archive builders take them. The builders
    overwrite the record's slot sizes with their estimates."""
    record: "ctypes.Array[ctypes.c_char]"
    directory: bytes

    @property
    def data(self) -> bytes:
        """The record's used bytes: the header and its entries."""
        return _record_bytes(self.record.raw)


class RecordFile(NamedTuple):
    """A file holding a binary project record (a ProjectRecord's used bytes,
    as ProjectRecord.data gives them), its members in the same directory."""
    path: A.PathArg


# A project text file (.npj), a project record, or a project record file.
Project = Union[A.PathArg, ProjectRecord, RecordFile]


class LocalVariable(NamedTuple):
    value: int
    extra: bytes
    name: str


class StringType(NamedTuple):
    """The type code and the values the controller sent with it (0 where it sent none)."""
    type: int
    second: int
    third: bytes


def project_record(npj_path: A.PathArg) -> ProjectRecord:
    """The project record of a project text file (.npj) and its directory.

        record = tavrix.project_record("demo.npj")
    """
    record = ctypes.create_string_buffer(PROJECT_RECORD_MAX_BYTES)
    directory = ctypes.create_string_buffer(PATH_BYTES)
    check(library().TVX_MakeMultiFileNpj(record, directory, A.path("npj_path", npj_path)), "TVX_MakeMultiFileNpj")
    return ProjectRecord(record, directory.value)


def one_file_project(program_path: A.PathArg) -> ProjectRecord:
    """A one-entry project record for a .bas or .plc program file.

        ctl.run_project(tavrix.one_file_project("main.bas"))
    """
    record = ctypes.create_string_buffer(PROJECT_HEADER_BYTES + PROJECT_ENTRY_BYTES)
    directory = ctypes.create_string_buffer(PATH_BYTES)
    check(library().TVX_MakeOneFileNpj(record, directory, A.path("program_path", program_path)), "TVX_MakeOneFileNpj")
    return ProjectRecord(record, directory.value)


def real_project_record(record_path: A.PathArg) -> bytes:
    """The project record of a record file (see RecordFile) with every
    entry's slot size and hash filled from the files of its directory.

        record = tavrix.real_project_record("demo.rec")
    """
    buffer = ctypes.create_string_buffer(PROJECT_RECORD_MAX_BYTES)
    check(library().TVX_MakeRealNpj(A.path("record_path", record_path), buffer, PROJECT_RECORD_MAX_BYTES),
          "TVX_MakeRealNpj")
    return _record_bytes(buffer.raw)


# Header field holding the record's entry count (16 bits).
_COUNT_OFFSET = 12


def _record_bytes(raw: bytes) -> bytes:
    """The used part of a record buffer: the header and its entries."""
    count = int.from_bytes(raw[_COUNT_OFFSET:_COUNT_OFFSET + 2], "little")
    return raw[:PROJECT_HEADER_BYTES + PROJECT_ENTRY_BYTES * min(count, 1000)]


def fill_project_record(project: ProjectRecord) -> None:
    """Fills every entry's slot size and hash of `project` from the files of
    its directory, in place.

        record = tavrix.project_record("demo.npj"); tavrix.fill_project_record(record)
    """
    if not isinstance(project, ProjectRecord):
        raise TypeError(f"project must be a ProjectRecord, not {type(project).__name__}")
    directory = project.directory
    if directory and not directory.endswith((b"/", b"\\")):
        directory += b"/"
    check(library().TVX_MakeRealNpjMem(directory, project.record), "TVX_MakeRealNpjMem")


def _password(password: Optional[str]) -> Optional[bytes]:
    return A.optional_text("password", password)


def make_nar(project: Project, archive_path: A.PathArg, password: Optional[str] = None, word: int = 0) -> None:
    """Builds a program archive file from a project: a project text file
    (.npj) and its files, a ProjectRecord or a RecordFile.

        tavrix.make_nar("demo.npj", "demo.nar")
    """
    archive = A.path("archive_path", archive_path)
    secret, value = _password(password), A.u32("word", word)
    if isinstance(project, RecordFile):
        check(library().TVX_MakeNar(A.path("project", project.path), archive, secret, value), "TVX_MakeNar")
    else:
        record = project if isinstance(project, ProjectRecord) else project_record(project)
        check(library().TVX_MakeNar2(record.record, record.directory, archive, secret, value), "TVX_MakeNar2")


def make_library(source_path: A.PathArg, library_path: A.PathArg) -> None:
    """Makes a library file (.nlb) from a .bas source or a compiled .plc program.

        tavrix.make_library("util.bas", "util.nlb")
    """
    check(library().TVX_MakeNlib(A.path("source_path", source_path), A.path("library_path", library_path)),
          "TVX_MakeNlib")


def library_type(library_path: A.PathArg) -> int:
    """2 for a BASIC library, 3 for a PLC library.

        assert tavrix.library_type("util.nlb") == 2
    """
    out = L.i32()
    check(library().TVX_GetNlibFileType(A.path("library_path", library_path), ctypes.byref(out)),
          "TVX_GetNlibFileType")
    return int(out.value)


def library_globals(library_path: A.PathArg, capacity: int = 65536) -> str:
    """The global declarations of a library file, as text.

        print(tavrix.library_globals("util.nlb"))
    """
    room = A.count("capacity", capacity, A.MAX_CAPACITY)
    text = ctypes.create_string_buffer(room)
    check(library().TVX_GetNlibGlobalDefine(A.path("library_path", library_path), text, room),
          "TVX_GetNlibGlobalDefine")
    return decode(text.value)


class ProgramsMixin(Link):
    # -------------------------------------------------------------- programs

    def _project(self, by_path: str, by_record: str, project: Project, password: Optional[str], word: int) -> None:
        secret, value = _password(password), A.u32("word", word)
        if isinstance(project, RecordFile):
            self._call(by_path, A.path("project", project.path), secret, value)
        else:
            record = project if isinstance(project, ProjectRecord) else project_record(project)
            self._call(by_record, record.record, record.directory, secret, value)

    def store_project(self, project: Project, password: Optional[str] = None, word: int = 0) -> None:
        """Builds the archive of a project (a .npj file and its files, a
        ProjectRecord or a RecordFile) and stores it on the controller as the current project.

            ctl.store_project("demo.npj")
        """
        self._project("TVX_MakeNarAndDown", "TVX_MakeNarAndDown2", project, password, word)

    def run_project(self, project: Project, password: Optional[str] = None, word: int = 0) -> None:
        """Builds the archive of a project and runs it from RAM at once.

            ctl.run_project("demo.npj")
        """
        self._project("TVX_MakeNarAndRamRun", "TVX_MakeNarAndRamRun2", project, password, word)

    def down_nar(self, archive_path: A.PathArg, name: Optional[str] = None) -> None:
        """Downloads an archive file unchanged (under `name` when given).

            ctl.down_nar("demo.nar")
        """
        self._call("TVX_DownNar", A.path("archive_path", archive_path), A.optional_text("name", name))

    def down_nar_bytes(self, archive: bytes, name: Optional[str] = None) -> None:
        """Downloads an archive held in memory unchanged (under `name` when given).

            ctl.down_nar_bytes(Path("demo.nar").read_bytes())
        """
        block = A.data("archive", archive)
        self._call("TVX_DownMemNar", block, len(block), A.optional_text("name", name))

    def run_nar(self, archive_path: A.PathArg) -> None:
        """Downloads an archive file to RAM and runs it.

            ctl.run_nar("demo.nar")
        """
        self._call("TVX_DownNarToRamAndRun", A.path("archive_path", archive_path))

    def run_nar_bytes(self, archive: bytes) -> None:
        """Downloads an archive held in memory to RAM and runs it.

            ctl.run_nar_bytes(Path("demo.nar").read_bytes())
        """
        block = A.data("archive", archive)
        self._call("TVX_DownMemNarToRamAndRun", block, len(block))

    def run(self, program: Optional[str] = None) -> None:
        """Runs the stored program `program`, or resumes when None.

            ctl.run("MAIN.BAS")
        """
        self._call("TVX_RunNarFile", A.optional_text("program", program, _PROGRAM_NAME_MAX))

    def resume(self) -> None:
        """Resumes paused programs.

            ctl.resume()
        """
        self._call("TVX_Resume")

    def pause(self) -> None:
        """Pauses every program.

            ctl.pause()
        """
        self._call("TVX_Pause")

    def stop(self) -> None:
        """Stops every program.

            ctl.stop()
        """
        self._call("TVX_Stop")

    def current_project(self, capacity: int = PROJECT_RECORD_MAX_BYTES) -> bytes:
        """The controller's current project record, as bytes.

            record = ctl.current_project()
        """
        return self._upload("TVX_UpCurNpjToMem", A.count("capacity", capacity, A.MAX_CAPACITY))

    # --------------------------------------------------- arrays and variables

    def read_array(self, name: str, start: int, count: int) -> List[float]:
        """`count` values of a controller array from index `start` (at most
        248 per call on Ethernet and PCI links, 48 on serial ones).

            ctl.read_array("VR", 0, 4)
        """
        amount = A.count("count", count, 0xFFFF)
        values = (L.f32 * amount)()
        self._call("TVX_ArrayReadf", A.text("name", name), A.u32("start", start), amount, values)
        return list(values)

    def write_array(self, name: str, start: int, values: Sequence[float]) -> None:
        """Writes values into a controller array from index `start`.

            ctl.write_array("VR", 0, [1.5, 2.5])
        """
        items = [A.f32("values", v) for v in A.sequence("values", values)]
        A.count("len(values)", len(items), 0xFFFF)
        self._call("TVX_ArrayWritef", A.text("name", name), A.u32("start", start), len(items),
                   (L.f32 * len(items))(*items))

    def variable(self, name: str) -> float:
        """A global variable's value.

            speed = ctl.variable("gSpeed")
        """
        return float(self._get("TVX_GlobalVarGet", L.f32, A.text("name", name, 62)))

    def array_element(self, name: str, index: int) -> float:
        """One element of a global array.

            ctl.array_element("TABLE", 10)
        """
        return float(self._get("TVX_GlobalArrayGet", L.f32, A.text("name", name, 62), A.i32("index", index)))

    def move_lines(self, axes: Sequence[int], points: Sequence[Sequence[float]], mode: int = 0,
                   flags: int = 0) -> int:
        """Feeds a line sequence: each point holds one value per axis of
        `axes`. Returns the controller's remaining count.

            ctl.move_lines([0, 1], [[10, 0], [10, 10]])
        """
        axis_list = [A.i32("axes", a) for a in A.sequence("axes", axes)]
        rows = A.sequence("points", points)
        if len(axis_list) > 255 or len(rows) > 255:
            raise ValueError("at most 255 axes and 255 points")
        values: List[float] = []
        for row in rows:
            row_values = A.sequence("points", row)
            if len(row_values) != len(axis_list):
                raise ValueError("every point needs one value per axis")
            values.extend(A.f32("points", v) for v in row_values)
        remaining = L.i32()
        self._call("TVX_MultiLineN", A.u8("mode", mode), A.u8("flags", flags), len(rows), len(axis_list),
                   (L.i32 * max(len(axis_list), 1))(*axis_list), (L.f32 * max(len(values), 1))(*values),
                   ctypes.byref(remaining))
        return int(remaining.value)

    # -------------------------------------------------------------- debugger

    def local_variable(self, selector: int, sub_selector: int, index: int) -> LocalVariable:
        """One local variable of a program held by the debugger.

            print(ctl.local_variable(0, 0, 0).name)
        """
        value = L.i32()
        extra = (L.u8 * 8)()
        name = ctypes.create_string_buffer(_LOCAL_NAME_BYTES)
        self._call("TVX_EnumLocal", A.i32("selector", selector), A.u32("sub_selector", sub_selector),
                   A.u32("index", index), ctypes.byref(value), extra, name)
        return LocalVariable(value.value, bytes(extra), decode(name.value))

    def add_breakpoint(self, file_name: str, line: int, option: int = 0) -> None:
        """Sets a breakpoint at a line of a program file.

            ctl.add_breakpoint("MAIN.BAS", 3)
        """
        self._call("TVX_BreakAdd", A.text("file_name", file_name), A.u32("line", line), A.u8("option", option))

    def delete_breakpoint(self, file_name: str, line: int) -> None:
        """Removes the breakpoint at a line of a program file.

            ctl.delete_breakpoint("MAIN.BAS", 3)
        """
        self._call("TVX_BreakDel", A.text("file_name", file_name), A.u32("line", line))

    def clear_breakpoints(self) -> None:
        """Removes every breakpoint.

            ctl.clear_breakpoints()
        """
        self._call("TVX_BreakClear")

    def step(self, first: int = 0, second: int = 0, third: int = 0, fourth: int = 0, fifth: int = 0) -> None:
        """Single-steps the program held by the debugger (the arguments are the controller's).

            ctl.step(0)
        """
        self._call("TVX_StepRun", A.u16("first", first), A.u8("second", second), A.u8("third", third),
                   A.u8("fourth", fourth), A.i32("fifth", fifth))

    def cancel_online(self) -> None:
        """Leaves online debugging.

            ctl.cancel_online()
        """
        self._call("TVX_CancelOnline")

    def string_type(self, name: str, selector: int = 0) -> StringType:
        """What `name` denotes on the controller: a type code and the
        values the controller sent with it.

            print(ctl.string_type("VR").type)
        """
        kind, second, third = L.u16(), L.i32(), (L.u8 * 8)()
        self._call("TVX_GetStringType", A.text("name", name, 255), A.u32("selector", selector), ctypes.byref(kind),
                   ctypes.byref(second), third)
        return StringType(kind.value, second.value, bytes(third))

    def read_messages(self, capacity: int = 65536) -> str:
        """Drains the controller's print output (what running programs PRINT).

            print(ctl.read_messages(), end="")
        """
        room = A.count("capacity", capacity, A.MAX_CAPACITY)
        buffer = ctypes.create_string_buffer(room)
        received = L.u32()
        self._call("TVX_ReadMessage", buffer, room, ctypes.byref(received))
        return decode(buffer.raw[:received.value])

    # ----------------------------------------------------------------- locks

    def lock(self, password: str) -> None:
        """Locks the controller with a password (at most 15 characters);
        while locked it refuses downloads and debugging.

            ctl.lock("secret"); ...; ctl.unlock("secret")
        """
        self._call("TVX_Lock", A.text("password", password, _PASSWORD_MAX))

    def unlock(self, password: str) -> None:
        """Unlocks the controller with the password it was locked with.

            ctl.unlock("secret")
        """
        self._call("TVX_UnLock", A.text("password", password, _PASSWORD_MAX))

    @contextlib.contextmanager
    def user_lock(self) -> Iterator[None]:
        """Holds the handle's host-side lock for the block: other threads'
        text commands on this controller wait until it ends.

            with ctl.user_lock():
                ctl.execute_no_ack("?VR(0)"); text, done = ctl.receive()
        """
        self._call("TVX_Signal_BasicP")
        try:
            yield
        finally:
            self._call("TVX_Signal_BasicV")
