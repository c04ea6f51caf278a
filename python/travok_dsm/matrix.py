"""The design structure matrix: labels plus a square table of dependency marks."""

from __future__ import annotations

import operator
import os
from collections.abc import Iterable, Sequence
from pathlib import Path
from typing import Any, Self, SupportsIndex, TextIO

import numpy as np
from numpy.typing import NDArray

from travok_dsm import csvfile, inputs
from travok_dsm.errors import DsmError

__all__ = ["Dsm", "feedback"]

# An element of an ordering: its index, or its label.
Element = SupportsIndex | str


class Dsm:
    """A design structure matrix: element labels and a square table of marks.

    ``marks[r, c]`` is true when element r depends on element c. In an ordering of the elements, a
    mark whose row comes before its column lies above the diagonal: a feedback mark. Marks on the
    diagonal are kept but never count.

    ``Dsm(matrix, labels=None)`` takes a 2-D NumPy array or nested sequences (a nonzero number or
    true is a mark; zero, false, None, NaN and blank text are none); without labels the elements
    are numbered "0", "1", ... The class methods read a CSV file, a networkx DiGraph, an edge list
    or a pandas DataFrame. Labels are strings (others are converted with ``str``) and unique. Bad
    input raises DsmError naming the place; a Dsm never holds a half-read matrix. A Dsm does not
    change: ``marks`` is a read-only array.
    """

    __slots__ = ("_arcs", "_index", "_labels", "_marks")

    def __init__(self, matrix: object, labels: Iterable[object] | None = None) -> None:
        texts = None if labels is None else tuple(str(label) for label in labels)
        marks = inputs.marks_from_array(matrix, texts)
        self._set(inputs.labels_of(texts, marks.shape[0]), marks)

    def _set(self, labels: tuple[str, ...], marks: NDArray[np.bool_]) -> None:
        self._labels = labels
        self._marks = marks
        self._index: dict[str, int] | None = None
        self._arcs: tuple[NDArray[np.intp], NDArray[np.intp]] | None = None

    @classmethod
    def _of(cls, labels: tuple[str, ...], marks: NDArray[np.bool_]) -> Self:
        made = cls.__new__(cls)
        made._set(labels, marks)
        return made

    @classmethod
    def read_csv(cls, source: str | os.PathLike[str] | TextIO) -> Self:
        """Read a CSV file: a square table of numbers, a cell that is not zero being a mark and a
        blank cell none. A header row and a first column of names are optional, and detected by
        their cells not being numbers; cells are separated by commas, or by semicolons or tabs
        when the first row has none. Errors name the line and column."""
        if isinstance(source, (str, os.PathLike)):
            with Path(source).open(newline="", encoding="utf-8-sig") as handle:
                return cls._of(*csvfile.parse_csv(handle))
        return cls._of(*csvfile.parse_csv(source))

    @classmethod
    def from_graph(cls, graph: Any) -> Self:
        """A networkx DiGraph: one element per node, in the graph's node order, and an arc
        u -> v meaning "u depends on v" (a mark in row u, column v). Needs networkx."""
        return cls._of(*inputs.from_graph(graph))

    @classmethod
    def from_edges(
        cls, edges: Iterable[Sequence[object]], labels: Iterable[object] | None = None
    ) -> Self:
        """Pairs (a, b), each meaning "a depends on b". ``labels`` gives the elements and their
        order (and elements without any pair); without it they are the labels the pairs name, in
        the order they first appear."""
        return cls._of(*inputs.from_edges(edges, labels))

    @classmethod
    def from_frame(cls, frame: Any) -> Self:
        """A pandas DataFrame: the index gives the labels and their order, the columns must hold
        the same labels (in any order); cell [r, c] is the mark of r depending on c."""
        return cls._of(*inputs.from_frame(frame))

    @property
    def labels(self) -> tuple[str, ...]:
        return self._labels

    @property
    def marks(self) -> NDArray[np.bool_]:
        """The marks, a read-only square array of bool."""
        return self._marks

    @property
    def size(self) -> int:
        return len(self._labels)

    def __len__(self) -> int:
        return len(self._labels)

    @property
    def arcs(self) -> tuple[NDArray[np.intp], NDArray[np.intp]]:
        """Rows and columns of the marks off the diagonal, the only ones that can be feedback."""
        if self._arcs is None:
            off_diagonal = self._marks & ~np.eye(self.size, dtype=bool)
            rows, columns = np.nonzero(off_diagonal)
            self._arcs = (rows, columns)
        return self._arcs

    def index(self, label: str) -> int:
        """The index of the element with this label."""
        if self._index is None:
            self._index = {name: place for place, name in enumerate(self._labels)}
        try:
            return self._index[label]
        except KeyError:
            raise DsmError(f"{label!r} is not a label of the matrix") from None

    def indices(self, order: Iterable[Element]) -> list[int]:
        """An ordering of all elements, given by index or label, as indices; anything but an
        ordering of every element once is refused."""
        found: list[int] = []
        for element in order:
            if isinstance(element, str):
                found.append(self.index(element))
                continue
            try:
                place = operator.index(element)
            except TypeError:
                raise DsmError(f"{element!r} is neither an index nor a label") from None
            if not 0 <= place < self.size:
                raise DsmError(f"element {place} is outside the matrix (0 to {self.size - 1})")
            found.append(place)
        if len(found) != self.size:
            raise DsmError(f"the ordering has {len(found)} elements; the matrix has {self.size}")
        seen = np.zeros(self.size, dtype=bool)
        for place in found:
            if seen[place]:
                label = self._labels[place]
                raise DsmError(f"the ordering holds element {place} ({label!r}) twice")
            seen[place] = True
        return found

    def reordered(self, order: Iterable[Element]) -> Dsm:
        """The same matrix with rows and columns in the given order."""
        places = self.indices(order)
        marks = self._marks[np.ix_(places, places)]
        marks.flags.writeable = False
        return Dsm._of(tuple(self._labels[place] for place in places), marks)

    def sub(self, elements: Sequence[int]) -> Dsm:
        """The matrix of some elements alone, rows and columns in the given order."""
        marks = self._marks[np.ix_(elements, elements)]
        marks.flags.writeable = False
        return Dsm._of(tuple(self._labels[place] for place in elements), marks)

    def to_csv(self, target: str | os.PathLike[str] | TextIO) -> None:
        """Write the matrix as CSV, in a form ``read_csv`` reads back unchanged (the diagonal
        included). Labels that would not read back (blank, numbers, surrounding spaces) are
        refused, unless all of them are the numbers 0, 1, ... in order."""
        if isinstance(target, (str, os.PathLike)):
            with Path(target).open("w", newline="", encoding="utf-8") as handle:
                csvfile.write_csv(handle, self._labels, self._marks)
        else:
            csvfile.write_csv(target, self._labels, self._marks)

    def __eq__(self, other: object) -> bool:
        if not isinstance(other, Dsm):
            return NotImplemented
        return self._labels == other._labels and bool(np.array_equal(self._marks, other._marks))

    __hash__ = None  # type: ignore[assignment]

    def __repr__(self) -> str:
        shown = ", ".join(map(repr, self._labels[:4])) + (", ..." if self.size > 4 else "")
        return f"<Dsm of {self.size} elements ({shown}), {len(self.arcs[0])} marks>"


def feedback(dsm: Dsm, order: Iterable[Element]) -> int:
    """The number of marks above the diagonal when rows and columns follow ``order``: every
    element once, by index or label, first element first."""
    position = np.empty(dsm.size, dtype=np.intp)
    position[dsm.indices(order)] = np.arange(dsm.size)
    rows, columns = dsm.arcs
    return int(np.count_nonzero(position[rows] < position[columns]))
