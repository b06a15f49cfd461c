"""Finding and loading the tavrix shared library, and the C prototypes.

Every export the package uses is declared once in PROTOTYPES; a new export of
the library needs one line there and a method that calls it. Exports missing
from an older library only fail when they are called.
"""
from __future__ import annotations

import ctypes
import ctypes.util
import os
import threading
from pathlib import Path
from typing import Any, Dict, List, Optional, Tuple

i32 = ctypes.c_int32
u32 = ctypes.c_uint32
u16 = ctypes.c_uint16
u8 = ctypes.c_uint8
f32 = ctypes.c_float
str_ = ctypes.c_char_p
ptr = ctypes.POINTER
void_p = ctypes.c_void_p
handle = ctypes.c_void_p  # TVX_HANDLE, opaque


class SysSpecification(ctypes.Structure):
    _fields_ = [("b0", u8), ("b1", u8), ("b2", u8), ("b3", u8), ("axisCount", u16), ("b6", u8 * 6),
                ("u12", u32), ("u16", u32), ("u20", u32), ("w24", u16), ("w26", u16), ("w28", u16),
                ("b30", u8), ("b31", u8), ("u32", u32), ("u36", u32), ("w40", u16 * 4), ("u48", u32),
                ("w52", u16), ("b54", u8 * 6)]


class ChildCard(ctypes.Structure):
    _fields_ = [("id", u32), ("kind", u16), ("bytes", u8 * 5)]


class TraceEvent(ctypes.Structure):
    _fields_ = [("kind", u32), ("linkKind", u32), ("handle", handle), ("timestampNs", ctypes.c_uint64),
                ("bytes", ptr(u8)), ("length", u32), ("level", u32), ("localIp", u32), ("remoteIp", u32),
                ("localPort", u16), ("remotePort", u16), ("port", str_)]


class LcdScreenInfo(ctypes.Structure):
    _fields_ = [("screenKind", i32), ("bitsPerPixel", i32), ("width", i32), ("height", i32)]


class LcdRegion(ctypes.Structure):
    _fields_ = [("x", u16), ("y", u16), ("width", u16), ("height", u16)]


class LcdRegionList(ctypes.Structure):
    _fields_ = [("count", i32), ("regions", LcdRegion * 5)]


class LcdScreen(ctypes.Structure):
    _fields_ = [("info", LcdScreenInfo), ("regions", LcdRegionList)]


class LcdCheckInfo(ctypes.Structure):
    _fields_ = [("entries", i32 * 9)]


LCD_RAW_BYTES = 2048


class LcdRawChunk(ctypes.Structure):
    _fields_ = [("kind", i32), ("length", i32), ("data", u8 * LCD_RAW_BYTES)]


# Callbacks use the C convention on every platform.
TraceCallback = ctypes.CFUNCTYPE(None, ptr(TraceEvent), void_p)
AutoUpCallback = ctypes.CFUNCTYPE(None, handle, i32, i32, ctypes.c_char_p)
LcdProgressCallback = ctypes.CFUNCTYPE(None, handle)

buf = ctypes.c_char_p  # a caller's byte buffer (in or out)
data_p = ctypes.c_void_p  # untyped data (const void* / void*)

