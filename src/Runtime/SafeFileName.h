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
