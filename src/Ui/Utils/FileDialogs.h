// The desktop's file dialogs, modal over a form: choosing a folder to save
// into, and files to open. Empty answers mean the user cancelled.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

class TUiForm;

std::filesystem::path SelectFolderDialog(TUiForm* aOwner, const std::string& aTitle);
// aFilter as "描述 (*.eml)".
std::vector<std::filesystem::path> OpenFilesDialog(TUiForm* aOwner, const std::string& aTitle,
                                                   const std::string& aFilter);
