// Whether text is UTF-8. A NUL is a character like any other here (GLib's
// check refuses it), so the text is checked between its NULs.
#pragma once

#include <glib.h>

#include <string_view>

inline bool IsUtf8(std::string_view aText)
{
    while (true) {
        const std::size_t nul = aText.find('\0');
        const std::string_view piece = aText.substr(0, nul);
        if (!g_utf8_validate(piece.data(), static_cast<gssize>(piece.size()), nullptr))
            return false;
        if (nul == std::string_view::npos)
            return true;
        aText.remove_prefix(nul + 1);
    }
}
