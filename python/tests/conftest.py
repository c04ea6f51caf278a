"""Helpers the module's tests share: numbers by one protocol alone, and the text of a raised error.
Typed, because test_stub.py takes them into mypy's strict check of the stub."""
from collections.abc import Callable
from typing import Any

import pytest


def raised(excinfo: pytest.ExceptionInfo[BaseException]) -> str:
    return str(excinfo.value)


def give(result: Any, what: str) -> Any:
    """`result`, or the exception it is: an instance is raised as it is, a class afresh each time."""
    if isinstance(result, type) and issubclass(result, BaseException):
        raise result(what)
    if isinstance(result, BaseException):
        raise result
    return result


class Index:
    """An integer by __index__ alone, what SupportsIndex promises; or the exception it is given.
    `before` runs first, for a hook that touches other objects meanwhile."""

    def __init__(self, result: Any, before: Callable[[], object] | None = None) -> None:
        self.result, self.before = result, before

    def __index__(self) -> int:
        if self.before is not None:
            self.before()
        value: int = give(self.result, "index")
        return value


class Float:
    """A number by __float__ alone, what SupportsFloat promises; or the exception it is given."""

    def __init__(self, result: Any, before: Callable[[], object] | None = None) -> None:
        self.result, self.before = result, before

    def __float__(self) -> float:
        if self.before is not None:
            self.before()
        value: float = give(self.result, "float")
        return value
