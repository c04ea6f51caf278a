"""What a large hall of fame costs a run: the benchmark job with n_hall_of_fame of 1 and of a capacity
no run fills, so that every distinct chromosome of the run is kept.

    PYTHONPATH=build/python python3 benchmarks/hall_of_fame.py [--sizes 40x200x1000,40x200x300]
        [--capacities 1,10000000] [--repetitions 5]

The clocks (wall and process CPU time) run around sequence_sga alone, in this interpreter, the runs
of the capacities taking turns; the table gives their medians and the members the hall of fame
ended with. Run it on an
idle core: other work skews the figures.
"""
from __future__ import annotations

import argparse
import statistics
import time

import travok
from job import make_matrix, parse_job

SIZES = ("40x200x1000", "40x200x300")
CAPACITIES = (1, 10**7)


def run(job, evaluator, capacity: int) -> tuple[float, float, int]:
    """One timed run: its wall and process CPU seconds, and its hall of fame's size."""
    settings = travok.SequencingSettings(n_genes=job.n_genes, p_crossover=job.p_crossover,
                                         p_mutation=job.p_mutation, n_chromosomes=job.n_chromosomes,
                                         n_generations=job.n_generations, n_hall_of_fame=capacity)
    started, cpu_started = time.perf_counter(), time.process_time()
    lineage = travok.sequence_sga(settings, travok.GeneratorKinds.RandomSequence, evaluator,
                                  travok.RecorderKinds.FitnessStatistics, travok.SelectorKinds.Roulette,
                                  travok.CrossoverKinds.IPX, travok.MutatorSwap(job.p_swap),
                                  travok.ConvergenceKinds.Never)
    seconds, cpu = time.perf_counter() - started, time.process_time() - cpu_started
    return seconds, cpu, len(lineage.hall_of_fame.chromosomes)


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--sizes", default=",".join(SIZES),
                        help="GENESxCHROMOSOMESxGENERATIONS[@DENSITY], comma-separated")
    parser.add_argument("--capacities", default=",".join(map(str, CAPACITIES)), help="n_hall_of_fame values")
    parser.add_argument("--repetitions", type=int, default=5)
    args = parser.parse_args()
    capacities = [int(text) for text in args.capacities.split(",")]

    print("| size | n_hall_of_fame | median s | min s | max s | median CPU s | members kept |")
    print("|---|---:|---:|---:|---:|---:|---:|")
    for size in args.sizes.split(","):
        job = parse_job(size)
        evaluator = travok.EvaluatorMatrix(travok.EvaluatorKinds.FeedbackMarks, make_matrix(job))
        runs: dict[int, list[float]] = {capacity: [] for capacity in capacities}
        cpu: dict[int, list[float]] = {capacity: [] for capacity in capacities}
        kept: dict[int, int] = {}
        for _ in range(args.repetitions):
            for capacity in capacities:
                seconds, cpu_seconds, kept[capacity] = run(job, evaluator, capacity)
                runs[capacity].append(seconds)
                cpu[capacity].append(cpu_seconds)
        for capacity in capacities:
            times = runs[capacity]
            print(f"| {job.label} | {capacity} | {statistics.median(times):.3f} | {min(times):.3f} | "
                  f"{max(times):.3f} | {statistics.median(cpu[capacity]):.3f} | {kept[capacity]} |", flush=True)


if __name__ == "__main__":
    main()
