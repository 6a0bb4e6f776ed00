#include "MailComplex.h"

#include "MailRaw.h"
#include "Business/Data/ConfigManager.h"
#include "Business/Data/TempFileManager.h"
#include "Business/Data/WholeFile.h"
#include "Business/Html/CidReferences.h"
#include "Business/Mime/ComposeHeaders.h"
#include "Business/Mime/GMimeLibrary.h"
#include "Business/Mime/MessageIo.h"
#include "Runtime/Errors.h"
#include "Runtime/AsciiText.h"

#include <cctype>
#include <fstream>
#include <sstream>

namespace {

std::string PromotionNoticePage()
{
    const TConfigManager* config = TConfigManager::ConfigManager();
    const std::string site = EscapeHtml(config ? config->NorvelContactInformationUrl() : std::string());
    return "<head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\" /><title>Quillmar推广邮件</title>"
           "<style type=\"text/css\"><!--.STYLE1 {font-size: 18px}--></style></head><body><p>&nbsp;</p><table "
           "width=\"595\" height=\"159\" border=\"0\" align=\"center\">  <tr>    <td width=\"589\" height=\"111\"><p "
           "class=\"STYLE1\">此邮件是Quillmar推广邮件，请使用Quillmar客户端接收</p></td>  </tr>  <tr>    <td "
           "height=\"42\" class=\"STYLE1\">请移至 <a href=\"" +
           site + "\">" + site + "</a>进行下载 </td>  </tr></table></body></html>";
}

// A working file's name from the mail's subject.
std::string SubjectFileName(const std::string& aSubject, const char* aExtension)
{
    return (aSubject.empty() ? std::string("empty_subject") : aSubject) + aExtension;
}

} // namespace

int64_t TRcMailComplexFile::Size() const
{
    std::error_code ec;
    const auto size = std::filesystem::file_size(FFileName, ec);
    return ec ? -1 : static_cast<int64_t>(size);
}

std::string TRcMailComplexHtmlBodyFile::ReadHtmlContent() const
{
    std::error_code ec;
    if (FFileName.empty() || !std::filesystem::is_regular_file(FFileName, ec))
        return {};
    std::string text = ReadWholeFile(FFileName);
    if (text.rfind("\xEF\xBB\xBF", 0) == 0)
        text.erase(0, 3);
    return text;
}

void TRcMailComplexHtmlBodyFile::WriteHtmlContent(const std::string& aContent) const
{
    WriteWholeFile(FFileName, "\xEF\xBB\xBF" + aContent);
}

TRcMailComplex::TRcMailComplex()
    : FMsgHeader(MakeRc<TRcMailComplexFile>()), FHtmlBody(MakeRc<TRcMailComplexHtmlBodyFile>()),
      FNoCidHtmlBody(MakeRc<TRcMailComplexHtmlBodyFile>()), FHtmlFileList(MakeRc<TRcMailComplexHtmlFileList>()),
      FAttachmentFileList(MakeRc<TRcMailComplexAttachmentFileList>()), FRaw(MakeRc<TRcMailComplexRawFile>())
{
    EnsureGMimeInitialised();
    FMessageHeader.reset(g_mime_message_new(TRUE));
}

std::filesystem::path TRcMailComplex::GetTempFileName(const std::string& aFileName)
{
    TTempFileManager* manager = TTempFileManager::TempFileManager();
    if (!manager)
        throw Exception("临时文件管理器没有创建");
    return manager->MakeTempFileName(aFileName, true);
}

std::string TRcMailComplex::Subject() const
{
    return HeaderText(GMIME_OBJECT(FMessageHeader.get()), "Subject");
}

std::string TRcMailComplex::BaseName(const char* aExtension) const
{
    return SubjectFileName(Subject(), aExtension);
}

void TRcMailComplex::SetMessageHeader(GMimeMessage* aMessage)
{
    FMessageHeader.reset(g_mime_message_new(TRUE));
    if (!aMessage)
        return;
    // Headers only: a copy of the header block, parsed into a message.
    TGString headers(g_mime_object_get_headers(GMIME_OBJECT(aMessage), nullptr));
    if (auto parsed = ParseMessage(std::string(headers ? headers.get() : "") + "\n"))
        FMessageHeader = std::move(parsed);
}

void TRcMailComplex::MessageHeaderSaveToFile()
{
    if (FMsgHeader->FFileName.empty())
        FMsgHeader->FFileName = GetTempFileName(BaseName(".msgh"));
    TGString headers(g_mime_object_get_headers(GMIME_OBJECT(FMessageHeader.get()), nullptr));
    WriteWholeFile(FMsgHeader->FFileName, std::string(headers ? headers.get() : "") + "\n");
}

void TRcMailComplex::MessageHeaderLoadFromFile()
{
    std::error_code ec;
    if (FMsgHeader->FFileName.empty() || !std::filesystem::is_regular_file(FMsgHeader->FFileName, ec)) {
        FMessageHeader.reset(g_mime_message_new(TRUE));
        return;
    }
    auto parsed = ParseMessage(ReadWholeFile(FMsgHeader->FFileName));
    FMessageHeader = parsed ? std::move(parsed) : TGObject<GMimeMessage>(g_mime_message_new(TRUE));
}

