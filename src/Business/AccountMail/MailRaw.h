// TRcMailRaw: the work-bench on which a message changes form. It holds one
// message three ways: its raw bytes, the parsed message, and the builder
// (plain text, HTML, inline files, attachments); its operations convert
// between them and make the HTML page the program shows.
//
// Raw bytes over 1 MiB, and raw messages read from a file, stay in a file
// in the run folder, never whole in memory.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "Business/Mime/GMimePtr.h"
#include "Business/Mime/MessageBuilder.h"
#include "Runtime/RcObject.h"

class TRcMailRaw : public TRcObject {
public:
    static constexpr std::size_t kInMemoryLimit = 1024 * 1024;

    TRcMailRaw();
    static TRcMailRaw* CreateAndAutoRelease() { return RcCreateAndAutoRelease<TRcMailRaw>(); }

    // The raw message. Loading from a file copies it into the run folder.
    void RawStreamLoadFromFile(const std::filesystem::path& aFileName);
    // The raw message read where it is, neither copied nor ever removed:
    // the caller keeps the file as it is while this object uses it.
    void RawStreamUseFile(const std::filesystem::path& aFileName);
    void RawStreamLoadFromString(std::string_view aBytes);
    void RawStreamSaveToFile(const std::filesystem::path& aFileName) const;
    std::size_t RawSize() const;
    // The raw bytes, whole: for small messages and tests.
    std::string RawBytes() const;

    void RawStreamToMessage();
    void RawStreamToMessageAndBuilder();
    // Attachments and inline files become files in the run folder.
    void MessageToBuilder();
    // The viewer notice as plain text, the builder into the message, and
    // every attachment part named by its user's name.
    void BuilderToMessage();
    void MessageAndBuilderToRawStream();
    void MessageToRawStream();

    // The page to show: the HTML with "cid:" references of existing inline
    // files pointing at those files (the whole reference is matched, so
    // "cid:a" never touches "cid:ab"); or the plain text as <div> lines.
    std::string BuilderToIndexHtmlString() const;
    // The same, keeping the "cid:" references.
    std::string BuilderToIndexHtmlStringWithCid() const;
    // The page written (UTF-8 with a byte-order mark) to a temporary file
    // named from the subject + "_index.html", or "index.html".
    std::filesystem::path BuilderToIndexHtmlFileName();
    std::filesystem::path CustomBuilderIndexHtml(const std::function<void(std::string&)>& aProc);
    const std::filesystem::path& IndexHtmlFileName() const { return FIndexHtmlFileName; }

    // Turns the edited page (IndexHtmlFileName) back into the builder's
    // HTML: every picture it shows from a local file (img src, any
    // background) becomes a "qmc_" inline file and its reference
    // "cid:qmc_…". Relative references resolve against aLocalPathBase.
    // Only files under one of aAllowedSources (the template and letter
    // folders) or equal to one of them (the pictures extracted from the
    // mails this composition loaded, and those the user inserted) are
    // taken: a file:// in a quoted mail never pulls a local file, nor
    // another mail's part from the run folder, into the message. The rest
    // of the page stays as written.
    void IndexHtmlFileNameToBuilder(const std::filesystem::path& aLocalPathBase,
                                    const std::vector<std::filesystem::path>& aAllowedSources = {});
    void SetIndexHtmlFileName(const std::filesystem::path& aFileName) { FIndexHtmlFileName = aFileName; }

    // The attachment's name, else its file's name, else its Content-ID.
    std::string GetBuilderAttachmentName(std::size_t aIndex) const;
    bool GetBuilderAttachmentNeedTranslate(std::size_t aIndex) const;
    void SetBuilderAttachmentNeedTranslate(std::size_t aIndex, bool aNeedTranslate);
    // Replaces aFileName.
    void BuilderAttachmentSaveToFile(std::size_t aIndex, const std::filesystem::path& aFileName) const;
    // Compared ignoring ASCII case; -1 when none.
    int IndexOfBuilderAttachmentByFileName(const std::string& aFileName) const;

    void Clear();
    void ClearRawStream();
    void ClearMessage();
    void ClearBuilder();

    GMimeMessage* Message() const { return FMsg.get(); }
    void SetMessage(TGObject<GMimeMessage> aMessage) { FMsg = std::move(aMessage); }
    TIdMessageBuilderHtmlEx& Builder() { return FBuilder; }
    const TIdMessageBuilderHtmlEx& Builder() const { return FBuilder; }

protected:
    ~TRcMailRaw() override;

private:
    std::string Subject() const;

    std::string FRawMemory;                 // the raw bytes when small
    std::filesystem::path FRawFile;         // or the run-folder file holding them
    bool FRawFileOwned = true;              // removed with the stream
    TGObject<GMimeMessage> FMsg;
    TIdMessageBuilderHtmlEx FBuilder;
    std::filesystem::path FIndexHtmlFileName;
};

// Plain text as the page shows it: one "<div>line</div>" per line, with
// &, <, > and " as entities and a blank after a blank as &nbsp;.
std::string PlainTextToHtmlDivs(std::string_view aText);
