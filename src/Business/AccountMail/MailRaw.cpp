#include "MailRaw.h"

#include "Business/Data/TempFileManager.h"
#include "Business/Data/WholeFile.h"
#include "Business/Html/CidReferences.h"
#include "Business/Html/PictureReferences.h"
#include "Business/Mime/GMimeLibrary.h"
#include "Business/Mime/MessageIo.h"
#include "Runtime/GuidId.h"
#include "Runtime/Hex.h"
#include "Runtime/Errors.h"
#include "Runtime/Log.h"
#include "Runtime/AsciiText.h"

#include <cctype>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

TTempFileManager& TempFiles()
{
    TTempFileManager* manager = TTempFileManager::TempFileManager();
    if (!manager)
        throw Exception("临时文件管理器没有创建");
    return *manager;
}

std::string FileUrl(const std::filesystem::path& aPath)
{
    std::string url = "file://";
    for (unsigned char c : aPath.string()) {
        if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~' || c >= 0x80) {
            url += static_cast<char>(c);
        } else {
            url += '%';
            AppendHexByte(url, c);
        }
    }
    return url;
}

} // namespace

std::string PlainTextToHtmlDivs(std::string_view aText)
{
    std::string html;
    std::size_t at = 0;
    while (at <= aText.size()) {
        std::size_t end = aText.find('\n', at);
        if (end == std::string_view::npos)
            end = aText.size();
        std::string_view line = aText.substr(at, end - at);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        html += "<div>";
        char previous = 0;
        for (char c : line) {
            switch (c) {
            case '&': html += "&amp;"; break;
            case '<': html += "&lt;"; break;
            case '>': html += "&gt;"; break;
            case '"': html += "&quot;"; break;
            case ' ': html += previous == ' ' ? "&nbsp;" : " "; break;
            default: html += c;
            }
            previous = c;
        }
        html += "</div>\r\n";
        if (end == aText.size())
            break;
        at = end + 1;
    }
    return html;
}

TRcMailRaw::TRcMailRaw()
{
    EnsureGMimeInitialised();
}

TRcMailRaw::~TRcMailRaw()
{
    ClearRawStream();
}

void TRcMailRaw::RawStreamUseFile(const std::filesystem::path& aFileName)
{
    ClearRawStream();
    FRawFile = aFileName;
    FRawFileOwned = false;
}

void TRcMailRaw::RawStreamLoadFromFile(const std::filesystem::path& aFileName)
{
    ClearRawStream();
    const auto copy = TempFiles().MakeTempFileName("raw.eml", true);
    std::filesystem::copy_file(aFileName, copy, std::filesystem::copy_options::overwrite_existing);
    FRawFile = copy;
}

void TRcMailRaw::RawStreamLoadFromString(std::string_view aBytes)
{
    ClearRawStream();
    if (aBytes.size() <= kInMemoryLimit) {
        FRawMemory = std::string(aBytes);
        return;
    }
    const auto file = TempFiles().MakeTempFileName("raw.eml", true);
    WriteWholeFile(file, aBytes);
    FRawFile = file;
}

void TRcMailRaw::RawStreamSaveToFile(const std::filesystem::path& aFileName) const
{
    if (!FRawFile.empty())
        std::filesystem::copy_file(FRawFile, aFileName, std::filesystem::copy_options::overwrite_existing);
    else
        WriteWholeFile(aFileName, FRawMemory);
}

std::size_t TRcMailRaw::RawSize() const
{
    std::error_code ec;
    return FRawFile.empty() ? FRawMemory.size() : static_cast<std::size_t>(std::filesystem::file_size(FRawFile, ec));
}

std::string TRcMailRaw::RawBytes() const
{
    return FRawFile.empty() ? FRawMemory : ReadWholeFile(FRawFile);
}

void TRcMailRaw::RawStreamToMessage()
{
    if (FRawFile.empty()) {
        FMsg = ParseMessage(FRawMemory);
    } else {
        GError* error = nullptr;
        TGObject<GMimeStream> stream(g_mime_stream_fs_open(FRawFile.c_str(), O_RDONLY | O_CLOEXEC, 0, &error));
        if (!stream) {
            g_clear_error(&error);
            throw Exception("不能读取邮件文件 " + FRawFile.string());
        }
        TGObject<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
        FMsg.reset(g_mime_parser_construct_message(parser.get(), nullptr));
    }
    if (!FMsg)
        FMsg.reset(g_mime_message_new(TRUE));
}

void TRcMailRaw::RawStreamToMessageAndBuilder()
{
    RawStreamToMessage();
    MessageToBuilder();
}

void TRcMailRaw::MessageToBuilder()
{
    FBuilder.InitByIdMessage(FMsg.get(), [](const std::string& aName) {
        return TempFiles().MakeTempFileName(aName, true);
    });
}

