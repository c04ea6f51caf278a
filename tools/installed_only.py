"""pytest plugin for tools/check-wheel: the run fails unless every module of the installed
distribution that the tests imported came from the environment it was installed into."""
import importlib.metadata
import sys
from pathlib import Path

import pytest


def top_level_names(distribution):
    """The importable names the distribution installs: travok, and any package beside it."""
    names = set()
    for file in importlib.metadata.files(distribution) or ():
        top = file.parts[0]
        if top.endswith((".dist-info", "-stubs", ".pyi")) or top == "..":
            continue
        names.add(top.split(".")[0])
    return names


def origin(module):
    location = getattr(module, "__file__", None) or next(iter(getattr(module, "__path__", ())), None)
    return Path(location).resolve() if location else None


def pytest_sessionfinish(session):
    installed = Path(sys.prefix).resolve()
    names = top_level_names("travok")
    imported = {name: module for name, module in list(sys.modules.items()) if name.split(".")[0] in names}
    outside = sorted(f"{name} ({origin(module)})" for name, module in imported.items()
                     if origin(module) is not None and not origin(module).is_relative_to(installed))
    problems = []
    if "travok" not in imported:
        problems.append("the tests never imported travok")
    if outside:
        problems.append("imported from outside the environment: " + ", ".join(outside))
    if problems:
        writer = session.config.get_terminal_writer()
        writer.line()
        writer.line("check-wheel: " + "; ".join(problems), red=True)
        session.exitstatus = pytest.ExitCode.TESTS_FAILED
