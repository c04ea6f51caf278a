"""Lists of numbers given as arrays: an object exporting a flat buffer of numbers is read in place,
with exactly what converting its items one by one gives (values, errors and messages alike); every
other object is read item by item. The same object stripped of its buffer shows what that path
gives, which is what the buffer must give."""
import array
import ctypes
import math
import struct

import pytest
from hypothesis import HealthCheck, given, settings, strategies as st

from travok import Chromosome, EvaluatorKinds, EvaluatorMatrix

INT_LIMITS = {size: (-(2 ** (8 * size - 1)), 2 ** (8 * size - 1) - 1, 2 ** (8 * size) - 1) for size in (1, 2, 4, 8)}
FLOATS = [0.0, -0.0, 1.0, -2.5, math.nan, -math.nan, math.inf, -math.inf, 2.0**53 + 2, 1e-310, 3.4e38]


def outcome(convert, given):
    """What converting `given` gives: the values (floats by their bits), or the error's type and text."""
    try:
        values = convert(given)
    except (TypeError, OverflowError, ValueError, NotImplementedError) as error:
        return type(error), str(error)
    return [struct.pack("<d", v) if isinstance(v, float) else v for v in values]


def matrix(cells):
    return EvaluatorMatrix(EvaluatorKinds.FeedbackMarks, cells).matrix


def genes(items):
    return Chromosome(items).genes


CONVERSIONS = [pytest.param(matrix, id="matrix"), pytest.param(genes, id="genes")]


class ItemsOnly:
    """The same sequence without its buffer: all it offers is its length and its items."""

    def __init__(self, inner):
        self.inner = inner

    def __len__(self):
        return len(self.inner)

    def __getitem__(self, index):
        return self.inner[index]

    def __iter__(self):
        return iter(self.inner)


def assert_same_as_items(convert, given):
    assert outcome(convert, given) == outcome(convert, ItemsOnly(given))


def int_values(size, signed):
    low, high, unsigned_high = INT_LIMITS[size]
    return [0, 1, high, low, -1, 5] if signed else [0, 1, 255, unsigned_high, 7]


def typed_arrays():
    """array.array of every numeric type code, each holding its extreme values."""
    cases = []
    for code in "bBhHiIlLqQ":
        size = array.array(code).itemsize
        cases.append(pytest.param(array.array(code, int_values(size, code.islower())), id=f"array-{code}"))
    cases.append(pytest.param(array.array("d", FLOATS), id="array-d"))
    cases.append(pytest.param(array.array("f", FLOATS), id="array-f"))
    return cases


def other_exporters():
    """Buffers with byte-order prefixes, other codes, bytes, and buffers that are not flat and aligned."""
    raw = bytearray(struct.pack("<3d", 1.0, -0.0, 2.0))
    return [
        pytest.param(memoryview(bytes([0, 1, 2, 0])).cast("?"), id="bool"),
        pytest.param(memoryview(array.array("q", [3, -4])).cast("B").cast("n"), id="ssize_t"),
        pytest.param(memoryview(array.array("Q", [3, 2**64 - 1])).cast("B").cast("N"), id="size_t"),
        pytest.param((ctypes.c_long * 3)(5, -6, 7), id="ctypes-long"),
        pytest.param((ctypes.c_uint16 * 2)(5, 65535), id="ctypes-uint16"),
        pytest.param((ctypes.c_bool * 2)(True, False), id="ctypes-bool"),
        pytest.param((ctypes.c_double * 2)(-0.0, 0.5), id="ctypes-double"),
        pytest.param((ctypes.c_char * 2)(b"a", b"b"), id="ctypes-char"),
        pytest.param(b"\x05\x00\xff", id="bytes"),
        pytest.param(bytearray(b"\x01\x02"), id="bytearray"),
        pytest.param(memoryview(array.array("q", range(8)))[::3], id="strided"),
        pytest.param(memoryview(raw)[8:].cast("d"), id="aligned-slice"),
        pytest.param(memoryview(bytearray(17))[1:].cast("d"), id="unaligned"),
        pytest.param(memoryview(array.array("d", [1.0] * 4)).cast("B").cast("d", (2, 2)), id="two-dimensional"),
        pytest.param(array.array("w", "ab"), id="text-code"),
        pytest.param(memoryview(b"\x00\x3c").cast("e"), id="half-float"),
    ]


@pytest.mark.parametrize("convert", CONVERSIONS)
@pytest.mark.parametrize("given", typed_arrays() + other_exporters())
def test_buffer_gives_what_its_items_give(convert, given):
    assert_same_as_items(convert, given)


NUMPY_DTYPES = ["f8", "f4", "i1", "u1", "i2", "u2", "i4", "u4", "i8", "u8", "intp", "uintp", "longlong",
                "ulonglong", "bool", ">f8", ">i4", "<f8", "f2", "M8[s]", "O"]


def numpy_values(np, dtype):
    kind = np.dtype(dtype).kind
    if kind in "iu":
        info = np.iinfo(dtype)
        return np.array([0, 1, info.max, info.min, 2**53 + 1 if info.bits == 64 else 3, 1], dtype=dtype)
    if kind == "b":
        return np.array([True, False, True], dtype=dtype)
    if kind == "M":
        return np.array([0, 5], dtype=dtype)
    if kind == "O":
        return np.array([1, 2.5, -3], dtype=dtype)
    with np.errstate(over="ignore"):
        return np.array(FLOATS, dtype=dtype)


