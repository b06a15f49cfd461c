"""Result codes of the library and the exception types."""
from __future__ import annotations

import re
from typing import Dict, Optional

from ._library import library

from ._codes import *  # noqa: F401,F403 (the result-code names)
from ._codes import OK


def describe(code: int) -> str:
    """A text for any result code, for showing to people; never empty.

        print(tavrix.describe(20009))  # Invalid or closed handle.
    """
    return str(library().TVX_DescribeResult(code).decode("latin-1"))


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
