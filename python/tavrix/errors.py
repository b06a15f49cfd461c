"""Result codes of the library and the one exception type."""
from ._library import library

from ._codes import *  # noqa: F401,F403 (the result-code names)
from ._codes import OK


def describe(code):
    """A text for any result code, for showing to people; never empty."""
    return library().TVX_DescribeResult(code).decode("latin-1")


class TavrixError(Exception):
    """A call into the library failed; `code` is its result code."""

    def __init__(self, code, description=None, function=None):
        self.code = code
        self.description = description if description is not None else describe(code)
        self.function = function
        where = f"{function}: " if function else ""
        super().__init__(f"{where}{self.description} ({code})")


def check(code, function=None):
    """Raises TavrixError for any result but OK."""
    if code != OK:
        raise TavrixError(code, function=function)
