#include "ReadReceipt.h"

#include "AccountMailManager.h"
#include "MailComplex.h"
#include "Business/Account/AccountFolder.h"
#include "Business/Account/AccountManager.h"
#include "Business/Mime/AddressList.h"
#include "Business/Mime/ComposeHeaders.h"
#include "Business/Mime/GMimeLibrary.h"
#include "Business/Mime/MessageIo.h"
#include "Runtime/Errors.h"
#include "Runtime/Finally.h"

#include <gmime/gmime.h>

#include <string_view>

namespace {

// One bare address and nothing else: the header it goes into must not
// gain a second recipient or a display name from it.
bool IsPlainAddress(std::string_view aText)
{
    if (aText.empty() || !IsValidEmail(aText))
        return false;
    for (char c : aText) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u == 0x7F || std::string_view("<>,;:\"()[]\\").find(c) != std::string_view::npos)
            return false;
    }
    return true;
}

TRcResPath* StandardFolder(TRcResPath* aAccountResPath, TAccountFolderType aType)
{
    TAccountFolderManager* folders = TAccountFolderManager::AccountFolderManager();
    TRcResPath* folder = folders ? folders->GetStandardFolderResPath(aAccountResPath, aType) : nullptr;
    if (!folder)
        throw Exception("账户没有标准文件夹：" + aAccountResPath->ToString());
    return folder;
}

void SetDate(GMimeMessage* aMessage, TDateTime aNow)
{
    const TDateTimeParts parts = DecodeDateTime(aNow);
    GDateTime* date = g_date_time_new_local(parts.Year, parts.Month, parts.Day, parts.Hour, parts.Minute,
                                            parts.Second + parts.Millisecond / 1000.0);
    if (!date)
        throw Exception("已读回执的时间无效");
    g_mime_message_set_date(aMessage, date);
    g_date_time_unref(date);
}

// The Message-ID in angle brackets, as References carries it; "" for none.
std::string Bracketed(const std::string& aMessageId)
{
    const std::size_t first = aMessageId.find_first_not_of(" \t<");
    if (first == std::string::npos)
        return {};
    const std::size_t last = aMessageId.find_last_not_of(" \t>");
    std::string id(1, '<');
    id.append(aMessageId, first, last - first + 1).push_back('>');
    return id;
}

// The receipt's page. Every value in it is text, escaped: the angle
// brackets around the address too, which a page taking them for markup
// would swallow along with the address.
std::string ReceiptHtml(const TReadReceiptTexts& aTexts, const std::string& aName, const std::string& aEmail,
                        const std::string& aSubject, TDateTime aNow)
{
    std::string html = "<div>";
    html.append(aTexts.MailTitle).append("\"").append(EscapeHtml(aName)).append("\" &lt;");
    html.append(EscapeHtml(aEmail)).append("&gt;</div><div>").append(aTexts.SourceSubject);
    html.append(EscapeHtml(aSubject)).append("</div><div>").append(aTexts.Memo);
    html.append(FormatDateTimeIso(aNow).substr(0, 19)).append("</div>");
    return html;
}

} // namespace

std::string ReadReceiptAddress(TRcMailComplex* aComplex)
{
    if (!aComplex || !aComplex->MessageHeader())
        return {};
    const auto items =
        ParseAddressList(HeaderText(GMIME_OBJECT(aComplex->MessageHeader()), "Disposition-Notification-To"));
    return !items.empty() && IsPlainAddress(items.front().Address) ? items.front().Address : std::string();
}

TRcResPath* QueueReadReceipt(TRcResPath* aAccountResPath, const TReadReceiptTexts& aTexts,
                             const std::string& aShownSubject, const std::string& aMessageId,
                             const std::string& aReceiptAddress, TDateTime aNow)
{
    if (!IsPlainAddress(aReceiptAddress))
        throw Exception("已读回执的收件地址无效：" + aReceiptAddress);
    TAccountManager* accounts = TAccountManager::AccountManager();
    TRcAccount* account = accounts ? accounts->GetAccount(aAccountResPath) : nullptr;
    if (!account)
        throw Exception("账户不存在：" + (aAccountResPath ? aAccountResPath->ToString() : std::string()));
    TRcRef<TRcAccount> heldAccount = TRcRef<TRcAccount>::Retain(account);
    TRcResPath* drafts = StandardFolder(aAccountResPath, aftDraft);
    TRcResPath* sending = StandardFolder(aAccountResPath, aftSending);
    const std::string name = account->Name();
    const std::string email = account->Email();

    EnsureGMimeInitialised();
    TGObject<GMimeMessage> header(g_mime_message_new(TRUE));
    GMimeObject* object = GMIME_OBJECT(header.get());
    SetAddressHeader(object, "From", {{name, email}});
    SetAddressHeader(object, "Reply-To", {{name, email}});
    SetAddressHeader(object, "To", {{"", aReceiptAddress}});
    SetEncodedHeader(object, "Subject", aTexts.Subject + aShownSubject);
    SetDate(header.get(), aNow);
    if (const std::string references = Bracketed(aMessageId); !references.empty())
        SetEncodedHeader(object, "References", references);
    SetEncodedHeader(object, "X-Has-Attach", "no");
    const std::size_t at = email.rfind('@');
    gchar* id = g_mime_utils_generate_message_id(at == std::string::npos || at + 1 == email.size()
                                                     ? "quillmar.invalid"
                                                     : email.c_str() + at + 1);
    g_mime_message_set_message_id(header.get(), id);
    g_free(id);

    auto complex = MakeRc<TRcMailComplex>();
    TFinally removeFiles([&] { complex->RemoveWorkingFiles(); });
    complex->SetMessageHeader(header.get());
    complex->HtmlBody()->FFileName = TRcMailComplex::GetTempFileName("receipt.html");
    complex->HtmlBody()->WriteHtmlContent(ReceiptHtml(aTexts, name, email, aShownSubject, aNow));
    // Made now for the mail's size; the send job makes it again from the
    // stored parts.
    complex->BuildRaw();

    TAccountMailManager* mails = TAccountMailManager::AccountMailManager();
    auto mail = mails->CreateMail();
    mails->SaveMailComplex(drafts->Append(mail->ResId()), complex.Get());
    mails->UpdateMailByMailComplex(mail.Get(), complex.Get());
    mail->FSeenFlag = true;
    TRcResPath* draft = mails->SaveMail(drafts, mail.Get());
    if (!draft)
        throw Exception("账户数据库没有打开");
    if (!mails->MoveMail(draft, sending, msarsSendToSmtp))
        throw Exception("已读回执不能放入发件箱：" + aShownSubject);
    return sending->Append(mail->ResId());
}
