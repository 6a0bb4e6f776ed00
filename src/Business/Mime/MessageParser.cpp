// Taking a received or stored message apart (TIdMessageBuilderHtmlEx::
// InitByIdMessage): the handlers for mixed, alternative, related and
// report containers, and the rule that whatever no handler uses is kept
// as an attachment.
#include "MessageBuilder.h"
#include "Runtime/AsciiText.h"
#include "Runtime/SafeFileName.h"

#include "Charset.h"
#include "GMimeLibrary.h"
#include "GMimePtr.h"
#include "HeaderCoding.h"
#include "MessageIo.h"
#include "PromotionPayload.h"
#include "Runtime/Errors.h"

#include <fstream>

namespace {

enum class TContainer { Mixed, Alternative, Related, Report };

std::string TypeOf(GMimeObject* aObject)
{
    GMimeContentType* type = g_mime_object_get_content_type(aObject);
    if (!type)
        return "application/octet-stream";
    const char* media = g_mime_content_type_get_media_type(type);
    const char* subtype = g_mime_content_type_get_media_subtype(type);
    return AsciiLower(std::string(media ? media : "") + "/" + (subtype ? subtype : ""));
}

bool IsMediaType(GMimeObject* aObject, const char* aType)
{
    return TypeOf(aObject).rfind(std::string(aType) + "/", 0) == 0;
}

bool IsAttachmentDisposition(GMimeObject* aObject)
{
    const char* disposition = g_mime_object_get_disposition(aObject);
    return disposition && SameTextAscii(disposition, "attachment");
}

// A text leaf is text/* that is not marked as an attachment and has no
// file name; every other leaf is an attachment part.
bool IsTextPart(GMimeObject* aObject)
{
    if (!GMIME_IS_PART(aObject) || !IsMediaType(aObject, "text"))
        return false;
    return !IsAttachmentDisposition(aObject) && !g_mime_part_get_filename(GMIME_PART(aObject));
}

std::string SafeName(const std::string& aName)
{
    return SafeFileName(SanitizeHeaderText(aName), "");
}

class TParser {
public:
    TParser(TIdMessageBuilderHtmlEx& aBuilder, const TIdMessageBuilderHtmlEx::TTempFilenameBuilder& aTemp)
        : FBuilder(aBuilder), FTemp(aTemp) {}

    void Message(GMimeMessage* aMessage)
    {
        GMimeObject* body = g_mime_message_get_mime_part(aMessage);
        if (!body)
            return;
        if (GMIME_IS_MULTIPART(body)) {
            Container(GMIME_MULTIPART(body), ContainerOf(body));
        } else if (IsMediaType(body, "text") && GMIME_IS_PART(body)) {
            TextRule(body);
        } else {
            Keep(body, "");
        }
    }

private:
    static TContainer ContainerOf(GMimeObject* aObject)
    {
        const std::string type = TypeOf(aObject);
        if (type == "multipart/related")
            return TContainer::Related;
        if (type == "multipart/alternative")
            return TContainer::Alternative;
        if (type == "multipart/report")
            return TContainer::Report;
        return TContainer::Mixed;
    }

    void Container(GMimeMultipart* aMultipart, TContainer aKind)
    {
        const int count = g_mime_multipart_get_count(aMultipart);
        if (count == 0) {
            // The declared boundary never came: GMime keeps the whole text
            // as the prologue. It is the body; a mail with text is never
            // shown empty.
            const char* prologue = g_mime_multipart_get_prologue(aMultipart);
            if (prologue && FBuilder.PlainText.empty() && FBuilder.Html.empty() &&
                std::string_view(prologue).find_first_not_of(" \t\r\n") != std::string_view::npos) {
                FBuilder.PlainText = ToUtf8(prologue, "");
                FBuilder.PlainTextCharSet = "utf-8";
            }
            return;
        }
        // Its parts end at its boundary or at any around it.
        const char* boundary = g_mime_multipart_get_boundary(aMultipart);
        if (boundary)
            FBoundaries.emplace_back(boundary);
        for (int i = 0; i < count; ++i) {
            GMimeObject* part = g_mime_multipart_get_part(aMultipart, i);
            if (GMIME_IS_MULTIPART(part)) {
                Container(GMIME_MULTIPART(part), ContainerOf(part));
                continue;
            }
            const std::string type = TypeOf(part);
            if (IsTextPart(part)) {
                // In a related container only the HTML is body text.
                if (aKind == TContainer::Related && type != "text/html")
                    Keep(part, "");
                else
                    TextRule(part);
                continue;
            }
            if (type == kPromotionContentType && aKind != TContainer::Related) {
                FBuilder.Html = DecipherPromotion(DecodedContentOf(part));
                FBuilder.HtmlCharSet = "utf-8";
                continue;
            }
            if (type == "message/rfc822" && aKind != TContainer::Related) {
                Forwarded(part);
                continue;
            }
            if (type == "message/disposition-notification")
                ReadReport(part);
            // Delivery reports and the other parts of a report are kept,
            // like every part no handler uses.
            Keep(part, "");
        }
        if (boundary)
            FBoundaries.pop_back();
    }

