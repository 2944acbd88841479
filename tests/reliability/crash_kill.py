"""Kills a writer of the message base at random moments and checks after each kill that the base
loads whole, that every append it acknowledged is there exactly once and that no acknowledged
delete came back; at the end, that a new start leaves no temporary file of ours.

usage: crash_kill.py WRITER CLI [KILLS] [SEED]"""
import json
import os
import random
import signal
import subprocess
import sys
import tempfile
import time

TIME_LIMIT = 420  # seconds


def main():
    writer, cli = sys.argv[1], sys.argv[2]
    kills = int(sys.argv[3]) if len(sys.argv) > 3 else 1000
    seed = int(sys.argv[4]) if len(sys.argv) > 4 else 20261207
    rng = random.Random(seed)
    work = tempfile.mkdtemp(prefix="kestrola-crash.")
    base = os.path.join(work, "Murmeli.msg")
    present = set()  # acknowledged appends not acknowledged as deleted
    deleted = set()
    started = time.monotonic()
    for kill in range(kills):
        if time.monotonic() - started > TIME_LIMIT:
            sys.exit(f"FAIL: only {kill} kills in {TIME_LIMIT} s")
        proc = subprocess.Popen([writer, base, str(rng.randrange(1 << 30)), str(kill * 100000 + 1)],
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        time.sleep(rng.uniform(0, 0.04))
        os.kill(proc.pid, signal.SIGKILL)
        out, err = proc.communicate()
        if proc.returncode != -signal.SIGKILL:
            sys.exit(f"FAIL: kill {kill}: writer ended by itself ({proc.returncode}): {err!r}")
        doubtful = set()  # deletes begun but not reported
        for op, value in (line.split(" ") for line in out.decode().splitlines()):
            ({"A": present, "d": doubtful, "D": deleted}[op]).add(int(value))
            if op == "D":
                present.discard(int(value))
                doubtful.discard(int(value))
        check = subprocess.run([cli, "base", "check", base], capture_output=True, text=True)
        if check.returncode != 0:
            sys.exit(f"FAIL: kill {kill} (seed {seed}): base does not load whole: "
                     f"{check.stdout}{check.stderr}")
        listed = subprocess.run([cli, "base", "list", base, "--format", "json"],
                                capture_output=True, text=True, check=True)
        seqs = [int(r["text"]) for r in json.loads(listed.stdout)]
        if len(seqs) != len(set(seqs)):
            sys.exit(f"FAIL: kill {kill} (seed {seed}): a record is there twice")
        # A delete in doubt either happened or did not; which one, the base now says.
        present -= doubtful - set(seqs)
        if missing := present - set(seqs):
            sys.exit(f"FAIL: kill {kill} (seed {seed}): acknowledged appends lost: {sorted(missing)}")
        if back := deleted & set(seqs):
            sys.exit(f"FAIL: kill {kill} (seed {seed}): deleted records came back: {sorted(back)}")
    # A start (the writer's LoadIndex) removes what a kill during a delete left behind.
    subprocess.run([writer, base, "1", "load"], check=True)
    left = [n for n in os.listdir(work) if n.startswith(".Murmeli.msg.")]
    if left:
        sys.exit(f"FAIL: temporaries left after a start: {left}")
    print(f"crash-kill: {kills} kills in {time.monotonic() - started:.0f} s, "
          f"{len(present)} records checked at the end, seed {seed}")
    subprocess.run(["rm", "-rf", work], check=False)


if __name__ == "__main__":
    main()
