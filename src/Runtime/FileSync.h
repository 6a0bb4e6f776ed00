// Making written data durable. A file's bytes reach the disk with its own
// fsync; the name of a file created in or renamed into a folder survives a
// power loss only once the folder is synced too. So: files, then their
// folder, then whatever (a database row) names them.
#pragma once

#include <filesystem>
#include <functional>

enum class TSyncKind { File, Folder };

// Raise Exception ("不能写入文件 …", "不能写入文件夹 …") when the data cannot
// be made durable.
void SyncFile(const std::filesystem::path& aPath);
void SyncFolder(const std::filesystem::path& aFolder);

// Tests watch every sync, in order; nothing watches in the program.
using TSyncObserver = std::function<void(TSyncKind, const std::filesystem::path&)>;
void SetSyncObserver(TSyncObserver aObserver);
