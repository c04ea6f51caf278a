"""Time travok, NumPy alone and DEAP on the same sequencing jobs, side by side.

    python benchmarks/run.py [--quick] [--sizes 50x100x200,1000x100x20@0.5] [--repetitions 5]

Every run is a fresh interpreter (benchmarks/child.py) started with this interpreter and this
environment; the implementations take turns, repetition by repetition, so a change in the machine's
load falls on all of them alike. The table gives medians; the checks after it compare travok with
the goals it is held to.
"""
from __future__ import annotations

import argparse
import json
import os
import platform
import statistics
import subprocess
import sys
from dataclasses import dataclass, field
from importlib import metadata
from pathlib import Path
from typing import Any

from job import Job, parse_job

HERE = Path(__file__).resolve().parent
IMPLEMENTATIONS = ("travok", "numpy", "deap")
SIZES = ("50x100x200", "200x200x100", "1000x100x20", "1000x100x20@0.01", "1000x100x20@0.5")
QUICK_SIZES = ("30x20x10", "100x20x5", "100x20x5@0.01", "100x20x5@0.5")
MIB = 1024 * 1024

# Goals travok is held to: DEAP/travok time at least this at these sizes.
SPEED_GOALS = {"50x100x200@0.1": 50.0, "200x200x100@0.1": 100.0, "1000x100x20@0.1": 100.0}
DENSITY_GOAL = 1.5  # time at density 0.5 over time at 0.01, same size
MEMORY_GOAL = 1.3  # peak over kept genes' bytes plus the baseline
READ_BACK_GOAL = 3.0  # reading the whole result back over building the same lists in Python


@dataclass
class Measured:
    job: Job
    runs: dict[str, list[dict[str, Any]]] = field(default_factory=lambda: {name: [] for name in IMPLEMENTATIONS})

    def median(self, name: str, key: str) -> float | None:
        values = [run[key] for run in self.runs[name]]
        return statistics.median(values) if values else None

    def ratio(self, name: str, key: str = "seconds") -> float | None:
        theirs, ours = self.median(name, key), self.median("travok", key)
        return None if theirs is None or not ours else theirs / ours


def run_child(name: str, job: Job) -> dict[str, Any]:
    done = subprocess.run([sys.executable, str(HERE / "child.py"), name, job.label], env=dict(os.environ),
                          capture_output=True, text=True, check=False)
    if done.returncode != 0:
        raise SystemExit(f"{name} at {job.label} failed:\n{done.stderr}")
    report: dict[str, Any] = json.loads(done.stdout.strip().splitlines()[-1])
    return report