    void TextRule(GMimeObject* aPart)
    {
        const bool html = TypeOf(aPart) == "text/html";
        std::string& target = html ? FBuilder.Html : FBuilder.PlainText;
        if (!target.empty()) {
            Keep(aPart, "");
            return;
        }
        const char* charset = g_mime_object_get_content_type_parameter(aPart, "charset");
        target = ToUtf8(DecodedContentOf(aPart), charset ? charset : "");
        std::string& charsetField = html ? FBuilder.HtmlCharSet : FBuilder.PlainTextCharSet;
        std::string& transferField = html ? FBuilder.HtmlContentTransfer : FBuilder.PlainTextContentTransfer;
        charsetField = "utf-8";
        transferField = g_mime_content_encoding_to_string(g_mime_part_get_content_encoding(GMIME_PART(aPart)))
                            ? g_mime_content_encoding_to_string(g_mime_part_get_content_encoding(GMIME_PART(aPart)))
                            : "";
    }

    void ReadReport(GMimeObject* aPart)
    {
        const std::string block = DecodedContentOf(aPart);
        std::size_t at = 0;
        while (at < block.size()) {
            std::size_t end = block.find('\n', at);
            if (end == std::string::npos)
                end = block.size();
            const std::string line = block.substr(at, end - at);
            at = end + 1;
            const std::size_t colon = line.find(':');
            if (colon == std::string::npos)
                continue;
            std::string name = line.substr(0, colon);
            while (!name.empty() && name.back() == ' ')
                name.pop_back();
            if (!SameTextAscii(name, "Original-Message-ID"))
                continue;
            std::string value = line.substr(colon + 1);
            while (!value.empty() && (value.back() == '\r' || value.back() == ' '))
                value.pop_back();
            value.erase(0, value.find_first_not_of(' '));
            FBuilder.ReportMessageId = value;
        }
    }

    void Forwarded(GMimeObject* aPart)
    {
        std::string subject;
        if (GMIME_IS_MESSAGE_PART(aPart)) {
            GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(aPart));
            subject = inner ? HeaderText(GMIME_OBJECT(inner), "Subject") : "";
        }
        if (subject.empty())
            subject = "message";
        std::string name = subject;
        if (name.size() < 4 || !SameTextAscii(name.substr(name.size() - 4), ".eml"))
            name += ".eml";
        Keep(aPart, name);
    }

    // Writes the part's content to a temporary file or keeps it in memory,
    // and lists it as an inline file (by content id) and/or attachment.
    void Keep(GMimeObject* aPart, const std::string& aForcedName)
    {
        const char* nameParam = g_mime_object_get_content_type_parameter(aPart, "name");
        const char* fileName = GMIME_IS_PART(aPart) ? g_mime_part_get_filename(GMIME_PART(aPart)) : nullptr;
        const char* contentId = g_mime_object_get_content_id(aPart);
        std::string name = !aForcedName.empty() ? aForcedName
                           : nameParam          ? DecodeHeaderText(nameParam)
                           : fileName           ? DecodeHeaderText(fileName)
                           : contentId          ? std::string(contentId)
                                                : std::string();
        name = SafeName(name);

        TIdMessageBuilderAttachment item;
        item.ContentType = TypeOf(aPart);
        item.ContentID = contentId ? contentId : "";
        if (FTemp) {
            // Streamed: a 50 MB attachment never sits in memory.
            item.FileName = FTemp(name.empty() ? "attachment.dat" : name);
            if (item.FileName.empty())
                throw Exception("临时文件名为空");
            WriteDecodedContentToFile(aPart, item.FileName, FBoundaries);
        } else {
            item.Data = std::make_shared<const std::string>(DecodedContentOf(aPart, FBoundaries));
        }
        item.Name = !name.empty() ? name : item.FileName.filename().string();
        GMimeHeaderList* headers = g_mime_object_get_header_list(aPart);
        for (int i = 0; i < g_mime_header_list_get_count(headers); ++i) {
            GMimeHeader* header = g_mime_header_list_get_header_at(headers, i);
            const std::string headerName = g_mime_header_get_name(header);
            if (headerName.size() >= 8 && SameTextAscii(headerName.substr(0, 8), "Content-"))
                continue;
            item.ExtraHeaders.emplace_back(headerName, HeaderText(aPart, headerName.c_str()));
        }
        if (!item.ContentID.empty())
            FBuilder.HtmlFiles.push_back(item);
        if (item.ContentID.empty() || IsAttachmentDisposition(aPart))
            FBuilder.Attachments.push_back(std::move(item));
    }

    TIdMessageBuilderHtmlEx& FBuilder;
    const TIdMessageBuilderHtmlEx::TTempFilenameBuilder& FTemp;
    TEnclosingBoundaries FBoundaries;   // of the multiparts being read
};

} // namespace

void TIdMessageBuilderHtmlEx::InitByIdMessage(GMimeMessage* aMessage, const TTempFilenameBuilder& aTempFilenameBuilder)
{
    EnsureGMimeInitialised();
    Clear();
    ReportMessageId.clear();
    if (!aMessage)
        return;
    TParser(*this, aTempFilenameBuilder).Message(aMessage);
}
