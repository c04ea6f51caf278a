"""The command line: counts it can back up, the JSON contract, refusals, the picture and Ctrl-C."""
import contextlib
import json
import os
import re
import signal
import subprocess
import sys
import time
from pathlib import Path

import pytest

import scipy_needed  # noqa: F401 - skips the module where SciPy cannot be used
import travok_dsm
from travok_dsm import Dsm, feedback


def environment():
    paths = [str(Path(travok_dsm.__file__).resolve().parents[1])]
    paths += [entry for entry in os.environ.get("PYTHONPATH", "").split(os.pathsep) if entry]
    return {**os.environ, "PYTHONPATH": os.pathsep.join(paths), "MPLBACKEND": "Agg"}


def run_command(*arguments, cwd):
    return subprocess.run([sys.executable, "-m", "travok_dsm", *arguments], cwd=cwd, env=environment(),
                          capture_output=True, text=True, timeout=120)


def ring_rows(size):
    """Each element depends on the next two, the last ones wrapping round: cycles to break."""
    return [[1 if (column - row) % size in (1, 2) else 0 for column in range(size)] for row in range(size)]


def write_csv(path, names, rows):
    Dsm(rows, names).to_csv(path)
    return Dsm.read_csv(path)


def reported(output, dsm):
    """The counts the report prints, and the feedback of the ordering it prints, counted here."""
    before = int(re.search(r"feedback marks in [\w ]+ order: (\d+)", output).group(1))
    best = re.search(r"best ordering found: (\d+) \(fitness (\d+) = (\d+) - (\d+)\)", output)
    listing = output.split("feedback marks):\n", 1)[1].split("picture:")[0]
    order = re.split(r",\s*", listing.strip())
    return before, [int(value) for value in best.groups()], feedback(dsm, order)


SMALL = ["--method", "sga", "--chromosomes", "10", "--generations", "5", "--restarts", "1", "--workers", "1"]


@pytest.fixture
def ring_csv(tmp_path):
    path = tmp_path / "ring.csv"
    return path, write_csv(path, [f"part{index:02}" for index in range(12)], ring_rows(12))


@pytest.mark.parametrize(
    "option, partition_lines",
    [
        ([], "partition: 1 block in dependency order, of sizes 12\nfeedback marks inside blocks: "),
        (["--no-partition"], None),
    ],
    ids=["partitioned", "whole"],
)
def test_report_gives_counts_it_can_back_up(ring_csv, tmp_path, option, partition_lines):
    path, dsm = ring_csv
    done = run_command(str(path), *SMALL, *option, cwd=tmp_path)
    assert done.returncode == 0, done.stderr
    assert "size: 12 elements, 24 marks" in done.stdout
    before, (found, fitness, pairs, subtracted), recounted = reported(done.stdout, dsm)
    assert before == feedback(dsm, range(12)) == 21
    assert (pairs, subtracted, fitness) == (66, found, 66 - found)
    assert recounted == found
    assert re.search(r"sga: 1 run of (its block|the matrix) \(1 run in all, in this process\) in \d+\.\d\d s; "
                     r"10 chromosomes × 5 generations for the block of 12\n", done.stdout)
    if partition_lines is None:
        assert "partition" not in done.stdout
    else:
        assert partition_lines in done.stdout


def test_each_block_is_searched_on_its_own(tmp_path):
    # A ring of 6 and a ring of 5 that depends on it, a mutual pair, and loose elements between them.
    size = 16
    rows = [[0] * size for _ in range(size)]
    for first, length in ((2, 6), (9, 5)):
        for offset, row in enumerate(ring_rows(length)):
            rows[first + offset][first:first + length] = row
    for row, column in ((9, 3), (14, 15), (15, 14), (14, 12), (8, 13), (2, 1)):
        rows[row][column] = 1
    path = tmp_path / "blocks.csv"
    dsm = write_csv(path, [f"el{index:02}" for index in range(size)], rows)
    done = run_command(str(path), "--method", "sga", "--chromosomes", "20", "--generations", "10", "--restarts", "2",
                       cwd=tmp_path)
    assert done.returncode == 0, done.stderr
    assert "partition: 6 blocks in dependency order, of sizes 1 ×2, 6, 5, 1, 2\n" in done.stdout
    inside = re.search(r"feedback marks inside blocks: (\d+) in a block of 6, (\d+) in a block of 5, "
                       r"1 in a block of 2; none between blocks\n", done.stdout)
    _, (found, _, _, _), recounted = reported(done.stdout, dsm)
    assert recounted == found == int(inside.group(1)) + int(inside.group(2)) + 1
    assert re.search(r"sga: 2 runs of each of 2 blocks \(4 runs in all, [^)]+\) in \d+\.\d\d s; "
                     r"20 chromosomes × 10 generations for the blocks of 6, 5\n", done.stdout)


def test_json_is_the_contract_and_nothing_else(ring_csv, tmp_path):
    path, dsm = ring_csv
    # The default method, memetic.
    done = run_command(str(path), "--seconds", "0.2", "--restarts", "1", "--json", "--no-exact", cwd=tmp_path)
    assert done.returncode == 0, done.stderr
    printed = json.loads(done.stdout)
    assert list(printed) == ["labels", "order", "feedback", "lower_bound", "seconds", "blocks"]
    assert printed["labels"] == list(dsm.labels)
    assert printed["feedback"] == feedback(dsm, printed["order"]) == printed["blocks"][0]["feedback"]
    assert printed["lower_bound"] is None and printed["blocks"][0]["lower_bound"] is None
    assert printed["blocks"][0]["labels"] == printed["order"]


