#!/usr/bin/env python3
"""The program between computers: the real kestrola-net (offscreen) in one namespace with a
prepared INI store, kestrola-cli as senders and listeners in others.
Usage: messenger_netns.py SCENARIO KESTROLA_NET KESTROLA_CLI WINDOW_DRIVER"""

import json
import os
import re
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import netnslab  # noqa: E402
from netnslab import Lab, check, mailslot_datagram, main, send, wait_for  # noqa: E402

PROGRAM = DRIVER = ""
CRLF = "\r\n"


def prepare_store(lab, host, executable, **extra):
    """A run folder for `executable` in `host`: an INI store whose first run is done, the base
    and history beside it, and the file that logs the sounds asked for."""
    home = os.path.join(lab.work, f"{host.label}-{os.path.basename(executable)}")
    os.makedirs(os.path.join(home, "config"), exist_ok=True)
    files = {k: os.path.join(home, v) for k, v in
             (("base", "base.msg"), ("history", "history.txt"), ("sounds", "sounds.log"))}
    files["home"] = home
    sections = {"SystemSettings": {"CurrentVersion": "1.0"},
                "SendRecervieSettings": {"BaseFileName": files["base"],
                                         "HistoryFileName": files["history"], "History": "1",
                                         "IncludeSendedInBase": "1", "SuccesMessageTimeOut": "0"},
                "EventsSettings": {}}
    for key, value in extra.items():
        section, name = key.split("__")
        sections[section][name] = str(value)
    files["ini"] = ini = os.path.join(home, "config", os.path.basename(executable) + ".INI")
    with open(ini, "w") as f:
        f.write("".join(f"[{s}]\n" + "".join(f"{k}={v}\n" for k, v in keys.items())
                        for s, keys in sections.items()))
    files["env"] = host.env(XDG_CONFIG_HOME=os.path.join(home, "config"), XDG_DATA_HOME=home,
                            XDG_RUNTIME_DIR=home, QT_QPA_PLATFORM="offscreen",
                            KESTROLA_SOUND_LOG=files["sounds"])
    return files


def start_program(lab, host, files=None, **settings):
    files = files or prepare_store(lab, host, PROGRAM, **settings)
    proc = files["proc"] = host.start([PROGRAM, "-i"], "program", env=files["env"])
    # The base file is made once the mailslot is open and the poll timer runs.
    deadline = time.monotonic() + 20
    while not os.path.exists(files["base"]):
        check(proc.poll() is None, f"the program ended: {open(proc.err_path).read()}")
        check(time.monotonic() < deadline, "the program never opened its base")
        time.sleep(0.05)
    return files


def stop_program(files):
    files["proc"].send_signal(signal.SIGTERM)
    check(files["proc"].wait(timeout=10) == 0, f"the program ended {files['proc'].returncode}")


def records(files):
    out = subprocess.run([netnslab.CLI, "base", "list", files["base"], "--format", "json"],
                         capture_output=True, text=True, check=True).stdout
    return json.loads(out)


def sounds(files):
    return open(files["sounds"]).read().split() if os.path.exists(files["sounds"]) else []


def wait_records(files, count, seconds=10):
    """Waits until `count` messages have been announced (each asks for a sound after it was
    stored), then reads the base once: reading it meanwhile would hold the file that the
    program opens without sharing for every record it stores."""
    deadline = time.monotonic() + seconds
    while len(sounds(files)) < count:
        check(time.monotonic() < deadline, f"{len(sounds(files))} of {count} messages came in")
        time.sleep(0.02)
    found = records(files)
    check(len(found) >= count, f"{len(found)} of {count} records: {found}")
    return found


def history_entries(files):
    text = open(files["history"], "rb").read().decode()
    separator = "-" * 80 + CRLF + CRLF
    check(text.endswith(separator), f"history does not end with a separator: {text!r}")
    entries = []
    for entry in text.split(separator)[:-1]:
        match = re.fullmatch(r"From: (.*)\r\nTo:   (.*)\r\nDate: (\d\d:\d\d:\d\d\d\d/\d\d/\d{4})"
                             r"\r\n\r\n(.*)\r\n", entry, re.S)
        check(match is not None, f"not a history entry: {entry!r}")
        entries.append((match.group(1), match.group(2), match.group(4)))
    return entries


def drive(lab, host, *args, **settings):
    files = prepare_store(lab, host, DRIVER, **settings)
    result = host.run([DRIVER, *args], env=files["env"], timeout=60)
    check(result.returncode == 0, f"driver {args}: {result.returncode} {result.stderr}")
    return files, result.stdout


