#!/usr/bin/env python3
"""The program between computers: the real kestrola-net (offscreen) in one namespace with a
prepared INI store, kestrola-cli as senders and listeners in others.
Usage: messenger_netns.py SCENARIO KESTROLA_NET KESTROLA_CLI WINDOW_DRIVER"""

import json
import os
import random
import re
import signal
import statistics
import struct
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from netnslab import Lab, check, main, wait_for  # noqa: E402

PROGRAM = CLI = DRIVER = ""
CRLF = "\r\n"


def prepare_store(lab, host, executable, **extra):
    """A run folder for the program in `host`: an INI store whose first run is done, the base
    and history beside it, and the file that logs the sounds asked for."""
    home = os.path.join(lab.work, f"{host.label}-{os.path.basename(executable)}")
    os.makedirs(os.path.join(home, "config"), exist_ok=True)
    files = {
        "home": home,
        "base": os.path.join(home, "base.msg"),
        "history": os.path.join(home, "history.txt"),
        "sounds": os.path.join(home, "sounds.log"),
        "ini": os.path.join(home, "config", os.path.basename(executable) + ".INI"),
    }
    sections = {
        "SystemSettings": {"CurrentVersion": "1.0"},
        "SendRecervieSettings": {
            "BaseFileName": files["base"],
            "HistoryFileName": files["history"],
            "History": "1",
            "IncludeSendedInBase": "1",
            "SuccesMessageTimeOut": "0",
        },
        "EventsSettings": {},
    }
    for key, value in extra.items():
        section, name = key.split("__")
        sections[section][name] = str(value)
    with open(files["ini"], "w") as f:
        for section, keys in sections.items():
            f.write(f"[{section}]\n")
            for name, value in keys.items():
                f.write(f"{name}={value}\n")
    files["env"] = host.env(
        XDG_CONFIG_HOME=os.path.join(home, "config"),
        XDG_DATA_HOME=home,
        XDG_RUNTIME_DIR=home,
        QT_QPA_PLATFORM="offscreen",
        KESTROLA_SOUND_LOG=files["sounds"],
    )
    return files


def start_program(lab, host, **settings):
    files = prepare_store(lab, host, PROGRAM, **settings)
    proc = host.start([PROGRAM, "-i"], "program", env=files["env"])
    # The base file is made once the mailslot is open and the poll timer runs.
    deadline = time.monotonic() + 20
    while not os.path.exists(files["base"]):
        check(proc.poll() is None, f"the program ended: {open(proc.err_path).read()}")
        check(time.monotonic() < deadline, "the program never opened its base")
        time.sleep(0.05)
    files["proc"] = proc
    return files


def stop_program(files):
    proc = files["proc"]
    proc.send_signal(signal.SIGTERM)
    proc.wait(timeout=10)
    check(proc.returncode == 0, f"the program ended with {proc.returncode}")


def records(files):
    out = subprocess.run([CLI, "base", "list", files["base"], "--format", "json"],
                         capture_output=True, text=True, check=True).stdout
    return json.loads(out)


def sounds(files):
    try:
        with open(files["sounds"]) as f:
            return f.read().split()
    except FileNotFoundError:
        return []


def send(host, *args):
    result = host.run([CLI, "send", *args])
    check(result.returncode == 0, f"send {args} failed: {result.stderr}")


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
    with open(files["history"], "rb") as f:
        text = f.read().decode()
    separator = "-" * 80 + CRLF + CRLF
    check(text.endswith(separator), f"history does not end with a separator: {text!r}")
    entries = []
    for entry in text.split(separator)[:-1]:
        match = re.fullmatch(r"From: (.*)\r\nTo:   (.*)\r\nDate: (\d\d:\d\d:\d\d\d\d/\d\d/\d{4})"
                             r"\r\n\r\n(.*)\r\n", entry, re.S)
        check(match is not None, f"not a history entry: {entry!r}")
        entries.append((match.group(1), match.group(2), match.group(4)))
    return entries


