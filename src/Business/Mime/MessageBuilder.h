// TIdMessageBuilderHtmlEx: the one builder of every outgoing mail, and the
// one place that takes any message apart again into HTML, plain text,
// inline files and attachments.
//
// Outgoing trees (the plain part is the viewer notice):
//   HTML only            alternative[plain, html]
//   + inline pictures    alternative[plain, related[html, images]]
//   + attachments        mixed[alternative[plain, html|related], attachments]
//   promotion            alternative[plain, alternative[notice page, payload, images]]
//   read receipt         report[alternative[plain, html], disposition-notification]
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

typedef struct _GMimeMessage GMimeMessage;

inline constexpr const char* kNeedTranslateHeader = "X-Norvel-NeedTranslate";
inline constexpr const char* kHasAttachHeader = "X-Has-Attach";

struct TIdMessageBuilderAttachment {
    std::string ContentID;         // without angle brackets
    std::string ContentTransfer;   // empty: base64
    std::string ContentType;       // empty: from the file's extension
    std::shared_ptr<const std::string> Data;   // when set, wins over the file
    std::filesystem::path FileName;
    std::string Name;              // the name the receiver sees
    std::vector<std::pair<std::string, std::string>> ExtraHeaders;

    // An attachment without the header is to be translated; with it, only
    // the exact text "true" means so.
    bool NeedTranslate() const;
    void SetNeedTranslate(bool aValue);
    int64_t Size() const;
};

class TIdMessageBuilderHtmlEx {
public:
    // Where an extracted part goes: the full path of a fresh file whose
    // name keeps aBaseFileName. Without one, parts are kept in memory.
    using TTempFilenameBuilder = std::function<std::filesystem::path(const std::string& aBaseFileName)>;

    std::string PlainText;
    std::string PlainTextCharSet;
    std::string PlainTextContentTransfer;
    std::string Html;   // always UTF-8 here
    std::string HtmlCharSet;
    std::string HtmlContentTransfer;
    std::vector<TIdMessageBuilderAttachment> Attachments;
    std::vector<TIdMessageBuilderAttachment> HtmlFiles;
    std::string HtmlViewerNeededMsg = "An HTML viewer is required to see this message";
    std::string ReportMessageId;   // a read receipt answers this Message-ID
    std::string PromotHtml;        // what other clients show for a promotion

    void Clear();
    int64_t AttachmentsSize() const;
    int64_t HtmlFilesSize() const;

    // Replaces the body of aMessage by the tree of this builder; its other
    // headers stay. Attachment files are opened now and streamed when the
    // message is written; a missing file is an error here.
    void FillMessage(GMimeMessage* aMessage) const;

    // Clears the builder, then takes aMessage apart. Nothing is lost: a
    // part no handler uses is kept as an attachment.
    void InitByIdMessage(GMimeMessage* aMessage, const TTempFilenameBuilder& aTempFilenameBuilder = {});
};

// The MIME type for a file name's extension; application/octet-stream for
// anything unknown.
std::string MimeTypeOfFileName(const std::filesystem::path& aFileName);
