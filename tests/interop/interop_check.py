#!/usr/bin/env python3
"""Our NetBIOS packets checked by independent decoders, and theirs by ours.
Usage: interop_check.py tshark|scapy PACKET_TOOL   (exit 77: the decoder is not installed)"""

import os
import shutil
import socket
import struct
import subprocess
import sys
import tempfile

SKIP = 77
TOOL = ""


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def our_samples():
    """kind -> (payload, source, destination, source port, destination port)."""
    out = subprocess.run([TOOL, "packets"], capture_output=True, text=True, check=True).stdout
    return {kind: (bytes.fromhex(hex_), src, dst, int(sport), int(dport))
            for kind, hex_, src, dst, sport, dport in (line.split() for line in out.splitlines())}


def write_pcap(path, samples):
    """Ethernet, IPv4 (with its checksum) and UDP (checksum 0: none) around each payload."""
    out = struct.pack("<IHHiIII", 0xA1B2C3D4, 2, 4, 0, 0, 65535, 1)
    for i, (payload, src, dst, sport, dport) in enumerate(samples):
        ip = struct.pack(">BBHHHBBH4s4s", 0x45, 0, 28 + len(payload), 0, 0x4000, 64, 17, 0,
                         socket.inet_aton(src), socket.inet_aton(dst))
        total = sum(struct.unpack(">10H", ip))
        total = (total & 0xFFFF) + (total >> 16)
        ip = ip[:10] + struct.pack(">H", ~((total & 0xFFFF) + (total >> 16)) & 0xFFFF) + ip[12:]
        mac = b"\xff" * 6 if dst.endswith(".255") else bytes.fromhex("020000000014")
        frame = (mac + bytes.fromhex("02000000000a0800") + ip +
                 struct.pack(">HHHH", sport, dport, 8 + len(payload), 0) + payload)
        out += struct.pack("<IIII", 1700000000 + i, 0, len(frame), len(frame)) + frame
    with open(path, "wb") as f:
        f.write(out)


def our_reading(command, packet):
    run = subprocess.run([TOOL, command, packet.hex()], capture_output=True, text=True)
    fields = {}
    for line in run.stdout.splitlines():
        key, _, value = line.partition("=")
        fields.setdefault(key, []).append(value)
    return {k: v[0] if len(v) == 1 and k != "entry" else v for k, v in fields.items()}


# --- tshark -----------------------------------------------------------------------------------

FIELDS = ["_ws.malformed", "_ws.expert.severity", "_ws.expert.message", "nbdgm.type",
          "nbdgm.flags", "nbdgm.dgram_id", "nbdgm.src.ip", "nbdgm.src.port", "nbdgm.dgram_len",
          "nbdgm.pkt_offset", "nbdgm.source_name", "nbdgm.destination_name", "smb.cmd", "smb.wct",
          "smb.tdc", "smb.dc", "smb.data_offset", "smb.po", "smb.sc", "mailslot.opcode",
          "mailslot.priority", "mailslot.class", "mailslot.size", "mailslot.name", "data.data",
          "browser.command", "browser.server", "browser.period", "nbns.flags.response",
          "nbns.name", "nbns.addr", "nbns.nb_flags.group", "nbns.ttl", "nbns.flags"]


def datagram_expectation(packet, type_, id_, port, source, destination, slot):
    data_offset = 88
    smb = packet[82:]
    data_count = struct.unpack_from("<H", smb, 55)[0]
    return {
        "nbdgm.type": str(type_), "nbdgm.flags": "0x02", "nbdgm.dgram_id": f"0x{id_:04x}",
        "nbdgm.src.ip": "192.168.1.10", "nbdgm.src.port": str(port),
        "nbdgm.dgram_len": str(len(packet) - 14), "nbdgm.pkt_offset": "0",
        "nbdgm.source_name": source, "nbdgm.destination_name": destination,
        "smb.cmd": "0x25", "smb.wct": "17", "smb.tdc": str(data_count),
        "smb.dc": str(data_count), "smb.data_offset": str(data_offset),
        "smb.po": str(data_offset), "smb.sc": "3", "mailslot.opcode": "1",
        "mailslot.priority": "0", "mailslot.class": "2",
        "mailslot.size": str(len(smb) - 69), "mailslot.name": slot,
    }


