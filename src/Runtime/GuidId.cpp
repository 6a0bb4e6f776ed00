#include "GuidId.h"

#include "Errors.h"
#include "Hex.h"

#include <cctype>
#include <cerrno>
#include <sys/random.h>

std::string NewGuidId()
{
    unsigned char bytes[16];
    std::size_t got = 0;
    while (got < sizeof bytes) {
        const ssize_t n = ::getrandom(bytes + got, sizeof bytes - got, 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw Exception("getrandom failed");
        }
        got += static_cast<std::size_t>(n);
    }
    // The shape of a version 4 GUID, as the system's generator makes them.
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);
    std::string id;
    id.reserve(32);
    for (unsigned char b : bytes)
        AppendHexByte(id, b);
    return id;
}

bool IsGuidId(const std::string& aId)
{
    if (aId.size() != 32)
        return false;
    for (char c : aId)
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}
