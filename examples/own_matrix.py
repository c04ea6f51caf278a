"""Sequence a matrix of your own, given as a NumPy array, a networkx graph, a pandas table or CSV.

The six tasks of a small product: row r depends on column c. Every input kind below describes the
same matrix, and each gives an ordering with the single feedback mark its cycle forces.
"""

import io

import numpy as np

import travok_dsm

TASKS = ["Test", "Firmware", "Requirements", "Electronics", "Concept", "Design"]
MARKS = np.array([
    [0, 1, 0, 1, 0, 1],  # Test depends on Firmware, Electronics and Design
    [0, 0, 0, 1, 0, 0],  # Firmware on Electronics
    [0, 0, 0, 0, 0, 0],  # Requirements on nothing
    [0, 0, 0, 0, 1, 1],  # Electronics on Concept and Design
    [0, 0, 1, 0, 0, 0],  # Concept on Requirements
    [0, 1, 0, 0, 1, 0],  # Design on Firmware and Concept
])


def inputs() -> dict[str, object]:
    """The same matrix in every form sequence() takes; the optional libraries where installed."""
    made: dict[str, object] = {"numpy": travok_dsm.Dsm(MARKS, TASKS)}
    text = io.StringIO()
    travok_dsm.Dsm(MARKS, TASKS).to_csv(text)
    made["csv"] = travok_dsm.Dsm.read_csv(io.StringIO(text.getvalue()))
    made["edges"] = travok_dsm.Dsm.from_edges(
        [(TASKS[row], TASKS[column]) for row, column in zip(*np.nonzero(MARKS), strict=True)], labels=TASKS)
    try:
        import networkx

        # An arc u -> v means "u depends on v".
        made["networkx"] = networkx.DiGraph(
            [(TASKS[row], TASKS[column]) for row, column in zip(*np.nonzero(MARKS), strict=True)])
    except ImportError:
        pass
    try:
        import pandas

        made["pandas"] = pandas.DataFrame(MARKS, index=TASKS, columns=TASKS)
    except ImportError:
        pass
    return made


def main() -> None:
    for kind, matrix in inputs().items():
        result = travok_dsm.sequence(matrix, restarts=2)
        print(f"{kind:<9} {result.feedback} feedback mark(s): {', '.join(result.order)}")
    # The result as the command line's --json prints it.
    print(travok_dsm.sequence(inputs()["numpy"], restarts=2).to_json())


# Worker processes import this file again: the work must not start when they do.
if __name__ == "__main__":
    main()