# name: (result type, argument types)
PROTOTYPES: Dict[str, Tuple[Any, List[Any]]] = {
    # Open, close and handle settings
    "TVX_Open": (i32, [i32, str_, ptr(handle)]),
    "TVX_FastOpen": (i32, [i32, str_, u32, ptr(handle)]),
    "TVX_OpenWithTimeOut": (i32, [i32, str_, u32, ptr(handle)]),
    "TVX_Close": (i32, [handle]),
    "TVX_SetTimeOut": (i32, [handle, u32]),
    "TVX_GetTimeOut": (i32, [handle, ptr(u32)]),
    "TVX_GetProgress": (f32, [handle]),
    "TVX_GetConnectType": (u8, [handle]),
    "TVX_GetConnectString": (str_, [handle]),
    "TVX_GetAxises": (u8, [handle]),
    "TVX_SetConnectSecureID": (i32, [u32]),
    "TVX_SetResendPolicy": (i32, [handle, i32, u32, u32]),
    "TVX_GetResendEstimate": (i32, [handle, ptr(u32), ptr(u32), ptr(u32)]),
    # Ethernet, serial and PCI opens
    "TVX_OpenEth": (i32, [str_, ptr(handle)]),
    "TVX_OpenEth2": (i32, [u32, ptr(handle)]),
    "TVX_SearchAndOpenEth": (i32, [str_, u32, ptr(handle)]),
    "TVX_OpenCom": (i32, [u32, ptr(handle)]),
    "TVX_PeakCom": (i32, [u32, u32, ptr(handle)]),
    "TVX_SearchAndOpenCom": (i32, [u32, u32, ptr(u32), u32, ptr(handle)]),
    "TVX_SetComDefaultBaud": (i32, [u32, u32, u32, u32]),
    "TVX_SetComDefaultID": (i32, [u8]),
    "TVX_SetComCurID": (i32, [handle, u8]),
    "TVX_TempModBaud": (i32, [handle, u32]),
    "TVX_OpenPci": (i32, [u32, ptr(handle)]),
    "TVX_GetMaxPciCards": (i32, []),
    # Queries, I/O and axes
    "TVX_GetState": (i32, [handle, ptr(u8)]),
    "TVX_GetStopPauseTaskid": (i32, [handle, ptr(u8)]),
    "TVX_GetCurIpAddr": (i32, [handle, buf]),
    "TVX_GetClientId": (i32, [handle, ptr(i32)]),
    "TVX_GetSoftId": (i32, [handle, ptr(i32)]),
    "TVX_GetHardId": (i32, [handle, ptr(i32)]),
    "TVX_GetError": (i32, [handle, ptr(i32)]),
    "TVX_GetChipId": (i32, [handle, ptr(i32)]),
    "TVX_GetSoftVersion": (i32, [handle, ptr(u32), buf, ptr(u32)]),
    "TVX_SetAxisEnable": (i32, [handle, u32, u8]),
    "TVX_SetOutput": (i32, [handle, u32, u8]),
    "TVX_GetIn": (i32, [handle, u32, ptr(u8)]),
    "TVX_GetOutput": (i32, [handle, u32, ptr(u8)]),
    "TVX_SetOutAll": (i32, [handle, u32, u32, i32]),
    "TVX_GetInAll": (i32, [handle, u32, u32, ptr(i32)]),
    "TVX_GetOutAll": (i32, [handle, u32, u32, ptr(i32)]),
    "TVX_SetDaOut": (i32, [handle, u32, i32]),
    "TVX_GetDaOut": (i32, [handle, u32, ptr(f32)]),
    "TVX_GetAIn": (i32, [handle, u32, ptr(f32)]),
    "TVX_GetAxisStates": (i32, [handle, u32, ptr(u8)]),
    "TVX_GetAxisFeatures": (i32, [handle, u32, ptr(i32)]),
    "TVX_GetSysSpecification": (i32, [handle, ptr(SysSpecification)]),
    "TVX_GetTaskState": (i32, [handle, u32, ptr(u8), ptr(u8), ptr(u16), ptr(i32), buf]),
    "TVX_GetTaskStackState": (i32, [handle, u32, u32, ptr(u8), ptr(i32), buf]),
    "TVX_EnumChildCard": (i32, [handle, u32, ptr(ChildCard)]),
    "TVX_LowFormatNand": (i32, [handle, i32]),
    "TVX_ReturnDefault": (i32, [handle, i32]),
    "TVX_ResetController": (i32, [handle]),
    "TVX_ClearLog": (i32, [handle]),
    "TVX_SetMac": (i32, [handle, str_]),
    "TVX_GetMac": (i32, [handle, buf]),
    # Discovery
    "TVX_SearchEth": (i32, [buf, u32, u32]),
    # Library
    "TVX_GetDllVersion": (i32, [buf]),
    "TVX_DescribeResult": (str_, [i32]),
    "TVX_CalStringHash": (i32, [buf, u32, ptr(i32)]),
    "TVX_HmiFileEncode": (i32, [buf, u32]),
    "TVX_HmiFileDecode": (i32, [buf, u32]),
    "TVX_SetTraceCallback": (i32, [TraceCallback, void_p, u32]),
    # Text commands
    "TVX_Execute": (i32, [handle, str_, u32, buf, u32]),
    "TVX_ExecuteNoAck": (i32, [handle, str_, u32]),
    "TVX_ExecuteWaitDown": (i32, [handle, u32]),
    "TVX_ExecuteGetReceive": (i32, [handle, buf, u32, ptr(u32), ptr(u8)]),
    "TVX_ExecuteGetRemainBuffSpace": (u32, [handle]),
    "TVX_DirectCommand": (i32, [handle, str_, buf, u32]),
    # Modbus coils and registers, named register areas
    "TVX_Modbus_Set0x": (i32, [handle, u16, u16, ptr(u8)]),
    "TVX_Modbus_Get0x": (i32, [handle, u16, u16, ptr(u8)]),
    "TVX_Modbus_Set4x": (i32, [handle, u16, u16, ptr(u16)]),
    "TVX_Modbus_Get4x": (i32, [handle, u16, u16, ptr(u16)]),
    "TVX_Modbus_SetLong": (i32, [handle, u16, u16, ptr(u32)]),
    "TVX_Modbus_GetLong": (i32, [handle, u16, u16, ptr(u32)]),
    "TVX_Modbus_SetIEEE": (i32, [handle, u16, u16, ptr(u32)]),
    "TVX_Modbus_GetIEEE": (i32, [handle, u16, u16, ptr(u32)]),
    "TVX_RegisterRead": (i32, [handle, str_, u8, u32, u16, data_p]),
    "TVX_RegisterWrite": (i32, [handle, str_, u8, u32, u16, data_p]),
    # Files, logs, firmware and flash tables
    "TVX_DownFile": (i32, [handle, str_, str_]),
    "TVX_DownMemFile": (i32, [handle, buf, u32, str_]),
    "TVX_UpFile": (i32, [handle, str_, str_]),
    "TVX_UpFileToMem": (i32, [handle, buf, u32, str_, ptr(u32)]),
    "TVX_UpLog": (i32, [handle, str_]),
    "TVX_UpLogToMem": (i32, [handle, buf, u32, ptr(u32)]),
    "TVX_UpFirmFile": (i32, [handle, str_, str_]),
    "TVX_UpFirmToMem": (i32, [handle, buf, u32, str_, ptr(u32)]),
    "TVX_Up3File": (i32, [handle, str_, str_]),
    "TVX_Up3FileToMem": (i32, [handle, buf, u32, str_, ptr(u32)]),
    "TVX_FindFirstFile": (i32, [handle, buf, ptr(u32)]),
    "TVX_FindNextFile": (i32, [handle, buf, ptr(u32)]),
    "TVX_DeleteFile": (i32, [handle, str_]),
    "TVX_GetFileState": (i32, [handle, u16, buf]),
    "TVX_FlashWritef": (i32, [handle, u16, u32, ptr(f32)]),
    "TVX_FlashReadf": (i32, [handle, u16, u32, ptr(f32), ptr(u32)]),
    "TVX_CheckFirmWare": (i32, [handle, str_]),
    "TVX_DownFirmWare": (i32, [handle, str_]),
    "TVX_StartHardwareTest": (i32, [handle]),
    "TVX_JumpApp": (i32, [handle]),
    "TVX_JumpNbios": (i32, [handle]),
    # The three-file store
    "TVX_Check3File": (i32, [handle, str_, ptr(u8), ptr(u32)]),
    "TVX_FindFirst3File": (i32, [handle, buf, ptr(u32)]),
    "TVX_FindNext3File": (i32, [handle, buf, ptr(u32)]),
    "TVX_GetCur3File": (i32, [handle, buf, ptr(u32)]),
    "TVX_Delete3File": (i32, [handle, str_]),
    "TVX_RemoveAll3Files": (i32, [handle]),
    "TVX_Down3File": (i32, [handle, str_, str_]),
    "TVX_DownMem3File": (i32, [handle, buf, u32, str_]),
    "TVX_Down3FileRam": (i32, [handle, str_, str_, i32]),
    "TVX_DownMem3FileRam": (i32, [handle, buf, u32, str_, i32]),
    "TVX_3FileRamGetRemainSpace": (i32, [handle, u16, ptr(u32)]),
    "TVX_3FileRamDownBegin": (i32, [handle, u16, u32, str_, ptr(u32)]),
    "TVX_3FileRamDownPart": (i32, [handle, u16, buf, u32, ptr(u32)]),
    "TVX_3FileRamDownEnd": (i32, [handle, u16]),
    "TVX_Run3FileRam": (i32, [handle, u16, u16]),
    # Projects and program archives
    "TVX_MakeOneFileNpj": (i32, [buf, buf, str_]),
    "TVX_MakeMultiFileNpj": (i32, [buf, buf, str_]),
    "TVX_MakeRealNpj": (i32, [str_, buf, u32]),
    "TVX_MakeRealNpjMem": (i32, [str_, buf]),
    "TVX_MakeNar": (i32, [str_, str_, str_, u32]),
    "TVX_MakeNar2": (i32, [buf, str_, str_, str_, u32]),
    "TVX_MakeNarAndDown": (i32, [handle, str_, str_, u32]),
    "TVX_MakeNarAndDown2": (i32, [handle, buf, str_, str_, u32]),
    "TVX_MakeNarAndRamRun": (i32, [handle, str_, str_, u32]),
    "TVX_MakeNarAndRamRun2": (i32, [handle, buf, str_, str_, u32]),
    "TVX_DownNar": (i32, [handle, str_, str_]),
    "TVX_DownMemNar": (i32, [handle, buf, u32, str_]),
    "TVX_DownNarToRamAndRun": (i32, [handle, str_]),
    "TVX_DownMemNarToRamAndRun": (i32, [handle, buf, u32]),
    "TVX_RunNarFile": (i32, [handle, str_]),
    "TVX_Resume": (i32, [handle]),
    "TVX_Pause": (i32, [handle]),
    "TVX_Stop": (i32, [handle]),
    "TVX_UpCurNpjToMem": (i32, [handle, buf, u32, ptr(u32)]),
    "TVX_MakeNlib": (i32, [str_, str_]),
    "TVX_GetNlibFileType": (i32, [str_, ptr(i32)]),
    "TVX_GetNlibGlobalDefine": (i32, [str_, buf, u32]),
    # Arrays, variables, line moves, debugger and locks
    "TVX_ArrayWritef": (i32, [handle, str_, u32, u32, ptr(f32)]),
    "TVX_ArrayReadf": (i32, [handle, str_, u32, u32, ptr(f32)]),
    "TVX_GlobalVarGet": (i32, [handle, str_, ptr(f32)]),
    "TVX_GlobalArrayGet": (i32, [handle, str_, i32, ptr(f32)]),
    "TVX_MultiLineN": (i32, [handle, i32, i32, u32, u32, ptr(i32), ptr(f32), ptr(i32)]),
    "TVX_EnumLocal": (i32, [handle, i32, u32, u32, ptr(i32), ptr(u8), buf]),
    "TVX_BreakAdd": (i32, [handle, str_, u32, u32]),
    "TVX_BreakDel": (i32, [handle, str_, u32]),
    "TVX_BreakClear": (i32, [handle]),
    "TVX_StepRun": (i32, [handle, u32, u32, u32, u32, i32]),
    "TVX_CancelOnline": (i32, [handle]),
    "TVX_GetStringType": (i32, [handle, str_, u32, ptr(u16), ptr(i32), ptr(u8)]),
    "TVX_ReadMessage": (i32, [handle, buf, u32, ptr(u32)]),
    "TVX_Lock": (i32, [handle, str_]),
    "TVX_UnLock": (i32, [handle, str_]),
    "TVX_Signal_BasicP": (i32, [handle]),
    "TVX_Signal_BasicV": (i32, [handle]),
    # Remote LCD and camera images
    "TVX_ELcdSetFeature": (i32, [handle, u16, u16, u16]),
    "TVX_ELcdOpen": (i32, [handle, u32, ptr(LcdScreenInfo)]),
    "TVX_ELcdClose": (i32, [handle, u32]),
    "TVX_ELcdDataCheck": (i32, [handle, u32, ptr(LcdRegionList), ptr(LcdCheckInfo)]),
    "TVX_ELcdDataGet": (i32, [handle, u32, u32, u32, ptr(u32), ptr(LcdRawChunk), ptr(LcdScreen), ptr(u16)]),
    "TVX_ELcdDataGet2": (i32, [handle, u32, u32, u32, ptr(u32), ptr(LcdRawChunk), ptr(LcdScreen), ptr(u16)]),
    "TVX_ELcdDataGetEnd": (i32, [handle, u32]),
    "TVX_ELcdDataGetAll": (i32, [handle, u32, ptr(LcdScreen), ptr(u16)]),
    "TVX_ELcdDataGetAll2": (i32, [handle, u32, ptr(LcdScreen), ptr(u16)]),
    "TVX_ELcdDataCheckAndGetAll": (i32, [handle, u32, ptr(LcdScreen), ptr(u16)]),
    "TVX_ELcdDataCheckAndGetAll2": (i32, [handle, u32, ptr(LcdScreen), ptr(u16)]),
    "TVX_ELcdDataGetAllWithEvents": (i32, [handle, u32, ptr(LcdScreen), ptr(u16), i32, LcdProgressCallback]),
    "TVX_ELcdDataGetAll2WithEvents": (i32, [handle, u32, ptr(LcdScreen), ptr(u16), i32, LcdProgressCallback]),
    "TVX_ELcdMouseSet": (i32, [handle, u32, i32, u16, u16]),
    "TVX_ELcdMouseSet2": (i32, [handle, u32, i32, u16, u16, u16]),
    "TVX_ELcdKeySet": (i32, [handle, u32, u16, i32]),
    "TVX_ELcdVKeySet": (i32, [handle, u32, u16, i32]),
    "TVX_ELcdCoderSet": (i32, [handle, u16, u16, i32, i32]),
    "TVX_NVLatinImgGetInfo": (i32, [handle, u16, ptr(i32), ptr(i32), ptr(i32), ptr(i32)]),
    "TVX_NVLatinImgGet": (i32, [handle, u16, ptr(i32), ptr(i32), ptr(i32), ptr(u16), i32]),
    "TVX_NVLatinImgGet2": (i32, [handle, u16, ptr(i32), ptr(i32), ptr(i32), ptr(u16), i32]),
    # Cycle upload and auto-upload
    "TVX_CycleUpEnable": (i32, [handle, i32, u32, str_]),
    "TVX_CycleUpDisable": (i32, [handle, i32]),
    "TVX_CycleUpForceOnce": (i32, [handle, i32]),
    "TVX_CycleUpGetRecvTimes": (u32, [handle, i32]),
    "TVX_CycleUpReadBuff": (i32, [handle, i32, str_, u32, ptr(ctypes.c_double)]),
    "TVX_CycleUpReadBuffInt": (i32, [handle, i32, str_, u32, ptr(i32)]),
    "TVX_SetAutoUpCallBack": (i32, [handle, AutoUpCallback]),
}