def scenario_receive():
    """Datagrams to the program's name, its workgroup and "*", of odd shapes, and five at once:
    stored and logged as the receive rules say, personal or group by the sound asked for, one a
    tick and in order. Started by root, the program keeps no capability once it holds its ports."""
    with Lab() as lab:
        a = lab.host("a", 1, "PC1")
        b = lab.host("b", 2, "PC2")
        c = lab.host("c", 3, "PC3", "OTHERGRP")
        files = start_program(lab, a)
        caps = re.findall(r"^Cap(?:Inh|Prm|Eff|Amb):\s+(\w+)$",
                          open(f"/proc/{files['proc'].pid}/status").read(), re.M)
        check(os.path.realpath(f"/proc/{files['proc'].pid}/exe") == os.path.realpath(PROGRAM) and
              len(caps) == 4 and not any(int(c, 16) for c in caps), f"capabilities kept: {caps}")
        # "*" stands for the sender's own workgroup; PC3 lies in another one.
        sends = [(b, "PC1", "to the name"), (c, "WORKGROUP", "to the group"),
                 (b, "*", "to everybody"), (c, "pc1", "to the name in lower case")]
        for sender, target, text in sends:
            send(sender, target, text)
        for datagram in [b"PC2\0PC1\0" + b"x" * 142,  # 150 bytes: the first 110 kept
                         b"hello",  # no NUL at all
                         b"\0PC1\0dropped\0",  # empty sender: dropped
                         b"PC2\0pc1\0a\x14b\x07c\r\nd\0"]:  # 14 is a line break, 07 is dropped
            send(b, "--hex", datagram.hex(), "PC1")
        send(b, "PC1", "last")
        send(b, "--repeat", "5", "PC1", "burst")
        wait_records(files, 13)
        time.sleep(1.2)  # a late extra record would show now
        found = records(files)
        stop_program(files)

        got = [(r["from"], r["to"], r["text"], r["state"]) for r in found]
        check(got[:4] == [("PC2", "PC1", "to the name", "new"),
                          ("PC3", "WORKGROUP", "to the group", "new"),
                          ("PC2", "*", "to everybody", "new"),
                          ("PC3", "PC1", "to the name in lower case", "new")], f"base: {got}")
        check(len(found) == 13, f"{len(found)} records: {got}")
        check(len(bytes.fromhex(found[4]["body"])) == 110 and found[4]["text"] == "x" * 102,
              f"150 bytes: {found[4]}")
        check(got[5][:3] == ("hello", "//Error", "//Error"), f"no NUL: {found[5]}")
        check(got[6][2] == "a" + CRLF + "bc" + CRLF + "d", f"14 and 07: {found[6]!r}")
        check(got[7][2] == "last", f"after the dropped one: {found[7]}")
        check([r[2] for r in got[8:]] == [f"burst {i}" for i in range(1, 6)], f"order: {got[8:]}")

        def seconds(stamp):
            h, m, s = (int(v) for v in stamp.split(" , ")[0].split(":"))
            return h * 3600 + m * 60 + s
        # One a tick: four half-second ticks between the first and the fifth of the burst.
        check(seconds(found[-1]["stamp"]) - seconds(found[8]["stamp"]) >= 2,
              f"stamps {[r['stamp'] for r in found[8:]]}")
        logged = history_entries(files)
        check(logged[:4] == [r[:3] for r in got[:4]] and
              [e[2] for e in logged[-5:]] == [f"burst {i}" for i in range(1, 6)],
              f"history: {logged}")
        check(sounds(files) == ["personal.wav", "group.wav", "group.wav", "personal.wav",
                                "personal.wav", "group.wav", "personal.wav", "personal.wav"] +
              ["personal.wav"] * 5, f"sounds: {sounds(files)}")


def scenario_reader():
    """While `kestrola-cli base list` waits on a slow pager, messages from another host still
    reach the base, all of them, in order."""
    with Lab() as lab:
        a = lab.host("a", 1, "PC1")
        b = lab.host("b", 2, "PC2")
        files = prepare_store(lab, a, PROGRAM)
        # Far more listing than a pipe holds, so that the lister blocks on its output.
        body = b"PC3\0PC1\0" + b"x" * 500 + b"\0"
        record = (len(body) + 24).to_bytes(4, "little") + b"\1" + body + b"09:05:07 , 06/12/2005\0\0"
        with open(files["base"], "wb") as f:
            f.write(record * 300)
        start_program(lab, a, files)
        pings = 0
        while not sounds(files):
            check(pings < 20 and files["proc"].poll() is None, "the program never took a message")
            send(b, "PC1", "ping")
            pings += 1
            time.sleep(0.5)
        time.sleep(1)  # pings still under way
        heard = len(sounds(files))
        pager = subprocess.Popen(f"{netnslab.CLI} base list {files['base']} | "
                                 "(sleep 3; cat >/dev/null)", shell=True)
        time.sleep(0.3)
        send(b, "--repeat", "10", "PC1", "while reading")
        check(pager.wait(timeout=30) == 0, "the listing failed")
        found = wait_records(files, heard + 10)
        stop_program(files)
        texts = [r["text"] for r in found[300 + heard:]]
        check(texts == [f"while reading {i}" for i in range(1, 11)], f"stored: {texts}")


