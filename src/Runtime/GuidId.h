// Identifiers made of random bytes: every record's id, and the names of
// the files and folders that belong to a record.
#pragma once

#include <string>

// A new identifier: 32 upper-case hexadecimal digits from 16 random bytes.
std::string NewGuidId();
// Whether a stored id has that shape (32 hexadecimal digits, any case):
// what an id must be before it names a file or folder.
bool IsGuidId(const std::string& aId);
