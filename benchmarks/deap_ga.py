"""The benchmark job written with DEAP, the way its documentation teaches it.

creator/toolbox, roulette selection, a uniform partially matched crossover, shuffle-index mutation,
a NumPy FeedbackMarks evaluation, a hall of fame of one, per-generation statistics in a Logbook and
the last n_generations populations kept, in the generational loop of eaSimple (select n, varAnd,
evaluate the invalid fitnesses only).
"""
from __future__ import annotations

import random
from collections import deque
from dataclasses import dataclass
from typing import Any

import numpy as np
from deap import algorithms, base, creator, tools

from job import Job, Outcome

creator.create("FitnessMax", base.Fitness, weights=(1.0,))
creator.create("Individual", list, fitness=creator.FitnessMax)


@dataclass
class Marks:
    marks: np.ndarray  # cell (r, c) is True when marked
    upper: np.ndarray  # True strictly above the diagonal


def prepare(job: Job, matrix: list[float]) -> Marks:
    marks = np.array(matrix, dtype=np.float64).reshape(job.n_genes, job.n_genes) != 0.0
    return Marks(marks, np.triu(np.ones_like(marks), 1))


def feedback_fitness(individual: list[int], marks: Marks, top: int) -> tuple[float]:
    """D(D-1)/2 minus the marks above the diagonal of the reordered matrix."""
    # Two takes (rows, then columns) gather the reordered matrix several times faster than np.ix_.
    order = np.asarray(individual)
    return (float(top - np.count_nonzero(marks.marks.take(order, 0).take(order, 1) & marks.upper)),)


def make_toolbox(job: Job, marks: Marks) -> base.Toolbox:
    toolbox = base.Toolbox()
    toolbox.register("indices", random.sample, range(job.n_genes), job.n_genes)
    toolbox.register("individual", tools.initIterate, creator.Individual, toolbox.indices)
    toolbox.register("population", tools.initRepeat, list, toolbox.individual)
    toolbox.register("evaluate", feedback_fitness, marks=marks, top=job.top_fitness)
    # DEAP has no IPX. UPMX is the permutation crossover with the same cost profile: one coin per
    # position with probability 1/2 (IPX keeps each position on a coin of 1/2) and constant work
    # per chosen position, so a crossing is linear in the length and children stay orderings.
    toolbox.register("mate", tools.cxUniformPartialyMatched, indpb=0.5)
    toolbox.register("mutate", tools.mutShuffleIndexes, indpb=job.p_swap)
    toolbox.register("select", tools.selRoulette)
    return toolbox


def make_statistics() -> tools.Statistics:
    stats = tools.Statistics(key=lambda individual: individual.fitness.values[0])
    stats.register("min", np.min)
    stats.register("max", np.max)
    stats.register("mean", np.mean)
    stats.register("var", np.var)
    return stats


@dataclass
class Run:
    hall_of_fame: tools.HallOfFame
    logbook: tools.Logbook
    kept: deque[list[Any]]


def run(job: Job, marks: Marks) -> Run:
    toolbox = make_toolbox(job, marks)
    stats = make_statistics()
    logbook = tools.Logbook()
    hall_of_fame = tools.HallOfFame(1)
    kept: deque[list[Any]] = deque(maxlen=job.n_generations)

    def step(generation: int, population: list[Any]) -> None:
        invalid = [individual for individual in population if not individual.fitness.valid]
        for individual, fitness in zip(invalid, toolbox.map(toolbox.evaluate, invalid), strict=True):
            individual.fitness.values = fitness
        hall_of_fame.update(population)
        logbook.record(gen=generation, nevals=len(invalid), **stats.compile(population))
        kept.append(population)

    population = toolbox.population(n=job.n_chromosomes)
    step(0, population)
    for generation in range(1, job.n_generations + 1):
        offspring = toolbox.select(population, len(population))
        # varAnd clones the selected individuals, crosses pairs (0,1), (2,3), ... with p_crossover
        # and mutates each with p_mutation, invalidating the fitness of what it changed.
        offspring = algorithms.varAnd(offspring, toolbox, job.p_crossover, job.p_mutation)
        step(generation, offspring)
        population = offspring
    return Run(hall_of_fame, logbook, kept)


def outcome(job: Job, result: Run) -> Outcome:
    best = result.hall_of_fame[0]
    return Outcome(list(best), best.fitness.values[0], len(result.kept), len(result.logbook))
