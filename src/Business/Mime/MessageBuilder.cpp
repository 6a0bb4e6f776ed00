#include "MessageBuilder.h"

#include "Charset.h"
#include "GMimeLibrary.h"
#include "GMimePtr.h"
#include "HeaderCoding.h"
#include "PromotionPayload.h"
#include "Runtime/AsciiText.h"
#include "Runtime/Errors.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>

namespace {

bool IsBlankText(const std::string& aText)
{
    return aText.find_first_not_of(" \t\r\n") == std::string::npos;
}

GMimeContentEncoding EncodingOf(const std::string& aName, GMimeContentEncoding aDefault)
{
    if (aName.empty())
        return aDefault;
    const GMimeContentEncoding encoding = g_mime_content_encoding_from_string(aName.c_str());
    return encoding == GMIME_CONTENT_ENCODING_DEFAULT ? aDefault : encoding;
}

// A leaf holding aBytes.
TGObject<GMimePart> MemoryPart(const std::string& aType, const std::string& aBytes)
{
    TGObject<GMimeContentType> type(g_mime_content_type_parse(nullptr, aType.c_str()));
    TGObject<GMimePart> part(g_mime_part_new_with_type(g_mime_content_type_get_media_type(type.get()),
                                                       g_mime_content_type_get_media_subtype(type.get())));
    for (int i = 0; i < g_mime_param_list_length(g_mime_content_type_get_parameters(type.get())); ++i) {
        GMimeParam* param = g_mime_param_list_get_parameter_at(g_mime_content_type_get_parameters(type.get()), i);
        g_mime_object_set_content_type_parameter(GMIME_OBJECT(part.get()), g_mime_param_get_name(param),
                                                 g_mime_param_get_value(param));
    }
    TGObject<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(aBytes.data(), aBytes.size()));
    TGObject<GMimeDataWrapper> content(g_mime_data_wrapper_new_with_stream(stream.get(), GMIME_CONTENT_ENCODING_DEFAULT));
    g_mime_part_set_content(part.get(), content.get());
    return part;
}

TGObject<GMimePart> TextPart(const char* aSubtype, const std::string& aText, const std::string& aCharset,
                             const std::string& aTransfer)
{
    TGObject<GMimePart> part = MemoryPart(std::string("text/") + aSubtype, aText);
    if (!aCharset.empty())
        g_mime_object_set_content_type_parameter(GMIME_OBJECT(part.get()), "charset", aCharset.c_str());
    if (!aTransfer.empty())
        g_mime_part_set_content_encoding(part.get(), EncodingOf(aTransfer, GMIME_CONTENT_ENCODING_BASE64));
    return part;
}

TGObject<GMimeMultipart> Multipart(const char* aType)
{
    TGObject<GMimeContentType> type(g_mime_content_type_parse(nullptr, aType));
    TGObject<GMimeMultipart> multipart(g_mime_multipart_new_with_subtype(g_mime_content_type_get_media_subtype(type.get())));
    GMimeParamList* params = g_mime_content_type_get_parameters(type.get());
    for (int i = 0; i < g_mime_param_list_length(params); ++i) {
        GMimeParam* param = g_mime_param_list_get_parameter_at(params, i);
        g_mime_object_set_content_type_parameter(GMIME_OBJECT(multipart.get()), g_mime_param_get_name(param),
                                                 g_mime_param_get_value(param));
    }
    return multipart;
}

