"""The picture of a result: the ordering found, large and labelled, beside the matrix as given and
each searched block's progress (or each run's result), with the result marked apart from what
single generations held.
Needs matplotlib."""

from __future__ import annotations

import os
from collections.abc import Sequence
from typing import TYPE_CHECKING

import numpy as np
from numpy.typing import NDArray

from travok_dsm._optional import require
from travok_dsm.matrix import feedback
from travok_dsm.result import Block, Result, bound_note

if TYPE_CHECKING:
    from matplotlib.axes import Axes
    from matplotlib.figure import Figure

__all__ = ["cell_classes", "figure", "write_png"]

_EMPTY, _BELOW, _ABOVE, _DIAGONAL = 0, 1, 2, 3
_COLOURS = ["white", "#2c5f8a", "#d62728", "#e4e4e4"]
_BLOCK_EDGE = "#f0a020"
_DPI = 100
# A cell of 17 pixels holds a label of 9 points (12.5 pixels, readable unzoomed) with room
# between labels.
_CELL = 0.17
_FONT = 9.0
# Beyond this many elements the labelled matrix would pass about 10 000 pixels: no labels.
_MOST_LABELLED = 600
# Progress is drawn for the largest searched blocks only.
_MOST_PROGRESS = 3


def _marks(count: int) -> str:
    return f"{count} feedback {'mark' if count == 1 else 'marks'}"


def _bound(result: Result) -> str:
    if result.lower_bound is None:
        return ""
    return f"; {bound_note(result.feedback, result.lower_bound)}"


def cell_classes(marks: NDArray[np.bool_], order: Sequence[int]) -> NDArray[np.int_]:
    """The reordered matrix as colour classes: no mark, mark below, mark above, diagonal."""
    reordered = marks[np.ix_(order, order)]
    size = len(order)
    above = np.triu(np.ones((size, size), dtype=bool), k=1)
    grid = np.where(reordered, np.where(above, _ABOVE, _BELOW), _EMPTY)
    np.fill_diagonal(grid, _DIAGONAL)
    return grid


def _draw_matrix(axes: Axes, result: Result, order: Sequence[int], title: str,
                 labelled: bool) -> None:
    colors = require("matplotlib.colors", "drawing the picture")
    size = result.dsm.size
    axes.imshow(cell_classes(result.dsm.marks, order), cmap=colors.ListedColormap(_COLOURS),
                vmin=0, vmax=3, interpolation="nearest")
    axes.set_title(title, fontsize=12, loc="left")
    if labelled:
        labels = [result.dsm.labels[element] for element in order]
        axes.set_xticks(range(size), labels, rotation=90, fontsize=_FONT)
        axes.set_yticks(range(size), labels, fontsize=_FONT)
        axes.tick_params(length=0, pad=2, top=True, labeltop=True, bottom=False,
                         labelbottom=False)
    else:
        axes.set_xticks([])
        axes.set_yticks([])
    step = 10 if size <= 300 else 50
    for edge in range(step, size, step):
        axes.axhline(edge - 0.5, color="#bbbbbb", linewidth=0.3)
        axes.axvline(edge - 0.5, color="#bbbbbb", linewidth=0.3)


def _outline_blocks(axes: Axes, blocks: Sequence[Block]) -> None:
    """Frame the blocks of two or more elements on the diagonal: all feedback lies inside them."""
    patches = require("matplotlib.patches", "drawing the picture")
    first = 0
    for block in blocks:
        if block.size > 1:
            axes.add_patch(patches.Rectangle((first - 0.5, first - 0.5), block.size, block.size,
                                             fill=False, edgecolor=_BLOCK_EDGE, linewidth=1.2))
        first += block.size


def _draw_progress(axes: Axes, block: Block) -> None:
    """Each run's best ordering per generation, thin, against the best kept so far and the
    result: a generation's best is lost with its generation, only the kept one is the result."""
    assert block.settings is not None
    if not block.runs[0].best:
        _draw_runs(axes, block)
        return
    ticker = require("matplotlib.ticker", "drawing the picture")
    evaluator = block.settings.get("evaluator", "FeedbackMarks")
    marks_kind = evaluator == "FeedbackMarks"
    total = block.size * (block.size - 1) // 2 + (block.settings.get("offset") or 0)
    # Kept records are the newest ones: with fewer than the generations, the first is later.
    recorded = len(block.runs[0].best)
    first = block.settings.get("generations", recorded - 1) + 1 - recorded
    kept: NDArray[np.float64] | None = None
    for number, run in enumerate(block.runs):
        best = np.asarray(run.best, dtype=np.float64)
        values = total - best if marks_kind else best
        generations = np.arange(first, first + len(values))
        axes.plot(generations, values, color="#d62728", alpha=0.35, linewidth=0.7,
                  label="best ordering in each generation, one line per run (not kept)"
                  if number == 0 else None)
        so_far = np.minimum.accumulate(values) if marks_kind else np.maximum.accumulate(values)
        kept = so_far if kept is None else (np.minimum(kept, so_far) if marks_kind
                                             else np.maximum(kept, so_far))
    assert kept is not None
    axes.step(np.arange(first, first + len(kept)), kept, where="post", color="black",
              linewidth=1.8, label="best ordering kept so far, all runs")
    if marks_kind:
        axes.axhline(block.feedback, color="black", linestyle="--", linewidth=0.8)
        axes.annotate(f"result: {block.feedback}", xy=(1.0, block.feedback),
                      xycoords=("axes fraction", "data"), xytext=(-4, 4),
                      textcoords="offset points", ha="right", fontsize=10, fontweight="bold")
    axes.set_ylabel("feedback marks" if marks_kind else f"fitness ({evaluator})")
    axes.set_xlabel("generation")
    runs = f"best of {len(block.runs)} runs" if len(block.runs) > 1 else "one run"
    axes.set_title(f"block of {block.size}: {_marks(block.feedback)} ({runs})",
                   fontsize=11, loc="left")
    if marks_kind:
        # Counts are whole: at least one mark either side of the result, ticks on whole numbers.
        low, high = axes.get_ylim()
        axes.set_ylim(min(low, block.feedback - 1), max(high, block.feedback + 1))
        axes.yaxis.set_major_locator(ticker.MaxNLocator(integer=True))
    axes.grid(alpha=0.3)
    axes.legend(loc="upper right", fontsize=8)


