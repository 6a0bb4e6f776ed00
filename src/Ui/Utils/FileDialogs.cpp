#include "FileDialogs.h"

#include "DuForm.h"
#include "DuInternal.h"

#include <QFileDialog>

std::filesystem::path SelectFolderDialog(TUiForm* aOwner, const std::string& aTitle)
{
    QWidget* parent = aOwner ? TUiFormAccess::Host(*aOwner) : nullptr;
    const QString folder = QFileDialog::getExistingDirectory(parent, QString::fromStdString(aTitle));
    return folder.isEmpty() ? std::filesystem::path() : std::filesystem::path(folder.toStdString());
}

std::vector<std::filesystem::path> OpenFilesDialog(TUiForm* aOwner, const std::string& aTitle,
                                                   const std::string& aFilter)
{
    QWidget* parent = aOwner ? TUiFormAccess::Host(*aOwner) : nullptr;
    const QStringList files =
        QFileDialog::getOpenFileNames(parent, QString::fromStdString(aTitle), QString(), QString::fromStdString(aFilter));
    std::vector<std::filesystem::path> result;
    for (const QString& file : files)
        result.emplace_back(file.toStdString());
    return result;
}
