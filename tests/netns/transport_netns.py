#!/usr/bin/env python3
"""The transport between real processes on three hosts of one bridge: A and B in WORKGROUP, C in
OTHERGRP, each running `kestrola-cli listen`. Usage: transport_netns.py SCENARIO KESTROLA_CLI"""

import json
import os
import re
import shutil
import signal
import socket
import struct
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from netnslab import Lab, check, Skip, main, wait_for  # noqa: E402

CLI = ""


def three_hosts(lab):
    # B's name is given in lower case: the NetBIOS form is upper case all the same.
    return (lab.host("a", 1, "HOSTA"), lab.host("b", 2, "hostb"),
            lab.host("c", 3, "HOSTC", "OTHERGRP"))


def listen(host, tag="listen", *extra):
    proc = host.start([CLI, "listen", "--format", "json", *extra], tag)
    wait_for(proc.err_path, r"^listening on ")
    return proc


def stop(proc):
    """Ends a listener and returns its datagrams (parsed JSON lines)."""
    if proc.poll() is None:
        proc.send_signal(signal.SIGTERM)
    proc.wait(timeout=10)
    with open(proc.out_path) as f:
        return [json.loads(line) for line in f if line.strip()]


KEYS = ["number", "src", "dst", "srcport", "response", "name", "addr", "type", "destination_name",
        "mailslot"]


class Capture:
    """dumpcap on the bridge, decoded by tshark afterwards."""

    def __init__(self, lab):
        if shutil.which("dumpcap") is None or shutil.which("tshark") is None:
            raise Skip("needs dumpcap and tshark (Debian tshark)")
        self.path = os.path.join(lab.work, "bridge.pcapng")
        err = os.path.join(lab.work, "dumpcap.err")
        self.proc = lab.in_bridge(["dumpcap", "-i", "br0", "-f", "udp", "-w", self.path],
                                  stdout=subprocess.DEVNULL, stderr=open(err, "w"))
        lab.procs.append(self.proc)
        wait_for(err, r"Capturing on")

    def stop(self):
        """Stops capturing; returns the NetBIOS packets as dictionaries, in order."""
        time.sleep(0.3)  # let the last packets through the bridge
        self.proc.send_signal(signal.SIGINT)
        self.proc.wait(timeout=10)
        fields = ["frame.number", "ip.src", "ip.dst", "udp.srcport", "nbns.flags.response",
                  "nbns.name", "nbns.addr", "nbdgm.type", "nbdgm.destination_name",
                  "mailslot.name"]
        out = subprocess.run(
            ["tshark", "-r", self.path, "-Y", "nbns || nbdgm", "-T", "fields", "-E",
             "separator=|", *sum([["-e", f] for f in fields], [])],
            capture_output=True, text=True, check=True).stdout
        packets = []
        for line in out.splitlines():
            values = line.split("|")
            packets.append(dict(zip(KEYS, values)))
        return packets


def queries(packets, name):
    return [p for p in packets
            if p["name"].split(" ")[0] == name and p["response"] in ("False", "0")]


def answers(packets, name):
    # tshark adds the suffix's meaning to an answer's name: "HOSTB<00> (Workstation/Redirector)"
    return [p for p in packets
            if p["name"].split(" ")[0] == name and p["response"] in ("True", "1")]


def datagrams(packets):
    return [p for p in packets if p["type"]]


def send(host, target, *text, expect=0, env=None):
    run = host.run([CLI, "send", target, *text], env=env)
    check(run.returncode == expect,
          f"send {target!r} ended {run.returncode}, expected {expect}: {run.stderr}")
    return run


