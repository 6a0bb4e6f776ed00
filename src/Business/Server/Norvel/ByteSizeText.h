// A byte count as the Windows shell writes it (StrFormatByteSizeW), the
// way the maker's download boxes show sizes: "873 bytes" under 1 KB, else
// three significant digits, cut (not rounded), in KB, MB, GB, TB, PB or EB,
// a unit being 1024 of the one below; the next unit begins at 1000 of a
// unit ("1000 KB" is written "0.97 MB").
#pragma once

#include <cstdint>
#include <string>

std::string ByteSizeText(int64_t aBytes);
