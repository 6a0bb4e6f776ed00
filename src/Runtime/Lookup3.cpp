#include "Lookup3.h"

namespace {

constexpr uint32_t Rot(uint32_t x, int k)
{
    return (x << k) | (x >> (32 - k));
}

void Mix(uint32_t& a, uint32_t& b, uint32_t& c)
{
    a -= c; a ^= Rot(c, 4);  c += b;
    b -= a; b ^= Rot(a, 6);  a += c;
    c -= b; c ^= Rot(b, 8);  b += a;
    a -= c; a ^= Rot(c, 16); c += b;
    b -= a; b ^= Rot(a, 19); a += c;
    c -= b; c ^= Rot(b, 4);  b += a;
}

void Final(uint32_t& a, uint32_t& b, uint32_t& c)
{
    c ^= b; c -= Rot(b, 14);
    a ^= c; a -= Rot(c, 11);
    b ^= a; b -= Rot(a, 25);
    c ^= b; c -= Rot(b, 16);
    a ^= c; a -= Rot(c, 4);
    b ^= a; b -= Rot(a, 14);
    c ^= b; c -= Rot(b, 24);
}

// Little-endian word of up to four bytes.
uint32_t Word(const uint8_t* k, std::size_t n)
{
    uint32_t w = 0;
    for (std::size_t i = 0; i < n; ++i)
        w |= static_cast<uint32_t>(k[i]) << (8 * i);
    return w;
}

} // namespace

uint32_t Lookup3HashLittle(const void* aKey, std::size_t aLength, uint32_t aInitVal)
{
    const auto* k = static_cast<const uint8_t*>(aKey);
    uint32_t a, b, c;
    a = b = c = 0xDEADBEEFu + static_cast<uint32_t>(aLength) + aInitVal;
    std::size_t length = aLength;
    while (length > 12) {
        a += Word(k, 4);
        b += Word(k + 4, 4);
        c += Word(k + 8, 4);
        Mix(a, b, c);
        length -= 12;
        k += 12;
    }
    if (length == 0)
        return c;
    // The last block: up to twelve bytes, the missing ones as zero.
    a += Word(k, length < 4 ? length : 4);
    if (length > 4)
        b += Word(k + 4, length < 8 ? length - 4 : 4);
    if (length > 8)
        c += Word(k + 8, length - 8);
    Final(a, b, c);
    return c;
}

int32_t ResHash(const void* aKey, std::size_t aLength, uint32_t aSeed)
{
    // 0xDEADBEEF + 4n + seed = 0xDEADBEEF + n + (seed + 3n).
    const uint32_t initVal = aSeed + 3u * static_cast<uint32_t>(aLength);
    return static_cast<int32_t>(Lookup3HashLittle(aKey, aLength, initVal));
}