def scenario_unicast():
    """A to B by name: a name query, B's answer, then one unicast datagram that only B gets."""
    with Lab() as lab:
        a, b, c = three_hosts(lab)
        listeners = [listen(h) for h in (a, b, c)]
        capture = Capture(lab)
        send(a, "hostb", "hello", "b")
        packets = capture.stop()
        got_a, got_b, got_c = (stop(p) for p in listeners)
        check(got_a == [] and got_c == [], f"A or C received: {got_a} {got_c}")
        check(len(got_b) == 1, f"B received {got_b}")
        d = got_b[0]
        check((d["source"], d["destination"], d["type"]) == ("10.213.0.1", "10.213.0.2", 0x10),
              f"not a unicast from A to B: {d}")
        check((d["sourceName"], d["destinationName"]) == ("HOSTA<00>", "HOSTB<00>"), str(d))
        check((d["from"], d["to"], d["text"]) == ("HOSTA", "HOSTB", "hello b"), str(d))
        check(d["mailslot"] == "\\MAILSLOT\\MESSNGR", str(d))
        asked = queries(packets, "HOSTB<00>")
        told = answers(packets, "HOSTB<00>")
        sent = datagrams(packets)
        check(len(asked) == 1 and asked[0]["dst"] == "10.213.0.255", f"queries: {asked}")
        check(len(told) == 1 and told[0]["src"] == "10.213.0.2" and told[0]["addr"] ==
              "10.213.0.2" and told[0]["dst"] == "10.213.0.1", f"answers: {told}")
        check(len(sent) == 1 and sent[0]["type"] == "16" and sent[0]["dst"] == "10.213.0.2",
              f"datagrams: {sent}")
        order = [int(p["number"]) for p in (asked[0], told[0], sent[0])]
        check(order == sorted(order), f"not query, answer, datagram in that order: {order}")


def scenario_group():
    """Workgroup, "*" and the other workgroup as group broadcasts."""
    with Lab() as lab:
        a, b, c = three_hosts(lab)
        listeners = [listen(h) for h in (a, b, c)]
        capture = Capture(lab)
        send(a, "WORKGROUP", "to", "the", "group")
        send(a, "*", "to", "everyone")
        send(a, "othergrp", "to", "the", "others")
        packets = capture.stop()
        got = {h.label: stop(p) for h, p in zip((a, b, c), listeners)}
        texts = {label: [d["text"] for d in ds] for label, ds in got.items()}
        check(texts["a"] == ["to the group", "to everyone"], f"A: {texts['a']}")
        check(texts["b"] == ["to the group", "to everyone"], f"B: {texts['b']}")
        check(texts["c"] == ["to the others"], f"C: {texts['c']}")
        for d in got["b"] + got["c"]:
            check(d["type"] == 0x11 and d["destination"] == "10.213.0.255", f"not a broadcast: {d}")
        check([d["to"] for d in got["b"]] == ["WORKGROUP", "*"], str(got["b"]))
        check([d["destinationName"] for d in got["b"]] == ["WORKGROUP<00>"] * 2, str(got["b"]))
        # Our workgroup and "*" go without a query; the other workgroup is asked for first and
        # answers as a group.
        check(queries(packets, "WORKGROUP<00>") == [], "our own workgroup was queried")
        check(len(queries(packets, "OTHERGRP<00>")) == 1, "the other workgroup was not queried")
        check(len(datagrams(packets)) == 3, f"datagrams: {datagrams(packets)}")


def scenario_unanswered():
    """A name nobody holds: three queries, then a broadcast, and the send succeeds. Targets
    that are no NetBIOS names, or no interface, fail with 1287 and send nothing."""
    with Lab() as lab:
        a, b, c = three_hosts(lab)
        listeners = [listen(h) for h in (a, b, c)]
        capture = Capture(lab)
        started = time.monotonic()
        send(a, "NOBODY", "anyone", "there?")
        took = time.monotonic() - started
        for bad in ["bad*name", "SIXTEEN-CHARS-XY", "a/b", "x?"]:
            run = send(a, bad, "text", expect=1)
            check("Error: Failed create file to write" in run.stderr, run.stderr)
        run = send(a, "hostb", "text", expect=1, env=a.env(KESTROLA_INTERFACES="nosuch0"))
        check("Error: Failed create file to write" in run.stderr, run.stderr)
        packets = capture.stop()
        got = [stop(p) for p in listeners]
        check(got == [[], [], []], f"someone received: {got}")
        asked = queries(packets, "NOBODY<00>")
        check(len(asked) == 3, f"queries: {asked}")
        check(answers(packets, "NOBODY<00>") == [], "someone answered for NOBODY")
        sent = datagrams(packets)
        check(len(sent) == 1 and sent[0]["type"] == "17" and sent[0]["dst"] == "10.213.0.255" and
              sent[0]["destination_name"] == "NOBODY<00>", f"datagrams: {sent}")
        check(int(sent[0]["number"]) > int(asked[-1]["number"]), "broadcast before the last query")
        check(0.7 <= took < 5, f"three tries 250 ms apart took {took:.2f} s")
        check(len(packets) == 4, f"packets of the refused sends: {packets}")