def check_tshark():
    if shutil.which("tshark") is None:
        print("SKIP: needs tshark (Debian tshark)")
        sys.exit(SKIP)
    samples = our_samples()
    packets = {kind: sample[0] for kind, sample in samples.items()}
    with tempfile.TemporaryDirectory() as work:
        pcap = os.path.join(work, "ours.pcap")
        write_pcap(pcap, samples.values())
        out = subprocess.run(
            ["tshark", "-r", pcap, "-T", "fields", "-E", "separator=|", "-E", "occurrence=a",
             "-E", "aggregator=,", *sum([["-e", f] for f in FIELDS], [])],
            capture_output=True, text=True, check=True).stdout
    rows = [dict(zip(FIELDS, line.split("|"))) for line in out.splitlines()]
    kinds = list(packets)
    check(len(rows) == len(kinds), f"tshark read {len(rows)} packets, we wrote {len(kinds)}")
    decoded = dict(zip(kinds, rows))
    for kind, row in decoded.items():
        check(row["_ws.malformed"] == "" and row["_ws.expert.severity"] == "",
              f"{kind}: tshark flags it: {row['_ws.expert.message']} {row['_ws.malformed']}")

    expected = {
        "unicast": datagram_expectation(packets["unicast"], 16, 0x1234, 138, "PC1<00>", "PC2<00>",
                                        "\\MAILSLOT\\MESSNGR"),
        "group": datagram_expectation(packets["group"], 17, 0x1235, 138, "PC1<00>",
                                      "WORKGROUP<00>", "\\MAILSLOT\\MESSNGR"),
        "longest": datagram_expectation(packets["longest"], 16, 0x1236, 40000, "PC1<00>",
                                        "PC2<00>", "\\MAILSLOT\\MESSNGR"),
        "browse": datagram_expectation(packets["browse"], 17, 0x1237, 138, "PC1<00>",
                                       "WORKGROUP<1d>", "\\MAILSLOT\\BROWSE"),
        "query": {"nbns.flags": "0x0110", "nbns.flags.response": "0", "nbns.name": "PC2<00>"},
        "response": {"nbns.flags": "0x8500", "nbns.flags.response": "1",
                     "nbns.name": "PC2<00> (Workstation/Redirector)",
                     "nbns.addr": "192.168.1.20", "nbns.nb_flags.group": "0",
                     "nbns.ttl": "259200"},
        "groupresponse": {"nbns.flags": "0x8500", "nbns.flags.response": "1",
                          "nbns.addr": "192.168.1.20,192.168.1.10",
                          "nbns.nb_flags.group": "1,1", "nbns.ttl": "300"},
    }
    expected["unicast"]["data.data"] = "5043310050433200686900"
    expected["group"]["data.data"] = b"PC1\0WORKGROUP\0to all\0".hex()
    expected["longest"]["data.data"] = (b"PC1\0PC2\0" + b"x" * 415 + b"\0").hex()
    expected["browse"].update({"browser.command": "0x01", "browser.server": "PC1",
                               "browser.period": "60000"})
    check(expected["unicast"]["nbdgm.dgram_len"] == "167", "the worked example's length")
    for kind, fields in expected.items():
        for field, value in fields.items():
            check(decoded[kind][field] == value,
                  f"{kind}: tshark reads {field} = {decoded[kind][field]!r}, expected {value!r}")


# --- scapy ------------------------------------------------------------------------------------

