"""Sequencing design structure matrices: any matrix in, a labelled ordering out.

    >>> import travok_dsm
    >>> result = travok_dsm.sequence(matrix)      # a NumPy array, a DataFrame, a DiGraph, ...
    >>> result.order, result.feedback

`Dsm` holds a matrix and its labels, `sequence` partitions it into blocks of mutually dependent
elements and searches each block (in parallel, over any executor), and `feedback` counts the
marks an ordering leaves above the diagonal.
"""

from __future__ import annotations

import importlib
from typing import TYPE_CHECKING, Any

if TYPE_CHECKING:
    from travok_dsm.blocks import partition
    from travok_dsm.errors import ConsistencyError, DsmError
    from travok_dsm.matrix import Dsm, feedback
    from travok_dsm.options import METHODS, MemeticOptions, SgaOptions
    from travok_dsm.result import Block, Result, Run
    from travok_dsm.sequencing import as_dsm, sequence
    from travok_dsm.stdlib import stdlib_dsm

__all__ = [
    "METHODS",
    "Block",
    "ConsistencyError",
    "Dsm",
    "DsmError",
    "MemeticOptions",
    "Result",
    "Run",
    "SgaOptions",
    "as_dsm",
    "feedback",
    "partition",
    "sequence",
    "stdlib_dsm",
]

# Each name is loaded from its module on first use: a worker process that only runs searches
# then imports neither NumPy nor SciPy.
_HOMES = {
    "METHODS": "options",
    "Block": "result",
    "ConsistencyError": "errors",
    "Dsm": "matrix",
    "DsmError": "errors",
    "MemeticOptions": "options",
    "Result": "result",
    "Run": "result",
    "SgaOptions": "options",
    "as_dsm": "sequencing",
    "feedback": "matrix",
    "partition": "blocks",
    "sequence": "sequencing",
    "stdlib_dsm": "stdlib",
}


def __getattr__(name: str) -> Any:
    home = _HOMES.get(name)
    if home is None:
        raise AttributeError(f"module {__name__!r} has no attribute {name!r}")
    value = getattr(importlib.import_module(f"{__name__}.{home}"), name)
    globals()[name] = value
    return value


def __dir__() -> list[str]:
    return sorted([*globals(), *__all__])
