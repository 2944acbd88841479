#pragma once

#include <string>
#include <vector>

namespace kestrola::platform {

/// A raw IPv4 socket that receives a copy of every unfragmented UDP datagram to port 138 that
/// reaches this host, IP header first; a classic BPF filter in the kernel passes nothing else.
/// Needs root or CAP_NET_RAW; -1 with `error` set when refused.
int OpenRawReceiver(int& error);

/// Whether another program in this network namespace holds UDP 137 or 138 (from /proc/net/udp).
bool NetbiosPortsInUse();

/// What running beside another NetBIOS service means for the user: that it runs beside it, and
/// whether our computer name is one the other service answers for.
std::vector<std::string> BesideModeNotes();

/// Gives up every capability of the process (effective, permitted, inheritable and ambient).
/// False with `problem` set when the system refused.
bool DropCapabilities(std::string& problem);

} // namespace kestrola::platform
