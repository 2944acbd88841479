#pragma once

#include <arpa/inet.h>
#include <cstdint>
#include <cstring>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>

// Small socket helpers the datagram service's files share.
namespace kestrola::platform {

inline sockaddr_in SocketAddress(std::uint32_t address, std::uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(address);
    sa.sin_port = htons(port);
    return sa;
}

inline std::string ErrnoText(int error) {
    return std::strerror(error);
}

/// The port a socket is bound to; 0 when it cannot be told.
inline std::uint16_t LocalPort(int fd) {
    sockaddr_in sa{};
    socklen_t length = sizeof sa;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &length) != 0)
        return 0;
    return ntohs(sa.sin_port);
}

} // namespace kestrola::platform
