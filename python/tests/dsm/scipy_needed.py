"""Imported first by the test modules that need SciPy: skips them where it cannot be used."""
import pytest


def _sanitized():
    with open("/proc/self/maps") as maps:
        return "libasan" in maps.read()


if _sanitized():
    # The package itself is Python; the module it drives is checked by the sanitizers elsewhere.
    pytest.skip("SciPy's linear-algebra module leaks strings at import, which LeakSanitizer "
                "reports at exit", allow_module_level=True)
# Debian's SciPy does not load on the debug interpreter.
pytest.importorskip("scipy.sparse.csgraph", exc_type=ImportError)