FLOODER = """
import socket, sys, time
rate, seconds, packet = int(sys.argv[1]), float(sys.argv[2]), bytes.fromhex(sys.argv[3])
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
batch = max(1, rate // 100)  # every 10 ms; never more than rate * seconds in all
started = time.monotonic()
for tick in range(int(seconds * 100)):
    for _ in range(batch):
        try:
            s.sendto(packet, (sys.argv[4], 138))
        except OSError:
            pass
    pause = started + (tick + 1) / 100 - time.monotonic()
    if pause > 0:
        time.sleep(pause)
"""


def rss_kb(pid):
    return int(re.search(r"^VmRSS:\s+(\d+)", open(f"/proc/{pid}/status").read(), re.M).group(1))


def scenario_busy_lan(hosts=20, rate=2000, seconds=5):
    """A LAN of `hosts` listeners announcing themselves in five workgroups: a scan from the
    program's host lists them all. Then three hosts flood the program with `rate` datagrams a
    second each for `seconds` while a fourth sends one message a second: the program keeps
    taking one message a tick, its memory stays within 10 MB, every message of the fourth
    arrives, and the drops are told once, per source."""
    with Lab() as lab:
        groups = [f"WG{i}" for i in range(1, 6)]
        program = lab.host("p", 1, "PROGRAM", "WG1")
        senders = [lab.host(f"s{i}", 2 + i, f"SENDER{i}", "WG1") for i in range(4)]
        peers = [lab.host(f"h{i}", 10 + i, f"HOST{i:03}", groups[i % 5]) for i in range(hosts)]
        for peer in peers:
            peer.start([netnslab.CLI, "listen", "--format", "hex"], "listen")
        for peer in peers:
            wait_for(os.path.join(lab.work, f"{peer.label}-listen.out.err"), r"^listening on ")
        # A fresh browse in the program's host, before the program holds its ports.
        run = program.run([netnslab.CLI, "browse", "--format", "json"], timeout=60)
        check(run.returncode == 0, f"browse: {run.stderr}")
        listed = {g["name"]: {c["name"] for c in g["computers"]}
                  for g in json.loads(run.stdout)["workgroups"]}
        missing = [p.name for i, p in enumerate(peers) if p.name not in listed.get(groups[i % 5],
                                                                                    set())]
        check(not missing, f"not listed: {missing} in {listed}")

        files = start_program(lab, program, EventsSettings__AutoShowNewMSG=0)
        pid = files["proc"].pid  # `ip netns exec` runs the program in its own process
        time.sleep(1)
        rss_before = rss_kb(pid)
        stored_before = len(sounds(files))
        floods = [s.start([sys.executable, "-c", FLOODER, str(rate), str(seconds), mailslot_datagram(
            s.address, s.name, "PROGRAM", f"{s.name}\0PROGRAM\0flood\0".encode()).hex(),
            program.address], "flood") for s in senders[:3]]
        flood_started = time.monotonic()
        for n in range(seconds):
            send(senders[3], "PROGRAM", f"steady {n}")
            time.sleep(max(0, flood_started + n + 1 - time.monotonic()))
        for proc in floods:
            proc.wait(timeout=seconds + 30)
        flood_took = time.monotonic() - flood_started
        rss_after = rss_kb(pid)
        stored_during = len(sounds(files)) - stored_before
        # The queue keeps each flooder's newest; the steady host's messages come first.
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            found = records(files) if len(sounds(files)) > stored_before else []
            steady = [r["text"] for r in found if r["from"] == "SENDER3"]
            if len(steady) == seconds:
                break
            time.sleep(0.5)
        # The drops are told once a tick has seen none after the flood.
        told = re.findall(r"Messages were lost.*",
                          wait_for(files["proc"].err_path, r"Messages were lost", seconds=5))
        stop_program(files)
        check(steady == [f"steady {n}" for n in range(seconds)], f"steady: {steady}")
        check(rss_after - rss_before <= 10 * 1024, f"memory grew {rss_after - rss_before} kB")
        check(stored_during >= 1.6 * seconds, f"only {stored_during} taken in {flood_took:.1f} s")
        check(len(told) == 1 and all(f"from {s.address}" in told[0] for s in senders[:3]),
              f"drops not told once per source: {told}")


def run(scenario):
    def start(program, cli, driver):
        global PROGRAM, DRIVER
        PROGRAM, netnslab.CLI, DRIVER = program, cli, driver
        scenario()
    return start


if __name__ == "__main__":
    main({"receive": run(scenario_receive), "reader": run(scenario_reader),
          "busy-lan": run(scenario_busy_lan)})