def scenario_receive():
    """A datagram to the program's name, its workgroup and "*": stored, logged, personal or
    group by the sound asked for; and the time from send to storage."""
    with Lab() as lab:
        a = lab.host("a", 1, "PC1")
        b = lab.host("b", 2, "PC2")
        c = lab.host("c", 3, "PC3", "OTHERGRP")
        files = start_program(lab, a)
        latencies = []
        after_send = []
        # "*" stands for the sender's own workgroup; PC3 lies in another one.
        sends = [(b, "PC1", "to the name"), (c, "WORKGROUP", "to the group"),
                 (b, "*", "to everybody"), (c, "pc1", "to the name in lower case")]
        for number, (sender, target, text) in enumerate(sends, 1):
            # At a random moment of the poll period, so that the figures spread over it.
            time.sleep(random.uniform(0, 0.5))
            size = os.path.getsize(files["base"])
            started = time.monotonic()
            send(sender, target, text)
            sent = time.monotonic()
            while os.path.getsize(files["base"]) == size:
                check(time.monotonic() - started < 10, f"message {number} never stored")
                time.sleep(0.002)
            latencies.append(time.monotonic() - started)
            after_send.append(time.monotonic() - sent)
        found = wait_records(files, len(sends))
        stop_program(files)

        got = [(r["from"], r["to"], r["text"], r["state"]) for r in found]
        check(got == [("PC2", "PC1", "to the name", "new"),
                      ("PC3", "WORKGROUP", "to the group", "new"),
                      ("PC2", "*", "to everybody", "new"),
                      ("PC3", "PC1", "to the name in lower case", "new")], f"base: {got}")
        check(history_entries(files) == [(r[0], r[1], r[2]) for r in got],
              f"history: {history_entries(files)}")
        check(sounds(files) == ["personal.wav", "group.wav", "group.wav", "personal.wav"],
              f"sounds: {sounds(files)}")
        # The window shows that base as it was stored, step by step.
        shown = browse(lab, a, files)
        check(shown == [f"{i}|4/{4 - i + 1}|N|{r[0]} to {r[1]}|{r[2]}" for i, r in
                        enumerate(got, 1)], f"browsed: {shown}")
        print("send to storage, from starting kestrola-cli send: " +
              ", ".join(f"{t * 1000:.0f} ms" for t in latencies) +
              f" (median {statistics.median(latencies) * 1000:.0f} ms); from its end: " +
              ", ".join(f"{t * 1000:.0f} ms" for t in after_send))


def scenario_edges():
    """Datagrams of odd shapes end up in the base as the receive rules say."""
    with Lab() as lab:
        a = lab.host("a", 1, "PC1")
        b = lab.host("b", 2, "PC2")
        files = start_program(lab, a)
        long_text = "x" * 142
        datagrams = [
            b"PC2\0PC1\0" + long_text.encode(),      # 150 bytes: the first 110 kept
            b"hello",                               # no NUL at all
            b"\0PC1\0dropped\0",                     # empty sender: dropped
            b"PC2\0pc1\0a\x14b\x07c\r\nd\0",         # 14 is a line break, 07 is dropped
        ]
        for datagram in datagrams:
            send(b, "--hex", datagram.hex(), "PC1")
        send(b, "PC1", "last")
        found = wait_records(files, 4)
        time.sleep(1.2)  # a late fifth record would show now
        found = records(files)
        stop_program(files)

        check(len(found) == 4, f"{len(found)} records: {found}")
        check(len(bytes.fromhex(found[0]["body"])) == 110 and
              found[0]["text"] == "x" * 102, f"150 bytes: {found[0]}")
        check((found[1]["from"], found[1]["to"], found[1]["text"]) ==
              ("hello", "//Error", "//Error"), f"no NUL: {found[1]}")
        check(found[2]["text"] == "a" + CRLF + "bc" + CRLF + "d", f"14 and 07: {found[2]!r}")
        check(found[3]["text"] == "last", f"after the dropped one: {found[3]}")
        check(sounds(files) == ["personal.wav", "group.wav", "personal.wav", "personal.wav"],
              f"sounds: {sounds(files)}")


