#include "BigAttachment.h"

#include "ByteSizeText.h"
#include "Business/AccountMail/AccountMailManager.h"
#include "Business/AccountMail/MailComplex.h"
#include "Business/Data/ConfigManager.h"
#include "Business/Data/TempFileManager.h"
#include "Business/Html/BodyEnd.h"
#include "Business/Http/HttpJsonReply.h"
#include "Business/Http/HttpText.h"
#include "Business/Mime/ComposeHeaders.h"
#include "Runtime/Errors.h"
#include "Runtime/Finally.h"
#include "Runtime/Log.h"

#include <string_view>
#include <system_error>
#include <vector>

namespace {

struct TIconClass {
    std::string_view Extension;
    std::string_view Class;
};

constexpr TIconClass kIconClasses[] = {
    {"doc", "word"},     {"docx", "word"},    {"xls", "excel"},    {"xlsx", "excel"},   {"rar", "rar"},
    {"zip", "rar"},      {"7z", "rar"},       {"arj", "rar"},      {"cab", "rar"},      {"txt", "txt"},
    {"rtf", "txt"},      {"bmp", "bmp"},      {"tiff", "bmp"},     {"jpg", "jpg"},      {"jpeg", "jpg"},
    {"ppt", "ppt"},      {"pptx", "ppt"},     {"exe", "exe"},      {"apk", "apk"},      {"pdf", "pdf"},
    {"png", "png"},      {"html", "browser"}, {"htm", "browser"},  {"xml", "browser"},  {"xht", "browser"},
    {"xhtml", "browser"}, {"svg", "browser"}, {"shtml", "browser"}, {"mp3", "audio"},   {"wav", "audio"},
    {"wave", "audio"},   {"ogg", "audio"},    {"wma", "audio"},    {"aac", "audio"},    {"mp4", "video"},
    {"rm", "video"},     {"ram", "video"},    {"flv", "video"},    {"avi", "video"},    {"hlv", "video"},
    {"mka", "video"},    {"mkv", "video"},    {"mpeg", "video"},   {"mpeg1", "video"},  {"mpg", "video"},
    {"oga", "video"},
};

std::string Msg(const char* aKey, const std::string& aValue)
{
    TConfigManager* config = TConfigManager::ConfigManager();
    if (!config)
        return std::string(aKey) + " " + aValue;
    return config->FormatMsg(aKey, {aValue});
}

// One uploaded attachment: where it was in the list and its list item.
struct TUploaded {
    int Index = 0;
    std::string Item;
};

TUploaded Upload(IFileServerUploader& aUploader, const std::string& aServerAddress,
                 TRcMailComplexAttachmentFile* aFile, int aIndex, const TBigAttachmentNotifier& aNotifier)
{
    const std::string shownName =
        aFile->FRealFileName.empty() ? aFile->FFileName.filename().string() : aFile->FRealFileName;
    if (aNotifier.Subject)
        aNotifier.Subject(Msg("UploadBigAttachment", shownName));
    const std::string reply = aUploader.UploadFile(aServerAddress, IFileServerUploader::kRemoteFolder,
                                                   aFile->FFileName, aNotifier.Progress, shownName);
    if (reply.empty())
        throw Exception("上传超大附件失败(" + std::to_string(aUploader.GetLastError()) +
                        ")：" + aUploader.GetLastErrorMessage());
    const THttpJsonReply json = THttpJsonReply::Parse(reply);
    const nlohmann::json& object = json.Json();
    if (!json.IsJson() || !object.contains("guId") || !object["guId"].is_string() || !object.contains("fileName") ||
        !object["fileName"].is_string() || !object.contains("fileSize") || !object["fileSize"].is_number_integer())
        throw Exception("文件服务器的回复无效：" + reply.substr(0, 200));
    const std::string link =
        BigAttachmentLink(aServerAddress, object["guId"].get<std::string>(), object["fileName"].get<std::string>());
    return {aIndex, BigAttachmentListItem(link, shownName, object["fileSize"].get<int64_t>())};
}

bool IsInFolder(const std::filesystem::path& aFile, const std::filesystem::path& aFolder)
{
    std::error_code ec;
    const auto file = std::filesystem::weakly_canonical(aFile, ec);
    const auto folder = std::filesystem::weakly_canonical(aFolder, ec);
    if (ec || folder.empty())
        return false;
    const auto relative = file.lexically_relative(folder);
    return !relative.empty() && *relative.begin() != "..";
}

} // namespace