def scenario_nmblookup():
    """Samba's nmblookup in A resolves B's names through B's responder; so does our resolver."""
    if shutil.which("nmblookup") is None:
        raise Skip("needs nmblookup (Debian samba-common-bin)")
    with Lab() as lab:
        a, b, c = three_hosts(lab)
        listeners = [listen(h) for h in (b, c)]

        def lookup(name):
            return a.run(["nmblookup", "-s", "/dev/null", "-B", "10.213.0.255", name]).stdout

        out = lookup("hostb")
        check(re.search(r"^10\.213\.0\.2 hostb<00>$", out, re.M), f"nmblookup hostb:\n{out}")
        out = lookup("HOSTB#03")
        check(re.search(r"^10\.213\.0\.2 HOSTB<03>$", out, re.M), f"nmblookup HOSTB#03:\n{out}")
        out = lookup("OTHERGRP")
        check(re.search(r"^10\.213\.0\.3 OTHERGRP<00>$", out, re.M), f"nmblookup OTHERGRP:\n{out}")
        out = lookup("HOSTB#20")
        check(not re.search(r"^10\.213\.0\.2 ", out, re.M), f"a name we do not hold was answered:\n{out}")

        run = a.run([CLI, "names", "--resolve", "HostB"])
        check(run.returncode == 0 and re.search(r"10\.213\.0\.2 unique", run.stdout), run.stdout)
        run = a.run([CLI, "names", "--resolve", "othergrp"])
        check(run.returncode == 0 and re.search(r"10\.213\.0\.3 group", run.stdout), run.stdout)
        run = a.run([CLI, "names", "--resolve", "nobody"])
        check(run.returncode == 1 and "nobody answered" in run.stderr, run.stderr)
        run = a.run([CLI, "names"])
        check("computer: HOSTA" in run.stdout and "eth0 10.213.0.1 broadcast 10.213.0.255"
              in run.stdout, run.stdout)
        for p in listeners:
            stop(p)


HOLDER = r"""
import socket, sys, time
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEPORT, 1)
s.bind(("0.0.0.0", int(sys.argv[1])))
print("held", flush=True)
time.sleep(60)
"""


def scenario_port_held():
    """A port held as Samba's daemon holds it: with root's rights listen runs beside it; without
    cap_net_raw it fails with 1285 and says that receiving beside it needs
    cap_net_raw; with no right at all it says which capability binding needs."""
    with Lab() as lab:
        a = lab.host("a", 1, "HOSTA")
        port_only = ["setpriv", "--bounding-set=-net_raw"]
        for port in (138, 137):
            holder = a.start([sys.executable, "-c", HOLDER, str(port)], f"holder{port}")
            wait_for(holder.out_path, "^held")
            run = a.run([CLI, "listen", "--timeout", "0.3"])
            check(run.returncode == 0 and "running beside it" in run.stderr,
                  f"listen with port {port} held: {run.returncode} {run.stderr}")
            if shutil.which("setpriv"):
                run = a.run([*port_only, CLI, "listen", "--timeout", "1"])
                check(run.returncode == 1 and "Error: Failed create mailslot" in run.stderr and
                      f"UDP port {port}" in run.stderr and "already in use" in run.stderr and
                      "nmbd" in run.stderr and "cap_net_raw" in run.stderr,
                      f"listen with port {port} held and no raw socket: {run.stderr}")
            holder.terminate()
            holder.wait()
        run = a.run([CLI, "listen", "--timeout", "0.3"])
        check(run.returncode == 0 and "beside" not in run.stderr,
              f"the ports were not free again: {run.stderr}")
        if shutil.which("setpriv"):
            run = a.run(["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", CLI,
                         "listen", "--timeout", "1"])
            check(run.returncode == 1 and "Error: Failed create mailslot" in run.stderr and
                  "UDP port 138" in run.stderr and "cap_net_bind_service" in run.stderr,
                  f"unprivileged listen: {run.returncode} {run.stderr}")


