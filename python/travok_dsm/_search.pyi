"""The memetic search of the core: orderings with few feedback marks, searched without the
interpreter lock."""

from collections.abc import Sequence
from typing import Literal, SupportsIndex

__all__ = ["search"]

def search(
    size: SupportsIndex,
    rows: Sequence[SupportsIndex],
    columns: Sequence[SupportsIndex],
    *,
    seconds: float | None = None,
    generations: SupportsIndex | None = None,
    stagnation: SupportsIndex | None = None,
    bound: SupportsIndex | None = None,
    population: SupportsIndex | None = None,
    starts: Sequence[Sequence[SupportsIndex]] = (),
) -> tuple[list[int], int, int, Literal["seconds", "generations", "stagnation", "bound", "stopped"]]: ...
