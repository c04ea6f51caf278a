"""The import graph of a Python standard library as a matrix: which library modules import which."""

from __future__ import annotations

import ast
import sysconfig
from collections.abc import Iterator
from pathlib import Path

import numpy as np

from travok_dsm.matrix import Dsm

__all__ = ["import_arcs", "imported_modules", "stdlib_candidates", "stdlib_dsm"]

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
    marks = np.zeros((count, count), dtype=bool)
    for importer, imported in arcs:
        if importer in index and imported in index:
            marks[index[importer], index[imported]] = True
    return Dsm(marks, kept)
