"""Result codes of the library and the exception types."""
from __future__ import annotations

import re
from typing import Dict, Optional

from ._library import library

OK = 0
ERR_CONTROLLER_STATE = 3204
ERR_NOT_SUPPORTED = 3205
ERR_DISCOVERY_ARGUMENT = 3206
ERR_CIPHER_KEY = 3212
CH_CANNOT_FRAME = 3401
CH_NO_REPLY = 3402
CH_MISMATCH = 3403
CH_BAD_FRAME = 3404
CH_FRAME_TOO_LONG = 3405
CH_WRONG_FUNCTION = 3407
CH_EXCEPTION_BASE = 3420
CH_ILLEGAL_FUNCTION = 3421
CH_ILLEGAL_ADDRESS = 3422
CH_ILLEGAL_VALUE = 3423
CH_DEVICE_FAILURE = 3424
ERR_NOT_OPEN = 20001
ERR_BAD_ARGUMENT = 20002
ERR_TIME_LIMIT = 20003
ERR_NO_HANDLE = 20005
ERR_OS = 20006
ERR_SERIAL = 20007
ERR_ETHERNET = 20008
ERR_INVALID_HANDLE = 20009
ERR_LINK_WRITE = 20010
ERR_FILE = 20011
ERR_FILE_LENGTH = 20012
ERR_NAME_TOO_LONG = 20013
ERR_FILE_NOT_FOUND = 20014
ERR_LIBRARY_FILE = 20015
ERR_FILE_16 = 20016
ERR_FIRMWARE_IMAGE = 20018
ERR_FIRMWARE_MISMATCH = 20020
ERR_UNSUPPORTED = 20021
ERR_BUFFER_TOO_SMALL = 20030
ERR_LOCKED = 20031
ERR_OVER_LIMIT = 20035
ERR_REPLY_LENGTH = 20100

# The library's own wording for the codes the exported table leaves without a
# text, as the C header's tvx_describe_result gives them to tvx.
_OWN_TEXTS: Dict[int, str] = {
    CH_CANNOT_FRAME: "Request cannot be framed for the link.",
    CH_NO_REPLY: "No reply from the controller within the time budget.",
    CH_MISMATCH: "Reply does not match the request.",
    CH_BAD_FRAME: "Received frame discarded: wrong station or CRC mismatch.",
    CH_FRAME_TOO_LONG: "Received frame longer than its announced length.",
    CH_WRONG_FUNCTION: "Reply carries another function code than the request.",
    CH_ILLEGAL_FUNCTION: "Modbus exception: illegal function.",
    CH_ILLEGAL_ADDRESS: "Modbus exception: illegal data address.",
    CH_ILLEGAL_VALUE: "Modbus exception: illegal data value.",
    CH_DEVICE_FAILURE: "Modbus exception: device failure.",
    ERR_DISCOVERY_ARGUMENT: "Missing buffer or address for discovery.",
    ERR_CIPHER_KEY: "Archive cipher key error.",
    ERR_NOT_OPEN: "Link is not open.",
    ERR_BAD_ARGUMENT: "Invalid argument.",
    ERR_TIME_LIMIT: "Time limit of the text command passed.",
    ERR_INVALID_HANDLE: "Invalid or closed handle.",
    ERR_LINK_WRITE: "Sending on the link failed.",
    ERR_FILE_16: "File is not usable.",
    ERR_FIRMWARE_IMAGE: "Invalid firmware image.",
    ERR_BUFFER_TOO_SMALL: "Buffer too small for the data.",
    ERR_OVER_LIMIT: "Amount exceeds the per-request limit.",
    ERR_REPLY_LENGTH: "Reply data length does not fit or does not match the request.",
}


def describe(code: int) -> str:
    """A text for any result code, for showing to people; never empty.

        print(tavrix.describe(20009))  # Invalid or closed handle.
    """
    if code in _OWN_TEXTS:
        return _OWN_TEXTS[code]
    text = library().TVX_GetErrcodeDescription(code)
    if text:
        return str(text.decode("latin-1"))
    if 3201 <= code <= 3203:
        return "Cycle-upload item text error."
    if CH_EXCEPTION_BASE < code <= CH_EXCEPTION_BASE + 255:
        return "Modbus exception reply from the controller."
    if 20024 <= code <= 20029:
        return "PCI link could not be opened."
    if 20037 <= code <= 20039:
        return "Cycle-upload error."
    if 20001 <= code <= 20999:
        return "Library error."
    if code < 0:
        return "Operating-system failure."
    return "Error reported by the controller."


class TavrixError(Exception):
    """A call into the library failed; `code` is its result code.

        try:
            ctl.delete("ABSENT.BAS")
        except tavrix.TavrixError as e:
            print(e.code, e.description)
    """

    def __init__(self, code: int, description: Optional[str] = None, function: Optional[str] = None) -> None:
        self.code = code
        self.description = description if description is not None else describe(code)
        self.function = function
        where = f"{function}: " if function else ""
        super().__init__(f"{where}{self.description} ({code})")


class ControllerError(TavrixError):
    """A text command ran, and the controller's answer reports an error
    ("ERROR <n>: text"): `code` is the controller's n, `description` its
    text, `answer` the whole answer.

        try:
            ctl.execute("?nosuch")
        except tavrix.ControllerError as e:
            print(e.code, e.description)  # 2 unknown word nosuch
    """

    def __init__(self, code: int, description: str, answer: str, function: Optional[str] = None) -> None:
        super().__init__(code, description, function)
        self.answer = answer


# As tvx exec reads it: any line that starts with "ERROR ".
_ERROR_LINE = re.compile(r"^ERROR (?:(-?\d+): ?)?(.*)$", re.MULTILINE)


def check_answer(answer: str, function: Optional[str] = None) -> str:
    """Returns `answer`, or raises ControllerError when one of its lines is
    the interpreter's error report.

        text = check_answer(answer, "TVX_Execute")
    """
    found = _ERROR_LINE.search(answer)
    if found:
        code = int(found.group(1)) if found.group(1) is not None else ERR_CONTROLLER_STATE
        raise ControllerError(code, found.group(2).rstrip("\r"), answer, function)
    return answer


def check(code: int, function: Optional[str] = None) -> None:
    """Raises TavrixError for any result but OK.

        tavrix.check(lib.TVX_Stop(ctl.handle), "TVX_Stop")
    """
    if code != OK:
        raise TavrixError(code, function=function)