void TRcMailRaw::BuilderToMessage()
{
    if (!FMsg)
        FMsg.reset(g_mime_message_new(TRUE));
    FBuilder.PlainText = FBuilder.HtmlViewerNeededMsg;
    FBuilder.FillMessage(FMsg.get());
    // The receiver sees the user's file names, never a temporary path. The
    // attachments are the last top-level parts, in order (or the whole
    // body when there is nothing else).
    const std::size_t attachments = FBuilder.Attachments.size();
    if (attachments == 0)
        return;
    std::vector<GMimeObject*> parts;
    GMimeObject* body = g_mime_message_get_mime_part(FMsg.get());
    if (GMIME_IS_MULTIPART(body)) {
        const int count = g_mime_multipart_get_count(GMIME_MULTIPART(body));
        for (int i = std::max(0, count - static_cast<int>(attachments)); i < count; ++i)
            parts.push_back(g_mime_multipart_get_part(GMIME_MULTIPART(body), i));
    } else if (body) {
        parts.push_back(body);
    }
    for (std::size_t i = 0; i < parts.size() && i < attachments; ++i) {
        const std::string& name = FBuilder.Attachments[attachments - parts.size() + i].Name;
        if (GMIME_IS_PART(parts[i]) && !name.empty())
            g_mime_part_set_filename(GMIME_PART(parts[i]), name.c_str());
    }
}

void TRcMailRaw::MessageAndBuilderToRawStream()
{
    BuilderToMessage();
    MessageToRawStream();
}

void TRcMailRaw::MessageToRawStream()
{
    if (!FMsg)
        FMsg.reset(g_mime_message_new(TRUE));
    // Written to a file first: the message may carry attachments of any
    // size. A small one is then kept in memory like any other.
    const auto file = TempFiles().MakeTempFileName("raw.eml", true);
    try {
        WriteMessageToFile(FMsg.get(), file);
        if (std::filesystem::file_size(file) <= kInMemoryLimit) {
            std::string bytes = ReadWholeFile(file);
            std::filesystem::remove(file);
            ClearRawStream();
            FRawMemory = std::move(bytes);
            return;
        }
    } catch (...) {
        std::error_code ec;
        std::filesystem::remove(file, ec);
        throw;
    }
    ClearRawStream();
    FRawFile = file;
}

std::string TRcMailRaw::BuilderToIndexHtmlStringWithCid() const
{
    return FBuilder.Html.empty() ? PlainTextToHtmlDivs(FBuilder.PlainText) : FBuilder.Html;
}

std::string TRcMailRaw::BuilderToIndexHtmlString() const
{
    if (FBuilder.Html.empty())
        return PlainTextToHtmlDivs(FBuilder.PlainText);
    std::vector<TCidReplacement> replacements;
    for (const auto& item : FBuilder.HtmlFiles) {
        std::string id = item.ContentID;
        if (!id.empty() && id.front() == '<')
            id.erase(0, 1);
        if (!id.empty() && id.back() == '>')
            id.pop_back();
        std::error_code ec;
        if (id.empty() || item.FileName.empty() || !std::filesystem::exists(item.FileName, ec))
            continue;
        replacements.push_back({std::move(id), FileUrl(item.FileName)});
    }
    return ReplaceCidReferences(FBuilder.Html, replacements, TCidQuotes::Keep);
}

std::string TRcMailRaw::Subject() const
{
    return FMsg ? HeaderText(GMIME_OBJECT(FMsg.get()), "Subject") : std::string();
}

std::filesystem::path TRcMailRaw::BuilderToIndexHtmlFileName()
{
    const std::string subject = Subject();
    FIndexHtmlFileName = TempFiles().MakeTempFileName(subject.empty() ? "index.html" : subject + "_index.html", false);
    WriteWholeFile(FIndexHtmlFileName, "\xEF\xBB\xBF" + BuilderToIndexHtmlString());
    return FIndexHtmlFileName;
}

std::filesystem::path TRcMailRaw::CustomBuilderIndexHtml(const std::function<void(std::string&)>& aProc)
{
    std::string page = BuilderToIndexHtmlString();
    if (aProc)
        aProc(page);
    const std::string subject = Subject();
    const auto file =
        TempFiles().MakeTempFileName(subject.empty() ? "custom_index.html" : subject + "_custom_index.html", false);
    WriteWholeFile(file, "\xEF\xBB\xBF" + page);
    return file;
}

std::string TRcMailRaw::GetBuilderAttachmentName(std::size_t aIndex) const
{
    const auto& item = FBuilder.Attachments.at(aIndex);
    if (!item.Name.empty())
        return item.Name;
    if (!item.FileName.empty())
        return item.FileName.filename().string();
    return item.ContentID;
}

bool TRcMailRaw::GetBuilderAttachmentNeedTranslate(std::size_t aIndex) const
{
    return FBuilder.Attachments.at(aIndex).NeedTranslate();
}

