// A small file read or written in one piece. Only for files known to be
// small (headers, pages, settings); mail bodies and attachments are
// streamed instead.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// The file's bytes; throws when it cannot be read.
std::string ReadWholeFile(const std::filesystem::path& aPath);
// Replaces the file's content; throws when it cannot be written.
void WriteWholeFile(const std::filesystem::path& aPath, std::string_view aBytes);