@pytest.mark.parametrize("convert", CONVERSIONS)
@pytest.mark.parametrize("dtype", NUMPY_DTYPES)
def test_numpy_array_gives_what_its_items_give(convert, dtype):
    np = pytest.importorskip("numpy")
    values = numpy_values(np, dtype)
    assert_same_as_items(convert, values)
    # Other layouts take the item path: a view with a step, a 2-D array, an unaligned copy.
    assert_same_as_items(convert, values[::2])
    assert_same_as_items(convert, np.stack([values, values]))
    if values.dtype.kind in "iufb":
        raw = np.zeros(values.nbytes + 1, dtype=np.uint8)
        unaligned = raw[1:].view(values.dtype)
        unaligned[:] = values
        assert_same_as_items(convert, unaligned)


def test_numpy_scalars_are_what_a_float_array_refuses_as_genes():
    np = pytest.importorskip("numpy")
    with pytest.raises(TypeError) as raised:
        Chromosome(np.array([1.0, 2.0]))
    assert str(raised.value) == "argument 'genes': 'numpy.float64' object cannot be interpreted as an integer"
    with pytest.raises(OverflowError) as raised:
        Chromosome(np.array([3, -1], dtype=np.int8))
    assert str(raised.value) == "can't convert negative int to unsigned"


# Under emulation drawing is slow: no deadline, no complaint about it.
UNHURRIED = settings(deadline=None, suppress_health_check=[HealthCheck.too_slow])


@UNHURRIED
@given(st.lists(st.integers(-(2**63), 2**63 - 1), max_size=40))
def test_signed_64_bit_arrays(values):
    for convert in (matrix, genes):
        assert_same_as_items(convert, array.array("q", values))


@UNHURRIED
@given(st.lists(st.integers(0, 2**64 - 1), max_size=40))
def test_unsigned_64_bit_arrays(values):
    for convert in (matrix, genes):
        assert_same_as_items(convert, array.array("Q", values))


@UNHURRIED
@given(st.lists(st.floats(allow_nan=True, allow_infinity=True), max_size=40))
def test_float_arrays(values):
    for convert in (matrix, genes):
        assert_same_as_items(convert, array.array("d", values))
        assert_same_as_items(convert, array.array("f", values))  # narrowed, out of range to infinity


@pytest.mark.parametrize("convert", CONVERSIONS)
def test_every_path_gives_the_buffer_back(convert):
    # A bytearray cannot grow while its buffer is held; a memoryview cannot be released.
    data = bytearray(b"\x01\x02")
    convert(data)
    data.append(3)
    for view in (memoryview(array.array("b", [1, -1])),  # refused in place, then read item by item
                 memoryview(array.array("d", [1.0] * 4)).cast("B").cast("d", (2, 2)),  # not flat
                 memoryview(array.array("d", [0.5])),  # read in place (or refused as genes)
                 memoryview(bytes(9))[1:].cast("d")):  # not aligned
        outcome(convert, view)
        view.release()


class Exporter:
    """Exports a buffer of the given numbers; a sequence of nines only when `length` is given."""

    def __init__(self, numbers, length=None):
        self.numbers, self.length = numbers, length

    def __buffer__(self, flags):
        return memoryview(self.numbers)

    def __len__(self):
        if self.length is None:
            raise TypeError("no length")
        return self.length

    def __getitem__(self, index):
        if self.length is None or index >= self.length:
            raise IndexError(index)
        return 9


def test_a_sequence_is_read_through_its_buffer_unless_an_item_would_convert_otherwise():
    assert matrix(Exporter(array.array("b", [1, -2]), length=1)) == [1.0, -2.0]
    assert genes(Exporter(array.array("B", [1, 2]), length=1)) == [1, 2]
    assert genes(Exporter(array.array("b", [1, -2]), length=1)) == [9]
    assert genes(Exporter(array.array("d", [1.0]), length=3)) == [9, 9, 9]


class BufferOnly:
    def __buffer__(self, flags):
        return memoryview(array.array("d", [1.0]))


def test_an_exporter_that_is_no_sequence_is_refused_as_before():
    with pytest.raises(TypeError) as raised:
        matrix(BufferOnly())
    assert str(raised.value) == "argument 'matrix': 'BufferOnly' object cannot be cast as 'Sequence'"


class Meddler:
    """A number that changes the list holding it while it is converted."""

    def __init__(self, change):
        self.change, self.holder = change, None

    def __index__(self):
        self.change(self.holder)
        return 4

    __float__ = lambda self: float(self.__index__())  # noqa: E731


def meddling_list(change):
    meddler = Meddler(change)
    holder = [1, meddler, 2, 3]
    meddler.holder = holder
    return holder


@pytest.mark.parametrize("convert", CONVERSIONS)
@pytest.mark.parametrize("change", [
    pytest.param(lambda items: items.append(5), id="grows"),
    pytest.param(lambda items: items.clear(), id="empties"),
    pytest.param(lambda items: items.pop(), id="shrinks"),
    pytest.param(lambda items: items.__setitem__(2, "x"), id="replaces"),
])
def test_a_list_changed_while_read_is_read_as_its_iterator_reads_it(convert, change):
    assert outcome(convert, meddling_list(change)) == outcome(convert, ItemsOnly(meddling_list(change)))


@pytest.mark.parametrize("dtype", ["u1", "i8", "f8", "f4", "bool"])
@pytest.mark.parametrize("other_at", [None, 0, 63, 64, 130, 255])
def test_long_arrays_of_cells_give_what_their_items_give(dtype, other_at):
    # Long enough for whole words of 0/1 cells, with one cell that is no bit at either
    # end of a word, or none at all.
    np = pytest.importorskip("numpy")
    values = (np.arange(256) % 3 == 0).astype(dtype)
    if other_at is not None:
        values[other_at] = True if dtype == "bool" else (2 if dtype[0] in "iu" else -0.0)
    assert_same_as_items(matrix, values)
