#!/usr/bin/env python3
"""numpy beside the cases of VectorOpsBench, on the same sizes. Each case is
printed as a ratio to the C library baseline of the same bytes (memset,
memcpy or memchr for an absent byte), measured in the same run, so the
figures stand beside VectorOpsBench's ratios.

Run: python3 bench/peers_numpy_vectorops.py
"""
import ctypes
import time

import numpy as np

SIDE = 8192
BLOCK = 4096
COUNT = SIDE * SIDE

_libc = ctypes.CDLL(None)
for _name in ("memset", "memcpy", "memchr"):
    getattr(_libc, _name).restype = ctypes.c_void_p
_libc.memset.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_size_t]
_libc.memcpy.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_size_t]
_libc.memchr.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_size_t]


def best(fn, repeat=5):
    """Fastest of `repeat` runs, in seconds."""
    times = []
    for _ in range(repeat):
        start = time.perf_counter()
        fn()
        times.append(time.perf_counter() - start)
    return min(times)


def memset_s(nbytes):
    a = np.ones(nbytes, dtype=np.uint8)
    return best(lambda: _libc.memset(a.ctypes.data, 0x3F, nbytes))


def memcpy_s(nbytes):
    a, b = np.ones(nbytes, dtype=np.uint8), np.ones(nbytes, dtype=np.uint8)
    return best(lambda: _libc.memcpy(b.ctypes.data, a.ctypes.data, nbytes))


def memchr_s(nbytes):
    a = np.ones(nbytes, dtype=np.uint8)
    return best(lambda: _libc.memchr(a.ctypes.data, 7, nbytes))


def vector_ops_cases():
    """(case, numpy seconds, baseline seconds) for the cases of VectorOpsBench."""
    rows = []
    block_bytes = BLOCK * BLOCK * 4

    values = np.ones(COUNT, dtype=np.float32)
    rows.append(("fill float32 (fill)", best(lambda: values.fill(1.5)), memset_s(COUNT * 4)))
    rgb = np.ones((COUNT, 3), dtype=np.uint8)
    colour = np.array([10, 20, 30], dtype=np.uint8)
    rows.append(("fill uint8 x 3 (broadcast assignment)", best(lambda: rgb.__setitem__(Ellipsis, colour)),
                 memset_s(COUNT * 3)))

    grid = np.ones((SIDE, SIDE), dtype=np.float32)
    other = np.ones((SIDE, SIDE), dtype=np.float32)
    rows.append(("fillSubsection 4096^2 (fill of a view)",
                 best(lambda: grid[1024:1024 + BLOCK, 1024:1024 + BLOCK].fill(1.5)), memset_s(block_bytes)))
    rows.append(("copySubsection 4096^2 (copyto)",
                 best(lambda: np.copyto(grid[1024:1024 + BLOCK, 2048:2048 + BLOCK],
                                        other[2048:2048 + BLOCK, 1024:1024 + BLOCK])), memcpy_s(block_bytes)))
    rows.append(("copySubsection overlap (copyto)",
                 best(lambda: np.copyto(grid[1025:1025 + BLOCK, 1025:1025 + BLOCK],
                                        grid[1024:1024 + BLOCK, 1024:1024 + BLOCK])), memcpy_s(block_bytes)))

    square = np.ones((SIDE, SIDE), dtype=np.float32)
    oblong = np.ones((SIDE + 1, SIDE - 1), dtype=np.float32)
    row = np.ones((1, 10_000_000), dtype=np.float32)
    rows.append(("transpose 8192^2 (contiguous copy of .T)", best(lambda: np.ascontiguousarray(square.T), 3),
                 memcpy_s(COUNT * 4)))
    rows.append(("transpose 8191x8193 (contiguous copy of .T)", best(lambda: np.ascontiguousarray(oblong.T), 3),
                 memcpy_s(oblong.nbytes)))
    rows.append(("transpose 1x10^7 (contiguous copy of .T)", best(lambda: np.ascontiguousarray(row.T)),
                 memcpy_s(row.nbytes)))

    scan = memchr_s(COUNT * 4)
    for name, dtype, nodata in (("float32", np.float32, -9999), ("int16", np.int16, -32768),
                                ("uint8", np.uint8, 255)):
        a = np.ones(COUNT * 4 // np.dtype(dtype).itemsize, dtype=dtype)
        hi = np.inf if dtype == np.float32 else np.iinfo(dtype).max
        lo = -np.inf if dtype == np.float32 else np.iinfo(dtype).min
        rows.append((f"calcMinMax {name} (min)", best(lambda: a.min()), scan))
        rows.append((f"calcMinMax {name} (masked min)", best(lambda: a.min(where=a != nodata, initial=hi)), scan))
        rows.append((f"calcMinMax {name} (masked min and max)",
                     best(lambda: (a.min(where=a != nodata, initial=hi), a.max(where=a != nodata, initial=lo))),
                     scan))
    return rows


def main():
    print(f"{'case':48} {'numpy ms':>10} {'baseline ms':>12} {'ratio':>8}")
    for name, ours, base in vector_ops_cases():
        print(f"{name:48} {ours * 1e3:10.1f} {base * 1e3:12.1f} {ours / base:8.2f}")


if __name__ == "__main__":
    main()