def _draw_runs(axes: Axes, block: Block) -> None:
    """Runs that keep no records per generation (memetic ones): each run's result against the
    one kept."""
    ticker = require("matplotlib.ticker", "drawing the picture")
    numbers = np.arange(1, len(block.runs) + 1)
    axes.bar(numbers, [run.feedback for run in block.runs], color="#d62728", alpha=0.6,
             label="best ordering of each run")
    axes.axhline(block.feedback, color="black", linestyle="--", linewidth=0.8,
                 label=f"result: {block.feedback}")
    axes.set_xlabel("run")
    axes.set_ylabel("feedback marks")
    runs = f"best of {len(block.runs)} runs" if len(block.runs) > 1 else "one run"
    axes.set_title(f"block of {block.size}: {_marks(block.feedback)} ({runs})",
                   fontsize=11, loc="left")
    axes.xaxis.set_major_locator(ticker.MaxNLocator(integer=True))
    axes.yaxis.set_major_locator(ticker.MaxNLocator(integer=True))
    axes.grid(alpha=0.3, axis="y")
    axes.legend(loc="upper right", fontsize=8)


def figure(result: Result, title: str, given_order: str = "given order") -> Figure:
    """The picture as a matplotlib Figure (see `write_png`)."""
    mfigure = require("matplotlib.figure", "drawing the picture")
    patches = require("matplotlib.patches", "drawing the picture")
    dsm = result.dsm
    labelled = dsm.size <= _MOST_LABELLED
    side = max(6.0, _CELL * dsm.size) if labelled else 40.0
    label_room = max(1.0, 0.6 * _FONT / 72 * max(len(label) for label in dsm.labels)) if labelled \
        else 0.3
    searched = sorted((block for block in result.blocks if block.runs),
                      key=lambda block: -block.size)[:_MOST_PROGRESS]
    column = max(6.0, 0.35 * side)
    width = side + label_room + column
    height = side + label_room + 1.5
    drawn: Figure = mfigure.Figure(figsize=(width, height), dpi=_DPI, layout="constrained")
    outer = drawn.add_gridspec(1, 2, width_ratios=[side + label_room, column])
    main = drawn.add_subplot(outer[0, 0])
    _draw_matrix(main, result, result.indices,
                 f"ordering found: {_marks(result.feedback)}{_bound(result)}", labelled)
    if result.partitioned:
        _outline_blocks(main, result.blocks)
    side_panels = outer[0, 1].subgridspec(1 + max(1, len(searched)), 1,
                                          height_ratios=[1.3] + [1.0] * max(1, len(searched)))
    before = feedback(dsm, range(dsm.size))
    _draw_matrix(drawn.add_subplot(side_panels[0, 0]), result, range(dsm.size),
                 f"as given ({given_order}): {_marks(before)}", False)
    if searched:
        for place, block in enumerate(searched):
            _draw_progress(drawn.add_subplot(side_panels[1 + place, 0]), block)
    else:
        empty = drawn.add_subplot(side_panels[1, 0])
        empty.text(0.5, 0.5, "no block of 3 or more elements:\nnothing to search",
                   ha="center", va="center", fontsize=11, transform=empty.transAxes)
        empty.set_axis_off()
    legend = [patches.Patch(color=_COLOURS[_ABOVE], label="mark above the diagonal (feedback)"),
              patches.Patch(color=_COLOURS[_BELOW], label="mark below the diagonal"),
              patches.Patch(color=_COLOURS[_DIAGONAL], label="diagonal")]
    if result.partitioned:
        legend.append(patches.Patch(fill=False, edgecolor=_BLOCK_EDGE,
                                    label="block of mutually dependent elements"))
    drawn.legend(handles=legend, loc="outside lower center", ncols=len(legend), fontsize=11)
    drawn.suptitle(f"{title}\n{dsm.size} elements, {len(dsm.arcs[0])} marks; row r depends on "
                   f"column c", fontsize=13)
    return drawn


def write_png(path: str | os.PathLike[str], result: Result, title: str,
              given_order: str = "given order") -> None:
    """Draw the ordering found, with every label when there are at most 600 elements (a cell of
    17 pixels, labels of 9 points), the matrix as given, and the progress of the largest searched
    blocks: each run's best per generation against the best kept, which is the result."""
    figure(result, title, given_order).savefig(path)
