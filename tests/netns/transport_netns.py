#!/usr/bin/env python3
"""The transport between real processes on three hosts of one bridge: A and B in WORKGROUP, C in
OTHERGRP, each running `kestrola-cli listen`. Usage: transport_netns.py SCENARIO KESTROLA_CLI"""

import os
import re
import shutil
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import netnslab  # noqa: E402
from netnslab import Capture, Lab, Skip, check, listen, main, send, stop_listener  # noqa: E402

FIELDS = ["frame.number", "ip.src", "ip.dst", "nbns.flags.response", "nbns.name", "nbns.addr",
          "nbdgm.type", "nbdgm.destination_name"]


def three_hosts(lab):
    # B's name is given in lower case: the NetBIOS form is upper case all the same.
    return (lab.host("a", 1, "HOSTA"), lab.host("b", 2, "hostb"),
            lab.host("c", 3, "HOSTC", "OTHERGRP"))


def scenario_unicast():
    """From A: to B by name (a query, B's answer, then one unicast datagram only B gets), to our
    workgroup and "*" (broadcasts without a query), to the other workgroup (asked for, then a
    broadcast), to a name nobody holds (three queries 250 ms apart, then a broadcast); targets
    that are no NetBIOS names, or no interface, fail with 1287 and send nothing."""
    with Lab() as lab:
        a, b, c = three_hosts(lab)
        listeners = [listen(h) for h in (a, b, c)]
        capture = Capture(lab, "udp", "nbns || nbdgm", FIELDS)
        send(a, "hostb", "hello", "b")
        send(a, "WORKGROUP", "to the group")
        send(a, "*", "to everyone")
        send(a, "othergrp", "to the others")
        started = time.monotonic()
        send(a, "NOBODY", "anyone there?")
        took = time.monotonic() - started
        check(0.7 <= took < 5, f"three tries 250 ms apart took {took:.2f} s")
        for bad in ["bad*name", "SIXTEEN-CHARS-XY", "a/b", "x?"]:
            check("Error: Failed create file to write" in send(a, bad, "x", expect=1).stderr, bad)
        run = send(a, "hostb", "x", expect=1, env=a.env(KESTROLA_INTERFACES="nosuch0"))
        check("Error: Failed create file to write" in run.stderr, run.stderr)
        packets = capture.stop()
        got_a, got_b, got_c = (stop_listener(p) for p in listeners)

        check([d["text"] for d in got_a] == ["to the group", "to everyone"], f"A: {got_a}")
        check([d["text"] for d in got_b] == ["hello b", "to the group", "to everyone"], f"{got_b}")
        check([d["text"] for d in got_c] == ["to the others"], f"C: {got_c}")
        d = got_b[0]
        check((d["source"], d["destination"], d["type"], d["sourceName"], d["destinationName"],
               d["from"], d["to"], d["mailslot"]) ==
              ("10.213.0.1", "10.213.0.2", 0x10, "HOSTA<00>", "HOSTB<00>", "HOSTA", "HOSTB",
               "\\MAILSLOT\\MESSNGR"), f"not a unicast from A to B: {d}")
        for d in got_b[1:] + got_c:
            check(d["type"] == 0x11 and d["destination"] == "10.213.0.255", f"not a broadcast: {d}")
        check([d["destinationName"] for d in got_b[1:]] == ["WORKGROUP<00>"] * 2, str(got_b))

        def nbns(name, response):
            # tshark adds the suffix's meaning to an answer's name: "HOSTB<00> (Workstation...)"
            return [p for p in packets if p["nbns.name"].split(" ")[0] == name and
                    p["nbns.flags.response"] in (("True", "1") if response else ("False", "0"))]
        queried = {p["nbns.name"]: len(nbns(p["nbns.name"], False))
                   for p in packets if p["nbns.flags.response"] in ("False", "0")}
        check(queried == {"HOSTB<00>": 1, "OTHERGRP<00>": 1, "NOBODY<00>": 3},
              f"queries (none for our workgroup, the refused names or the missing interface): "
              f"{queried}")
        asked, told = nbns("HOSTB<00>", False)[0], nbns("HOSTB<00>", True)
        check(asked["ip.dst"] == "10.213.0.255", f"query: {asked}")
        check(len(told) == 1 and (told[0]["ip.src"], told[0]["nbns.addr"], told[0]["ip.dst"]) ==
              ("10.213.0.2", "10.213.0.2", "10.213.0.1"), f"answers: {told}")
        check(nbns("NOBODY<00>", True) == [], "someone answered for NOBODY")
        sent = [p for p in packets if p["nbdgm.type"]]
        check([(p["nbdgm.type"], p["ip.dst"], p["nbdgm.destination_name"]) for p in sent] ==
              [("16", "10.213.0.2", "HOSTB<00>"), ("17", "10.213.0.255", "WORKGROUP<00>"),
               ("17", "10.213.0.255", "WORKGROUP<00>"), ("17", "10.213.0.255", "OTHERGRP<00>"),
               ("17", "10.213.0.255", "NOBODY<00>")], f"datagrams: {sent}")
        order = [int(p["frame.number"]) for p in (asked, told[0], sent[0])]
        check(order == sorted(order), f"not query, answer, datagram in that order: {order}")
        check(int(sent[-1]["frame.number"]) > int(nbns("NOBODY<00>", False)[-1]["frame.number"]),
              "broadcast before the last query")


