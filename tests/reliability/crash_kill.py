"""Kills a writer of the message base at random moments and checks after each kill that the base
loads whole, that every append it acknowledged is there exactly once and that no acknowledged
delete came back; at the end, that a new start leaves no temporary file of ours.

usage: crash_kill.py WRITER CLI KILLS"""
import json
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time

SEED, TIME_LIMIT = 20261207, 420  # seconds


def main(writer, cli, kills):
    rng = random.Random(SEED)
    work = tempfile.mkdtemp(prefix="kestrola-crash.")
    base = os.path.join(work, "Murmeli.msg")
    present, deleted = set(), set()  # acknowledged appends not deleted since, acknowledged deletes
    started = time.monotonic()
    for kill in range(int(kills)):
        fail = f"FAIL: kill {kill} (seed {SEED}):"
        if time.monotonic() - started > TIME_LIMIT:
            sys.exit(f"{fail} over {TIME_LIMIT} s")
        proc = subprocess.Popen([writer, base, str(rng.randrange(1 << 30)), str(kill * 100000 + 1)],
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        time.sleep(rng.uniform(0, 0.04))
        proc.kill()
        out, err = proc.communicate()
        if proc.returncode != -9:
            sys.exit(f"{fail} the writer ended by itself ({proc.returncode}): {err!r}")
        ops = {op: {int(v) for o, v in map(str.split, out.splitlines()) if o == op} for op in "AdD"}
        deleted |= ops["D"]
        present = (present | ops["A"]) - deleted
        doubtful = ops["d"] - deleted  # deletes begun but not reported
        check = subprocess.run([cli, "base", "check", base], capture_output=True, text=True)
        if check.returncode != 0:
            sys.exit(f"{fail} the base does not load whole: {check.stdout}{check.stderr}")
        listed = subprocess.run([cli, "base", "list", base, "--format", "json"],
                                capture_output=True, text=True, check=True).stdout
        seqs = [int(r["text"]) for r in json.loads(listed)]
        if len(seqs) != len(set(seqs)):
            sys.exit(f"{fail} a record is there twice")
        # A delete in doubt either happened or did not; which one, the base now says.
        present -= doubtful - set(seqs)
        if present - set(seqs) or deleted & set(seqs):
            sys.exit(f"{fail} appends lost {sorted(present - set(seqs))}, deletes undone "
                     f"{sorted(deleted & set(seqs))}")
    # A start (the writer's LoadIndex) removes what a kill during a delete left behind.
    subprocess.run([writer, base, "1", "load"], check=True)
    if left := [n for n in os.listdir(work) if n.startswith(".Murmeli.msg.")]:
        sys.exit(f"FAIL: temporaries left after a start: {left}")
    shutil.rmtree(work)


if __name__ == "__main__":
    main(*sys.argv[1:4])
