// Saving a mail's attachment (or the mail itself) where the user chose:
// under the one safe-name rule, never over an existing file (a free name
// " (1)", " (2)"… is taken), and never executable, whatever the sender
// called it.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// Copies aSource into aFolder under aName made safe; the file written.
// Errors (a missing source, a folder that cannot be written) raise, and
// leave no partial file behind.
std::filesystem::path SaveAttachmentAs(const std::filesystem::path& aSource, const std::filesystem::path& aFolder,
                                       const std::string& aName);

// The same rule for any file saved where the user chose (a mail exported
// as a message file): aFallback is the name when nothing of aName is left,
// aWhat names the file in the error messages ("附件", "邮件").
std::filesystem::path SaveFileAs(const std::filesystem::path& aSource, const std::filesystem::path& aFolder,
                                 const std::string& aName, std::string_view aFallback, const std::string& aWhat);
