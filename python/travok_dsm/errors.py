"""The exceptions of the package."""

from __future__ import annotations

__all__ = ["ConsistencyError", "DsmError"]


class DsmError(ValueError):
    """Input that does not make a matrix; the message names the place (line and column, cell,
    label or index) and what is wrong there."""


class ConsistencyError(RuntimeError):
    """A run's result disagrees with the feedback marks counted here: a fault, never bad input."""
