"""Marks and labels from the kinds of input a matrix comes in: arrays, nested lists, graphs, edge
lists and tables. Each function returns the labels and a boolean matrix, or raises DsmError."""

from __future__ import annotations

import math
import numbers
import sys
from collections.abc import Hashable, Iterable, Sequence
from typing import Any

import numpy as np
from numpy.typing import NDArray

from travok_dsm._optional import require
from travok_dsm.errors import DsmError

__all__ = ["from_edges", "from_frame", "from_graph", "labels_of", "marks_from_array"]

Marks = NDArray[np.bool_]


def labels_of(labels: Iterable[object] | None, size: int) -> tuple[str, ...]:
    """The labels as strings, one per element and each once; None numbers the elements."""
    if labels is None:
        return tuple(str(index) for index in range(size))
    found = tuple(str(label) for label in labels)
    if len(found) != size:
        raise DsmError(f"{len(found)} labels for a matrix of {size} elements")
    _check_unique(found)
    return found


def _check_unique(labels: Sequence[str]) -> None:
    first: dict[str, int] = {}
    for index, label in enumerate(labels):
        if label in first:
            raise DsmError(f"label {label!r} names elements {first[label]} and {index}")
        first[label] = index


def marks_from_array(matrix: object, labels: Sequence[str] | None = None) -> Marks:
    """A square matrix of marks from a 2-D array or nested sequences: a cell is a mark when it is
    a nonzero number or true; zero, false, None, NaN and blank text are no mark."""
    if isinstance(matrix, Sequence) and not isinstance(matrix, (str, bytes)):
        array = _rows_array(matrix)
    else:
        array = np.asarray(matrix)
    if array.ndim != 2 or array.shape[0] != array.shape[1]:
        raise DsmError(f"a DSM is a square 2-D matrix, not an array of shape {array.shape}")
    if array.shape[0] == 0:
        raise DsmError("the matrix has no elements")
    if labels is not None and len(labels) != array.shape[0]:
        raise DsmError(f"{len(labels)} labels for a matrix of {array.shape[0]} elements")
    kind = array.dtype.kind
    if kind == "b":
        marks = array.astype(bool)
    elif kind in "iu":
        marks = array != 0
    elif kind in "fc":
        marks = (array != 0) & ~np.isnan(array)
    else:
        marks = _marks_cell_by_cell(array, labels)
    marks.flags.writeable = False
    return marks


def _check_rows(rows: Sequence[Any]) -> None:
    # NumPy turns ragged rows into an error about "inhomogeneous shape"; say which row instead.
    size = len(rows)
    for number, row in enumerate(rows):
        if isinstance(row, (str, bytes)) or not isinstance(row, Sequence | np.ndarray):
            raise DsmError(f"row {number} is {row!r}, not a row of cells")
        if len(row) != size:
            cells = f"{len(row)} {'cell' if len(row) == 1 else 'cells'}"
            raise DsmError(f"row {number} has {cells} where a square matrix of {size} rows "
                           f"needs {size}")


def _rows_array(rows: Sequence[Any]) -> NDArray[Any]:
    _check_rows(rows)
    try:
        return np.asarray(rows)
    except ValueError:
        # Cells that are sequences themselves: kept whole, to be refused by name.
        cells = np.empty((len(rows), len(rows)), dtype=object)
        for number, row in enumerate(rows):
            for column, cell in enumerate(row):
                cells[number, column] = cell
        return cells


def _marks_cell_by_cell(array: NDArray[Any], labels: Sequence[str] | None) -> Marks:
    marks = np.zeros(array.shape, dtype=bool)
    for (row, column), value in np.ndenumerate(array):
        if isinstance(value, np.generic):
            value = value.item()
        mark = _mark(value)
        if mark is None:
            where = f"{row}, {column}" if labels is None else f"{labels[row]!r}, {labels[column]!r}"
            raise DsmError(f"cell [{where}]: {value!r} is not a number")
        marks[row, column] = mark
    return marks


