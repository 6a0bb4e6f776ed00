// Attachments too large to send: each file over 20 MiB is put on the file
// server and replaced in the mail by a box of download links at the end of
// its HTML body.
//
// Every upload is done before the mail is touched: a failure (the server
// unreachable, a refused or unreadable reply, a cancel) raises and leaves
// the mail, its record and its attachments exactly as they were. Links are
// percent-encoded and every text in the box is HTML-escaped; the box is
// spliced in before the body's end tag, the rest of the page kept byte
// for byte.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "FileServerUploader.h"

class TRcResPath;
class TRcMail;
class TRcMailComplex;

// A file larger than this is a big attachment; exactly 20 MiB is not.
inline constexpr int64_t kBigAttachmentSize = 20971520;

// The class of the box's file icon, from the extension of aFileName
// (compared case-sensitively: "Report.PDF" is "normal").
std::string BigAttachmentIconClass(const std::string& aFileName);

// The box's download link for a file the server stored.
std::string BigAttachmentLink(const std::string& aServerAddress, const std::string& aGuId,
                              const std::string& aFileName);

// One list item of the box: links, icon, name and size text.
std::string BigAttachmentListItem(const std::string& aLink, const std::string& aFileName, int64_t aFileSize);

// The box around the list items.
std::string BigAttachmentBox(const std::string& aListItems);

struct TBigAttachmentNotifier {
    // The subject line of the run ("uploading big attachment x").
    std::function<void(const std::string& aText)> Subject;
    TUploadProgress Progress;
};

// Uploads every big attachment of the complex (the list walked from its
// end, so the box lists them in reverse), replaces them by the box, and
// saves the complex and the record (aMail, in the folder of aMailResPath)
// through the account mail manager. False, with nothing touched, when the
// mail has no big attachment.
bool UploadBigAttachment(TRcResPath* aMailResPath, TRcMail* aMail, TRcMailComplex* aComplex,
                         IFileServerUploader& aUploader, const std::string& aServerAddress,
                         const TBigAttachmentNotifier& aNotifier);

// True when the complex holds a big attachment.
bool HasBigAttachment(const TRcMailComplex* aComplex);
