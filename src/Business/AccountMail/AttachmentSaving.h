// Saving a mail's attachment where the user chose: under the one safe-name
// rule, never over an existing file (a free name " (1)", " (2)"… is taken),
// and never executable, whatever the sender called it.
#pragma once

#include <filesystem>
#include <string>

// Copies aSource into aFolder under aName made safe; the file written.
// Errors (a missing source, a folder that cannot be written) raise, and
// leave no partial file behind.
std::filesystem::path SaveAttachmentAs(const std::filesystem::path& aSource, const std::filesystem::path& aFolder,
                                       const std::string& aName);