void TRcMailComplex::BuildOther(bool aDisplayPage)
{
    auto raw = MakeRc<TRcMailRaw>();
    raw->RawStreamUseFile(FRaw->FFileName);   // the complex keeps it meanwhile
    raw->RawStreamToMessageAndBuilder();
    FHtmlFileList->Clear();
    FAttachmentFileList->Clear();

    SetMessageHeader(raw->Message());
    // The subject names three working files: decoded once (it may be long).
    const std::string subject = Subject();
    FMsgHeader->FFileName = GetTempFileName(SubjectFileName(subject, ".msgh"));
    MessageHeaderSaveToFile();

    const TIdMessageBuilderHtmlEx& builder = raw->Builder();
    const std::string html = builder.Html.empty() ? PlainTextToHtmlDivs(builder.PlainText) : builder.Html;
    FHtmlBody->FFileName = GetTempFileName(SubjectFileName(subject, ".html"));
    FHtmlBody->WriteHtmlContent(html);
    FReportMessageId = builder.ReportMessageId;

    std::error_code ec;
    for (const auto& item : builder.HtmlFiles) {
        if (!std::filesystem::is_regular_file(item.FileName, ec))
            continue;
        auto file = MakeRc<TRcMailComplexHtmlFile>();
        file->FFileName = item.FileName;
        file->FContentId = "<" + item.ContentID + ">";
        file->FRealFileName = std::filesystem::path(item.Name).filename().string();
        FHtmlFileList->Add(file.Get());
    }
    for (const auto& item : builder.Attachments) {
        if (!std::filesystem::is_regular_file(item.FileName, ec))
            continue;
        auto file = MakeRc<TRcMailComplexAttachmentFile>();
        file->FFileName = item.FileName;
        file->FRealFileName = std::filesystem::path(item.Name).filename().string();
        file->FNeedTranslate = item.NeedTranslate();
        FAttachmentFileList->Add(file.Get());
    }
    if (aDisplayPage) {
        FNoCidHtmlBody->FFileName = GetTempFileName(SubjectFileName(subject, ".html"));
        FNoCidHtmlBody->WriteHtmlContent(MakeNoCidHtmlString(html, FHtmlFileList.Get()));
    } else {
        FNoCidHtmlBody->FFileName.clear();
    }
    FRaw->FValid = true;
}

void TRcMailComplex::BuildRaw()
{
    FRaw->FFileName.clear();
    FRaw->FValid = false;
    MessageHeaderSaveToFile();
    auto raw = MakeRc<TRcMailRaw>();
    raw->SetMessage(TGObject<GMimeMessage>(ParseMessage(ReadWholeFile(FMsgHeader->FFileName))));
    if (!raw->Message())
        raw->SetMessage(TGObject<GMimeMessage>(g_mime_message_new(TRUE)));
    TIdMessageBuilderHtmlEx& builder = raw->Builder();
    builder.PlainText.clear();
    builder.HtmlCharSet = "utf-8";
    builder.HtmlContentTransfer = "base64";
    if (!FReportMessageId.empty()) {
        // A read receipt: the report of the mail that asked for it.
        builder.ReportMessageId = FReportMessageId;
        builder.Html = "<b>this a mail report！<b>";
        const auto from = ParseAddressList(HeaderText(GMIME_OBJECT(raw->Message()), "From"));
        const auto report = GetTempFileName("msgReport.txt");
        WriteWholeFile(report, ReadReceiptReport(from.empty() ? std::string() : from.front().Address, FReportMessageId));
        TIdMessageBuilderAttachment item;
        item.FileName = report;
        item.ContentType = "message/disposition-notification";
        item.SetNeedTranslate(false);
        builder.Attachments.push_back(item);
    } else {
        builder.Html = FHtmlBody->ReadHtmlContent();
        builder.PromotHtml = FExtension ? PromotionNoticePage() : std::string();
        for (TRcMailComplexHtmlFile* file : *FHtmlFileList) {
            TIdMessageBuilderAttachment item;
            item.FileName = file->FFileName;
            item.ContentID = file->FContentId;
            item.Name = file->FRealFileName;
            builder.HtmlFiles.push_back(item);
        }
        for (TRcMailComplexAttachmentFile* file : *FAttachmentFileList) {
            TIdMessageBuilderAttachment item;
            item.FileName = file->FFileName;
            item.Name = file->FRealFileName;
            item.SetNeedTranslate(file->FNeedTranslate);
            builder.Attachments.push_back(item);
        }
    }
    // Written straight into the raw file: no copy through memory or a
    // second file.
    raw->BuilderToMessage();
    FRaw->FFileName = GetTempFileName(BaseName(".eml"));
    WriteMessageToFile(raw->Message(), FRaw->FFileName);
    FRaw->FValid = true;
}

