"""The typed interface (python/travok.pyi) against the module's behaviour.

stubtest compares names and signatures but not the types the stub claims. The stub is
valid Python, so it is run here as a module of its own and its annotations drive the
checks: every value read conforms to the getter's (or ClassVar's) type, and every arm of
every accepted type (constructor parameters and setters) is taken by the module. The
refusals at the end are checked twice: mypy --strict (tools/check-types) must report
each "type: ignore" as used, and the module must raise at run time.
"""
import annotationlib
import collections.abc
import inspect
import types
import typing
from pathlib import Path
from typing import Any, ClassVar, Self, SupportsFloat, SupportsIndex, assert_type

import pytest

import travok
from conftest import Float, Index

STUB_PATH = Path(__file__).resolve().parents[1] / "travok.pyi"


def load_stub() -> dict[str, Any]:
    namespace: dict[str, Any] = {"__name__": "travok_stub"}
    exec(compile(STUB_PATH.read_text(), str(STUB_PATH), "exec"), namespace)
    return namespace


STUB = load_stub()
STUB_CLASSES = {name: value for name, value in STUB.items() if isinstance(value, type) and name in STUB["__all__"]}


def real(stub_class: type) -> type:
    return typing.cast(type, getattr(travok, stub_class.__name__))


def arms(hint: Any) -> tuple[Any, ...]:
    if isinstance(hint, types.UnionType) or typing.get_origin(hint) is typing.Union:
        return typing.get_args(hint)
    return (hint,)


def is_class_variable(hint: Any) -> bool:
    origin: Any = typing.get_origin(hint)
    return origin is ClassVar


def conforms(value: Any, hint: Any, owner: type) -> bool:
    """Whether a value read from the module is of the type the stub claims."""
    if hint is Self:
        hint = owner
    if len(arms(hint)) > 1:
        return any(conforms(value, arm, owner) for arm in arms(hint))
    if hint is None or hint is type(None):
        return value is None
    if is_class_variable(hint):
        return conforms(value, typing.get_args(hint)[0], owner)
    origin, args = typing.get_origin(hint), typing.get_args(hint)
    if origin in (list, set, frozenset):
        return type(value) is origin and all(conforms(item, args[0], owner) for item in value)
    if origin is tuple and args[1:] == (...,):
        return type(value) is tuple and all(conforms(item, args[0], owner) for item in value)
    if hint in (int, float, str):
        return type(value) is hint
    if isinstance(hint, type) and hint.__name__ in STUB_CLASSES:
        return type(value) is real(hint)
    raise AssertionError(f"no read check for {hint!r}")


def members(stub_class: type) -> list[tuple[str, object]]:
    """The enumeration members the stub declares as ClassVars of the class type."""
    hints = annotationlib.get_annotations(stub_class)
    return [(name, getattr(real(stub_class), name)) for name, hint in hints.items()
            if is_class_variable(hint) and typing.get_args(hint)[0] is stub_class]


def samples(hint: Any) -> list[object]:
    """One value per arm of an accepted type, each using no more than that arm promises."""
    if len(arms(hint)) > 1:
        return [value for arm in arms(hint) for value in samples(arm)]
    if isinstance(hint, typing.TypeVar):
        return samples(hint.__bound__)
    origin, args = typing.get_origin(hint), typing.get_args(hint)
    simple: dict[Any, object] = {None: None, type(None): None, float: 0.25, int: 2, SupportsFloat: Float(0.75),
                                 SupportsIndex: Index(3)}
    if hint in simple:
        return [simple[hint]]
    if origin is collections.abc.Sequence:
        return [tuple(samples(args[0]))]  # a sequence that is not a list
    if origin in (set, frozenset):
        return [origin(samples(args[0]))]
    if isinstance(hint, type) and hint.__name__ in STUB_CLASSES:
        return [build(hint)]
    raise AssertionError(f"no sample for {hint!r}")


def constructor(stub_class: type) -> list[tuple[str, Any]]:
    if "__new__" not in vars(stub_class):
        return []
    parameters = list(inspect.signature(stub_class.__new__).parameters.values())[1:]
    return [(parameter.name, parameter.annotation) for parameter in parameters]


def build(stub_class: type, **changes: object) -> object:
    """An instance from the first sample of every parameter; a kinds class gives its first member."""
    if not constructor(stub_class):
        return members(stub_class)[0][1]
    arguments = {name: samples(hint)[0] for name, hint in constructor(stub_class)}
    return real(stub_class)(**(arguments | changes))


def accessors(stub_class: type) -> list[tuple[str, Any, Any]]:
    """(name, read type, accepted type or None) of every instance attribute the stub declares."""
    found = []
    for name, attribute in vars(stub_class).items():
        if isinstance(attribute, property):
            assert attribute.fget is not None
            accepted = None if attribute.fset is None else attribute.fset.__annotations__["value"]
            found.append((name, attribute.fget.__annotations__["return"], accepted))
    for name, hint in annotationlib.get_annotations(stub_class).items():
        if not is_class_variable(hint):
            found.append((name, hint, hint))
    return found