// A part from a builder item; aInline for the inline files of the HTML.
TGObject<GMimePart> AttachmentPart(const TIdMessageBuilderAttachment& aItem, bool aInline)
{
    std::string type = aItem.ContentType.empty() ? MimeTypeOfFileName(aItem.FileName) : aItem.ContentType;
    TGObject<GMimePart> part;
    if (aItem.Data) {
        part = MemoryPart(type, *aItem.Data);
    } else {
        GError* error = nullptr;
        TGObject<GMimeStream> file(g_mime_stream_fs_open(aItem.FileName.c_str(), O_RDONLY | O_CLOEXEC, 0, &error));
        if (!file) {
            const std::string message = error ? error->message : "";
            g_clear_error(&error);
            throw Exception("不能读取附件 " + aItem.FileName.string() + ": " + message);
        }
        TGObject<GMimeContentType> parsed(g_mime_content_type_parse(nullptr, type.c_str()));
        part.reset(g_mime_part_new_with_type(g_mime_content_type_get_media_type(parsed.get()),
                                             g_mime_content_type_get_media_subtype(parsed.get())));
        TGObject<GMimeDataWrapper> content(g_mime_data_wrapper_new_with_stream(file.get(), GMIME_CONTENT_ENCODING_DEFAULT));
        g_mime_part_set_content(part.get(), content.get());
    }
    const std::string fileName = aItem.FileName.filename().string();
    if (!fileName.empty())
        g_mime_part_set_filename(part.get(), SanitizeHeaderText(fileName).c_str());
    if (!aItem.ContentID.empty()) {
        std::string id = aItem.ContentID;
        if (id.front() == '<' && id.back() == '>')
            id = id.substr(1, id.size() - 2);
        g_mime_object_set_content_id(GMIME_OBJECT(part.get()), SanitizeHeaderText(id).c_str());
    }
    g_mime_part_set_content_encoding(part.get(), EncodingOf(aItem.ContentTransfer, GMIME_CONTENT_ENCODING_BASE64));
    for (const auto& [name, value] : aItem.ExtraHeaders)
        g_mime_object_set_header(GMIME_OBJECT(part.get()), name.c_str(), SanitizeHeaderText(value).c_str(), "utf-8");
    if (aInline && type.rfind("image/", 0) == 0)
        g_mime_object_set_disposition(GMIME_OBJECT(part.get()), "inline");
    return part;
}

// Where parts go: a multipart, or the list of top-level parts.
struct TParent {
    GMimeMultipart* Multipart = nullptr;
    std::vector<TGObject<GMimeObject>>* TopLevel = nullptr;

    void Add(GMimeObject* aObject) const
    {
        if (Multipart)
            g_mime_multipart_add(Multipart, aObject);
        else
            TopLevel->push_back(GRetain(aObject));
    }
};

} // namespace

bool TIdMessageBuilderAttachment::NeedTranslate() const
{
    for (const auto& [name, value] : ExtraHeaders)
        if (SameTextAscii(name, kNeedTranslateHeader))
            return value == "true";   // exactly: "True" is not
    return true;
}

void TIdMessageBuilderAttachment::SetNeedTranslate(bool aValue)
{
    for (auto& [name, value] : ExtraHeaders)
        if (SameTextAscii(name, kNeedTranslateHeader)) {
            value = aValue ? "true" : "false";
            return;
        }
    ExtraHeaders.emplace_back(kNeedTranslateHeader, aValue ? "true" : "false");
}

int64_t TIdMessageBuilderAttachment::Size() const
{
    if (Data)
        return static_cast<int64_t>(Data->size());
    std::error_code ec;
    const auto size = std::filesystem::file_size(FileName, ec);
    return ec ? 0 : static_cast<int64_t>(size);
}

void TIdMessageBuilderHtmlEx::Clear()
{
    Html.clear();
    HtmlCharSet.clear();
    HtmlContentTransfer.clear();
    HtmlFiles.clear();
    Attachments.clear();
    PlainText.clear();
    PlainTextCharSet.clear();
    PlainTextContentTransfer.clear();
}

int64_t TIdMessageBuilderHtmlEx::AttachmentsSize() const
{
    int64_t total = 0;
    for (const auto& item : Attachments)
        total += item.Size();
    return total;
}

int64_t TIdMessageBuilderHtmlEx::HtmlFilesSize() const
{
    int64_t total = 0;
    for (const auto& item : HtmlFiles)
        total += item.Size();
    return total;
}