def _mark(value: object) -> bool | None:
    """Whether one cell is a mark, or None when it is not a number."""
    if value is None:
        return False
    if isinstance(value, str):
        text = value.strip()
        if not text:
            return False
        try:
            value = float(text)
        except ValueError:
            return None
    if isinstance(value, (bool, np.bool_)):
        return bool(value)
    if isinstance(value, numbers.Complex):
        number = complex(value)
        return number != 0 and not (math.isnan(number.real) or math.isnan(number.imag))
    return None


def from_edges(
    edges: Iterable[Sequence[object]], labels: Iterable[object] | None = None
) -> tuple[tuple[str, ...], Marks]:
    """Pairs (a, b) meaning "a depends on b". Without labels the elements are those the pairs
    name, in the order they first appear."""
    pairs: list[tuple[str, str]] = []
    for number, edge in enumerate(edges):
        items = tuple(edge) if isinstance(edge, Iterable) and not isinstance(edge, str) else ()
        if len(items) != 2:
            raise DsmError(f"edge {number}: {edge!r} is not a pair (element, what it depends on)")
        pairs.append((str(items[0]), str(items[1])))
    if labels is None:
        found = tuple(dict.fromkeys(label for pair in pairs for label in pair))
        if not found:
            raise DsmError("the matrix has no elements: no edges and no labels")
    else:
        found = tuple(str(label) for label in labels)
        if not found:
            raise DsmError("the matrix has no elements")
        _check_unique(found)
    index = {label: place for place, label in enumerate(found)}
    marks = np.zeros((len(found), len(found)), dtype=bool)
    for number, pair in enumerate(pairs):
        for label in pair:
            if label not in index:
                raise DsmError(f"edge {number} {pair!r}: {label!r} is not one of the labels")
        marks[index[pair[0]], index[pair[1]]] = True
    marks.flags.writeable = False
    return found, marks


def from_graph(graph: object) -> tuple[tuple[str, ...], Marks]:
    """A networkx DiGraph: its nodes in the graph's order, an arc u -> v meaning "u depends on
    v"."""
    networkx = require("networkx", "reading a networkx graph")
    if not isinstance(graph, networkx.DiGraph):
        raise DsmError(f"a networkx DiGraph is needed (arc u -> v: u depends on v), not "
                       f"{type(graph).__name__}")
    nodes = list(graph.nodes)
    labels = labels_of(nodes, len(nodes))
    if not nodes:
        raise DsmError("the matrix has no elements: the graph has no nodes")
    adjacency = networkx.to_numpy_array(graph, nodelist=nodes, weight=None)
    return labels, marks_from_array(adjacency, labels)


def from_frame(frame: Any) -> tuple[tuple[str, ...], Marks]:
    """A pandas DataFrame whose index and columns are the same labels, in any column order."""
    if "pandas" not in sys.modules or not isinstance(frame, sys.modules["pandas"].DataFrame):
        raise DsmError(f"a pandas DataFrame is needed, not {type(frame).__name__}")
    rows: list[Hashable] = list(frame.index)
    columns: list[Hashable] = list(frame.columns)
    labels = labels_of(rows, len(rows))
    _check_unique([str(column) for column in columns])
    row_set = set(rows)
    for column in columns:
        if column not in row_set:
            raise DsmError(f"column {column!r} is not a label of the index")
    column_set = set(columns)
    for row in rows:
        if row not in column_set:
            raise DsmError(f"row {row!r} has no column")
    ordered = frame.loc[:, rows]
    try:
        values = ordered.to_numpy(dtype=float, na_value=np.nan)
    except (TypeError, ValueError):
        # Text or other objects: cell by cell, so the message can name the cell that is wrong.
        values = ordered.to_numpy(dtype=object, na_value=None)
    return labels, marks_from_array(values, labels)
