#include "AccountMailManager.h"

#include "AccountMailTarget.h"
#include "MailComplex.h"
#include "MailHeaderFields.h"
#include "Business/Data/SqliteDatabase.h"
#include "Runtime/AsciiText.h"
#include "Runtime/DateTime.h"
#include "Runtime/Errors.h"

#include <algorithm>

namespace fs = std::filesystem;
using namespace mailstore;

TRcResPath* TAccountMailManager::ImportMailFromFile(TRcResPath* aFolderResPath, const fs::path& aFileName)
{
    std::error_code ec;
    const auto folder = MailFolderOf(aFolderResPath);
    if (!folder || !fs::is_regular_file(aFileName, ec))
        return nullptr;
    auto* complex = TRcMailComplex::CreateAndAutoRelease();
    complex->Raw()->FFileName = aFileName;
    complex->BuildOther();
    const TMailHeaderFields header = MailHeaderFieldsOf(complex->MessageHeader());
    // GMime makes a message of any bytes; one without a single address,
    // subject, date or id was not a mail.
    if (header.From.empty() && header.To.empty() && header.Subject.empty() && !header.HasDate &&
        header.MessageId.empty())
        throw Exception("不是邮件文件：" + aFileName.filename().string());
    auto mail = CreateMail();
    mail->FDate = Now();   // kept when the message has no date
    TSqliteDbMail::SaveMailComplex(*folder->Account, folder->Account.MailsPath(), mail->ResId()->Id(), *complex);
    UpdateMailByMailComplex(mail.Get(), complex);
    mail->FSourceLanguage = kUnknownLanguage;
    mail->FTargetLanguage = kUnknownLanguage;
    mail->FSendReceiveState = msarsNoneUser;
    return Save(*folder, aFolderResPath, mail.Get(), false);
}

std::vector<TAccountMailManager::TImportFailure>
TAccountMailManager::ImportMailsFromFolder(TRcResPath* aFolderResPath, const fs::path& aFolder,
                                           TRcResPathList* aImported)
{
    std::vector<TImportFailure> failures;
    std::vector<fs::path> files;
    std::error_code ec;
    for (fs::directory_iterator it(aFolder, ec), end; !ec && it != end; it.increment(ec))
        if (AsciiLower(it->path().extension().string()) == ".eml")
            files.push_back(it->path());
    if (ec) {
        failures.push_back({aFolder, ec.message()});
        return failures;
    }
    std::sort(files.begin(), files.end());
    BeginUpdate();
    try {
        for (const auto& file : files) {
            try {
                TRcResPath* path = ImportMailFromFile(aFolderResPath, file);
                if (!path)
                    failures.push_back({file, "不能导入"});
                else if (aImported)
                    aImported->Add(path);
            } catch (const std::exception& e) {
                TLog::O(lolWorn, "导入邮件 %s 失败：%s", {file.string(), e.what()});
                failures.push_back({file, e.what()});
            }
        }
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
    return failures;
}
