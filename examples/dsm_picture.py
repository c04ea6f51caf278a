"""The picture of a sequencing run: the matrix before and after, and the fitness per generation."""

from __future__ import annotations

from collections.abc import Sequence
from pathlib import Path
from typing import TYPE_CHECKING

from dsm import Dsm, feedback_count

if TYPE_CHECKING:
    import numpy as np
    from matplotlib.axes import Axes
    from numpy.typing import ArrayLike, NDArray

    from sequence_stdlib import Block, Outcome, Source

__all__ = ["cell_classes", "write_png"]

_EMPTY, _BELOW, _ABOVE, _DIAGONAL = 0, 1, 2, 3
_COLOURS = ["white", "#2c5f8a", "#d62728", "#e4e4e4"]
_BLOCK_EDGE = "#f0a020"


def cell_classes(dsm: Dsm, order: Sequence[int]) -> list[list[int]]:
    """The reordered matrix as colour classes: no mark, mark below, mark above, diagonal."""
    size = dsm.size
    grid = [[_DIAGONAL if i == j else _EMPTY for j in range(size)] for i in range(size)]
    for i, row in enumerate(order):
        for j, column in enumerate(order):
            if i != j and dsm.marks[row][column]:
                grid[i][j] = _ABOVE if i < j else _BELOW
    return grid


def _draw_matrix(axes: Axes, dsm: Dsm, order: Sequence[int], title: str, font: float) -> None:
    from matplotlib.colors import ListedColormap

    size = dsm.size
    axes.imshow(cell_classes(dsm, order), cmap=ListedColormap(_COLOURS), vmin=0, vmax=3,
                interpolation="nearest")
    axes.set_title(title, fontsize=11)
    if font >= 3.5:
        labels = [dsm.names[element] for element in order]
        axes.set_xticks(range(size), labels, rotation=90, fontsize=font)
        axes.set_yticks(range(size), labels, fontsize=font)
        axes.tick_params(length=0, pad=1)
    else:
        axes.set_xticks([])
        axes.set_yticks([])
    step = 10 if size <= 150 else 50
    for edge in range(step, size, step):
        axes.axhline(edge - 0.5, color="#bbbbbb", linewidth=0.3)
        axes.axvline(edge - 0.5, color="#bbbbbb", linewidth=0.3)


def _outline_blocks(axes: Axes, blocks: Sequence[Block]) -> None:
    """Frame the blocks of two or more elements on the diagonal: all feedback lies inside them."""
    from matplotlib.patches import Rectangle

    first = 0
    for block in blocks:
        size = len(block.elements)
        if size > 1:
            axes.add_patch(Rectangle((first - 0.5, first - 0.5), size, size, fill=False,
                                     edgecolor=_BLOCK_EDGE, linewidth=1.0))
        first += size


def _draw_fitness(axes: Axes, outcome: Outcome) -> None:
    import numpy as np

    partitioned = outcome.blocks is not None
    title = "fitness per generation (FeedbackMarks)"
    if partitioned:
        title = "fitness of the whole ordering per generation (FeedbackMarks, blocks combined)"
    axes.set_title(title, fontsize=11)
    if not outcome.best:
        axes.text(0.5, 0.5, "no block of 3 or more elements: nothing to search",
                  ha="center", va="center", transform=axes.transAxes)
        axes.set_axis_off()
        return
    generations = range(outcome.first_generation, outcome.first_generation + len(outcome.best))
    axes.plot(generations, outcome.best, color="#d62728", linewidth=1.2, label="best in generation")
    axes.plot(generations, outcome.mean, color="#2c5f8a", linewidth=1.2, label="mean of generation")
    axes.axhline(outcome.fitness, color="black", linewidth=0.8, linestyle="--",
                 label=f"best of the run ({outcome.feedback} feedback marks)")
    axes.set_xlabel("generation")
    axes.set_ylabel("fitness (pairs - feedback marks)")
    total = outcome.fitness + outcome.feedback

    def flip(value: ArrayLike) -> NDArray[np.float64]:
        return total - np.asarray(value, dtype=np.float64)

    feedback_axis = axes.secondary_yaxis("right", functions=(flip, flip))
    feedback_axis.set_ylabel("feedback marks")
    axes.grid(alpha=0.3)
    axes.legend(loc="best")


def write_png(path: Path, source: Source, outcome: Outcome) -> None:
    import matplotlib

    matplotlib.use("Agg")
    from matplotlib.figure import Figure
    from matplotlib.patches import Patch

    dsm = source.dsm
    side = min(14.0, max(5.0, 0.09 * dsm.size))
    # Names as tall as about 80% of a cell, and none where they would be too small to read.
    font = min(8.0, 0.8 * side * 72 / dsm.size)
    figure = Figure(figsize=(2 * side + 2.5, side + 5.5), dpi=150, layout="constrained")
    grid = figure.add_gridspec(2, 2, height_ratios=[side, 4.0])
    before = feedback_count(dsm, range(dsm.size))
    _draw_matrix(figure.add_subplot(grid[0, 0]), dsm, range(dsm.size),
                 f"{source.order_name}: {before} feedback marks", font)
    after = figure.add_subplot(grid[0, 1])
    _draw_matrix(after, dsm, outcome.order,
                 f"best ordering found: {outcome.feedback} feedback marks", font)
    legend = [Patch(color=_COLOURS[_ABOVE], label="mark above the diagonal (feedback)"),
              Patch(color=_COLOURS[_BELOW], label="mark below the diagonal"),
              Patch(color=_COLOURS[_DIAGONAL], label="diagonal")]
    if outcome.blocks is not None:
        _outline_blocks(after, outcome.blocks)
        legend.append(Patch(fill=False, edgecolor=_BLOCK_EDGE,
                            label="block of mutually dependent elements"))
    _draw_fitness(figure.add_subplot(grid[1, :]), outcome)
    figure.legend(handles=legend, loc="outside lower center", ncols=len(legend), fontsize=10)
    figure.suptitle(f"{source.label}\n{dsm.size} elements, {len(dsm.arcs())} marks; "
                    "row r depends on column c", fontsize=12)
    figure.savefig(path)