def scenario_nmblookup():
    """Samba's nmblookup in A resolves B's names through B's responder; so does our resolver."""
    if shutil.which("nmblookup") is None:
        raise Skip("needs nmblookup (Debian samba-common-bin)")
    with Lab() as lab:
        a, b, c = three_hosts(lab)
        listeners = [listen(h) for h in (b, c)]
        for name, answer in [("hostb", "10.213.0.2 hostb<00>"), ("HOSTB#03", "10.213.0.2 HOSTB<03>"),
                             ("OTHERGRP", "10.213.0.3 OTHERGRP<00>"), ("HOSTB#20", None)]:
            out = a.run(["nmblookup", "-s", "/dev/null", "-B", "10.213.0.255", name]).stdout
            check(re.search(rf"^{answer}$", out, re.M) if answer else
                  not re.search(r"^10\.213\.0\.2 ", out, re.M), f"nmblookup {name}:\n{out}")
        for name, code, pattern in [("HostB", 0, r"10\.213\.0\.2 unique"),
                                    ("othergrp", 0, r"10\.213\.0\.3 group"),
                                    ("nobody", 1, "nobody answered")]:
            run = a.run([netnslab.CLI, "names", "--resolve", name])
            check(run.returncode == code and re.search(pattern, run.stdout + run.stderr),
                  f"names --resolve {name}: {run.stdout} {run.stderr}")
        run = a.run([netnslab.CLI, "names"])
        check("computer: HOSTA" in run.stdout and "eth0 10.213.0.1 broadcast 10.213.0.255"
              in run.stdout, run.stdout)
        for p in listeners:
            stop_listener(p)


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
    cap_net_raw it fails with 1285 and says that receiving beside it needs cap_net_raw; with no
    right at all it says which capability binding needs."""
    cli = netnslab.CLI
    setpriv = shutil.which("setpriv")
    with Lab() as lab:
        a = lab.host("a", 1, "HOSTA")
        for port in (138, 137):
            holder = a.start([sys.executable, "-c", HOLDER, str(port)], f"holder{port}")
            netnslab.wait_for(holder.out_path, "^held")
            run = a.run([cli, "listen", "--timeout", "0.3"])
            check(run.returncode == 0 and "running beside it" in run.stderr,
                  f"listen with port {port} held: {run.returncode} {run.stderr}")
            if setpriv:
                run = a.run(["setpriv", "--bounding-set=-net_raw", cli, "listen", "--timeout", "1"])
                check(run.returncode == 1 and all(
                    s in run.stderr for s in ("Error: Failed create mailslot", f"UDP port {port}",
                                              "already in use", "nmbd", "cap_net_raw")),
                      f"listen with port {port} held and no raw socket: {run.stderr}")
            holder.terminate()
            holder.wait()
        run = a.run([cli, "listen", "--timeout", "0.3"])
        check(run.returncode == 0 and "beside" not in run.stderr, f"ports not free: {run.stderr}")
        if setpriv:
            run = a.run(["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", cli,
                         "listen", "--timeout", "1"])
            check(run.returncode == 1 and "Error: Failed create mailslot" in run.stderr and
                  "UDP port 138" in run.stderr and "cap_net_bind_service" in run.stderr,
                  f"unprivileged listen: {run.returncode} {run.stderr}")


def run(scenario):
    def start(cli):
        netnslab.CLI = os.path.abspath(cli)
        scenario()
    return start


if __name__ == "__main__":
    main({"unicast": run(scenario_unicast), "nmblookup": run(scenario_nmblookup),
          "port-held": run(scenario_port_held)})
