"""Spread the runs of `sequence` over a dask cluster: here a local one of two worker processes.

With a real cluster, connect the client to its scheduler instead (distributed.Client("host:8786")):
the runs travel as plain data, and each worker process draws from its own random stream.
"""

import sys
from pathlib import Path

import distributed

import travok_dsm


def main(path: str | None) -> None:
    matrix = travok_dsm.Dsm.read_csv(path) if path else travok_dsm.stdlib_dsm(100)
    with (
        distributed.LocalCluster(n_workers=2, threads_per_worker=1, dashboard_address=None) as cluster,
        distributed.Client(cluster) as client,
    ):
        result = travok_dsm.sequence(matrix, restarts=8, executor=client.get_executor())
    print(f"{result.feedback} feedback marks after {result.runs} runs in {result.seconds:.2f} s")
    for block in result.blocks:
        if block.runs:
            spread = sorted(run.feedback for run in block.runs)
            print(f"block of {block.size}: runs found {spread}, kept {block.feedback}")


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 and Path(sys.argv[1]).is_file() else None)
