#!/usr/bin/env python3
"""numpy beside the cases of VectorScanBench, on the same sizes: the first
equal element, value replacement and block equality. Each case is printed
as a ratio to the C library baseline of the same bytes (memchr for an
absent byte, memcpy, memcmp), measured in the same run, so the figures
stand beside VectorScanBench's ratios.

Run: python3 bench/peers_numpy.py
"""
import ctypes

import numpy as np

from peers_numpy_vectorops import COUNT, SIDE, _libc, best, memchr_s, memcpy_s

BLOCK = 4096

_libc.memcmp.restype = ctypes.c_int
_libc.memcmp.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_size_t]


def memcmp_s(a, b):
    """One memcmp over two equal C-contiguous arrays (a call per row from
    Python would time the calls, not the comparison)."""
    return best(lambda: _libc.memcmp(a.ctypes.data, b.ctypes.data, a.nbytes))


def vector_scan_cases():
    """(case, numpy seconds, baseline seconds) for the cases of VectorScanBench."""
    rows = []
    scan = memchr_s(COUNT * 4)

    floats = np.ones(COUNT, dtype=np.float32)
    floats[-1] = 2
    rows.append(("findFirstEqual float32 (argmax(a == v))", best(lambda: np.argmax(floats == 2)), scan))
    bytes_ = np.ones(COUNT, dtype=np.uint8)
    bytes_[-1] = 2
    rows.append(("findFirstEqual uint8 (argmax(a == v))", best(lambda: np.argmax(bytes_ == 2)),
                 memchr_s(COUNT)))

    sprinkled = np.ones(COUNT, dtype=np.float32)
    sprinkled[np.random.default_rng(7).integers(0, COUNT, COUNT // 100)] = 3

    def replace():
        sprinkled[sprinkled == 3] = 4
        sprinkled[sprinkled == 4] = 3
    # Two replacements per turn, against two copies.
    rows.append(("replaceValue float32 1% (a[a == old] = new)", best(replace) / 2, memcpy_s(COUNT * 4)))

    a = np.full((BLOCK, BLOCK), 5, dtype=np.int16)
    b = np.full((BLOCK, BLOCK), 5, dtype=np.int16)
    rows.append(("subsectionEqual int16 4096^2 (array_equal)", best(lambda: np.array_equal(a, b)),
                 memcmp_s(a, b)))
    plane = np.ones((SIDE, SIDE), dtype=np.float32)
    rows.append(("subsectionEqual float32 value ((a == v).all())", best(lambda: (plane == 1).all()), scan))
    return rows


def main():
    print(f"{'case':52} {'numpy ms':>10} {'baseline ms':>12} {'ratio':>8}")
    for name, ours, base in vector_scan_cases():
        print(f"{name:52} {ours * 1e3:10.1f} {base * 1e3:12.1f} {ours / base:8.2f}")


if __name__ == "__main__":
    main()
