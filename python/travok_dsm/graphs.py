"""Strong components and shortest paths of dependency graphs, given as arrays of arc tails and
heads, worked by SciPy's sparse-graph routines.

SciPy is loaded on the first call, not with the package: a `Dsm` made, checked or written back
needs none of it.
"""

from __future__ import annotations

from typing import TYPE_CHECKING

import numpy as np
from numpy.typing import NDArray

if TYPE_CHECKING:
    from scipy.sparse import csr_array

__all__ = ["shortest_paths", "strong_components"]


def strong_components(size: int, tails: NDArray[np.intp],
                      heads: NDArray[np.intp]) -> tuple[int, NDArray[np.intp]]:
    """The number of strongly connected components and each element's component (numbered from 0
    in no particular order)."""
    from scipy.sparse.csgraph import connected_components

    count, component = connected_components(_sparse(size, tails, heads), directed=True,
                                            connection="strong")
    return int(count), component


def shortest_paths(size: int, tails: NDArray[np.intp],
                   heads: NDArray[np.intp]) -> tuple[NDArray[np.float64], NDArray[np.intp]]:
    """The fewest arcs from each element to each other (inf where there is no path), and the
    element before the last on one such path (``before[i, j]``: the one before j on the way from
    i; negative where there is no path)."""
    from scipy.sparse.csgraph import shortest_path

    distance, before = shortest_path(_sparse(size, tails, heads), unweighted=True,
                                     return_predecessors=True)
    return distance, before


def _sparse(size: int, tails: NDArray[np.intp], heads: NDArray[np.intp]) -> csr_array:
    from scipy.sparse import csr_array

    return csr_array((np.ones(len(tails), dtype=np.int64), (tails, heads)), shape=(size, size))