def measure(job: Job, names: tuple[str, ...], repetitions: int, deap_budget: float) -> Measured:
    """Alternate the implementations, rotating who goes first; DEAP repeats only within its budget."""
    measured = Measured(job)
    allowed = dict.fromkeys(names, repetitions)
    for repetition in range(repetitions):
        turn = names[repetition % len(names):] + names[:repetition % len(names)]
        for name in turn:
            if repetition >= allowed[name]:
                continue
            report = run_child(name, job)
            measured.runs[name].append(report)
            print(f"  {job.label:<18} {name:<6} {report['seconds']:9.3f} s", file=sys.stderr, flush=True)
            if name == "deap" and repetition == 0:
                allowed[name] = max(1, min(repetitions, int(deap_budget // max(report["seconds"], 1e-9))))
    return measured


def seconds_text(value: float | None) -> str:
    if value is None:
        return "—"
    return f"{value:.3g}" if value < 1 else f"{value:.2f}" if value < 100 else f"{value:.1f}"


def ratio_text(value: float | None) -> str:
    return "—" if value is None else f"{value:.1f}×"


def mib_text(value: float | None) -> str:
    return "—" if value is None else f"{value / MIB:.1f}"


def machine_lines() -> list[str]:
    model = "unknown"
    with open("/proc/cpuinfo") as cpuinfo:
        for line in cpuinfo:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    versions = []
    for package in ("numpy", "deap"):
        try:
            versions.append(f"{package} {metadata.version(package)}")
        except metadata.PackageNotFoundError:
            versions.append(f"{package} ?")
    load = " ".join(f"{value:.2f}" for value in os.getloadavg())
    return [f"machine: {len(os.sched_getaffinity(0))} CPUs (nproc), {model}",
            f"python {platform.python_version()}, {', '.join(versions)}; load average at start {load}"]


def speed_table(results: list[Measured]) -> list[str]:
    lines = ["| size (genes×chromosomes×generations@density) | travok s | NumPy s | DEAP s | NumPy/travok | "
             "DEAP/travok | CPU time NumPy/travok, DEAP/travok | peak MiB travok / NumPy / DEAP | "
             "runs travok / NumPy / DEAP |",
             "|---|---:|---:|---:|---:|---:|---|---|---|"]
    for m in results:
        peaks = " / ".join(mib_text(m.median(name, "peak_rss")) for name in IMPLEMENTATIONS)
        counts = " / ".join(str(len(m.runs[name])) for name in IMPLEMENTATIONS)
        lines.append(f"| {m.job.label} | {seconds_text(m.median('travok', 'seconds'))} | "
                     f"{seconds_text(m.median('numpy', 'seconds'))} | {seconds_text(m.median('deap', 'seconds'))} | "
                     f"{ratio_text(m.ratio('numpy'))} | {ratio_text(m.ratio('deap'))} | "
                     f"{ratio_text(m.ratio('numpy', 'cpu_seconds'))}, {ratio_text(m.ratio('deap', 'cpu_seconds'))} | "
                     f"{peaks} | {counts} |")
    return lines


def travok_table(results: list[Measured]) -> list[str]:
    lines = ["| size | kept genes MiB | baseline MiB | peak MiB | peak / (kept + baseline) | read back ms | "
             "same lists in Python ms | read back / Python |",
             "|---|---:|---:|---:|---:|---:|---:|---:|"]
    for m in results:
        if not m.runs["travok"]:
            continue
        kept, baseline, peak = m.job.kept_gene_bytes, m.median("travok", "baseline_rss"), m.median("travok", "peak_rss")
        read, python = m.median("travok", "read_back_seconds"), m.median("travok", "reference_seconds")
        assert baseline is not None and peak is not None and read is not None and python is not None
        lines.append(f"| {m.job.label} | {mib_text(kept)} | {mib_text(baseline)} | {mib_text(peak)} | "
                     f"{peak / (kept + baseline):.2f} | {read * 1e3:.1f} | {python * 1e3:.1f} | {read / python:.2f} |")
    return lines


def verdict(ok: bool) -> str:
    return "meets" if ok else "FALLS SHORT"


def goal_lines(results: list[Measured]) -> list[str]:
    lines = []
    by_label = {m.job.label: m for m in results}
    for label, goal in SPEED_GOALS.items():
        ratio = by_label[label].ratio("deap") if label in by_label else None
        if ratio is not None:
            cpu = by_label[label].ratio("deap", "cpu_seconds")
            lines.append(f"- DEAP/travok at {label}: {ratio:.1f}× (goal ≥ {goal:g}×): {verdict(ratio >= goal)}"
                         f" (by CPU time {ratio_text(cpu)})")
    # Density: the largest gene count measured at both 0.01 and 0.5 with the same other sizes.
    pairs = []
    for low in results:
        high = by_label.get(Job(low.job.n_genes, low.job.n_chromosomes, low.job.n_generations, 0.5).label)
        if low.job.density == 0.01 and high is not None and low.runs["travok"] and high.runs["travok"]:
            pairs.append((low, high))
    if pairs:
        low, high = max(pairs, key=lambda pair: pair[0].job.n_genes)
        low_s, high_s = low.median("travok", "seconds"), high.median("travok", "seconds")
        assert low_s is not None and high_s is not None
        ratio = high_s / low_s
        lines.append(f"- travok density 0.5 / 0.01 at {low.job.n_genes} genes: {high_s:.3g} s / {low_s:.3g} s = "
                     f"{ratio:.2f} (goal ≤ {DENSITY_GOAL}): {verdict(ratio <= DENSITY_GOAL)}")
    for m in results:
        if not m.runs["travok"]:
            continue
        peak, baseline = m.median("travok", "peak_rss"), m.median("travok", "baseline_rss")
        read, python = m.median("travok", "read_back_seconds"), m.median("travok", "reference_seconds")
        assert peak is not None and baseline is not None and read is not None and python is not None
        memory = peak / (m.job.kept_gene_bytes + baseline)
        lines.append(f"- travok memory at {m.job.label}: peak {memory:.2f}× kept genes + baseline "
                     f"(goal ≤ {MEMORY_GOAL}): {verdict(memory <= MEMORY_GOAL)}; reading the result back "
                     f"{read / python:.2f}× the same lists built in Python (goal ≤ {READ_BACK_GOAL}): "
                     f"{verdict(read / python <= READ_BACK_GOAL)}")
    if any(not run["peak_reset"] for m in results for runs in m.runs.values() for run in runs):
        lines.append("- note: the kernel refused to reset the peak; peaks include making the matrix")
    return lines


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--quick", action="store_true", help="small sizes, two repetitions: a smoke run")
    parser.add_argument("--sizes", help="comma-separated GENESxCHROMOSOMESxGENERATIONS[@DENSITY] (density 0.1)")
    parser.add_argument("--repetitions", type=int, help="runs of each implementation per size (5; 2 with --quick)")
    parser.add_argument("--deap-budget", type=float, default=120.0,
                        help="seconds of DEAP runs per size: fewer repetitions when its first run is slow")
    parser.add_argument("--only", help="comma-separated implementations to run (travok,numpy,deap)")
    arguments = parser.parse_args()

    sizes = arguments.sizes.split(",") if arguments.sizes else QUICK_SIZES if arguments.quick else SIZES
    jobs = [parse_job(size) for size in sizes]
    repetitions = arguments.repetitions or (2 if arguments.quick else 5)
    names = tuple(arguments.only.split(",")) if arguments.only else IMPLEMENTATIONS
    if unknown := set(names) - set(IMPLEMENTATIONS):
        parser.error(f"unknown implementations: {', '.join(sorted(unknown))}")

    header = machine_lines()
    print("\n".join(header), file=sys.stderr, flush=True)
    results = [measure(job, names, repetitions, arguments.deap_budget) for job in jobs]
    load = " ".join(f"{value:.2f}" for value in os.getloadavg())
    print("\n".join([*header, f"load average at end {load}", "", *speed_table(results), ""]))
    if "travok" in names:
        print("\n".join([*travok_table(results), "", *goal_lines(results)]))


if __name__ == "__main__":
    main()