std::string BigAttachmentIconClass(const std::string& aFileName)
{
    const auto dot = aFileName.rfind('.');
    if (dot == std::string::npos)
        return "normal";
    const std::string_view extension = std::string_view(aFileName).substr(dot + 1);
    for (const TIconClass& entry : kIconClasses)
        if (entry.Extension == extension)
            return std::string(entry.Class);
    return "normal";
}

std::string BigAttachmentLink(const std::string& aServerAddress, const std::string& aGuId,
                              const std::string& aFileName)
{
    std::string link = FileServerUrl(aServerAddress);
    link.append("?do=d&id=").append(HttpUrlEncodeParam(aGuId));
    link.append("&realName=").append(HttpUrlEncodeParam(aFileName));
    link.append("&extr=0&forcePartDownload=1");
    return link;
}

std::string BigAttachmentListItem(const std::string& aLink, const std::string& aFileName, int64_t aFileSize)
{
    const std::string href = EscapeHtml(aLink);
    std::string item = "<li><span><p><a href=\"";
    item.append(href).append("\">下载</a></p></span><div class=\"");
    item.append(EscapeHtml(BigAttachmentIconClass(aFileName))).append("\"></div><a href=\"");
    item.append(href).append("\">").append(EscapeHtml(aFileName)).append("</a> （");
    item.append(EscapeHtml(ByteSizeText(aFileSize))).append("）</li>\n\r");
    return item;
}

std::string BigAttachmentBox(const std::string& aListItems)
{
    std::string box = "<div class=\"attachbox\"><div class=\"title\"><p>Quillmar超大附件</p></div>     "
                      "<div class=\"content\">       <ul>";
    box.append(aListItems).append("        </ul>     </div> </div>");
    return box;
}

bool HasBigAttachment(const TRcMailComplex* aComplex)
{
    for (TRcMailComplexAttachmentFile* file : *aComplex->AttachmentFileList())
        if (file->Size() > kBigAttachmentSize)
            return true;
    return false;
}

bool UploadBigAttachment(TRcResPath* aMailResPath, TRcMail* aMail, TRcMailComplex* aComplex,
                         IFileServerUploader& aUploader, const std::string& aServerAddress,
                         const TBigAttachmentNotifier& aNotifier)
{
    if (!aMailResPath || !aMail || !aComplex)
        throw EInvalidPointer();
    TRcMailComplexAttachmentFileList* attachments = aComplex->AttachmentFileList();
    std::vector<TUploaded> uploaded;
    for (int i = attachments->Count() - 1; i >= 0; --i) {
        TRcMailComplexAttachmentFile* file = attachments->GetItem(i);
        if (file->Size() > kBigAttachmentSize)
            uploaded.push_back(Upload(aUploader, aServerAddress, file, i, aNotifier));
    }
    if (uploaded.empty())
        return false;

    TAccountMailManager* mails = TAccountMailManager::AccountMailManager();
    if (!mails)
        throw Exception("邮件管理器没有创建");
    std::string items;
    for (const TUploaded& entry : uploaded)
        items.append(entry.Item);
    // The working copies of the uploaded files are named by nothing once
    // they leave the list: removed whatever happens below. Only copies in
    // the run folder: a complex may name a file of the user's own.
    std::vector<std::filesystem::path> dropped;
    TFinally removeDropped([&] {
        TTempFileManager* temp = TTempFileManager::TempFileManager();
        for (const auto& file : dropped)
            if (temp && IsInFolder(file, temp->TempFolder())) {
                std::error_code ec;
                std::filesystem::remove(file, ec);
            }
    });
    for (const TUploaded& entry : uploaded) {   // from the end: the indexes stay right
        dropped.push_back(attachments->GetItem(entry.Index)->FFileName);
        attachments->Delete(entry.Index);
    }
    aComplex->DisplayPage();   // the page without content ids, made when missing
    TRcMailComplexHtmlBodyFile* page = aComplex->NoCidHtmlBody();
    page->WriteHtmlContent(InsertAtBodyEnd(page->ReadHtmlContent(), BigAttachmentBox(items)));
    aComplex->MakeCidHtmlBodyByNoCidHtmlBody({});
    aComplex->BuildRaw();
    mails->UpdateMailByMailComplex(aMail, aComplex);
    mails->SaveMailComplex(aMailResPath, aComplex);
    mails->SaveMail(aMailResPath->ParentPath(), aMail);
    return true;
}
