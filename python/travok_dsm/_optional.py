"""Optional libraries, imported only by the features that use them."""

from __future__ import annotations

import importlib
from types import ModuleType

__all__ = ["require"]


def require(module: str, purpose: str) -> ModuleType:
    """The module, or an ImportError that says what needs it and what to install."""
    try:
        return importlib.import_module(module)
    except ImportError as error:
        top = module.partition(".")[0]
        raise ImportError(
            f"{purpose} needs {top}, which is not installed (pip install {top})"
        ) from error
