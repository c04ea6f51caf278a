"""Design structure matrices for the sequencing example.

A matrix here is a list of element names and a square table of marks: mark (r, c) means element r
depends on element c. This file reads such a matrix from a CSV file, extracts one from the import
graph of the standard library, counts the marks an ordering leaves above the diagonal, and
partitions a matrix into blocks of mutually dependent elements in dependency order.
"""

from __future__ import annotations

import ast
import csv
import heapq
import sysconfig
from collections.abc import Iterable, Iterator, Sequence
from dataclasses import dataclass
from pathlib import Path

__all__ = [
    "Dsm",
    "MatrixFormatError",
    "dependency_order",
    "feedback_count",
    "import_arcs",
    "imported_modules",
    "parse_csv",
    "partition",
    "read_csv",
    "stdlib_candidates",
    "stdlib_dsm",
    "strong_components",
    "sub_dsm",
]


class MatrixFormatError(ValueError):
    """A matrix file that is not a square table of numbers; the message names the line."""

    def __init__(self, line: int, message: str, column: int | None = None) -> None:
        where = f"line {line}" if column is None else f"line {line}, column {column}"
        super().__init__(f"{where}: {message}")
        self.line = line
        self.column = column


@dataclass(frozen=True)
class Dsm:
    """A square dependency matrix: `marks[r][c]` is true when element r depends on element c."""

    names: tuple[str, ...]
    marks: tuple[tuple[bool, ...], ...]

    def __post_init__(self) -> None:
        size = len(self.names)
        if len(self.marks) != size or any(len(row) != size for row in self.marks):
            raise ValueError(f"a matrix of {size} names needs {size} rows of {size} marks")

    @property
    def size(self) -> int:
        return len(self.names)

    def arcs(self) -> list[tuple[int, int]]:
        """The off-diagonal marks as (row, column) pairs; a diagonal mark is never feedback."""
        return [
            (r, c)
            for r, row in enumerate(self.marks)
            for c, mark in enumerate(row)
            if mark and r != c
        ]

    def cells(self) -> list[float]:
        """The cells row by row, as the matrix evaluator reads them."""
        return [1.0 if mark else 0.0 for row in self.marks for mark in row]


def feedback_count(dsm: Dsm, order: Sequence[int]) -> int:
    """Marks above the diagonal when rows and columns follow `order` (first element first)."""
    position = _positions(order, dsm.size)
    return sum(1 for r, c in dsm.arcs() if position[r] < position[c])


def _positions(order: Sequence[int], size: int) -> list[int]:
    if sorted(order) != list(range(size)):
        raise ValueError(f"the ordering is not a permutation of 0..{size - 1}: {list(order)}")
    position = [0] * size
    for place, element in enumerate(order):
        position[element] = place
    return position


# --- partitioning -----------------------------------------------------------------------------
#
# Every cycle of dependencies lies inside one strongly connected component, so an ordering that
# puts each component after the components it depends on leaves no feedback between components:
# all of it is inside them, and each can be sequenced on its own.


def sub_dsm(dsm: Dsm, elements: Sequence[int]) -> Dsm:
    """The matrix of the given elements alone, rows and columns in the given order."""
    return Dsm(
        tuple(dsm.names[element] for element in elements),
        tuple(tuple(dsm.marks[row][column] for column in elements) for row in elements),
    )


def strong_components(dsm: Dsm) -> list[tuple[int, ...]]:
    """The strongly connected components of the dependency graph, each with its elements sorted.

    An element on no cycle is a component of its own. The search keeps its own stack instead of
    recursing, so a long chain of dependencies cannot reach the interpreter's recursion limit.
    """
    depends: list[list[int]] = [[] for _ in range(dsm.size)]
    for row, column in dsm.arcs():
        depends[row].append(column)
    unvisited = -1
    index = [unvisited] * dsm.size
    low = [0] * dsm.size
    on_stack = [False] * dsm.size
    stack: list[int] = []
    components: list[tuple[int, ...]] = []
    visited = 0
    for root in range(dsm.size):
        if index[root] != unvisited:
            continue
        # Each entry is an element being explored and the number of its arcs already followed.
        path = [(root, 0)]
        index[root] = low[root] = visited
        visited += 1
        stack.append(root)
        on_stack[root] = True
        while path:
            element, followed = path[-1]
            if followed < len(depends[element]):
                path[-1] = (element, followed + 1)
                target = depends[element][followed]
                if index[target] == unvisited:
                    index[target] = low[target] = visited
                    visited += 1
                    stack.append(target)
                    on_stack[target] = True
                    path.append((target, 0))
                elif on_stack[target]:
                    low[element] = min(low[element], index[target])
                continue
            path.pop()
            if path:
                parent = path[-1][0]
                low[parent] = min(low[parent], low[element])
            if low[element] == index[element]:
                members: list[int] = []
                while not members or members[-1] != element:
                    member = stack.pop()
                    on_stack[member] = False
                    members.append(member)
                components.append(tuple(sorted(members)))
    return components


