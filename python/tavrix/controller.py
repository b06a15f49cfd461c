"""Controller: one open link to a controller, closed on exit or close()."""
import array
import ctypes
import os
import threading
from collections import namedtuple

from . import _library as L
from ._library import library
from .errors import ERR_BUFFER_TOO_SMALL, TavrixError, check

LINK_SERIAL = 1
LINK_ETHERNET = 2
LINK_PCI = 4

SoftVersion = namedtuple("SoftVersion", "version text date")
TaskState = namedtuple("TaskState", "state second word value text")
ChildCard = namedtuple("ChildCard", "id kind bytes")
FileEntry = namedtuple("FileEntry", "name size")
# 16-bit pixels, row by row (width per row), in the controller's encoding.
Image = namedtuple("Image", "width height pixels")

PROJECT_RECORD_MAX_BYTES = 64 + 36 * 1000
PATH_BYTES = 260
# Room for the longest directory-entry name a reply can carry.
_NAME_BYTES = 2035
# A listing longer than this is cut off: a controller that never ends its
# listing cannot keep the caller looping.
_MAX_LISTING = 100000


def _text(raw):
    return raw.decode("latin-1")


def _bytes(text):
    """A controller-side text (command, file name) as the library's bytes."""
    if text is None or isinstance(text, bytes):
        return text
    return str(text).encode("latin-1")


def _path(path):
    """A local file-system path as the library's bytes."""
    return None if path is None else os.fsencode(path)


def project_record(npj_path):
    """The project record of a project text file (.npj) and the directory
    of its files, as the archive builders take them."""
    record = ctypes.create_string_buffer(PROJECT_RECORD_MAX_BYTES)
    directory = ctypes.create_string_buffer(PATH_BYTES)
    check(library().TVX_MakeMultiFileNpj(record, directory, _path(npj_path)), "TVX_MakeMultiFileNpj")
    return record, directory.value


