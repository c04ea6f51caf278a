"""The module object: its names and their order, one module per process, one interpreter."""

import importlib
import sys
import types

import pytest

import travok

# Registration order of every name the module exports; names of roles not built
# yet are simply absent, never out of order.
REGISTRATION_ORDER = [
    "Chromosome", "Population", "FitnessStatistics", "HallOfFame", "Lineage", "ConvergenceKinds", "CrossoverKinds",
    "CrossoverBlend", "CrossoverSimulatedBinary", "EvaluatorKinds", "EvaluatorMatrix", "EvaluatorValue",
    "GeneratorKinds", "MutatorKinds", "MutatorSwap", "RecorderKinds", "RecorderHdrHistogram", "SelectorKinds",
    "SequencingSettings", "sequence_sga",
]

# What every module carries, plus the file its loader records.
STANDARD_ATTRIBUTES = set(vars(types.ModuleType("standard"))) | {"__file__"}


def test_all_follows_registration_order():
    names = travok.__all__
    assert type(names) is list
    assert names[:2] == ["Chromosome", "Population"]
    assert names == [name for name in REGISTRATION_ORDER if name in names]


def test_every_exported_name_is_an_attribute():
    for name in travok.__all__:
        value = getattr(travok, name)
        assert getattr(value, "__name__", None) == name


def test_module_has_no_other_attributes():
    extra = set(vars(travok)) - STANDARD_ATTRIBUTES - {"__all__"}
    assert extra == set(travok.__all__)


def test_panic_exception_is_not_exported():
    assert not hasattr(travok, "PanicException")
    assert "PanicException" not in travok.__all__


def test_module_doc_is_a_sentence():
    assert type(travok.__doc__) is str
    assert travok.__doc__.strip()


def test_reimport_yields_the_same_module():
    original = sys.modules.pop("travok")
    try:
        again = importlib.import_module("travok")
        assert again is original
    finally:
        sys.modules["travok"] = original


def legacy_interpreter():
    """A sub-interpreter sharing the lock and accepting single-phase modules, so that
    any refusal of the import comes from the module itself."""
    interpreters = pytest.importorskip("_interpreters", reason="no low-level sub-interpreter module in this build")
    if not hasattr(interpreters, "new_config"):
        pytest.skip("this build cannot configure a legacy sub-interpreter")
    config = interpreters.new_config("legacy")
    assert config.gil == "shared"
    assert config.check_multi_interp_extensions is False
    return interpreters, interpreters.create(config)


def test_second_interpreter_cannot_import():
    interpreters, interpreter = legacy_interpreter()
    try:
        failure = interpreters.exec(interpreter, "import travok")
    finally:
        interpreters.destroy(interpreter)
    assert failure is not None
    assert failure.type.__name__ == "ImportError"
    # The first interpreter keeps its module.
    assert importlib.import_module("travok") is travok
    assert travok.Chromosome([1]).genes == [1]