void TRcMailComplex::BuildEmptyWithRawNoVaild()
{
    FMessageHeader.reset(g_mime_message_new(TRUE));
    FMsgHeader->FFileName = GetTempFileName("empty_subject.msgh");
    MessageHeaderSaveToFile();
    FHtmlBody->FFileName = GetTempFileName("empty_subject.html");
    FHtmlBody->WriteHtmlContent("");
    FNoCidHtmlBody->FFileName = GetTempFileName("empty_subject.html");
    FNoCidHtmlBody->WriteHtmlContent("");
    FHtmlFileList->Clear();
    FAttachmentFileList->Clear();
    FRaw->FFileName.clear();
    FRaw->FValid = false;
}

void TRcMailComplex::RemoveWorkingFiles() noexcept
{
    std::error_code ec;
    auto remove = [&](const TRcMailComplexFile* aFile) {
        if (aFile && !aFile->FFileName.empty())
            std::filesystem::remove(aFile->FFileName, ec);
    };
    remove(FRaw.Get());
    remove(FMsgHeader.Get());
    remove(FHtmlBody.Get());
    remove(FNoCidHtmlBody.Get());
    for (const TRcMailComplexFile* file : *FHtmlFileList)
        remove(file);
    for (const TRcMailComplexFile* file : *FAttachmentFileList)
        remove(file);
}

void TRcMailComplex::BuildEmptyWithEmptyRaw()
{
    BuildEmptyWithRawNoVaild();
    FRaw->FFileName = GetTempFileName("empty_subject.eml");
    WriteWholeFile(FRaw->FFileName, "");
    FRaw->FValid = true;
}

std::string TRcMailComplex::MakeNoCidHtmlString(const std::string& aHtml, const TRcMailComplexHtmlFileList* aFiles)
{
    if (!aFiles)
        return aHtml;
    std::vector<TCidReplacement> replacements;
    std::error_code ec;
    for (const TRcMailComplexHtmlFile* file : *aFiles) {
        std::string id = file->FContentId;
        id.erase(0, id.find_first_not_of(" \t"));
        if (!id.empty() && id.front() == '<')
            id.erase(0, 1);
        if (!id.empty() && id.back() == '>')
            id.pop_back();
        if (id.empty() || file->FRealFileName.find_first_not_of(" \t") == std::string::npos ||
            !std::filesystem::is_regular_file(file->FFileName, ec))
            continue;
        // Appended piece by piece: GCC 12 reports a false -Wrestrict for
        // "\"" + text + "\"" at -O2.
        std::string path(1, '"');
        path.append(file->FFileName.string()).push_back('"');
        replacements.push_back({std::move(id), std::move(path)});
    }
    return ReplaceCidReferences(aHtml, replacements, TCidQuotes::Replace);
}

void TRcMailComplex::MakeCidHtmlBodyByNoCidHtmlBody(const std::filesystem::path& aTemplatePath,
                                                    const std::vector<std::filesystem::path>& aAllowedSources)
{
    // The page shows this mail's own pictures by their working files.
    std::vector<std::filesystem::path> allowed = aAllowedSources;
    for (TRcMailComplexHtmlFile* file : *FHtmlFileList)
        allowed.push_back(file->FFileName);
    auto raw = MakeRc<TRcMailRaw>();
    raw->SetIndexHtmlFileName(FNoCidHtmlBody->FFileName);
    raw->IndexHtmlFileNameToBuilder(aTemplatePath, allowed);
    FHtmlFileList->Clear();
    for (const auto& item : raw->Builder().HtmlFiles) {
        auto file = MakeRc<TRcMailComplexHtmlFile>();
        file->FFileName = item.FileName;
        file->FContentId = item.ContentID;
        file->FRealFileName = item.FileName.filename().string();
        FHtmlFileList->Add(file.Get());
    }
    if (FHtmlBody->FFileName.empty())
        FHtmlBody->FFileName = GetTempFileName(BaseName(".html"));
    FHtmlBody->WriteHtmlContent(raw->Builder().Html);
}

std::filesystem::path TRcMailComplex::DisplayPage()
{
    std::error_code ec;
    if (FNoCidHtmlBody->FFileName.empty() || !std::filesystem::is_regular_file(FNoCidHtmlBody->FFileName, ec)) {
        FNoCidHtmlBody->FFileName = GetTempFileName(BaseName(".html"));
        FNoCidHtmlBody->WriteHtmlContent(MakeNoCidHtmlString(FHtmlBody->ReadHtmlContent(), FHtmlFileList.Get()));
    }
    return FNoCidHtmlBody->FFileName;
}

std::filesystem::path
TRcMailComplex::BuildCustomHtmlBody(const std::function<std::string(const std::filesystem::path&)>& aProc)
{
    const std::string html = aProc ? aProc(FNoCidHtmlBody->FFileName) : FNoCidHtmlBody->ReadHtmlContent();
    const std::string subject = Subject();
    const auto file = GetTempFileName(subject.empty() ? "custom_index.html" : subject + "_custom_index.html");
    WriteWholeFile(file, html);
    return file;
}
