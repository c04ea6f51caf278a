"""A forked process never continues the random stream of the process it was forked from: a child and
its parent, and the workers of a fork pool, each draw runs of their own."""
import json
import multiprocessing
import os

import pytest

from run_checks import run
from travok import SequencingSettings

pytestmark = [
    pytest.mark.skipif(not hasattr(os, "fork"), reason="the system has no fork"),
    # Idle threads that earlier tests' executors leave behind; the children touch only this module.
    pytest.mark.filterwarnings("ignore:This process .* is multi-threaded:DeprecationWarning"),
]
N_WORKERS = 4


def short_run():
    """Every gene of a short run: 30 random orderings of 40 genes, and their offspring."""
    lineage = run(SequencingSettings(40, 0.9, 0.5, n_chromosomes=30, n_generations=2))
    return [c.genes for p in lineage.generations for c in p.chromosomes]


def test_parent_and_forked_child_draw_different_runs():
    short_run()  # the parent's stream exists and is partway through a block when it forks
    reading, writing = os.pipe()
    child = os.fork()
    if child == 0:
        try:
            with os.fdopen(writing, "w") as pipe:
                json.dump(short_run(), pipe)
        finally:
            os._exit(0)
    os.close(writing)
    mine = short_run()
    with os.fdopen(reading) as pipe:
        theirs = json.load(pipe)
    assert os.waitpid(child, 0)[1] == 0
    assert len(theirs) == len(mine)
    assert theirs != mine


worker = {}  # what a pool's initializer hands each worker


def worker_start(barrier):
    worker["barrier"] = barrier


def run_in_worker(_):
    # Every worker holds one task when the runs start, so each run is a different worker's first.
    worker["barrier"].wait(timeout=60)
    return short_run()


def test_fork_pool_workers_draw_different_runs():
    short_run()
    context = multiprocessing.get_context("fork")
    barrier = context.Barrier(N_WORKERS)
    with context.Pool(N_WORKERS, initializer=worker_start, initargs=(barrier,)) as pool:
        runs = pool.map(run_in_worker, range(N_WORKERS), chunksize=1)
    assert len({json.dumps(r) for r in runs}) == N_WORKERS
