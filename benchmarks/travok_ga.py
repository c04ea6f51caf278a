"""The benchmark job with travok: one call of sequence_sga.

Roulette selection, IPX crossover, swap mutation with p_swap = 1/genes, FeedbackMarks fitness,
fitness statistics every generation, a hall of fame of one, the last n_generations populations kept.
"""
from __future__ import annotations

import travok
from job import Job, Outcome


def prepare(job: Job, matrix: list[float]) -> travok.EvaluatorMatrix:
    """The matrix as travok takes it: an evaluator option over the flat list of cells."""
    return travok.EvaluatorMatrix(travok.EvaluatorKinds.FeedbackMarks, matrix)


def run(job: Job, evaluator: travok.EvaluatorMatrix) -> travok.Lineage:
    settings = travok.SequencingSettings(
        n_genes=job.n_genes,
        p_crossover=job.p_crossover,
        p_mutation=job.p_mutation,
        n_chromosomes=job.n_chromosomes,
        n_generations=job.n_generations,
        n_hall_of_fame=1,
    )
    return travok.sequence_sga(
        settings,
        travok.GeneratorKinds.RandomSequence,
        evaluator,
        travok.RecorderKinds.FitnessStatistics,
        travok.SelectorKinds.Roulette,
        travok.CrossoverKinds.IPX,
        travok.MutatorSwap(job.p_swap),
        travok.ConvergenceKinds.Never,
    )


def outcome(job: Job, lineage: travok.Lineage) -> Outcome:
    best = lineage.hall_of_fame.chromosomes[0]
    assert best.fitness is not None  # the hall of fame holds evaluated chromosomes only
    return Outcome(best.genes, best.fitness, len(lineage.generations), len(lineage.records))


def read_back(lineage: travok.Lineage) -> list[list[int]]:
    """Every kept chromosome's genes as Python lists: the whole result read back."""
    return [c.genes for p in lineage.generations for c in p.chromosomes]