void TIdMessageBuilderHtmlEx::FillMessage(GMimeMessage* aMessage) const
{
    EnsureGMimeInitialised();
    const bool p = !PlainText.empty();
    const bool h = !Html.empty();
    const bool f = h && !HtmlFiles.empty();
    const bool a = !Attachments.empty();

    TGObject<GMimeObject> body;
    if (!p && !h && !a) {
        body.reset(GMIME_OBJECT(TextPart("plain", "", "", "").release()));
    } else if (p && !h && !a) {
        body.reset(GMIME_OBJECT(TextPart("plain", PlainText, PlainTextCharSet, PlainTextContentTransfer).release()));
    } else if (h && !p && !f && !a) {
        body.reset(GMIME_OBJECT(TextPart("html", Html, HtmlCharSet, HtmlContentTransfer).release()));
    } else {
        std::vector<TGObject<GMimeObject>> topLevel;
        TGObject<GMimeMultipart> alternativeTop;
        TParent alternativeParent{nullptr, &topLevel};
        if (p && h && a) {
            alternativeTop = Multipart("multipart/alternative");
            topLevel.push_back(GRetain(GMIME_OBJECT(alternativeTop.get())));
            alternativeParent = {alternativeTop.get(), nullptr};
        }
        if (p || h) {
            auto plain = TextPart("plain", h && !p ? HtmlViewerNeededMsg : PlainText, PlainTextCharSet,
                                  PlainTextContentTransfer);
            alternativeParent.Add(GMIME_OBJECT(plain.get()));
        }
        if (h) {
            TParent htmlParent = alternativeParent;
            TGObject<GMimeMultipart> container;
            if (!IsBlankText(PromotHtml)) {
                container = Multipart("multipart/alternative");
                alternativeParent.Add(GMIME_OBJECT(container.get()));
                htmlParent = {container.get(), nullptr};
                auto page = TextPart("html", PromotHtml, HtmlCharSet, HtmlContentTransfer);
                htmlParent.Add(GMIME_OBJECT(page.get()));
                auto payload = MemoryPart(kPromotionContentType, EncipherPromotion(Html));
                g_mime_part_set_filename(payload.get(), kPromotionFileName);
                g_mime_object_set_disposition(GMIME_OBJECT(payload.get()), "inline");
                g_mime_part_set_content_encoding(payload.get(), GMIME_CONTENT_ENCODING_BASE64);
                htmlParent.Add(GMIME_OBJECT(payload.get()));
            } else {
                if (f) {
                    container = Multipart("multipart/related; type=\"text/html\"");
                    alternativeParent.Add(GMIME_OBJECT(container.get()));
                    htmlParent = {container.get(), nullptr};
                }
                auto html = TextPart("html", Html, HtmlCharSet, HtmlContentTransfer);
                htmlParent.Add(GMIME_OBJECT(html.get()));
            }
            if (f)
                for (const auto& item : HtmlFiles) {
                    auto part = AttachmentPart(item, true);
                    htmlParent.Add(GMIME_OBJECT(part.get()));
                }
        }
        for (const auto& item : Attachments) {
            auto part = AttachmentPart(item, false);
            topLevel.push_back(GRetain(GMIME_OBJECT(part.get())));
        }
        if (a && topLevel.size() < 2 && ReportMessageId.empty()) {
            body = std::move(topLevel.front());
        } else {
            const char* type = !ReportMessageId.empty() ? "multipart/report; report-type=disposition-notification"
                               : a                      ? "multipart/mixed"
                                                        : "multipart/alternative";
            auto top = Multipart(type);
            for (auto& part : topLevel)
                g_mime_multipart_add(top.get(), part.get());
            body.reset(GMIME_OBJECT(top.release()));
        }
    }
    g_mime_message_set_mime_part(aMessage, body.get());
}

std::string MimeTypeOfFileName(const std::filesystem::path& aFileName)
{
    static const std::pair<const char*, const char*> kTypes[] = {
        {".jpg", "image/jpeg"}, {".jpeg", "image/jpeg"}, {".png", "image/png"}, {".gif", "image/gif"},
        {".bmp", "image/bmp"}, {".webp", "image/webp"}, {".svg", "image/svg+xml"}, {".tif", "image/tiff"},
        {".tiff", "image/tiff"}, {".pdf", "application/pdf"}, {".doc", "application/msword"},
        {".docx", "application/vnd.openxmlformats-officedocument.wordprocessingml.document"},
        {".xls", "application/vnd.ms-excel"},
        {".xlsx", "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"},
        {".ppt", "application/vnd.ms-powerpoint"},
        {".pptx", "application/vnd.openxmlformats-officedocument.presentationml.presentation"},
        {".zip", "application/zip"}, {".rar", "application/x-rar-compressed"}, {".7z", "application/x-7z-compressed"},
        {".txt", "text/plain"}, {".htm", "text/html"}, {".html", "text/html"}, {".csv", "text/csv"},
        {".eml", "message/rfc822"}, {".mp3", "audio/mpeg"}, {".mp4", "video/mp4"},
    };
    const std::string extension = aFileName.extension().string();
    for (const auto& [ext, type] : kTypes)
        if (SameTextAscii(extension, ext))
            return type;
    return "application/octet-stream";
}