def scenario_burst():
    """Five datagrams sent at once are taken one per tick, in order, none lost."""
    with Lab() as lab:
        a = lab.host("a", 1, "PC1")
        b = lab.host("b", 2, "PC2")
        files = start_program(lab, a, EventsSettings__AutoShowNewMSG=0)
        send(b, "--repeat", "5", "PC1", "burst")
        found = wait_records(files, 5)
        stop_program(files)
        check([r["text"] for r in found] == [f"burst {i}" for i in range(1, 6)],
              f"order: {[r['text'] for r in found]}")

        def seconds(stamp):
            h, m, s = (int(v) for v in stamp.split(" , ")[0].split(":"))
            return h * 3600 + m * 60 + s
        # One a tick: four half-second ticks between the first and the fifth, so their
        # stamps (whole seconds) lie at least two seconds apart.
        span = seconds(found[-1]["stamp"]) - seconds(found[0]["stamp"])
        check(span >= 2, f"stamps {[r['stamp'] for r in found]}")
        # Not shown on arrival: the base was empty, so the first shows, the rest wait; the log
        # has all five all the same.
        check([e[2] for e in history_entries(files)] == [f"burst {i}" for i in range(1, 6)],
              "every message is logged, shown or not")


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
        proc = a.start([PROGRAM, "-i"], "program", env=files["env"])
        files["proc"] = proc
        pings = 0
        while not sounds(files):
            check(pings < 20 and proc.poll() is None, "the program never took a message")
            send(b, "PC1", "ping")
            pings += 1
            time.sleep(0.5)
        time.sleep(1)  # pings still under way
        heard = len(sounds(files))
        pager = subprocess.Popen(f"{CLI} base list {files['base']} | (sleep 3; cat >/dev/null)",
                                 shell=True)
        time.sleep(0.3)
        send(b, "--repeat", "10", "PC1", "while reading")
        check(pager.wait(timeout=30) == 0, "the listing failed")
        found = wait_records(files, heard + 10)
        stop_program(files)
        texts = [r["text"] for r in found[300 + heard:]]
        check(texts == [f"while reading {i}" for i in range(1, 11)], f"stored: {texts}")


def browse(lab, host, stored):
    """Steps the window through a base from its first message to its last; the lines it shows."""
    files = prepare_store(lab, host, DRIVER, SendRecervieSettings__BaseFileName=stored["base"])
    result = host.run([DRIVER, "--browse", "1"], env=files["env"], timeout=60)
    check(result.returncode == 0, f"browse: {result.returncode} {result.stderr}")
    return result.stdout.splitlines()


def listen(host, tag):
    proc = host.start([CLI, "listen", "--format", "json"], tag)
    wait_for(proc.err_path, r"^listening on ")
    return proc


def stop_listener(proc):
    if proc.poll() is None:
        proc.send_signal(signal.SIGTERM)
    proc.wait(timeout=10)
    with open(proc.out_path) as f:
        return [json.loads(line)["text"] for line in f if line.strip()]


def drive(lab, host, *args):
    files = prepare_store(lab, host, DRIVER)
    result = host.run([DRIVER, *args], env=files["env"], timeout=60)
    check(result.returncode == 0, f"driver {args}: {result.returncode} {result.stderr}")
    return files, result.stdout


def scenario_window():
    """Sends driven through the window reach the named computer alone, every host of a
    workgroup, and each of several checked tree items once."""
    with Lab() as lab:
        a = lab.host("a", 1, "PC1")
        b = lab.host("b", 2, "PC2")
        c = lab.host("c", 3, "PC3", "OTHERGRP")
        d = lab.host("d", 4, "PC4")
        listeners = {h.name: listen(h, "listen") for h in (b, c, d)}
        files, out = drive(lab, a, "--to", "pc2", "--text", "to PC2 alone")
        check("recipient box: PC2" in out, out)
        drive(lab, a, "--to", "workgroup", "--text", "to the workgroup")
        files, out = drive(lab, a, "--check", "PC3", "--check", "PC4", "--text", "to two items")
        heard = {name: stop_listener(proc) for name, proc in listeners.items()}
        check(heard["PC2"] == ["to PC2 alone", "to the workgroup"], f"PC2: {heard['PC2']}")
        check(heard["PC3"] == ["to two items"], f"PC3: {heard['PC3']}")
        check(heard["PC4"] == ["to the workgroup", "to two items"], f"PC4: {heard['PC4']}")
        # The last run's own base holds a read copy for each checked item.
        copies = [(r["from"], r["to"], r["text"], r["state"]) for r in records(files)]
        check(("PC1", "PC3", "to two items", "read") in copies and
              ("PC1", "PC4", "to two items", "read") in copies, f"copies: {copies}")
        check("send.wav" in sounds(files), f"sounds: {sounds(files)}")