@pytest.mark.parametrize(
    "option, note, bound",
    [([], "proven minimum", 6), (["--no-exact"], "no lower bound (exact step skipped)", None)],
    ids=["exact", "no-exact"],
)
def test_exact_step_proves_the_known_minimum(tmp_path, option, note, bound):
    # Module-level imports of 60 standard-library modules: blocks of 10, 2 and 2, least feedback 6.
    matrix = str(Path(__file__).parent / "data" / "stdlib_modlevel_60.csv")
    done = run_command(matrix, *option, cwd=tmp_path)
    assert done.returncode == 0, done.stderr
    assert "best ordering found: 6 (fitness 1764 = 1770 - 6); " + note + "\n" in done.stdout
    done = run_command(matrix, "--json", *option, cwd=tmp_path)
    printed = json.loads(done.stdout)
    assert (printed["feedback"], printed["lower_bound"]) == (6, bound)
    assert [block["lower_bound"] for block in printed["blocks"]] == \
        [block["feedback"] if bound else None for block in printed["blocks"]]


def test_reads_a_library_folder(tmp_path):
    library = tmp_path / "lib"
    library.mkdir()
    for index in range(81):
        imports = f"import mod{(index + 1) % 81:02}\nimport mod{(index + 7) % 81:02}\n"
        (library / f"mod{index:02}.py").write_text(imports)
    done = run_command("--stdlib", str(library), "--modules", "80", *SMALL, cwd=tmp_path)
    assert done.returncode == 0, done.stderr
    assert "size: 80 elements" in done.stdout
    assert "feedback marks in alphabetical order: " in done.stdout


@pytest.mark.parametrize(
    "arguments, message",
    [
        (["--modules", "79"], "argument --modules: 79 is not at least 80 and at most 150"),
        (["--p-mutation", "1.5"], "argument --p-mutation: 1.5 is not a probability between 0 and 1"),
        (["--workers", "0"], "argument --workers: 0 is not at least 1"),
        (["m.csv", "--modules", "90"], "argument --modules: not allowed with argument FILE"),
        (["--chromosomes", "10"], "--chromosomes goes with --method sga, not memetic"),
        (["--method", "sga", "--seconds", "1"], "--seconds goes with --method memetic, not sga"),
    ],
    ids=["too-few-modules", "probability", "workers", "file-and-modules", "sga-option", "memetic-option"],
)
def test_refuses_bad_options(tmp_path, arguments, message):
    done = run_command(*arguments, cwd=tmp_path)
    assert done.returncode == 2
    assert done.stderr.strip().endswith(f"travok-dsm: error: {message}")


@pytest.mark.parametrize(
    "text, message",
    [
        ("0,1\n0,0,1\n", "line 2: 3 values where a square matrix of 2 rows needs 2"),
        ("0,1\n1,?\n", "line 2, column 2: '?' is not a number"),
    ],
    ids=["not-square", "not-a-number"],
)
def test_refuses_a_bad_matrix(tmp_path, text, message):
    path = tmp_path / "bad.csv"
    path.write_text(text)
    done = run_command(str(path), cwd=tmp_path)
    assert (done.returncode, done.stdout) == (2, "")
    assert done.stderr == f"travok-dsm: error: {path}: {message}\n"


def test_draws_a_png(ring_csv, tmp_path):
    pytest.importorskip("matplotlib")
    path, _ = ring_csv
    picture = tmp_path / "ring.png"
    done = run_command(str(path), *SMALL, "--png", str(picture), cwd=tmp_path)
    assert done.returncode == 0, done.stderr
    assert done.stdout.endswith(f"picture: {picture}\n")
    assert picture.read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"


def session_processes(session):
    found = []
    for entry in Path("/proc").iterdir():
        try:
            fields = (entry / "stat").read_text().rsplit(")", 1)[1].split()
        except (OSError, IndexError):
            continue
        if int(fields[3]) == session:  # the fields after the name: state, parent, group, session
            found.append(int(entry.name))
    return found


def ctrl_c_not_ignored():
    # A suite started with SIGINT ignored (a shell's background job) would pass that on, and the
    # command would then never see Ctrl-C.
    signal.signal(signal.SIGINT, signal.SIG_DFL)


def test_ctrl_c_ends_the_runs_and_every_worker(tmp_path):
    path = tmp_path / "ring.csv"
    write_csv(path, [f"part{index:02}" for index in range(60)], ring_rows(60))
    started = subprocess.Popen(
        [sys.executable, "-m", "travok_dsm", str(path), "--method", "sga", "--chromosomes", "1000",
         "--generations", "2500",
         "--restarts", "20", "--workers", "2"],
        cwd=tmp_path, env={**environment(), "PYTHONFAULTHANDLER": "1"}, stdout=subprocess.PIPE,
        stderr=subprocess.PIPE, text=True, start_new_session=True, preexec_fn=ctrl_c_not_ignored)
    # Progress shows once the work has taken a second: the workers are busy by then.
    assert "runs done" in started.stderr.readline()
    os.killpg(started.pid, signal.SIGINT)
    try:
        _, errors = started.communicate(timeout=60)
    except subprocess.TimeoutExpired:
        # Whatever still holds the output: each process prints its Python stacks on SIGABRT.
        left = session_processes(started.pid)
        with contextlib.suppress(ProcessLookupError):
            os.killpg(started.pid, signal.SIGABRT)
        _, stacks = started.communicate(timeout=30)
        pytest.fail(f"still running 60 s after Ctrl-C: processes {left}, exit {started.returncode}\n{stacks}")
    assert started.returncode == 130
    assert errors.endswith("travok-dsm: interrupted\n")
    for _ in range(50):
        if not session_processes(started.pid):
            break
        time.sleep(0.1)
    assert session_processes(started.pid) == []
