"""Whole-process figures for scripts/bench: `kestrola-cli base stats` on a base of 1,000,000
records against `cat` and `dd bs=1M` of the same file (page cache warm), medians of several runs
in the same session.

usage: whole_process.py KESTROLA_CLI WORK_FOLDER"""
import os
import statistics
import subprocess
import sys
import time

RECORDS = 1_000_000
RUNS = 15
STAMP = b"09:05:07 , 06/12/2005\0\0"


def make_base(path):
    if os.path.exists(path):
        return
    parts = []
    for i in range(RECORDS):
        body = b"PC%d\0WORKGROUP\0message number %d\0" % (i % 500, i)
        parts.append((len(body) + 24).to_bytes(4, "little") + (b"\0" if i % 7 == 0 else b"\1") +
                     body + STAMP)
    with open(path + ".part", "wb") as f:
        f.write(b"".join(parts))
    os.rename(path + ".part", path)


def median_seconds(command):
    times = []
    for _ in range(RUNS):
        started = time.perf_counter()
        subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
        times.append(time.perf_counter() - started)
    return statistics.median(times)


def main():
    cli, work = sys.argv[1], sys.argv[2]
    os.makedirs(work, exist_ok=True)
    base = os.path.join(work, "million.msg")
    make_base(base)
    subprocess.run(["cat", base], stdout=subprocess.DEVNULL, check=True)  # into the page cache
    size = os.path.getsize(base)
    stats = median_seconds([cli, "base", "stats", base])
    cat = median_seconds(["cat", base])
    dd = median_seconds(["dd", f"if={base}", "of=/dev/null", "bs=1M"])
    print(f"\nwhole process, {RECORDS:,} records ({size / 1e6:.0f} MB), medians of {RUNS} runs:")
    print(f"  kestrola-cli base stats {stats * 1e3:7.1f} ms")
    print(f"  cat                     {cat * 1e3:7.1f} ms")
    print(f"  dd bs=1M                {dd * 1e3:7.1f} ms")
    print(f"{'base stats / cat':44} {stats / cat:6.2f}x  (target <= 1.0)")
    print(f"{'base stats / dd bs=1M':44} {stats / dd:6.2f}x  (info)")


if __name__ == "__main__":
    main()