# Exports that use the C convention where the others use stdcall (32-bit Windows).
CDECL: frozenset[str] = frozenset()  # none of the bound ones: descriptions come from TVX_DescribeResult

# The low 32 bits of TVX_CycleUpGetRecvTimes and TVX_ExecuteGetRemainBuffSpace
# when the handle is refused (20009 returned as a value).
INVALID_HANDLE_VALUE = 20009


class Library:
    """The loaded library; exports are looked up and typed on first use."""

    def __init__(self, path: str) -> None:
        self.path = path
        self._c = ctypes.CDLL(path)
        self._std = getattr(ctypes, "WinDLL")(path) if os.name == "nt" else self._c

    def __getattr__(self, name: str) -> Any:
        if name not in PROTOTYPES:
            raise AttributeError(name)
        dll = self._c if name in CDECL else self._std
        try:
            function = getattr(dll, name)
        except AttributeError:
            raise NotImplementedError(f"{self.path} does not export {name}") from None
        function.restype, function.argtypes = PROTOTYPES[name]
        setattr(self, name, function)
        return function


def candidates() -> List[str]:
    """Where the library is looked for, in order."""
    if os.name == "nt":
        names = ["tavrix.dll"]
    else:
        names = ["libtavrix.so.1", "libtavrix.so"]
    here = Path(__file__).resolve().parent
    found = []
    for name in names:
        if (here / name).exists():
            found.append(str(here / name))
    system = ctypes.util.find_library("tavrix")
    if system:
        found.append(system)
    found.extend(names)  # the loader's own search path
    return found


_lock = threading.Lock()
_library: Optional[Library] = None


def library() -> Library:
    """The process's one Library, loaded on first use. TAVRIX_LIBRARY, when
    set, names the file to load and nothing else is tried.

        print(tavrix._library.library().path)
    """
    global _library
    with _lock:
        if _library is None:
            explicit = os.environ.get("TAVRIX_LIBRARY")
            if explicit:
                _library = Library(explicit)
            else:
                errors = []
                for path in candidates():
                    try:
                        _library = Library(path)
                        break
                    except OSError as e:
                        errors.append(f"{path}: {e}")
                else:
                    raise OSError("the tavrix library was not found; set TAVRIX_LIBRARY to its path ("
                                  + "; ".join(errors) + ")")
        return _library
