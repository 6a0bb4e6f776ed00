// TRcMailComplex: a mail's content apart from its Mail row — the header,
// the HTML body (with "cid:" references, and a copy pointing at the local
// files for display), the inline files and the attachments — each held as
// a working file in the run folder. The raw message is made from these
// when it is needed (BuildRaw) and is not stored.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "Business/Mime/GMimePtr.h"
#include "Runtime/RcList.h"
#include "Runtime/RcRef.h"

enum TMailComplexFileType { mcftRaw = 0, mcftHeader = 1, mcftHtmlBody = 2, mcftHtmlFile = 3, mcftAttachment = 4 };

class TRcMailComplexFile : public TRcObject {
public:
    explicit TRcMailComplexFile(std::filesystem::path aFileName = {}) : FFileName(std::move(aFileName)) {}
    std::filesystem::path FFileName;
    int64_t Size() const;   // -1 when there is no file
};

class TRcMailComplexRawFile : public TRcMailComplexFile {
public:
    bool FValid = false;
};

class TRcMailComplexHtmlBodyFile : public TRcMailComplexFile {
public:
    std::string ReadHtmlContent() const;   // "" when there is no file
    // UTF-8 with a byte-order mark.
    void WriteHtmlContent(const std::string& aContent) const;
};

class TRcMailComplexHtmlFile : public TRcMailComplexFile {
public:
    std::string FContentId;      // with angle brackets
    std::string FRealFileName;   // the name shown, without folders
};

class TRcMailComplexAttachmentFile : public TRcMailComplexFile {
public:
    std::string FRealFileName;
    bool FNeedTranslate = true;
};

template <class T>
class TRcMailComplexFileListOf : public TRcList<T> {
public:
    int64_t AllSize() const
    {
        int64_t total = 0;
        for (T* file : *this)
            total += std::max<int64_t>(file->Size(), 0);
        return total;
    }
    int IndexOfByFileName(const std::string& aFileName) const;
};
using TRcMailComplexHtmlFileList = TRcMailComplexFileListOf<TRcMailComplexHtmlFile>;
using TRcMailComplexAttachmentFileList = TRcMailComplexFileListOf<TRcMailComplexAttachmentFile>;

class TRcMailComplex : public TRcObject {
public:
    TRcMailComplex();
    static TRcMailComplex* CreateAndAutoRelease() { return RcCreateAndAutoRelease<TRcMailComplex>(); }

    TRcMailComplexFile* MsgHeader() const { return FMsgHeader.Get(); }
    TRcMailComplexHtmlBodyFile* HtmlBody() const { return FHtmlBody.Get(); }
    TRcMailComplexHtmlBodyFile* NoCidHtmlBody() const { return FNoCidHtmlBody.Get(); }
    TRcMailComplexHtmlFileList* HtmlFileList() const { return FHtmlFileList.Get(); }
    TRcMailComplexAttachmentFileList* AttachmentFileList() const { return FAttachmentFileList.Get(); }
    TRcMailComplexRawFile* Raw() const { return FRaw.Get(); }
    GMimeMessage* MessageHeader() const { return FMessageHeader.get(); }

    std::string FReportMessageId;
    bool FExtension = false;   // a promotion mail

    // The trimmed subject of the header.
    std::string Subject() const;

    // From the raw file, every other part; the page for display (the body
    // pointing at the local files) only when asked for: receiving, which
    // stores and forgets, has no use for it.
    void BuildOther(bool aDisplayPage = true);
    // From the other parts, the raw file (a read receipt when
    // FReportMessageId is set).
    void BuildRaw();
    void BuildEmptyWithRawNoVaild();
    void BuildEmptyWithEmptyRaw();

    // The header object written to / read from the header file.
    void MessageHeaderSaveToFile();
    void MessageHeaderLoadFromFile();
    // Sets the header object (a copy of aMessage's headers).
    void SetMessageHeader(GMimeMessage* aMessage);

    // The body with each inline file's "cid:" reference (quoted "…",
    // quoted '…', or bare; any case) replaced by its working path in
    // double quotes.
    static std::string MakeNoCidHtmlString(const std::string& aHtml, const TRcMailComplexHtmlFileList* aFiles);
    // The editor's page (the no-cid body) back into the HTML body with
    // "cid:" references; pictures only from allowed places: this mail's
    // own inline files, and aAllowedSources (the template and letter
    // folders, the files of a quoted or forwarded mail's complex, pictures
    // the user inserted).
    void MakeCidHtmlBodyByNoCidHtmlBody(const std::filesystem::path& aTemplatePath,
                                        const std::vector<std::filesystem::path>& aAllowedSources = {});
    // The page for display (the body pointing at the local files), made
    // now when the complex was built without it.
    std::filesystem::path DisplayPage();
    std::filesystem::path BuildCustomHtmlBody(const std::function<std::string(const std::filesystem::path&)>& aProc);

    // Removes every working file the complex names (when a caller is done
    // with it: they live in the run folder, which otherwise grows with
    // every mail a long run handles).
    void RemoveWorkingFiles() noexcept;

    // A working name in the run folder, with the time stamp.
    static std::filesystem::path GetTempFileName(const std::string& aFileName);

private:
    std::string BaseName(const char* aExtension) const;

    TRcRef<TRcMailComplexFile> FMsgHeader;
    TRcRef<TRcMailComplexHtmlBodyFile> FHtmlBody;
    TRcRef<TRcMailComplexHtmlBodyFile> FNoCidHtmlBody;
    TRcRef<TRcMailComplexHtmlFileList> FHtmlFileList;
    TRcRef<TRcMailComplexAttachmentFileList> FAttachmentFileList;
    TRcRef<TRcMailComplexRawFile> FRaw;
    TGObject<GMimeMessage> FMessageHeader;
};

template <class T>
int TRcMailComplexFileListOf<T>::IndexOfByFileName(const std::string& aFileName) const
{
    for (int i = 0; i < this->Count(); ++i) {
        const std::string name = this->GetItem(i)->FFileName.string();
        if (name.size() == aFileName.size() &&
            std::equal(name.begin(), name.end(), aFileName.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
            }))
            return i;
    }
    return -1;
}
