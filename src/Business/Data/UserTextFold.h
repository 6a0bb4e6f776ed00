// Matching of text the user typed against stored text, without regard to
// letter case in any script: both sides are normalised (compatibility
// composition, so a full-width "Ａ" or a decomposed "é" meet their plain
// forms) and case-folded with GLib. Identifiers and paths are not user
// text: they fold ASCII only, elsewhere.
#pragma once

#include <string>
#include <string_view>

// The folded form; bytes that are not valid UTF-8 fold ASCII letters only.
std::string FoldUserText(std::string_view aText);

// Whether aFoldedNeedle occurs in aText once folded; an empty needle
// occurs everywhere.
bool ContainsUserText(std::string_view aText, std::string_view aFoldedNeedle);
