#!/usr/bin/python3
"""What feeding one value to a Kyv control costs from Python, against a plain Python method
call of the same shape (an instance method taking one argument and doing nothing).

    PYTHONPATH=build/release/lib/python3/dist-packages \\
      LD_PRELOAD=build/release/lib/libkyv_malloc_counter.so bench/python/feed_bench.py

Rounds of each take turns; each figure is the median over the rounds of the time per call.
With the malloc counter preloaded it also reports malloc calls per feed: the plain method's
are Python's own, so the difference is what the control side allocates.
"""
import ctypes
import statistics
import sys
import timeit

import kyv


class Plain:
    def incbar(self, value):
        pass


def malloc_counter():
    try:
        return ctypes.CDLL(None).kyv_malloc_count
    except AttributeError:
        return None


def per_call(fn, values, repeat):
    timer = timeit.Timer(lambda: [fn(v) for v in values])
    return min(timer.repeat(repeat=3, number=repeat)) / (repeat * len(values))


def mallocs_per_call(count, fn, values):
    for v in values:  # warm
        fn(v)
    before = count()
    for _ in range(20):
        for v in values:
            fn(v)
    return (count() - before) / (20 * len(values))


def main():
    rounds = int(sys.argv[1]) if len(sys.argv) > 1 else 7
    values = list(range(0, 200, 3)) * 15  # 1005 readings, all valid
    bar = kyv.Kyvvstat()
    bar.Maxlimit = 200
    heard = kyv.Kyvvstat()
    heard.Maxlimit = 200
    heard.on("NormalOPs", lambda: None)
    heard.on("MaxThreshReached", lambda: None)
    heard.on("MinThreshReached", lambda: None)
    subjects = {"plain Python method": Plain().incbar, "kyv incbar": bar.incbar,
                "kyv incbar, a handler per event": heard.incbar}
    times = {name: [] for name in subjects}
    for _ in range(rounds):
        for name, fn in subjects.items():
            times[name].append(per_call(fn, values, 20))
    base = statistics.median(times["plain Python method"])
    print(f"{'subject':34} {'ns/call':>9} {'above plain, us':>16}")
    for name, samples in times.items():
        median = statistics.median(samples)
        print(f"{name:34} {median * 1e9:9.0f} {(median - base) * 1e6:16.3f}")
    count = malloc_counter()
    if count:
        plain = mallocs_per_call(count, subjects["plain Python method"], values)
        for name in ("kyv incbar", "kyv incbar, a handler per event"):
            print(f"malloc calls per feed, {name}: {mallocs_per_call(count, subjects[name], values):.3f} "
                  f"(plain method: {plain:.3f})")
    else:
        print("malloc calls not counted: preload libkyv_malloc_counter.so")


if __name__ == "__main__":
    main()
