#!/usr/bin/python3
"""numpy beside ConvertVectorBench: the same conversion pairs on 64 Mi elements.

For each pair it times numpy's plain cast into a preallocated array
(np.copyto with casting='unsafe': truncation, wrap-around, no no-data),
rint + clip + cast (rounding and saturation, still without no-data, and
rint rounds half to even), and np.copyto of the larger of the two buffers,
and prints each as a ratio to that copy. Run with Debian's /usr/bin/python3 and
its numpy; nothing here is needed to build or test the library.
"""
import sys
import time

import numpy as np

ELEMENTS = 64 << 20
PAIRS = [
    ("float32_to_int16", np.float32, np.int16),
    ("float32_to_uint8", np.float32, np.uint8),
    ("float64_to_int32", np.float64, np.int32),
    ("float32_to_float64", np.float32, np.float64),
    ("float64_to_float32", np.float64, np.float32),
    ("int16_to_float32", np.int16, np.float32),
    ("uint8_to_float32", np.uint8, np.float32),
    ("int32_to_int16", np.int32, np.int16),
]


def best_of(fn, repeats=7):
    fn()  # touch every page first
    best = float("inf")
    for _ in range(repeats):
        start = time.perf_counter()
        fn()
        best = min(best, time.perf_counter() - start)
    return best


def source(dtype, rng):
    if np.issubdtype(dtype, np.floating):
        values = rng.integers(0, 2000001, ELEMENTS).astype(np.float64) * 0.0625 - 62500.0
        values = values.astype(dtype)
    else:
        info = np.iinfo(dtype)
        values = rng.integers(info.min, info.max, ELEMENTS, dtype=dtype, endpoint=True)
    values[::100] = 3
    return values


def main():
    rng = np.random.default_rng(1)
    print(f"numpy {np.__version__}, {ELEMENTS} elements, times in ms, ratios to np.copyto of the larger buffer")
    print(f"{'pair':22} {'copy':>8} {'cast':>8} {'ratio':>6} {'rint+clip':>10} {'ratio':>6}")
    for name, s_type, d_type in PAIRS:
        src = source(s_type, rng)
        dst = np.empty(ELEMENTS, dtype=d_type)
        wide = np.dtype(s_type) if np.dtype(s_type).itemsize >= np.dtype(d_type).itemsize else np.dtype(d_type)
        copy_src = np.ones(ELEMENTS, dtype=wide)
        copy_dst = np.empty(ELEMENTS, dtype=wide)
        copy = best_of(lambda: np.copyto(copy_dst, copy_src))
        cast = best_of(lambda: np.copyto(dst, src, casting="unsafe"))
        if np.issubdtype(d_type, np.integer) and np.issubdtype(s_type, np.floating):
            info = np.iinfo(d_type)
            scratch = np.empty(ELEMENTS, dtype=s_type)

            def round_clip():
                np.rint(src, out=scratch)
                np.clip(scratch, info.min, info.max, out=scratch)
                np.copyto(dst, scratch, casting="unsafe")

            rounded = best_of(round_clip)
            rounded_text = f"{rounded * 1e3:10.1f} {rounded / copy:6.2f}"
        else:
            rounded_text = f"{'-':>10} {'-':>6}"
        print(f"{name:22} {copy * 1e3:8.1f} {cast * 1e3:8.1f} {cast / copy:6.2f} {rounded_text}")
        sys.stdout.flush()


if __name__ == "__main__":
    main()
