"""A run asks the interpreter for pending signals between generations: a handler that raises ends
the run promptly with its own exception, and nothing of the run is left behind."""
import contextlib
import gc
import os
import signal
import subprocess
import sys
import time
import tracemalloc

import pytest

from run_checks import address_space, run, sanitized
from test_long_runs import heap_in_use
from travok import EvaluatorKinds, EvaluatorMatrix, SequencingSettings

pytestmark = pytest.mark.skipif(not hasattr(signal, "setitimer"), reason="needs interval timers")

MiB = 1 << 20
# Runs that would take well over ten seconds (200 × 200 for 100 000 generations; none at all to
# run out with no population), each interrupted a fraction of a second after it starts.
LONG = dict(n_genes=200, n_chromosomes=200, n_generations=100_000)
ENDLESS = dict(n_genes=10, n_chromosomes=0, n_generations=2**64 - 1)
# Loose: interrupted runs must end within this, far below their natural length.
PROMPT = 5.0


class Deadline(Exception):
    pass


def evaluator():
    return EvaluatorMatrix(EvaluatorKinds.FeedbackMarks, [float((i * 7) % 10 < 1) for i in range(200 * 200)])


def alarm(seconds):
    """SIGALRM after `seconds`, its handler raising Deadline."""

    def raise_deadline(signum, frame):
        raise Deadline

    signal.signal(signal.SIGALRM, raise_deadline)
    signal.setitimer(signal.ITIMER_REAL, seconds)
    return None


def interrupt(seconds):
    """SIGINT from another process after `seconds`, met by the interpreter's own handler. The sender
    is an interpreter (a thread of this one would wait for the lock the run holds; a shell is not
    in every root the suite runs in), started bare so that it starts fast."""
    code = f"import os, signal, time; time.sleep({seconds}); os.kill({os.getpid()}, signal.SIGINT)"
    return subprocess.Popen([sys.executable, "-I", "-S", "-c", code])


@pytest.fixture(autouse=True)
def restore_signals():
    saved = signal.getsignal(signal.SIGALRM), signal.getsignal(signal.SIGINT)
    # The interpreter's own Ctrl-C handler, even where the suite was started with SIGINT ignored
    # (as a background job of a shell is).
    signal.signal(signal.SIGINT, signal.default_int_handler)
    yield
    signal.setitimer(signal.ITIMER_REAL, 0)
    signal.signal(signal.SIGALRM, saved[0])
    signal.signal(signal.SIGINT, saved[1])


def interrupted_run(shape, send, expected, delay):
    """Seconds from sending to the exception; fails if the run ends any other way. Under a cap on the
    address space, so that a run that goes on ends in a MemoryError rather than taking the machine."""
    settings, matrix = SequencingSettings(p_crossover=0.9, p_mutation=0.2, **shape), evaluator()
    with address_space() if not sanitized() else contextlib.nullcontext():
        started = time.perf_counter()
        sender = send(delay)
        with pytest.raises(expected) as excinfo:
            run(settings, matrix)
        seconds = time.perf_counter() - started
    if sender is not None:
        sender.wait()
    return seconds, excinfo


@pytest.mark.parametrize("shape", [LONG, ENDLESS], ids=["long", "endless"])
@pytest.mark.parametrize(("send", "expected"), [(alarm, Deadline), (interrupt, KeyboardInterrupt)],
                         ids=["alarm-handler", "ctrl-c"])
def test_a_raising_handler_ends_the_run_with_its_own_exception(shape, send, expected):
    seconds, excinfo = interrupted_run(shape, send, expected, 0.2)
    assert type(excinfo.value) is expected  # not wrapped into an internal fault
    assert seconds < PROMPT


def test_a_handler_that_returns_runs_during_the_run_and_the_result_is_kept():
    ran = []
    signal.signal(signal.SIGALRM, lambda signum, frame: ran.append(time.perf_counter()))
    matrix = evaluator()
    started = time.perf_counter()
    signal.setitimer(signal.ITIMER_REAL, 0.01)
    lineage = run(SequencingSettings(200, 0.9, 0.2, n_chromosomes=100, n_generations=5000, n_records=10), matrix)
    ended = time.perf_counter()
    assert lineage.records[0].size == 100 and lineage.records[-1].size == 100
    assert len(lineage.hall_of_fame.chromosomes) == 1
    # Within the run, not once it has returned (loosely: in its first half).
    assert len(ran) == 1 and ran[0] - started < (ended - started) / 2


@pytest.mark.skipif(sanitized(), reason="the sanitizer's allocator keeps no heap counts")
def test_interrupted_runs_leave_nothing_behind():
    def once():
        interrupted_run(LONG, alarm, Deadline, 0.3)
        gc.collect()

    once()  # the first run maps the gene memory every later one reuses
    tracemalloc.start()
    heap_before = heap_in_use()
    for _ in range(2):
        once()
    heap_grew = heap_in_use() - heap_before if heap_before is not None else 0
    traced, _ = tracemalloc.get_traced_memory()
    tracemalloc.stop()
    # A run left behind would be tens of megabytes (0.3 s of 200 × 200 populations); allocator slack is less.
    assert heap_grew < 4 * MiB
    assert traced < 1 * MiB
