// The one rule for a file name that comes from mail, the network or a
// database row, before it names anything on disk.
#pragma once

#include <string>
#include <string_view>

inline constexpr std::size_t kMaxFileNameBytes = 255;

// aName reduced to one harmless component: its path components (split at
// '/' and '\'), each without leading and trailing dots and blanks (never a
// hidden or special name), the empty ones dropped, joined with '_' (so
// "../../etc/passwd" gives "etc_passwd"); control characters replaced with
// '_'; cut to 255 bytes at a character boundary, keeping a short
// extension. aFallback when nothing is left.
std::string SafeFileName(std::string_view aName, std::string_view aFallback);

// The aNumber-th try at a free name for a safe name: "name (n).ext", a
// short extension (as above) staying last; the name is cut at a character
// boundary so that the whole still fits 255 bytes (else every try of a
// long name would be cut back to the taken one). aNumber 0 gives the name.
std::string NumberedFileName(std::string_view aSafeName, int aNumber);