GHOSTS = """
import select, socket, struct, sys, time
frames, seconds = [bytes.fromhex(h) for h in sys.argv[1].split(",")], float(sys.argv[2])
out = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
out.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
ear = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
ear.bind(("", 137))
asked, end, due = [], time.monotonic() + seconds, 0
while time.monotonic() < end:
    if time.monotonic() >= due:  # announced every half second, answering nothing
        for frame in frames:
            out.sendto(frame, ("10.213.0.255", 138))
        due = time.monotonic() + 0.5
    if select.select([ear], [], [], 0.05)[0]:
        packet = ear.recv(512)
        if len(packet) > 45 and packet[2] & 0xF8 == 0:  # a query, not a registration
            raw = bytes(((packet[13 + 2 * i] - 65) << 4) | (packet[14 + 2 * i] - 65)
                        for i in range(15))
            asked.append(raw.decode().strip())
print(" ".join(asked))
"""


def scenario_unreachable():
    """Ten checked computers that are listed but answer no name query: the window asks for all
    of them at once, then sends without asking again."""
    from transport_netns import mailslot_datagram  # noqa: E402
    with Lab() as lab:
        a = lab.host("a", 1, "PC1")
        g = lab.host("g", 2, "GHOSTS")
        names = [f"GHOST{i}" for i in range(10)]
        frames = []
        for name in names:
            announcement = (bytes([0x01, 0]) + struct.pack("<I", 60000) +
                            name.encode().ljust(16, b"\0") + bytes([4, 0]) +
                            struct.pack("<I", 0x1003) + bytes([15, 1, 0x55, 0xAA]) + b"\0")
            frames.append(mailslot_datagram(g.address, "GHOSTS", "WORKGROUP", announcement,
                                            slot=b"\\MAILSLOT\\BROWSE").hex())
        ghosts = g.start([sys.executable, "-c", GHOSTS, ",".join(frames), "20"], "ghosts")
        args = sum([["--check", name] for name in names], [])
        _, out = drive(lab, a, *args, "--text", "anyone?")
        ghosts.wait(timeout=30)
        with open(ghosts.out_path) as f:
            asked = [n for n in f.read().split() if n.startswith("GHOST")]  # not PC1's own
        took = float(re.search(r"sent in ([\d.]+) s", out).group(1))
        pause = int(re.search(r"longest pause of the window (\d+) ms", out).group(1))
        print(f"unreachable: the send to ten unanswered computers took {took:.2f} s, the "
              f"window's longest pause {pause} ms; queries in order: {asked}")
        check(pause < 200, f"the window stood still for {pause} ms during the send")
        check(sorted(asked[:10]) == names, f"not asked together: {asked}")
        check(len(asked) == 30, f"{len(asked)} queries, three rounds expected: {asked}")


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


