"""Running many search runs: in this process, over a pool of worker processes, or over any
``concurrent.futures.Executor`` (a cluster's included), with progress and a prompt Ctrl-C."""

from __future__ import annotations

import contextlib
import os
import signal
import time
from collections.abc import Callable, Iterator, Sequence
from typing import TYPE_CHECKING, Any

from travok_dsm._runs import RunData, run

# The pools' modules are loaded when runs go out to one: runs in this process need neither.
if TYPE_CHECKING:
    import multiprocessing
    from concurrent.futures import Executor, Future

__all__ = ["Call", "Progress", "default_workers", "run_calls"]

# The arguments of one run: method, the block's cells, its size, the method's options and the
# run's number.
Call = tuple[str, bytes, int, dict[str, Any], int]
# Told runs done, runs in all and seconds since the start, after every run and every second.
Progress = Callable[[int, int, float], None]

_TICK = 1.0


def default_workers() -> int:
    """The cores this process may run on."""
    return os.process_cpu_count() or 1


def run_calls(
    calls: Sequence[Call],
    *,
    executor: Executor | None = None,
    workers: int | None = None,
    progress: Progress | None = None,
) -> list[RunData]:
    """The results of the runs, in the order of ``calls``.

    With an executor, every run is submitted to it. Otherwise a pool of ``workers`` processes
    (default: one per core) runs them, or this process when one worker is enough. On an exception,
    Ctrl-C included, the runs not started are cancelled (and the pool's processes ended) before it
    propagates.
    """
    started = time.perf_counter()

    def report(done: int) -> None:
        if progress is not None:
            progress(done, len(calls), time.perf_counter() - started)

    if executor is not None:
        return _over(executor, calls, report, own=False)
    count = min(default_workers() if workers is None else workers, len(calls))
    if count <= 1:
        return _here(calls, report)
    from concurrent.futures import BrokenExecutor, ProcessPoolExecutor

    pool = ProcessPoolExecutor(count, mp_context=_start_method())
    try:
        return _over(pool, calls, report, own=True)
    except (BrokenExecutor, ConnectionError) as error:
        # Most often a script that runs at its top level: every worker imports it again.
        raise RuntimeError(
            f"the worker processes failed ({type(error).__name__}: {error}); in a script that "
            "calls sequence() at its top level, put the call under `if __name__ == "
            "'__main__':`, as each worker process imports the script again"
        ) from error
    finally:
        pool.shutdown(wait=True, cancel_futures=True)


def _start_method() -> multiprocessing.context.BaseContext:
    # A forked worker would copy this process's random source, and every worker that had not
    # drawn yet would replay the same stream; the workers must start fresh instead.
    import multiprocessing

    methods = multiprocessing.get_all_start_methods()
    return multiprocessing.get_context("forkserver" if "forkserver" in methods else "spawn")


@contextlib.contextmanager
def _interrupt_held(hold: bool) -> Iterator[None]:
    """Ctrl-C waits for the end of the block, and the processes started in it never see it.

    The pool's server and workers start inside: a fresh interpreter hit by Ctrl-C while it loads
    prints a traceback after this process has already reported the interrupt. Those processes
    keep the signal blocked (they are ended instead); here it is raised once the block ends.
    """
    if not hold or not hasattr(signal, "pthread_sigmask"):
        yield
        return
    held = signal.pthread_sigmask(signal.SIG_BLOCK, {signal.SIGINT})
    try:
        yield
    finally:
        signal.pthread_sigmask(signal.SIG_SETMASK, held)


def _here(calls: Sequence[Call], report: Callable[[int], None]) -> list[RunData]:
    results = []
    for call in calls:
        results.append(run(*call))
        report(len(results))
    return results


def _over(
    executor: Executor, calls: Sequence[Call], report: Callable[[int], None], *, own: bool
) -> list[RunData]:
    from concurrent.futures import FIRST_COMPLETED, ProcessPoolExecutor, wait

    futures: list[Future[RunData]] = []
    try:
        with _interrupt_held(own):
            for call in calls:
                futures.append(executor.submit(run, *call))
        place = {future: number for number, future in enumerate(futures)}
        results: list[RunData | None] = [None] * len(calls)
        pending = set(futures)
        while pending:
            done, pending = wait(pending, timeout=_TICK, return_when=FIRST_COMPLETED)
            for future in done:
                results[place[future]] = future.result()
            report(len(calls) - len(pending))
    except BaseException:
        for future in futures:
            future.cancel()
        if own and isinstance(executor, ProcessPoolExecutor):
            # Runs inside a worker do not see this process's interrupt: end the workers instead.
            executor.terminate_workers()
        raise
    return [result for result in results if result is not None]
