#!/usr/bin/env python3
"""The program between computers: the real kestrola-net (offscreen) in one namespace with a
prepared INI store, kestrola-cli as senders and listeners in others.
Usage: messenger_netns.py SCENARIO KESTROLA_NET KESTROLA_CLI WINDOW_DRIVER"""

import json
import os
import re
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import netnslab as nl  # noqa: E402
from netnslab import Lab, listen, read, records, send, sounds, wait_records  # noqa: E402

SECONDS = 5  # of the flood


def receive():
    """Messages to the program's name (in any case), its workgroup and "*" from two hosts, and
    five at once: stored, logged and announced in order, one a tick. Started by root, the
    program keeps no capability once it holds its ports."""
    with Lab() as lab:
        a, b = lab.host("a", 1, "PC1"), lab.host("b", 2, "PC2")
        c = lab.host("c", 3, "PC3", "OTHERGRP")
        files = nl.start_program(a)
        pid = files["proc"].pid  # `ip netns exec` became the program
        caps = re.findall(r"^Cap(?:Inh|Prm|Eff|Amb):\s+(\w+)$", read(f"/proc/{pid}/status"), re.M)
        assert os.path.realpath(f"/proc/{pid}/exe") == os.path.realpath(nl.PROGRAM)
        assert len(caps) == 4 and not any(int(c, 16) for c in caps), f"capabilities kept: {caps}"
        # "*" stands for the sender's own workgroup; PC3 lies in another one.
        for sender, target, text in [(b, "PC1", "to the name"), (c, "WORKGROUP", "to the group"),
                                     (b, "*", "to everybody"), (c, "pc1", "in lower case")]:
            send(sender, target, text)
        send(b, "--repeat", "5", "PC1", "burst")
        wait_records(files, 9)
        time.sleep(1.2)  # a late extra record would show now
        found = records(files)
        nl.stop_program(files)
        got = [(r["from"], r["to"], r["text"]) for r in found]
        assert got == [("PC2", "PC1", "to the name"), ("PC3", "WORKGROUP", "to the group"),
                       ("PC2", "*", "to everybody"), ("PC3", "PC1", "in lower case")] + \
            [("PC2", "PC1", f"burst {i}") for i in range(1, 6)], f"base: {got}"
        assert {r["state"] for r in found} == {"new"}, f"states: {found}"
        seconds = [sum(int(v) * 60 ** (2 - i) for i, v in enumerate(r["stamp"][:8].split(":")))
                   for r in found[4:]]
        assert seconds[-1] - seconds[0] >= 2, f"not one a half-second tick: {found[4:]}"
        logged = re.findall(r"From: (.*)\r\nTo:   (.*)\r\nDate: \d\d:\d\d:\d\d\d\d/\d\d/\d{4}"
                            r"\r\n\r\n(.*)\r\n-{80}\r\n\r\n", read(files["history"]))
        assert logged == got, f"history: {read(files['history'])!r}"
        assert sounds(files) == ["personal.wav", "group.wav", "group.wav"] + ["personal.wav"] * 6, \
            f"sounds: {sounds(files)}"


def reader():
    """While `kestrola-cli base list` waits on a slow pager, messages from another host still
    reach the base, all of them, in order."""
    with Lab() as lab:
        a, b = lab.host("a", 1, "PC1"), lab.host("b", 2, "PC2")
        files = nl.prepare_store(a, nl.PROGRAM)
        # Far more listing than a pipe holds, so that the lister blocks on its output.
        record = b"\1PC3\0PC1\0" + b"x" * 500 + b"\0" + b"09:05:07 , 06/12/2005\0\0"
        with open(files["base"], "wb") as f:
            f.write((len(record).to_bytes(4, "little") + record) * 300)
        nl.start_program(a, files)
        for _ in range(20):
            send(b, "PC1", "ping")
            time.sleep(0.5)
            if sounds(files):
                break
        assert sounds(files), "the program never took a message"
        time.sleep(1)  # pings still under way
        heard = len(sounds(files))
        pager = subprocess.Popen(f"{nl.CLI} base list {files['base']} | (sleep 3; cat >/dev/null)",
                                 shell=True)
        time.sleep(0.3)
        send(b, "--repeat", "10", "PC1", "while reading")
        assert pager.wait(timeout=30) == 0, "the listing failed"
        found = wait_records(files, heard + 10)
        nl.stop_program(files)
        texts = [r["text"] for r in found[300 + heard:]]
        assert texts == [f"while reading {i}" for i in range(1, 11)], f"stored: {texts}"


