// A mail saved as a message file (.eml) into a folder the user chose, named
// after its subject, never over an existing file.
#pragma once

#include <filesystem>

class TRcResPath;

// Writes the mail [account, folder, mail] into aFolder; the file written.
// The name is the subject ("无主题" when it has none) with every character
// some common system refuses in a name (\ / : * ? " < > | and control
// characters) made "_", then ".eml"; " (1)", " (2)"… when it is taken;
// cut at a character so that it fits 255 bytes. A missing mail, missing
// stored files or a folder that cannot be written raise, and leave no
// file behind.
std::filesystem::path ExportMailAsEml(TRcResPath* aMailResPath, const std::filesystem::path& aFolder);