def dependency_order(dsm: Dsm, blocks: Sequence[Sequence[int]]) -> list[tuple[int, ...]]:
    """The blocks ordered so that each comes after every block its elements depend on.

    Among the blocks free to go next, the one holding the smallest element goes first, so the
    result keeps the matrix's own order where dependencies leave a choice. The blocks must split
    the elements and must not depend on each other in a cycle, as strong components never do.
    """
    block_of = [-1] * dsm.size
    for number, block in enumerate(blocks):
        if not block:
            raise ValueError(f"block {number} is empty")
        for element in block:
            if block_of[element] != -1:
                raise ValueError(f"element {element} is in more than one block")
            block_of[element] = number
    if -1 in block_of:
        raise ValueError(f"element {block_of.index(-1)} is in no block")
    needed_by: list[set[int]] = [set() for _ in blocks]
    needs: list[set[int]] = [set() for _ in blocks]
    for row, column in dsm.arcs():
        if block_of[row] != block_of[column]:
            needs[block_of[row]].add(block_of[column])
            needed_by[block_of[column]].add(block_of[row])
    waiting = [len(needed) for needed in needs]
    ready = [(min(block), number) for number, block in enumerate(blocks) if not waiting[number]]
    heapq.heapify(ready)
    ordered: list[tuple[int, ...]] = []
    while ready:
        _, number = heapq.heappop(ready)
        ordered.append(tuple(sorted(blocks[number])))
        for dependent in needed_by[number]:
            waiting[dependent] -= 1
            if not waiting[dependent]:
                heapq.heappush(ready, (min(blocks[dependent]), dependent))
    if len(ordered) != len(blocks):
        raise ValueError("the blocks depend on each other in a cycle")
    return ordered


def partition(dsm: Dsm) -> list[tuple[int, ...]]:
    """The strong components of the matrix, each after the components it depends on."""
    return dependency_order(dsm, strong_components(dsm))


# --- reading a CSV file ---------------------------------------------------------------------


def read_csv(path: Path) -> Dsm:
    """Read a square matrix from a CSV file (see `parse_csv`)."""
    with path.open(newline="", encoding="utf-8-sig") as handle:
        return parse_csv(handle)


def parse_csv(lines: Iterable[str]) -> Dsm:
    """Parse a square matrix of numbers; a cell that is not zero is a mark, a blank cell is none.

    A first row and a first column of names are optional and detected by their cells not being
    numbers. Cells are separated by commas, or by semicolons or tabs when the first row has none.
    """
    rows = list(_rows(lines))
    if not rows:
        raise MatrixFormatError(1, "the file holds no matrix")
    header = rows.pop(0) if _is_header(rows[0][1]) else None
    if header is not None and not rows:
        raise MatrixFormatError(header[0], "the file holds names but no matrix rows")
    has_names = _number(rows[0][1][0]) is None
    size = len(rows)
    if header is not None:
        _check_header(header, has_names, size)
    marks = tuple(_marks(line, cells, has_names, size) for line, cells in rows)
    return Dsm(_names(header, rows, has_names), marks)


def _check_header(header: tuple[int, list[str]], has_names: bool, size: int) -> None:
    line, cells = header
    # Above a names column the header may or may not leave a corner cell.
    allowed = {size, size + 1} if has_names else {size}
    if len(cells) not in allowed:
        raise MatrixFormatError(
            line, f"the header names {len(cells)} columns but the matrix has {size} rows"
        )


def _names(
    header: tuple[int, list[str]] | None, rows: list[tuple[int, list[str]]], has_names: bool
) -> tuple[str, ...]:
    if has_names:
        return tuple(cells[0] for _, cells in rows)
    if header is not None:
        return tuple(header[1])
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


def _marks(line: int, cells: list[str], has_names: bool, size: int) -> tuple[bool, ...]:
    values = cells[1:] if has_names else cells
    if len(values) != size:
        count = len(values)
        raise MatrixFormatError(
            line, f"{count} {'value' if count == 1 else 'values'} where a square matrix of {size} "
            f"rows needs {size}"
        )
    first_column = 2 if has_names else 1
    marks: list[bool] = []
    for column, text in enumerate(values, start=first_column):
        value = _number(text)
        if value is None:
            raise MatrixFormatError(line, f"{text!r} is not a number", column)
        marks.append(value != 0.0)
    return tuple(marks)