class Controller:
    """An open controller link.

        with Controller.open("127.0.0.21") as ctl:
            print(ctl.state, ctl.execute("?VR(10)"))

    Methods raise TavrixError when the library reports a failure. One
    Controller may be used from several threads: the library serialises
    their requests.
    """

    def __init__(self, raw_handle):
        self._handle = raw_handle
        self._lib = library()

    # ------------------------------------------------------------------ open

    @classmethod
    def open(cls, address, kind=LINK_ETHERNET, timeout_ms=None, fast=False):
        """Opens `address` ("a.b.c.d[:port]", "COM<n>", "PCI<n>").
        `timeout_ms` (default 5000) bounds the whole open and is the budget
        of every request afterwards. With `fast`, skips the transfer probe."""
        lib = library()
        out = L.handle()
        if fast:
            check(lib.TVX_FastOpen(kind, _bytes(address), timeout_ms or 5000, ctypes.byref(out)), "TVX_FastOpen")
        elif timeout_ms is not None:
            check(lib.TVX_OpenWithTimeOut(kind, _bytes(address), timeout_ms, ctypes.byref(out)), "TVX_OpenWithTimeOut")
        else:
            check(lib.TVX_Open(kind, _bytes(address), ctypes.byref(out)), "TVX_Open")
        return cls(out.value)

    def close(self):
        """Closes the link; closing again does nothing."""
        h, self._handle = self._handle, None
        if h is not None:
            check(self._lib.TVX_Close(h), "TVX_Close")

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def __del__(self):
        try:
            self.close()
        except Exception:
            pass

    def __repr__(self):
        state = self.address if self._handle is not None else "closed"
        return f"<tavrix.Controller {state}>"

    @property
    def handle(self):
        """The raw TVX_HANDLE value (None once closed), for calling exports directly."""
        return self._handle

    def _call(self, name, *args):
        check(getattr(self._lib, name)(self._handle, *args), name)

    def _get(self, name, ctype, *args):
        out = ctype()
        self._call(name, *args, ctypes.byref(out))
        return out.value

    # ------------------------------------------------------ handle settings

    @property
    def timeout_ms(self):
        """Budget of each request in milliseconds."""
        return self._get("TVX_GetTimeOut", L.u32)

    @timeout_ms.setter
    def timeout_ms(self, ms):
        self._call("TVX_SetTimeOut", ms)

    @property
    def progress(self):
        """Progress of the file transfer in flight, 0.0 to 1.0."""
        return self._lib.TVX_GetProgress(self._handle)

    @property
    def link_kind(self):
        return self._lib.TVX_GetConnectType(self._handle)

    @property
    def address(self):
        text = self._lib.TVX_GetConnectString(self._handle)
        if text is None:
            raise TavrixError(20009, function="TVX_GetConnectString")
        return _text(text)

    @property
    def axes(self):
        """Axis count reported at open."""
        return self._lib.TVX_GetAxises(self._handle)

    # --------------------------------------------------------------- queries

    state = property(lambda self: self._get("TVX_GetState", L.u8), doc="Controller state byte.")
    stop_pause_task = property(lambda self: self._get("TVX_GetStopPauseTaskid", L.u8))
    client_id = property(lambda self: self._get("TVX_GetClientId", L.i32))
    soft_id = property(lambda self: self._get("TVX_GetSoftId", L.i32))
    hard_id = property(lambda self: self._get("TVX_GetHardId", L.i32))
    error = property(lambda self: self._get("TVX_GetError", L.i32), doc="Controller's error code.")
    chip_id = property(lambda self: self._get("TVX_GetChipId", L.i32))

    @property
    def ip_address(self):
        text = ctypes.create_string_buffer(21)
        self._call("TVX_GetCurIpAddr", text)
        return _text(text.value)

    @property
    def soft_version(self):
        version, date = L.u32(), L.u32()
        text = ctypes.create_string_buffer(17)
        self._call("TVX_GetSoftVersion", ctypes.byref(version), text, ctypes.byref(date))
        return SoftVersion(version.value, _text(text.value), date.value)

    @property
    def mac(self):
        text = ctypes.create_string_buffer(15)
        self._call("TVX_GetMac", text)
        return _text(text.value)

    @property
    def sys_specification(self):
        """The system record (TVX_SysSpecification); axisCount is its one named field."""
        record = L.SysSpecification()
        self._call("TVX_GetSysSpecification", ctypes.byref(record))
        return record

    def task_state(self, task):
        state, second, word, value = L.u8(), L.u8(), L.u16(), L.i32()
        text = ctypes.create_string_buffer(27)
        self._call("TVX_GetTaskState", task, ctypes.byref(state), ctypes.byref(second), ctypes.byref(word),
                   ctypes.byref(value), text)
        return TaskState(state.value, second.value, word.value, value.value, _text(text.value))

    def child_card(self, index):
        record = L.ChildCard()
        self._call("TVX_EnumChildCard", index, ctypes.byref(record))
        return ChildCard(record.id, record.kind, bytes(record.bytes))

    def axis_states(self, axis):
        """The 17 state bytes of an axis."""
        states = (L.u8 * 17)()
        self._call("TVX_GetAxisStates", axis, states)
        return bytes(states)

    def axis_features(self, axis):
        return self._get("TVX_GetAxisFeatures", L.i32, axis)

    def set_axis_enable(self, axis, enable=True):
        self._call("TVX_SetAxisEnable", axis, 1 if enable else 0)

    # ------------------------------------------------------------------- I/O

    def input(self, number):
        """One digital input, as a bool."""
        return bool(self._get("TVX_GetIn", L.u8, number))

    def output(self, number):
        return bool(self._get("TVX_GetOutput", L.u8, number))

    def set_output(self, number, on):
        self._call("TVX_SetOutput", number, 1 if on else 0)

    def inputs(self, first, last):
        """Inputs first..last as an int, bit 0 = input `first`."""
        return self._get("TVX_GetInAll", L.i32, first, last) & 0xFFFFFFFF

    def outputs(self, first, last):
        return self._get("TVX_GetOutAll", L.i32, first, last) & 0xFFFFFFFF

    def set_outputs(self, first, last, bits):
        self._call("TVX_SetOutAll", first, last, ctypes.c_int32(bits & 0xFFFFFFFF).value)

    def analog_in(self, channel):
        return self._get("TVX_GetAIn", L.f32, channel)

    def analog_out(self, channel):
        return self._get("TVX_GetDaOut", L.f32, channel)

    def set_analog_out(self, channel, value):
        self._call("TVX_SetDaOut", channel, int(value))

    # --------------------------------------------------------- text commands

    def execute(self, command, timeout_ms=5000, capacity=65536):
        """Runs a command on the interpreter and returns its whole answer."""
        answer = ctypes.create_string_buffer(capacity + 1)
        self._call("TVX_Execute", _bytes(command), timeout_ms, answer, capacity)
        return _text(answer.value)

    def execute_no_ack(self, command, timeout_ms=5000):
        """Sends a command without collecting its answer (see receive())."""
        self._call("TVX_ExecuteNoAck", _bytes(command), timeout_ms)

    def wait_done(self, timeout_ms=5000):
        """Discards answer text until the current command has finished."""
        self._call("TVX_ExecuteWaitDown", timeout_ms)

    def receive(self, capacity=4096):
        """The answer text waiting now and whether the command has finished."""
        answer = ctypes.create_string_buffer(capacity)
        length, done = L.u32(), L.u8()
        self._call("TVX_ExecuteGetReceive", answer, capacity, ctypes.byref(length), ctypes.byref(done))
        return _text(answer.raw[:length.value]), bool(done.value)

    @property
    def command_buffer_space(self):
        return self._lib.TVX_ExecuteGetRemainBuffSpace(self._handle)

    def direct_command(self, command, capacity=2048):
        """Runs a short command in one exchange."""
        answer = ctypes.create_string_buffer(capacity + 1)
        self._call("TVX_DirectCommand", _bytes(command), answer, capacity)
        return _text(answer.value)

    # ----------------------------------------------------------------- files

    def _transfer(self, name, args, progress):
        """Runs a transfer export; with `progress`, on a worker thread while
        this thread reports progress (0.0 to 1.0) every `interval` seconds."""
        function = getattr(self._lib, name)
        if progress is None:
            check(function(self._handle, *args), name)
            return
        result = []

        def transfer():
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

    def put(self, local_path, name=None, progress=None):
        """Downloads a local file under `name` (default: its file name)."""
        if name is None:
            name = os.path.basename(os.fspath(local_path))
        self._transfer("TVX_DownFile", (_path(local_path), _bytes(name)), progress)

    def put_bytes(self, data, name, progress=None):
        data = bytes(data)
        self._transfer("TVX_DownMemFile", (data, len(data), _bytes(name)), progress)

    def get(self, name, local_path=None, progress=None):
        """Uploads a controller file into `local_path` (default: its name)."""
        if local_path is None:
            local_path = name
        self._transfer("TVX_UpFile", (_path(local_path), _bytes(name)), progress)

    def get_bytes(self, name, capacity=4 << 20, progress=None):
        """A controller file's contents; a file over `capacity` bytes raises
        TavrixError with code ERR_BUFFER_TOO_SMALL."""
        buffer = ctypes.create_string_buffer(capacity)
        received = L.u32()
        self._transfer("TVX_UpFileToMem", (buffer, capacity, _bytes(name), ctypes.byref(received)), progress)
        return buffer.raw[:received.value]

    def files(self):
        """The controller's files as a list of FileEntry(name, size)."""
        name = ctypes.create_string_buffer(_NAME_BYTES)
        size = L.u32()
        entries = []
        self._call("TVX_FindFirstFile", name, ctypes.byref(size))
        while name.value and len(entries) < _MAX_LISTING:
            entries.append(FileEntry(_text(name.value), size.value))
            name[0] = b"\0"
            self._call("TVX_FindNextFile", name, ctypes.byref(size))
        return entries

    def delete(self, name):
        self._call("TVX_DeleteFile", _bytes(name))

    def log(self, capacity=1 << 20):
        buffer = ctypes.create_string_buffer(capacity)
        received = L.u32()
        self._call("TVX_UpLogToMem", buffer, capacity, ctypes.byref(received))
        return buffer.raw[:received.value]

    def flash_write(self, table, values):
        values = list(values)
        array = (L.f32 * len(values))(*values)
        self._call("TVX_FlashWritef", table, len(values), array)

    def flash_read(self, table, count):
        array = (L.f32 * count)()
        read = L.u32()
        self._call("TVX_FlashReadf", table, count, array, ctypes.byref(read))
        return list(array[:read.value])

    # -------------------------------------------------------------- programs

    def store_project(self, npj_path, password=None, word=0):
        """Builds the archive of a project text file (.npj) and its files and
        stores it on the controller as the current project."""
        record, directory = project_record(npj_path)
        self._call("TVX_MakeNarAndDown2", record, directory, _bytes(password), word)

    def run_project(self, npj_path, password=None, word=0):
        """Builds the archive of a project text file (.npj) and runs it from
        RAM at once."""
        record, directory = project_record(npj_path)
        self._call("TVX_MakeNarAndRamRun2", record, directory, _bytes(password), word)

    def down_nar(self, archive_path, name=None):
        self._call("TVX_DownNar", _path(archive_path), _bytes(name))

    def down_nar_bytes(self, archive, name=None):
        archive = bytes(archive)
        self._call("TVX_DownMemNar", archive, len(archive), _bytes(name))

    def run_nar(self, archive_path):
        """Downloads an archive file to RAM and runs it."""
        self._call("TVX_DownNarToRamAndRun", _path(archive_path))

    def run(self, program=None):
        """Runs the stored program `program`, or resumes when None."""
        self._call("TVX_RunNarFile", _bytes(program))

    def resume(self):
        self._call("TVX_Resume")

    def pause(self):
        self._call("TVX_Pause")

    def stop(self):
        self._call("TVX_Stop")

    # ------------------------------------------------------ LCD and camera

    def lcd_screen(self, lcd=0, rgb565=False):
        """The whole remote LCD screen `lcd` as an Image (a session is
        opened and closed around the fetch). With `rgb565`, colours are
        converted from 5-5-5 to 5-6-5."""
        info = L.LcdScreenInfo()
        self._call("TVX_ELcdOpen", lcd, ctypes.byref(info))
        try:
            screen = L.LcdScreen(info=info)
            screen.regions.count = 1
            screen.regions.regions[0] = L.LcdRegion(0, 0, info.width, info.height)
            pixels = (L.u16 * (max(info.width, 0) * max(info.height, 0)))()
            self._call("TVX_ELcdDataGetAll2" if rgb565 else "TVX_ELcdDataGetAll", lcd, ctypes.byref(screen), pixels)
        finally:
            self._lib.TVX_ELcdClose(self._handle, lcd)
        return Image(info.width, info.height, array.array("H", pixels))

    def camera_image(self, number=0, rgb565=False):
        """Camera image `number` of the vision module as an Image."""
        width, height = L.i32(), L.i32()
        self._call("TVX_NVLatinImgGetInfo", number, ctypes.byref(width), ctypes.byref(height), None, None)
        pixels = (L.u16 * (max(width.value, 0) * max(height.value, 0)))()
        self._call("TVX_NVLatinImgGet2" if rgb565 else "TVX_NVLatinImgGet", number, ctypes.byref(width),
                   ctypes.byref(height), None, pixels, ctypes.sizeof(pixels))
        return Image(width.value, height.value, array.array("H", pixels[:width.value * height.value]))

    def current_project(self, capacity=PROJECT_RECORD_MAX_BYTES):
        """The controller's current project record, as bytes."""
        buffer = ctypes.create_string_buffer(capacity)
        received = L.u32()
        self._call("TVX_UpCurNpjToMem", buffer, capacity, ctypes.byref(received))
        return buffer.raw[:received.value]


__all__ = ["Controller", "LINK_SERIAL", "LINK_ETHERNET", "LINK_PCI", "SoftVersion", "TaskState", "ChildCard",
           "FileEntry", "ERR_BUFFER_TOO_SMALL"]