def check_scapy():
    try:
        import logging
        logging.getLogger("scapy.runtime").setLevel(logging.ERROR)
        from scapy.all import Raw, raw
        from scapy.layers.netbios import (NBNS_ADD_ENTRY, NBNSHeader, NBNSQueryRequest,
                                          NBNSQueryResponse, NBTDatagram)
        from scapy.layers.smb import SMB_Header, SMBMailSlot, SMBNetlogon_Protocol_Response_Header
    except ImportError:
        print("SKIP: needs scapy (Debian python3-scapy)")
        sys.exit(SKIP)

    def scapy_mailslot_write(slot, data, pad, priority=0, flags=0x18, flags2=4, pid=0xFEFF):
        offset = 69 + len(slot) + 1 + pad
        return (SMB_Header(Command=0x25, Flags=flags, Flags2=flags2, PIDLow=pid) /
                SMBNetlogon_Protocol_Response_Header(
                    WordCount=17, TotalParamCount=0, TotalDataCount=len(data), MaxParamCount=0,
                    MaxDataCount=0, MaxSetupCount=0, unused2=0, Flags3=0, TimeOut1=0,
                    TimeOut2=0, unused3=0, unused4=0, ParamCount2=0, ParamOffset=offset,
                    DataCount=len(data), DataOffset=offset, SetupCount=3, unused5=0) /
                SMBMailSlot(opcode=1, priority=priority, class_=2,
                            size=len(slot) + 1 + pad + len(data), name=slot) /
                Raw(bytes(pad) + data))

    def suffix_code(suffix):
        return ((0x41 + (suffix >> 4)) << 8) | (0x41 + (suffix & 15))

    # Ours are read by tshark (above); here scapy builds packets as other senders do, and our
    # parsers read them: the values scapy and other senders use, including an SMB with no pad
    # (DataOffset 70 + length of the name), priority 1 and lower-case names.
    theirs = [
        ("scapy default header", 0x10, 0x0A, "PC9", "PC2", 0x00, b"\\MAILSLOT\\MESSNGR", 1, 0,
         b"PC9\0PC2\0from scapy\0"),
        ("no pad, priority 1, group", 0x11, 0x0E, "WIN7", "WORKGROUP", 0x00,
         b"\\MAILSLOT\\messngr", 0, 1, b"WIN7\0WORKGROUP\0hello\x14world\0"),
        ("broadcast to a messenger name", 0x12, 0x02, "XP", "PC2", 0x03, b"\\MAILSLOT\\MESSNGR",
         1, 0, b"XP\0PC2\0"),
    ]
    for what, type_, flags, source, destination, suffix, slot, pad, priority, data in theirs:
        smb = raw(scapy_mailslot_write(slot, data, pad, priority, flags=0, flags2=0, pid=0))
        nbt = NBTDatagram(Type=type_, Flags=flags, ID=0x4242, SourceIP="10.213.0.9",
                          SourcePort=138, Length=68 + len(smb), Offset=0,
                          SourceName=source, SUFFIX1=suffix_code(0),
                          DestinationName=destination, SUFFIX2=suffix_code(suffix))
        fields = our_reading("parse-datagram", raw(nbt) + smb)
        expected = {"type": str(type_), "flags": str(flags), "id": str(0x4242),
                    "sourceIp": "10.213.0.9", "sourcePort": "138", "source": f"{source}<00>",
                    "destination": f"{destination}<{suffix:02X}>", "mailslot": slot.decode(),
                    "data": data.hex()}
        check(fields == expected, f"{what}: we read {fields}, expected {expected}")

    fragment = raw(NBTDatagram(Type=0x10, Flags=0x03, Length=68, SourceName="A",
                               DestinationName="B"))
    check("refused" in our_reading("parse-datagram", fragment), "a fragment was accepted")

    for broadcast in (True, False):
        q = raw(NBNSHeader(NAME_TRN_ID=0x1111, NM_FLAGS="RD+B" if broadcast else "RD",
                           QDCOUNT=1) / NBNSQueryRequest(QUESTION_NAME="HOSTB",
                                                         SUFFIX="workstation"))
        fields = our_reading("parse-name", q)
        check(fields.get("name") == "HOSTB<00>" and fields["response"] == "0" and
              fields["broadcast"] == str(int(broadcast)) and fields["id"] == str(0x1111),
              f"scapy query read as {fields}")
    r = raw(NBNSHeader(NAME_TRN_ID=0x2222, RESPONSE=1, NM_FLAGS="AA+RD", ANCOUNT=1) /
            NBNSQueryResponse(RR_NAME="HOSTB", SUFFIX="workstation", TTL=120,
                              ADDR_ENTRY=[NBNS_ADD_ENTRY(G=1, NB_ADDRESS="10.213.0.2"),
                                          NBNS_ADD_ENTRY(G=1, NB_ADDRESS="10.213.0.3")]))
    fields = our_reading("parse-name", r)
    check(fields.get("name") == "HOSTB<00>" and fields["ttl"] == "120" and
          fields["entry"] == ["10.213.0.2 group", "10.213.0.3 group"],
          f"scapy response read as {fields}")


if __name__ == "__main__":
    if len(sys.argv) != 3 or sys.argv[1] not in ("tshark", "scapy"):
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    TOOL = os.path.abspath(sys.argv[2])
    {"tshark": check_tshark, "scapy": check_scapy}[sys.argv[1]]()