# --- the import graph of the standard library -----------------------------------------------

# Folders and modules that are not part of the library proper: tests, demos, the IDE, installer
# and environment tooling, third-party locations, frozen test modules, data-only packages and the
# distributor's site hooks.
_NOT_CANDIDATES = frozenset(
    {
        "test",
        "tests",
        "idlelib",
        "ensurepip",
        "venv",
        "turtledemo",
        "lib2to3",
        "site-packages",
        "dist-packages",
        "__hello__",
        "__phello__",
        "__pycache__",
        "antigravity",
        "this",
        "pydoc_data",
        "sitecustomize",
        "_distutils_system_mod",
    }
)
_TEST_FOLDERS = frozenset({"test", "tests", "idle_test", "__pycache__"})


def stdlib_candidates(stdlib: Path) -> dict[str, list[Path]]:
    """Top-level modules of a library folder with their source files, by module name."""
    modules: dict[str, list[Path]] = {}
    for entry in sorted(stdlib.iterdir()):
        if entry.is_file() and entry.suffix == ".py":
            name = entry.stem
            if _is_candidate(name):
                modules[name] = [entry]
        elif entry.is_dir() and _is_candidate(entry.name) and (entry / "__init__.py").is_file():
            modules[entry.name] = sorted(_package_sources(entry))
    return modules


def _is_candidate(name: str) -> bool:
    # The build's generated configuration data is not a module anyone imports by name.
    return (
        name.isidentifier()
        and name not in _NOT_CANDIDATES
        and not name.startswith("_sysconfigdata")
    )


def _package_sources(package: Path) -> Iterator[Path]:
    for path in package.rglob("*.py"):
        if not _TEST_FOLDERS.intersection(path.relative_to(package).parts[:-1]):
            yield path


def imported_modules(source: bytes) -> set[str]:
    """Top-level names of the absolute imports anywhere in a source file."""
    found: set[str] = set()
    for node in _statements(ast.parse(source)):
        if isinstance(node, ast.Import):
            found.update(alias.name.partition(".")[0] for alias in node.names)
        elif isinstance(node, ast.ImportFrom) and node.level == 0 and node.module:
            found.add(node.module.partition(".")[0])
    return found


def _statements(tree: ast.AST) -> Iterator[ast.AST]:
    """Every statement of a tree, nested ones included, without visiting expressions.

    Imports are statements, and statements only sit in the bodies of other statements, of
    exception handlers and of match cases, so the expressions (most of a tree) need no visit.
    """
    pending = [tree]
    while pending:
        node = pending.pop()
        yield node
        pending.extend(
            child
            for child in ast.iter_child_nodes(node)
            if isinstance(child, (ast.stmt, ast.excepthandler, ast.match_case))
        )


def import_arcs(modules: dict[str, list[Path]]) -> set[tuple[str, str]]:
    """(importer, imported) pairs between the given modules, a module's own name left out."""
    arcs: set[tuple[str, str]] = set()
    for name, sources in modules.items():
        for source in sources:
            try:
                targets = imported_modules(source.read_bytes())
            except (SyntaxError, ValueError):
                # Sources written for another interpreter version are left out, not fatal.
                continue
            for target in targets:
                if target != name and target in modules:
                    arcs.add((name, target))
    return arcs


def stdlib_dsm(count: int, stdlib: Path | None = None) -> Dsm:
    """The import matrix of the `count` library modules with the most import arcs (in + out).

    Ties are broken by name; rows and columns are in alphabetical order.
    """
    folder = Path(sysconfig.get_paths()["stdlib"]) if stdlib is None else stdlib
    modules = stdlib_candidates(folder)
    if not 1 <= count <= len(modules):
        raise ValueError(f"{folder} has {len(modules)} candidate modules; cannot keep {count}")
    arcs = import_arcs(modules)
    degree = dict.fromkeys(modules, 0)
    for importer, imported in arcs:
        degree[importer] += 1
        degree[imported] += 1
    kept = sorted(sorted(modules, key=lambda name: (-degree[name], name))[:count])
    index = {name: place for place, name in enumerate(kept)}
    marks = [[False] * count for _ in kept]
    for importer, imported in arcs:
        if importer in index and imported in index:
            marks[index[importer]][index[imported]] = True
    return Dsm(tuple(kept), tuple(tuple(row) for row in marks))