CLASS_IDS = sorted(STUB_CLASSES)
CONSTRUCTIONS = [(name, parameter, index) for name in CLASS_IDS
                 for parameter, hint in constructor(STUB_CLASSES[name]) for index in range(len(samples(hint)))]
ASSIGNMENTS = [(name, attribute, index) for name in CLASS_IDS
               for attribute, _, accepted in accessors(STUB_CLASSES[name]) if accepted is not None
               for index in range(len(samples(accepted)))]


def test_stub_declares_every_exported_name() -> None:
    assert STUB["__all__"] == travok.__all__
    assert set(STUB_CLASSES) | {"sequence_sga"} == set(travok.__all__)


@pytest.mark.parametrize("name", CLASS_IDS)
def test_class_variables_hold_what_they_claim(name: str) -> None:
    stub_class = STUB_CLASSES[name]
    for attribute, hint in annotationlib.get_annotations(stub_class).items():
        if is_class_variable(hint):
            assert conforms(vars(real(stub_class))[attribute], hint, real(stub_class)), attribute


@pytest.mark.parametrize("name, parameter, index", CONSTRUCTIONS,
                         ids=[f"{n}-{p}-{i}" for n, p, i in CONSTRUCTIONS])
def test_constructor_takes_every_accepted_arm_and_reads_back_the_claimed_types(
        name: str, parameter: str, index: int) -> None:
    stub_class = STUB_CLASSES[name]
    hint = dict(constructor(stub_class))[parameter]
    instance = build(stub_class, **{parameter: samples(hint)[index]})
    for attribute, read, _ in accessors(stub_class):
        assert conforms(getattr(instance, attribute), read, real(stub_class)), attribute


@pytest.mark.parametrize("name, attribute, index", ASSIGNMENTS, ids=[f"{n}-{a}-{i}" for n, a, i in ASSIGNMENTS])
def test_setter_takes_every_accepted_arm(name: str, attribute: str, index: int) -> None:
    stub_class = STUB_CLASSES[name]
    _, read, accepted = next(entry for entry in accessors(stub_class) if entry[0] == attribute)
    instance = build(stub_class)
    setattr(instance, attribute, samples(accepted)[index])
    assert conforms(getattr(instance, attribute), read, real(stub_class))


@pytest.mark.parametrize("name", CLASS_IDS)
def test_methods_without_arguments_return_the_claimed_types(name: str) -> None:
    stub_class = STUB_CLASSES[name]
    instances = [value for _, value in members(stub_class)] or [build(stub_class)]
    for method_name, method in vars(stub_class).items():
        if isinstance(method, staticmethod):
            signature = inspect.signature(method)
            if not signature.parameters:
                assert conforms(getattr(real(stub_class), method_name)(), signature.return_annotation, stub_class)
        elif inspect.isfunction(method) and method_name not in ("__new__", "__eq__", "__ne__", "__annotate_func__"):
            signature = inspect.signature(method)
            assert list(signature.parameters) == ["self"], method_name
            for instance in instances:
                assert conforms(getattr(instance, method_name)(), signature.return_annotation, stub_class)


def test_sequence_sga_returns_a_lineage() -> None:
    settings = travok.SequencingSettings(3, 0.5, 0.5, n_chromosomes=4, n_generations=2)
    lineage = travok.sequence_sga(settings, travok.GeneratorKinds.RandomSequence, travok.EvaluatorValue(1.0),
                                  travok.RecorderKinds.FitnessStatistics, travok.SelectorKinds.Random,
                                  travok.CrossoverKinds.Point, travok.MutatorSwap(0.5), travok.ConvergenceKinds.Never)
    assert_type(lineage, travok.Lineage)
    assert conforms(lineage, inspect.signature(STUB["sequence_sga"]).return_annotation, object)


def test_refusals_the_stub_encodes() -> None:
    chromosome = travok.Chromosome([1, 0])
    hall = travok.HallOfFame([], set(), 1)
    settings = travok.SequencingSettings(3, 0.5, 0.5, n_chromosomes=4, n_generations=2)
    with pytest.raises(TypeError):
        chromosome.genes = "10"  # type: ignore[assignment]
    with pytest.raises(TypeError):
        travok.Chromosome([1.5])  # type: ignore[list-item]
    with pytest.raises(TypeError):
        chromosome.fitness = "1.0"  # type: ignore[assignment]
    with pytest.raises(TypeError):
        hall.uniques = [(1, 2)]  # type: ignore[arg-type, assignment]
    with pytest.raises(TypeError):
        travok.EvaluatorKinds(1)  # type: ignore[call-arg]
    with pytest.raises(TypeError):
        chromosome < chromosome  # type: ignore[operator]
    with pytest.raises(TypeError):
        travok.sequence_sga(settings, travok.GeneratorKinds.RandomSequence,
                            travok.EvaluatorValue(1.0), travok.RecorderKinds.FitnessStatistics,
                            travok.SelectorKinds.Random, travok.CrossoverKinds.Point,
                            travok.MutatorKinds.Swap, travok.ConvergenceKinds.Never)  # type: ignore[arg-type]
