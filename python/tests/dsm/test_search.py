"""The search module travok_dsm._search: its refusals, orderings it can prove best on small
matrices, the interpreter lock released while it runs, a signal handler that ends it; and
sequence()'s default method on a real matrix."""
import itertools
import os
import signal
import threading
import time

import numpy as np
import pytest

from travok_dsm._search import search


def random_marks(size, density, seed):
    marks = np.random.default_rng(seed).random((size, size)) < density
    np.fill_diagonal(marks, False)
    return marks


def feedback_of(marks, order):
    placed = marks[np.ix_(order, order)]
    return int(np.triu(placed, 1).sum())


@pytest.mark.parametrize(
    "call, error, message",
    [
        (lambda: search(), TypeError,
         "search() missing 3 required positional arguments: 'size', 'rows', and 'columns'"),
        (lambda: search(3, [], [], 1.0), TypeError, "search() takes 3 positional arguments but 4 were given"),
        (lambda: search(3, [], [], budget=1), TypeError, "search() got an unexpected keyword argument 'budget'"),
        (lambda: search(3, "01", [1, 2]), TypeError, "argument 'rows': Can't extract `str` to `Vec`"),
        (lambda: search(3, [0], [1], seconds="1"), TypeError, "argument 'seconds': must be real number, not str"),
        (lambda: search(3, [0], [1], starts=[[0, 1, 2.0]]), TypeError,
         "argument 'starts': 'float' object cannot be interpreted as an integer"),
        (lambda: search(3, [0], [1], generations=-1), OverflowError, None),
        (lambda: search(3, [0, 1], [1]), ValueError, "rows and columns must have the same length, not 2 and 1"),
        (lambda: search(3, [0, 1], [1, 3]), ValueError, "mark 1 (1, 3) is outside a matrix of size 3"),
        (lambda: search(3, [0], [1], seconds=float("nan")), ValueError,
         "seconds must be a finite number of at least 0, not nan"),
        (lambda: search(3, [0], [1], starts=[[0, 1, 2], [2, 0, 0]]), ValueError,
         "starts[1] is not an ordering of 3 elements (each index below 3 once)"),
        (lambda: search(3, [0], [1], starts=[[0, 1]]), ValueError,
         "starts[0] is not an ordering of 3 elements (each index below 3 once)"),
    ],
    ids=["missing", "positional", "keyword", "str", "seconds-type", "start-item", "negative", "lengths",
         "outside", "nan", "repeat", "short"],
)
def test_arguments_are_refused_before_the_search(call, error, message):
    with pytest.raises(error) as caught:
        call()
    if message is not None:
        assert str(caught.value) == message


@pytest.mark.parametrize("size, density, seed", [(7, 0.4, 1), (8, 0.3, 2), (8, 0.5, 3)])
def test_finds_the_least_feedback_of_small_matrices(size, density, seed):
    marks = random_marks(size, density, seed)
    least = min(feedback_of(marks, list(order)) for order in itertools.permutations(range(size)))
    rows, columns = np.nonzero(marks)  # arrays of indices are taken as they are
    order, found, generations, stop = search(size, rows, columns, stagnation=30)
    assert sorted(order) == list(range(size))
    assert found == feedback_of(marks, order) == least
    # Stagnation, or the least feedback proven by the pairs marked both ways.
    assert stop in ("stagnation", "bound") and (generations >= 30 or stop == "bound")


def test_stops_at_the_bound_from_a_start_that_reaches_it():
    marks = random_marks(40, 0.1, 4)
    rows, columns = np.nonzero(marks)
    order, found, _, _ = search(40, rows.tolist(), columns.tolist(), generations=50)
    again, found_again, _, stop = search(40, rows.tolist(), columns.tolist(), bound=found, starts=[order],
                                         seconds=60.0)
    assert stop == "bound" and found_again <= found == feedback_of(marks, order)
    assert found_again == feedback_of(marks, again)


def turns_while(alive):
    turns = 0
    while alive():
        turns += 1
    return turns


def test_releases_the_interpreter_lock_while_it_runs():
    marks = random_marks(150, 0.05, 5)
    rows, columns = (index.tolist() for index in np.nonzero(marks))
    searching = threading.Thread(target=search, args=(150, rows, columns), kwargs={"seconds": 0.5})
    searching.start()
    during = turns_while(searching.is_alive)
    searching.join()
    end = time.monotonic() + 0.5
    alone = turns_while(lambda: time.monotonic() < end)
    # Were the lock held by the search, this thread would get a turn only when it polls for
    # signals, a few times a second.
    assert during > alone / 4


class Alarm(Exception):
    pass


def raise_alarm(signum, frame):
    raise Alarm


@pytest.mark.parametrize("interrupt, expected", [
    (lambda: signal.setitimer(signal.ITIMER_REAL, 0.3), Alarm),
    (lambda: threading.Timer(0.3, os.kill, (os.getpid(), signal.SIGINT)).start(), KeyboardInterrupt),
], ids=["handler-raises", "ctrl-c"])
def test_a_signal_handler_that_raises_ends_the_search(interrupt, expected):
    marks = random_marks(200, 0.05, 6)
    rows, columns = (index.tolist() for index in np.nonzero(marks))
    previous = signal.signal(signal.SIGALRM, raise_alarm)
    # The interpreter's own Ctrl-C handler, even where the suite was started with SIGINT ignored.
    previous_int = signal.signal(signal.SIGINT, signal.default_int_handler)
    try:
        interrupt()
        started = time.monotonic()
        with pytest.raises(expected):
            search(200, rows, columns, seconds=120.0)
        # Ended by the handler, not by its budget of two minutes.
        assert time.monotonic() - started < 30
    finally:
        signal.setitimer(signal.ITIMER_REAL, 0)
        signal.signal(signal.SIGALRM, previous)
        signal.signal(signal.SIGINT, previous_int)
