// Whether a subject is Chinese enough that a translation into Chinese
// makes no sense: more than three CJK ideographs (U+4E00..U+9FA5), or
// ideographs making up at least a fifth of its characters (code points).
#pragma once

#include <string_view>

bool HasChineseSubject(std::string_view aSubject);
