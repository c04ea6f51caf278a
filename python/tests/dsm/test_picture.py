"""The picture: every label of a 150-element matrix readable without zooming, and the result drawn
apart from the best ordering of each generation."""
from itertools import pairwise

import numpy as np
import pytest

pytest.importorskip("matplotlib")
import scipy_needed  # noqa: F401 - skips the module where SciPy cannot be used
from travok_dsm import Dsm, SgaOptions, sequence
from travok_dsm.picture import figure

SIZE = 150


@pytest.fixture(scope="module")
def drawn():
    generator = np.random.default_rng(5)
    marks = generator.random((SIZE, SIZE)) < 0.03
    marks[np.arange(SIZE), (np.arange(SIZE) + 1) % SIZE] = True  # one ring through every element
    labels = [f"module_{index:03}" for index in range(SIZE)]
    result = sequence(Dsm(marks, labels), method="sga", options=SgaOptions(chromosomes=20, generations=30), restarts=2,
                      workers=1)
    from matplotlib.backends.backend_agg import FigureCanvasAgg

    made = figure(result, "a test matrix")
    FigureCanvasAgg(made).draw()
    return result, made


def test_every_label_is_readable_at_full_size(drawn):
    result, made = drawn
    main = made.axes[0]
    renderer = made.canvas.get_renderer()
    for ticks, labels in ((main.get_yticklabels(), "y"), (main.get_xticklabels(), "x")):
        assert [tick.get_text() for tick in ticks] == list(result.order), labels
        boxes = [tick.get_window_extent(renderer) for tick in ticks]
        # Text at least 12 pixels high, inside the image, and no two labels overlapping.
        assert min(min(box.height, box.width) for box in boxes) >= 12
        assert all(box.x0 >= 0 and box.y0 >= 0 and box.x1 <= made.bbox.width and box.y1 <= made.bbox.height
                   for box in boxes)
        along = sorted((box.y0, box.y1) if labels == "y" else (box.x0, box.x1) for box in boxes)
        assert all(upper <= lower for (_, upper), (lower, _) in pairwise(along))


def test_the_result_is_the_best_kept_not_a_generations_best(drawn):
    result, made = drawn
    (block,) = [block for block in result.blocks if block.runs]
    progress = made.axes[-1]
    kept = [line for line in progress.get_lines() if line.get_label() == "best ordering kept so far, all runs"]
    assert len(kept) == 1 and kept[0].get_ydata()[-1] == block.feedback
    assert f"result: {block.feedback}" in [text.get_text() for text in progress.texts]
    per_generation = [line for line in progress.get_lines() if line.get_linestyle() == "-" and line is not kept[0]]
    assert len(per_generation) == 2
    assert all(line.get_linewidth() < kept[0].get_linewidth() for line in per_generation)
