#pragma once

#include "platform/Mailslots.h"

#include <string>
#include <string_view>
#include <vector>

namespace kestrola::platform {

/// The value of parameter `key` in the [global] section of a Samba configuration text, with
/// Samba's reading of names (case, spaces and underscores in the name ignored) and of lines
/// (comments with # or ;, continuation with a trailing backslash); empty when not set.
std::string SambaGlobalValue(std::string_view configText, std::string_view key);

/// Everything our NetBIOS identity is chosen from.
struct IdentitySources {
    std::string overrideName;      ///< KESTROLA_NETBIOS_NAME
    std::string overrideWorkgroup; ///< KESTROLA_WORKGROUP
    std::string sambaConfig;       ///< text of the Samba configuration ("" when unreadable)
    std::string hostName;          ///< gethostname()
};

/// Computer name: the override, else "netbios name" of [global], else the host name's first
/// label; cut to 15 characters. Workgroup: the override, else "workgroup" of [global], else
/// "WORKGROUP". A value that cannot be a NetBIOS name is passed over with a note in `notes`.
NetbiosIdentity ChooseNetbiosIdentity(const IdentitySources& sources,
                                      std::vector<std::string>& notes);

/// The sources of this system: the environment, the Samba configuration (KESTROLA_SMB_CONF or
/// /etc/samba/smb.conf, read only) and the host name.
IdentitySources ReadIdentitySources();

/// The identity of this system, chosen from ReadIdentitySources(). Notes go to the standard
/// error.
NetbiosIdentity ReadNetbiosIdentity();

/// What a user running beside Samba's nmbd must know about our name: nmbd answers name queries
/// only for the computer name it has from the same sources without our override, so a
/// different KESTROLA_NETBIOS_NAME cannot be reached by senders that resolve it first. Empty
/// when the names agree.
std::string NameBesideNote(const IdentitySources& sources);

/// The up IPv4 interfaces with a broadcast address (loopback never), or of those only the
/// ones named in `only` (comma-separated, as KESTROLA_INTERFACES gives them). A named
/// interface that cannot be used is reported in `notes`.
std::vector<NetworkInterface> ListInterfaces(std::string_view only,
                                             std::vector<std::string>& notes);

} // namespace kestrola::platform
