// The password encoding the maker's services expect: DES-ECB over the low
// byte of each character, padded to whole blocks, in upper-case hex behind
// a "2". Peers decode it, so it must not change.
#pragma once

#include <string>

// Throws "Error: the last char is NULL char." for a text ending in NUL.
std::string EncryDes(const std::string& aText);
