// A loopback port where nobody listens: bound for a moment to learn a free
// number, then closed again.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <stdexcept>

#include "Runtime/FileHandle.h"

inline int ClosedPort()
{
    TFileHandle socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (::bind(socket.Get(), reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::getsockname(socket.Get(), reinterpret_cast<sockaddr*>(&address), &size) != 0)
        throw std::runtime_error("no free port");
    return ntohs(address.sin_port);
}
