"""Partitioning: the blocks of mutually dependent elements, in dependency order.

Every cycle of dependencies lies inside one strongly connected component, so an ordering that puts
each component after the components it depends on leaves no feedback between components: all of
it is inside them, and each can be sequenced on its own.
"""

from __future__ import annotations

from graphlib import TopologicalSorter

from travok_dsm.graphs import strong_components
from travok_dsm.matrix import Dsm

__all__ = ["partition"]


def partition(dsm: Dsm) -> list[tuple[int, ...]]:
    """The strongly connected components of the matrix, each after the ones it depends on.

    An element on no cycle is a block of its own; each block's elements are in ascending order.
    Among blocks free to go next, the one holding the smallest element goes first, so the result
    keeps the matrix's own order where the dependencies leave a choice.
    """
    rows, columns = dsm.arcs
    count, component = strong_components(dsm.size, rows, columns)
    members: list[list[int]] = [[] for _ in range(count)]
    for element, number in enumerate(component.tolist()):
        members[number].append(element)
    needs: dict[int, set[int]] = {number: set() for number in range(count)}
    between = component[rows] != component[columns]
    for needing, needed in zip(component[rows][between].tolist(),
                               component[columns][between].tolist(), strict=True):
        needs[needing].add(needed)
    sorter = TopologicalSorter(needs)
    sorter.prepare()
    ordered: list[tuple[int, ...]] = []
    while sorter.is_active():
        for number in sorted(sorter.get_ready(), key=lambda ready: members[ready][0]):
            ordered.append(tuple(members[number]))
            sorter.done(number)
    return ordered