def busy_lan():
    """A LAN of 20 listeners announcing themselves in five workgroups: a scan from the
    program's host lists them all. Then three hosts flood the program with about 2,000
    datagrams a second each while a fourth sends one message a second: the program keeps
    taking one message a tick, its memory stays within 10 MB, every message of the fourth
    arrives, and the drops are told once, per source."""
    with Lab() as lab:
        program = lab.host("p", 1, "PROGRAM", "WG1")
        senders = [lab.host(f"s{i}", 2 + i, f"SENDER{i}", "WG1") for i in range(4)]
        peers = [lab.host(f"h{i}", 10 + i, f"HOST{i:03}", f"WG{1 + i % 5}") for i in range(20)]
        for peer in peers:
            listen(peer, "--format", "hex")
        # A fresh browse in the program's host, before the program holds its ports.
        run = program.run([nl.CLI, "browse", "--format", "json"], timeout=60)
        assert run.returncode == 0, f"browse: {run.stderr}"
        listed = {(g["name"], c["name"]) for g in json.loads(run.stdout)["workgroups"]
                  for c in g["computers"]}
        missing = [p.name for i, p in enumerate(peers) if (f"WG{1 + i % 5}", p.name) not in listed]
        assert not missing, f"not listed: {missing} in {listed}"

        files = nl.start_program(program, EventsSettings__AutoShowNewMSG=0)
        status = f"/proc/{files['proc'].pid}/status"
        rss = lambda: int(re.search(r"VmRSS:\s+(\d+)", read(status))[1])  # noqa: E731
        time.sleep(1)
        rss_before, stored_before = rss(), len(sounds(files))
        # Bounded: 2 * SECONDS bursts of 1,000 datagrams each, to the program's address.
        flood = (f"for i in $(seq {2 * SECONDS}); do {nl.CLI} send --repeat 1000 PROGRAM flood;"
                 " sleep 0.5; done")
        floods = [s.start(["sh", "-c", flood], "flood") for s in senders[:3]]
        started = time.monotonic()
        for n in range(SECONDS):
            send(senders[3], "PROGRAM", f"steady {n}")
            time.sleep(max(0, started + n + 1 - time.monotonic()))
        for proc in floods:
            proc.wait(timeout=SECONDS + 30)
        took, rss_after = time.monotonic() - started, rss()
        stored_during = len(sounds(files)) - stored_before
        # The queue keeps each flooder's newest; the steady host's messages come first.
        for _ in range(20):
            steady = [r["text"] for r in records(files) if r["from"] == "SENDER3"]
            if len(steady) == SECONDS:
                break
            time.sleep(0.5)
        # The drops are told once a tick has seen none after the flood.
        told = re.findall(r"Messages were lost.*",
                          nl.wait_for(files["proc"].err_path, r"Messages were lost", seconds=5))
        nl.stop_program(files)
        assert steady == [f"steady {n}" for n in range(SECONDS)], f"steady: {steady}"
        assert rss_after - rss_before <= 10 * 1024, f"memory grew {rss_after - rss_before} kB"
        assert stored_during >= 1.6 * SECONDS, f"only {stored_during} taken in {took:.1f} s"
        assert len(told) == 1 and all(f"from {s.address}" in told[0] for s in senders[:3]), \
            f"drops not told once per source: {told}"


if __name__ == "__main__":
    nl.main({"receive": receive, "reader": reader, "busy-lan": busy_lan},
            ("PROGRAM", "CLI", "DRIVER"))
