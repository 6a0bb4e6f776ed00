#include "ComposeHeaders.h"

#include "GMimeLibrary.h"
#include "HeaderCoding.h"
#include "Runtime/IniFile.h"
#include "Runtime/AsciiText.h"

#include <algorithm>
#include <cctype>
#include <gmime/gmime.h>

namespace {

std::string Key(const std::string& aAddress)
{
    return AsciiLower(Trimmed(aAddress, " \t"));
}

void AddMissing(std::vector<TAddressItem>& aList, const std::vector<TAddressItem>& aFrom)
{
    for (const auto& item : aFrom) {
        const bool present = std::any_of(aList.begin(), aList.end(),
                                         [&](const TAddressItem& a) { return Key(a.Address) == Key(item.Address); });
        if (!present)
            aList.push_back(item);
    }
}

void SetRaw(GMimeObject* aObject, const char* aName, const std::string& aRaw)
{
    EnsureGMimeInitialised();
    g_mime_object_set_header(aObject, aName, "", nullptr);
    GMimeHeader* header = g_mime_header_list_get_header(g_mime_object_get_header_list(aObject), aName);
    const std::string raw = " " + aRaw + "\n";
    g_mime_header_set_raw_value(header, raw.c_str());
}

} // namespace

void SetEncodedHeader(GMimeObject* aObject, const char* aName, const std::string& aText)
{
    SetRaw(aObject, aName, EncodeHeaderText(aText));
}

void SetAddressHeader(GMimeObject* aObject, const char* aName, const std::vector<TAddressItem>& aItems)
{
    SetRaw(aObject, aName, EncodeAddressList(aItems));
}

std::string ReplySubject(const std::string& aSourceSubject)
{
    return "Re: " + aSourceSubject;
}

std::string ForwardSubject(const std::string& aSourceSubject)
{
    return "Fw: " + aSourceSubject;
}

std::vector<TAddressItem> ReplyRecipients(const std::vector<TAddressItem>& aReplyTo,
                                          const std::vector<TAddressItem>& aFrom,
                                          const std::vector<TAddressItem>& aTo,
                                          const std::vector<TAddressItem>& aCc, bool aReplyAll,
                                          const std::string& aOwnAddress)
{
    std::vector<TAddressItem> recipients;
    AddMissing(recipients, aReplyTo.empty() ? aFrom : aReplyTo);
    if (aReplyAll) {
        AddMissing(recipients, aTo);
        AddMissing(recipients, aCc);
    }
    const std::string own = Key(aOwnAddress);
    for (auto it = recipients.begin(); recipients.size() > 1 && it != recipients.end();)
        it = Key(it->Address) == own ? recipients.erase(it) : it + 1;
    return recipients;
}

std::string ReadReceiptReport(const std::string& aFromAddress, const std::string& aOriginalMessageId)
{
    return "Reporting-UA: wmsvr\r\nFinal-Recipient:rfc822;" + SanitizeHeaderText(aFromAddress) +
           "\r\nOriginal-Message-ID:" + SanitizeHeaderText(aOriginalMessageId) +
           "\r\nDisposition:manual-action/MDN-sent-manually;displayed\r\n";
}

std::string EscapeHtml(const std::string& aText)
{
    std::string out;
    out.reserve(aText.size());
    for (char c : aText) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}
