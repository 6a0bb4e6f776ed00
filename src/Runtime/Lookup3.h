// Bob Jenkins' lookup3 hash (hashlittle), which resource identifiers and
// paths hash with.
#pragma once

#include <cstddef>
#include <cstdint>

// The published hashlittle.
uint32_t Lookup3HashLittle(const void* aKey, std::size_t aLength, uint32_t aInitVal);

// The variant resource hashes use: the state starts at
// 0xDEADBEEF + 4 × length + seed instead of + length. Only ever used in
// memory, so nothing outside depends on its values.
int32_t ResHash(const void* aKey, std::size_t aLength, uint32_t aSeed);
