"""Matrices in CSV files: a square table of numbers, with optional names in a header row and in a
first column. A cell that is not zero is a mark; a blank cell is none."""

from __future__ import annotations

import csv
from collections.abc import Iterable, Iterator, Sequence
from typing import TextIO

import numpy as np

from travok_dsm.errors import DsmError
from travok_dsm.inputs import Marks

__all__ = ["parse_csv", "write_csv"]


def _error(line: int, message: str, column: int | None = None) -> DsmError:
    where = f"line {line}" if column is None else f"line {line}, column {column}"
    return DsmError(f"{where}: {message}")


def parse_csv(lines: Iterable[str]) -> tuple[tuple[str, ...], Marks]:
    """Parse a square matrix of numbers; the labels are numbered when the file names none.

    A first row and a first column of names are optional and detected by their cells not being
    numbers. Cells are separated by commas, or by semicolons or tabs when the first row has none.
    """
    rows = list(_rows(lines))
    if not rows:
        raise _error(1, "the file holds no matrix")
    header = rows.pop(0) if _is_header(rows[0][1]) else None
    if header is not None and not rows:
        raise _error(header[0], "the file holds names but no matrix rows")
    has_names = _number(rows[0][1][0]) is None
    size = len(rows)
    if header is not None:
        _check_header(header, has_names, size)
    marks = np.array([_marks(line, cells, has_names, size) for line, cells in rows], dtype=bool)
    marks.flags.writeable = False
    return _labels(header, rows, has_names), marks


def _check_header(header: tuple[int, list[str]], has_names: bool, size: int) -> None:
    line, cells = header
    # Above a names column the header may or may not leave a corner cell.
    allowed = {size, size + 1} if has_names else {size}
    if len(cells) not in allowed:
        raise _error(line, f"the header names {len(cells)} columns but the matrix has {size} rows")


def _labels(
    header: tuple[int, list[str]] | None, rows: list[tuple[int, list[str]]], has_names: bool
) -> tuple[str, ...]:
    if has_names:
        first_line: dict[str, int] = {}
        for line, cells in rows:
            if cells[0] in first_line:
                raise _error(line, f"label {cells[0]!r} is also on line {first_line[cells[0]]}")
            first_line[cells[0]] = line
        return tuple(first_line)
    if header is not None:
        line, cells = header
        first_column: dict[str, int] = {}
        for column, name in enumerate(cells, start=1):
            if name in first_column:
                raise _error(line, f"label {name!r} is also in column {first_column[name]}", column)
            first_column[name] = column
        return tuple(cells)
    return tuple(str(index) for index in range(len(rows)))


def _rows(lines: Iterable[str]) -> Iterator[tuple[int, list[str]]]:
    """The non-blank rows with the number of the line each ends on, cells stripped."""
    buffered = iter(lines)
    first = next(buffered, None)
    if first is None:
        return
    delimiter = "," if "," in first else ";" if ";" in first else "\t" if "\t" in first else ","
    reader = csv.reader(_chain(first, buffered), delimiter=delimiter)
    for row in reader:
        cells = [cell.strip() for cell in row]
        if any(cells):
            yield reader.line_num, cells


def _chain(first: str, rest: Iterator[str]) -> Iterator[str]:
    yield first
    yield from rest


def _number(text: str) -> float | None:
    """The value of a cell, 0.0 for a blank one, or None when it is not a number."""
    if not text:
        return 0.0
    try:
        return float(text)
    except ValueError:
        return None


def _is_header(cells: list[str]) -> bool:
    # The top-left cell may be a corner label above a names column, so it alone decides nothing
    # unless it is the only cell.
    candidates = cells[1:] if len(cells) > 1 else cells
    return any(_number(cell) is None for cell in candidates)


def _marks(line: int, cells: list[str], has_names: bool, size: int) -> list[bool]:
    values = cells[1:] if has_names else cells
    if len(values) != size:
        count = len(values)
        raise _error(
            line, f"{count} {'value' if count == 1 else 'values'} where a square matrix of {size} "
            f"rows needs {size}"
        )
    first_column = 2 if has_names else 1
    marks: list[bool] = []
    for column, text in enumerate(values, start=first_column):
        value = _number(text)
        if value is None:
            raise _error(line, f"{text!r} is not a number", column)
        marks.append(value != 0.0)
    return marks


def write_csv(handle: TextIO, labels: Sequence[str], marks: Marks) -> None:
    """Write the matrix with a header row and a names column, 1 for a mark and 0 for none.

    Numbered labels (0, 1, ...) are left out, as reading numbers them again. Other labels must
    read back as they are: not blank, not a number, without surrounding spaces.
    """
    numbered = tuple(labels) == tuple(str(index) for index in range(len(labels)))
    if not numbered:
        for label in labels:
            _check_label(label)
    writer = csv.writer(handle, lineterminator="\n")
    if not numbered:
        writer.writerow(["", *labels])
    for label, row in zip(labels, marks, strict=True):
        cells = ["1" if mark else "0" for mark in row]
        writer.writerow(cells if numbered else [label, *cells])


def _check_label(label: str) -> None:
    if not label.strip():
        reason = "it is blank"
    elif label != label.strip():
        reason = "reading strips its surrounding spaces"
    elif _number(label) is not None:
        reason = "it reads as a number"
    else:
        return
    raise DsmError(f"label {label!r} cannot be written to a CSV file: {reason}")
