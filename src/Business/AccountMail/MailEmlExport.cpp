#include "MailEmlExport.h"

#include "AccountMailManager.h"
#include "AttachmentSaving.h"
#include "MailComplex.h"
#include "Runtime/Errors.h"
#include "Runtime/Finally.h"

#include <string_view>

namespace {

constexpr std::string_view kRefusedInNames = "\\/:*?\"<>|";

std::string EmlFileName(const std::string& aSubject)
{
    std::string stem = aSubject;
    for (char& c : stem) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || kRefusedInNames.find(c) != std::string_view::npos)
            c = '_';
    }
    // Blanks and dots at the ends make hidden names here and are refused
    // at the end of a name elsewhere; a subject of nothing else has none.
    const std::size_t first = stem.find_first_not_of(". ");
    if (first == std::string::npos)
        return "无主题.eml";
    stem.erase(stem.find_last_not_of(". ") + 1);
    stem.erase(0, first);
    return stem.append(".eml");
}

} // namespace

std::filesystem::path ExportMailAsEml(TRcResPath* aMailResPath, const std::filesystem::path& aFolder)
{
    if (!aMailResPath)
        throw EInvalidPointer();
    TAccountMailManager* mails = TAccountMailManager::AccountMailManager();
    TRcMail* mail = mails ? mails->GetMail(aMailResPath) : nullptr;
    if (!mail)
        throw Exception("邮件不存在：" + aMailResPath->ToString());
    TRcRef<TRcMail> heldMail = TRcRef<TRcMail>::Retain(mail);
    TRcMailComplex* complex = mails->LoadMailComplex(aMailResPath, false);
    if (!complex)
        throw Exception("邮件的文件不存在：" + aMailResPath->ToString());
    TRcRef<TRcMailComplex> heldComplex = TRcRef<TRcMailComplex>::Retain(complex);
    TFinally removeFiles([&] { complex->RemoveWorkingFiles(); });

    // The store keeps the parts, not the message made of them: it is made
    // here (a stored raw file, from older data, is taken as it is).
    std::error_code ec;
    TRcMailComplexRawFile* raw = complex->Raw();
    if (!raw->FValid || raw->FFileName.empty() || !std::filesystem::is_regular_file(raw->FFileName, ec))
        complex->BuildRaw();
    return SaveFileAs(complex->Raw()->FFileName, aFolder, EmlFileName(mail->FSubject), "无主题.eml", "邮件");
}