def process_figures(pid):
    """CPU seconds used so far and resident memory in kB of a process."""
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    cpu = (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")
    with open(f"/proc/{pid}/status") as f:
        rss = int(re.search(r"^VmRSS:\s+(\d+)", f.read(), re.M).group(1))
    return cpu, rss


def busy_lan(hosts, rate, seconds):
    """A LAN of `hosts` listeners announcing themselves in five workgroups and the program in
    one more host: a scan from there lists them all within its collection time. Then three
    hosts flood the program with `rate` datagrams a second each for `seconds` while a fourth
    sends one message a second: the program keeps taking one message a tick, its memory stays
    within 10 MB of where it was, every message of the fourth arrives, and the drops are told
    per source."""
    from transport_netns import mailslot_datagram, udp_receive_errors  # noqa: E402
    with Lab() as lab:
        started = time.monotonic()
        groups = [f"WG{i}" for i in range(1, 6)]
        program = lab.host("p", 1, "PROGRAM", "WG1")
        senders = [lab.host(f"s{i}", 2 + i, f"SENDER{i}", "WG1") for i in range(4)]
        peers = [lab.host(f"h{i}", 10 + i, f"HOST{i:03}", groups[i % 5]) for i in range(hosts)]
        for peer in peers:
            peer.start([CLI, "listen", "--format", "hex"], "listen")
        for peer in peers:
            wait_for(os.path.join(lab.work, f"{peer.label}-listen.out.err"), r"^listening on ")
        built = time.monotonic() - started
        # A fresh browse in the program's host, before the program holds its ports.
        run = program.run([CLI, "browse", "--format", "json"], timeout=60)
        check(run.returncode == 0, f"browse: {run.stderr}")
        listed = {g["name"]: {c["name"] for c in g["computers"]}
                  for g in json.loads(run.stdout)["workgroups"]}
        for i, peer in enumerate(peers):
            check(peer.name in listed.get(groups[i % 5], set()),
                  f"{peer.name} not listed in {groups[i % 5]}: {sorted(listed)}")

        files = start_program(lab, program, EventsSettings__AutoShowNewMSG=0)
        pid = files["proc"].pid  # `ip netns exec` runs the program in its own process
        time.sleep(1)
        cpu_before, rss_before = process_figures(pid)
        kernel_before = udp_receive_errors(program)
        stored_before = len(sounds(files))
        floods = []
        for i, sender in enumerate(senders[:3]):
            packet = mailslot_datagram(sender.address, sender.name, "PROGRAM",
                                       f"{sender.name}\0PROGRAM\0flood\0".encode())
            floods.append(sender.start([sys.executable, "-c", FLOODER, str(rate), str(seconds),
                                        packet.hex(), program.address], "flood"))
        flood_started = time.monotonic()
        for n in range(int(seconds)):
            send(senders[3], "PROGRAM", f"steady {n}")
            time.sleep(max(0, flood_started + n + 1 - time.monotonic()))
        for proc in floods:
            proc.wait(timeout=seconds + 30)
        flood_took = time.monotonic() - flood_started
        cpu_after, rss_after = process_figures(pid)
        kernel_drops = udp_receive_errors(program) - kernel_before
        stored_during = len(sounds(files)) - stored_before
        # The queue keeps each flooder's newest; the steady host's messages come first.
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            found = records(files) if len(sounds(files)) > stored_before else []
            steady = [r["text"] for r in found if r["from"] == "SENDER3"]
            if len(steady) == int(seconds):
                break
            time.sleep(0.5)
        # The drops are told once a tick has seen none after the flood.
        told = re.findall(r"Messages were lost.*",
                          wait_for(files["proc"].err_path, r"Messages were lost", seconds=5))
        stop_program(files)
        cpu = (cpu_after - cpu_before) / flood_took
        print(f"busy-lan: {hosts} hosts built in {built:.1f} s, all listed; flood 3 x {rate}/s "
              f"for {seconds} s took {flood_took:.1f} s; program CPU {100 * cpu:.0f} %, "
              f"RSS {rss_before} kB before, {rss_after} kB after; {stored_during} messages "
              f"taken during the flood; {kernel_drops} dropped by the kernel; drops told: {told}")
        check(steady == [f"steady {n}" for n in range(int(seconds))], f"steady: {steady}")
        check(rss_after - rss_before <= 10 * 1024, f"memory grew {rss_after - rss_before} kB")
        check(stored_during >= 1.6 * seconds, f"only {stored_during} taken in {flood_took:.1f} s")
        check(len(told) == 1 and all(f"from {s.address}" in told[0] for s in senders[:3]),
              f"drops not told once per source: {told}")


def scenario_busy_lan():
    busy_lan(hosts=20, rate=2000, seconds=5)


def scenario_busy_lan_full():
    busy_lan(hosts=100, rate=20000, seconds=10)


def run(scenario):
    def start(program, cli, driver):
        global PROGRAM, CLI, DRIVER
        PROGRAM, CLI, DRIVER = program, cli, driver
        scenario()
    return start


if __name__ == "__main__":
    main({
        "receive": run(scenario_receive),
        "edges": run(scenario_edges),
        "burst": run(scenario_burst),
        "window": run(scenario_window),
        "reader": run(scenario_reader),
        "unreachable": run(scenario_unreachable),
        "busy-lan": run(scenario_busy_lan),
        "busy-lan-full": run(scenario_busy_lan_full),
    })