def encode_name(name, suffix=0):
    raw = (name if isinstance(name, bytes) else name.upper().encode()).ljust(15, b" ")
    raw += bytes([suffix])
    return b"\x20" + bytes(c for b in raw for c in (0x41 + (b >> 4), 0x41 + (b & 15))) + b"\0"


def mailslot_datagram(source_ip, source, destination, data, slot=b"\\MAILSLOT\\MESSNGR"):
    """An independent build of a mailslot write (DIRECT_UNIQUE), for traffic."""
    n = len(slot) + 1
    pad = (4 - (69 + n) % 4) % 4
    offset = 69 + n + pad
    smb = (b"\xffSMB\x25" + bytes(4) + b"\x18\x04\x00" + bytes(12) + b"\0\0\xff\xfe" + bytes(4) +
           struct.pack("<BHHHHBBHIHHHHHBBHHHH", 17, 0, len(data), 0, 0, 0, 0, 0, 0, 0, 0, offset,
                       len(data), offset, 3, 0, 1, 0, 2, n + pad + len(data)) +
           slot + b"\0" + bytes(pad) + data)
    header = struct.pack(">BBH4sHHH", 0x10, 0x02, 0x1234, socket.inet_aton(source_ip), 138,
                         68 + len(smb), 0)
    return header + encode_name(source) + encode_name(destination) + smb


def udp_receive_errors(host):
    out = host.run(["cat", "/proc/net/snmp"]).stdout.splitlines()
    names, values = [line.split() for line in out if line.startswith("Udp:")][:2]
    return int(values[names.index("RcvbufErrors")])


def scenario_flood():
    """10,000 datagrams from A into B while its program reads nothing, with one message of C
    before and one after: A keeps its share of the queue (its newest, in order), C loses
    nothing, A's drops are counted against A and told once, and memory stays flat."""
    count = 10000
    share = 64
    with Lab() as lab:
        a, b, c = three_hosts(lab)
        proc = b.start([CLI, "listen", "--hold", "4", "--count", "300", "--timeout", "1.5",
                        "--stats", "--format", "text"], "flood")
        wait_for(proc.err_path, r"^listening on ")
        kernel_before = udp_receive_errors(b)
        flooder = (
            "import socket, sys\n"
            "s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)\n"
            "packets = [bytes.fromhex(line) for line in sys.stdin.read().split()]\n"
            "for p in packets: s.sendto(p, ('10.213.0.2', 138))\n")
        packets = "\n".join(
            mailslot_datagram("10.213.0.1", "HOSTA", "HOSTB",
                              b"HOSTA\0HOSTB\0flood %05d\0" % i).hex() for i in range(count))
        send(c, "HOSTB", "before")
        started = time.monotonic()
        run = a.run([sys.executable, "-c", flooder], input=packets, timeout=60)
        check(run.returncode == 0, run.stderr)
        flood_seconds = time.monotonic() - started
        send(c, "HOSTB", "after")
        proc.wait(timeout=30)
        kernel_drops = udp_receive_errors(b) - kernel_before
        with open(proc.err_path) as f:
            err = f.read()
        stats = json.loads([line for line in err.splitlines() if line.startswith("{")][-1])
        with open(proc.out_path) as f:
            out = f.read()
        numbers = [int(m) for m in re.findall(r"^flood (\d+)$", out, re.M)]
        print(f"flood: sent {count} in {flood_seconds:.2f} s, stats {stats}, "
              f"kernel drops {kernel_drops}")
        check(re.findall(r"^(before|after)$", out, re.M) == ["before", "after"],
              "C's messages were pushed out by A's")
        check(stats["received"] == share + 2 and len(numbers) == share,
              f"A did not keep its share: {stats}, {len(numbers)} read")
        filed_a = stats["filed"] - 2
        check(stats["dropped"] == filed_a - share and
              stats["droppedBySource"] == {"10.213.0.1": filed_a - share},
              f"drops not counted against A: {stats}")
        told = re.findall(r"^kestrola-cli listen: Messages were lost.*$", err, re.M)
        check(told == [f"kestrola-cli listen: Messages were lost because too many arrived at "
                       f"once: {filed_a - share} from 10.213.0.1."], f"told: {told}")
        check(filed_a + kernel_drops == count,
              f"{count} sent, {filed_a} filed and {kernel_drops} dropped by the kernel")
        check(filed_a > 1000, f"only {filed_a} filed")
        check(numbers == sorted(numbers), "A's newest were not kept in order")
        growth = stats["peakMemoryKb"] - stats["peakMemoryKbAtOpen"]
        check(growth < 4096, f"memory grew by {growth} kB during the flood")


