"""The examples run against the package as it is."""
import json
import os
import subprocess
import sys
from pathlib import Path

import pytest

import scipy_needed  # noqa: F401 - skips the module where SciPy cannot be used
import travok_dsm

EXAMPLES = Path(__file__).resolve().parents[3] / "examples"


def run_example(name, *arguments, cwd):
    paths = [str(Path(travok_dsm.__file__).resolve().parents[1]), os.environ.get("PYTHONPATH", "")]
    return subprocess.run([sys.executable, str(EXAMPLES / name), *arguments], cwd=cwd, capture_output=True,
                          text=True, timeout=300, env={**os.environ, "PYTHONPATH": os.pathsep.join(paths)})


def test_own_matrix_gives_one_feedback_mark_from_every_input(tmp_path):
    done = run_example("own_matrix.py", cwd=tmp_path)
    assert done.returncode == 0, done.stderr
    *lines, printed = done.stdout.splitlines()
    assert [line.split()[0] for line in lines][:3] == ["numpy", "csv", "edges"]
    assert all(" 1 feedback mark(s): " in line for line in lines)
    assert json.loads(printed)["feedback"] == 1


def test_on_a_cluster(tmp_path):
    pytest.importorskip("distributed")
    ring = [[int((column - row) % 9 in (1, 2)) for column in range(9)] for row in range(9)]
    travok_dsm.Dsm(ring, [f"t{index}" for index in range(9)]).to_csv(tmp_path / "ring.csv")
    done = run_example("on_a_cluster.py", str(tmp_path / "ring.csv"), cwd=tmp_path)
    assert done.returncode == 0, done.stderr
    assert " feedback marks after 8 runs in " in done.stdout
    assert "block of 9: runs found [" in done.stdout
