#include "platform/linux/LinuxNetbiosIdentity.h"

#include "base/Text.h"
#include "platform/File.h"
#include "platform/netbios/NetbiosName.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <unistd.h>

namespace kestrola::platform {

namespace {

// Samba matches parameter names ignoring case, spaces and underscores.
std::string ParameterKey(std::string_view name) {
    std::string key;
    for (const char c : name) {
        if (c == ' ' || c == '\t' || c == '_')
            continue;
        key += core::AsciiLower(c);
    }
    return key;
}

std::string_view NameProblem(std::string_view name) {
    if (name.empty())
        return "it is empty";
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F ||
            std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos)
            return "it contains a character NetBIOS names cannot have";
    }
    return {};
}

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

} // namespace

std::string SambaGlobalValue(std::string_view configText, std::string_view key) {
    const std::string wanted = ParameterKey(key);
    bool inGlobal = false;
    std::string value;
    std::string line;
    std::size_t pos = 0;
    while (pos < configText.size()) {
        const std::size_t end = configText.find('\n', pos);
        std::string_view raw = configText.substr(
            pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
        pos = end == std::string_view::npos ? configText.size() : end + 1;
        const std::string_view trimmed = core::Trim(raw);
        if (!trimmed.empty() && trimmed.back() == '\\') {
            line += std::string(trimmed.substr(0, trimmed.size() - 1));
            continue;
        }
        line += std::string(trimmed);
        const std::string_view whole = core::Trim(line);
        if (whole.empty() || whole[0] == '#' || whole[0] == ';') {
            line.clear();
            continue;
        }
        if (whole.front() == '[') {
            const auto close = whole.find(']');
            const std::string section = ParameterKey(
                whole.substr(1, close == std::string_view::npos ? whole.size() - 1 : close - 1));
            inGlobal = section == "global" || section == "globals";
        } else if (inGlobal) {
            const auto eq = whole.find('=');
            // The last setting of a parameter wins, as in Samba.
            if (eq != std::string_view::npos && ParameterKey(whole.substr(0, eq)) == wanted)
                value = std::string(core::Trim(whole.substr(eq + 1)));
        }
        line.clear();
    }
    return value;
}

NetbiosIdentity ChooseNetbiosIdentity(const IdentitySources& sources,
                                      std::vector<std::string>& notes) {
    auto choose = [&](std::initializer_list<std::pair<const char*, std::string>> candidates,
                      const char* fallback) {
        for (const auto& [source, value] : candidates) {
            const std::string cut = std::string(core::FirstCharacters(core::Trim(value), 15));
            if (core::Trim(value).empty())
                continue;
            if (const std::string_view problem = NameProblem(cut); !problem.empty()) {
                notes.push_back(std::string(source) + " \"" + std::string(value) +
                                "\" is passed over: " + std::string(problem));
                continue;
            }
            return cut;
        }
        return std::string(fallback);
    };
    NetbiosIdentity identity;
    std::string hostLabel = sources.hostName.substr(0, sources.hostName.find('.'));
    identity.computerName =
        choose({{"KESTROLA_NETBIOS_NAME", sources.overrideName},
                {"netbios name in smb.conf", SambaGlobalValue(sources.sambaConfig, "netbios name")},
                {"the host name", hostLabel}},
               "LOCALHOST");
    identity.workgroup =
        choose({{"KESTROLA_WORKGROUP", sources.overrideWorkgroup},
                {"workgroup in smb.conf", SambaGlobalValue(sources.sambaConfig, "workgroup")}},
               "WORKGROUP");
    return identity;
}

IdentitySources ReadIdentitySources() {
    IdentitySources sources;
    sources.overrideName = Env("KESTROLA_NETBIOS_NAME");
    sources.overrideWorkgroup = Env("KESTROLA_WORKGROUP");
    std::string path = Env("KESTROLA_SMB_CONF");
    if (path.empty())
        path = "/etc/samba/smb.conf";
    File file;
    if (file.Open(path, FileMode::ReadShared)) {
        const std::int64_t size = file.Size();
        if (size > 0 && size < (16 << 20)) {
            sources.sambaConfig.resize(static_cast<std::size_t>(size));
            std::size_t got = 0;
            if (!file.ReadAt(0, sources.sambaConfig.data(), sources.sambaConfig.size(), got))
                got = 0;
            sources.sambaConfig.resize(got);
        }
    }
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) == 0)
        sources.hostName = host;
    return sources;
}

NetbiosIdentity ReadNetbiosIdentity() {
    std::vector<std::string> notes;
    NetbiosIdentity identity = ChooseNetbiosIdentity(ReadIdentitySources(), notes);
    for (const std::string& note : notes)
        std::fprintf(stderr, "kestrola: %s\n", note.c_str());
    return identity;
}

std::vector<NetworkInterface> ListInterfaces(std::string_view only,
                                             std::vector<std::string>& notes) {
    std::vector<std::string> wanted;
    for (std::size_t pos = 0; pos <= only.size();) {
        const std::size_t comma = std::min(only.find(',', pos), only.size());
        const std::string_view name = core::Trim(only.substr(pos, comma - pos));
        if (!name.empty())
            wanted.emplace_back(name);
        pos = comma + 1;
    }
    std::vector<NetworkInterface> found;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        notes.emplace_back("the interfaces cannot be listed (getifaddrs failed)");
        return found;
    }
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET)
            continue;
        const unsigned flags = entry->ifa_flags;
        if ((flags & IFF_UP) == 0 || (flags & IFF_BROADCAST) == 0 || (flags & IFF_LOOPBACK) != 0)
            continue;
        if (!wanted.empty() &&
            std::find(wanted.begin(), wanted.end(), entry->ifa_name) == wanted.end())
            continue;
        NetworkInterface itf;
        itf.name = entry->ifa_name;
        itf.address = ntohl(reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr);
        if (entry->ifa_netmask != nullptr)
            itf.netmask =
                ntohl(reinterpret_cast<const sockaddr_in*>(entry->ifa_netmask)->sin_addr.s_addr);
        if (entry->ifa_broadaddr != nullptr)
            itf.broadcast =
                ntohl(reinterpret_cast<const sockaddr_in*>(entry->ifa_broadaddr)->sin_addr.s_addr);
        if (itf.broadcast == 0)
            itf.broadcast = itf.address | ~itf.netmask;
        found.push_back(itf);
    }
    freeifaddrs(list);
    for (const std::string& name : wanted) {
        if (std::none_of(found.begin(), found.end(),
                         [&](const NetworkInterface& i) { return i.name == name; }))
            notes.push_back("interface " + name +
                            " is not an up IPv4 interface with a broadcast address");
    }
    return found;
}

std::string NameBesideNote(const IdentitySources& sources) {
    std::vector<std::string> ignored;
    const std::string ours = ChooseNetbiosIdentity(sources, ignored).computerName;
    IdentitySources samba = sources;
    samba.overrideName.clear();
    const std::string theirs = ChooseNetbiosIdentity(samba, ignored).computerName;
    if (core::AsciiUpper(ours) == core::AsciiUpper(theirs))
        return {};
    return "the computer name " + ours +
           " (KESTROLA_NETBIOS_NAME) is not the name nmbd answers for (" + theirs +
           "): messages sent to " + ours +
           " from computers that ask for the name first never reach this one; messages to " +
           "the workgroup and to * still do (unset KESTROLA_NETBIOS_NAME to be " + theirs + ")";
}

} // namespace kestrola::platform