void TRcMailRaw::SetBuilderAttachmentNeedTranslate(std::size_t aIndex, bool aNeedTranslate)
{
    FBuilder.Attachments.at(aIndex).SetNeedTranslate(aNeedTranslate);
}

void TRcMailRaw::BuilderAttachmentSaveToFile(std::size_t aIndex, const std::filesystem::path& aFileName) const
{
    const auto& item = FBuilder.Attachments.at(aIndex);
    if (item.Data)
        WriteWholeFile(aFileName, *item.Data);
    else
        std::filesystem::copy_file(item.FileName, aFileName, std::filesystem::copy_options::overwrite_existing);
}

int TRcMailRaw::IndexOfBuilderAttachmentByFileName(const std::string& aFileName) const
{
    for (std::size_t i = 0; i < FBuilder.Attachments.size(); ++i)
        if (SameTextAscii(FBuilder.Attachments[i].FileName.string(), aFileName))
            return static_cast<int>(i);
    return -1;
}

void TRcMailRaw::Clear()
{
    ClearRawStream();
    ClearMessage();
    ClearBuilder();
}

void TRcMailRaw::ClearRawStream()
{
    FRawMemory.clear();
    if (!FRawFile.empty()) {
        std::error_code ec;
        if (FRawFileOwned)
            std::filesystem::remove(FRawFile, ec);
        FRawFile.clear();
    }
    FRawFileOwned = true;
}

void TRcMailRaw::ClearMessage()
{
    FMsg.reset();
}

void TRcMailRaw::ClearBuilder()
{
    FBuilder.Clear();
    FBuilder.ReportMessageId.clear();
    FBuilder.PromotHtml.clear();
}

namespace {

// Whether aFile lies under aRoot (both resolved, links followed).
bool IsUnder(const std::filesystem::path& aFile, const std::filesystem::path& aRoot)
{
    std::error_code ec;
    const auto file = std::filesystem::weakly_canonical(aFile, ec);
    const auto root = std::filesystem::weakly_canonical(aRoot, ec);
    if (ec || root.empty())
        return false;
    auto fileIt = file.begin();
    for (auto rootIt = root.begin(); rootIt != root.end(); ++rootIt, ++fileIt) {
        if (rootIt->empty())
            continue;   // a trailing separator
        if (fileIt == file.end() || *fileIt != *rootIt)
            return false;
    }
    return true;
}

} // namespace

void TRcMailRaw::IndexHtmlFileNameToBuilder(const std::filesystem::path& aLocalPathBase,
                                            const std::vector<std::filesystem::path>& aAllowedSources)
{
    FBuilder.PlainText.clear();
    FBuilder.HtmlFiles.clear();
    FBuilder.HtmlCharSet = "utf-8";
    FBuilder.HtmlContentTransfer = "base64";
    std::error_code ec;
    if (FIndexHtmlFileName.empty() || !std::filesystem::is_regular_file(FIndexHtmlFileName, ec)) {
        FBuilder.Html.clear();
        return;
    }
    std::string page = ReadWholeFile(FIndexHtmlFileName);
    if (page.rfind("\xEF\xBB\xBF", 0) == 0)
        page.erase(0, 3);

    // Never the whole run folder: it also holds other mails' extracted
    // parts and rendered pages, under names a sender can guess.
    const std::vector<std::filesystem::path>& allowed = aAllowedSources;
    auto isAllowed = [&](const std::filesystem::path& aFile) {
        for (const auto& source : allowed) {
            std::error_code error;
            if (std::filesystem::is_directory(source, error) ? IsUnder(aFile, source)
                                                              : std::filesystem::equivalent(aFile, source, error))
                return true;
        }
        return false;
    };

    const auto references = FindPictureReferences(page);
    std::vector<std::pair<std::size_t, std::string>> replacements;
    for (std::size_t i = 0; i < references.size(); ++i) {
        const std::string url = PercentDecode(references[i].Value);
        std::filesystem::path file;
        if (url.size() > 8 && SameTextAscii(url.substr(0, 8), "file:///"))
            file = url.substr(7);   // keeps the leading "/"
        else if (!aLocalPathBase.empty() && !url.empty() && url.find(':') == std::string::npos)
            file = aLocalPathBase / url;
        if (file.empty() || !std::filesystem::is_regular_file(file, ec))
            continue;
        if (!isAllowed(file)) {
            TLog::O(lolWorn, "图片不在允许的文件夹中，不作为内嵌图片：%s", {file.string()});
            continue;
        }
        const std::string id = "qmc_" + NewGuidId();
        TIdMessageBuilderAttachment inlineFile;
        inlineFile.FileName = file;
        inlineFile.ContentID = "<" + id + ">";
        inlineFile.Name = file.filename().string();
        FBuilder.HtmlFiles.push_back(std::move(inlineFile));
        replacements.emplace_back(i, "cid:" + id);
    }
    FBuilder.Html = ReplacePictureReferences(page, references, replacements);
}