def scenario_hostile_text():
    """One datagram whose names and text carry terminal controls and a byte that is no UTF-8
    character: `listen` shows them escaped as text and as valid JSON, and hex stays raw."""
    with Lab() as lab:
        a, b, _ = three_hosts(lab)
        text = b"\x1b]0;owned\x07\x1b]52;c;Zm9v\x07\x1b[2J\x9b2J"
        data = b"EVIL\xff\0HOSTB\0" + text + b"\0"
        packet = mailslot_datagram("10.213.0.1", b"EVIL\xff\x1b[2J", "HOSTB", data)
        sender = ("import socket, sys\n"
                  "s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)\n"
                  "s.sendto(bytes.fromhex(sys.argv[1]), ('10.213.0.2', 138))\n")
        for form in ("text", "json", "hex"):
            proc = b.start([CLI, "listen", "--count", "1", "--timeout", "5", "--format", form],
                           form)
            wait_for(proc.err_path, r"^listening on ")
            check(a.run([sys.executable, "-c", sender, packet.hex()]).returncode == 0, "send")
            proc.wait(timeout=10)
            with open(proc.out_path, "rb") as f:
                out = f.read()
            if form == "hex":
                check(out.decode() == data.hex() + "\n", f"hex is not the message: {out!r}")
                continue
            shown = out.decode("utf-8")  # raises when not UTF-8
            check(not re.search("[\x00-\x09\x0b-\x1f\x7f-\x9f]", shown),
                  f"{form} output carries control characters: {out!r}")
            if form == "json":
                record = json.loads(shown)
                check(record["sourceName"] == "EVIL\u00a0\u001b[2J<00>" and
                      record["text"].startswith("\u001b]0;owned\u001b]52"), f"json: {record}")
            else:
                check("EVIL\u00a0\\x1B[2J<00> -> HOSTB<00>" in shown and
                      "\\x1B]0;owned\\x1B]52;c;Zm9v\\x1B[2J" in shown, f"text: {shown}")


def run(scenario):
    def start(cli):
        global CLI
        CLI = os.path.abspath(cli)
        scenario()
    return start


if __name__ == "__main__":
    main({
        "unicast": run(scenario_unicast),
        "group": run(scenario_group),
        "unanswered": run(scenario_unanswered),
        "nmblookup": run(scenario_nmblookup),
        "port-held": run(scenario_port_held),
        "flood": run(scenario_flood),
        "hostile-text": run(scenario_hostile_text),
    })
