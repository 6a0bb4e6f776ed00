#include "PromotionMailing.h"

#include "ProductImageFiles.h"
#include "PromoteTemplateMailBuilder.h"
#include "PromoteTemplateManager.h"
#include "Business/Account/AccountFolder.h"
#include "Business/Account/AccountManager.h"
#include "Business/AccountMail/AccountMailManager.h"
#include "Business/AccountMail/MailRaw.h"
#include "Business/Data/ConfigManager.h"
#include "Business/Data/TempFileManager.h"
#include "Business/Mime/ComposeHeaders.h"
#include "Business/Mime/MessageIo.h"
#include "Business/Server/ServerDriver.h"
#include "Runtime/AsciiText.h"
#include "Runtime/Errors.h"

#include <fstream>

namespace {

std::string Msg(const char* aKey)
{
    TConfigManager* config = TConfigManager::ConfigManager();
    return config ? config->GetMsg(aKey) : std::string();
}

void RemoveQuietly(const std::filesystem::path& aFile) noexcept
{
    std::error_code ec;
    if (!aFile.empty())
        std::filesystem::remove(aFile, ec);
}

} // namespace

TPromotionMailing::TPromotionMailing(TRcResPath* aTemplatePath)
    : FTemplatePath(TRcRef<TRcResPath>::Retain(aTemplatePath))
{
    TPromoteTemplateManager* manager = TPromoteTemplateManager::PromoteTemplateManager();
    TRcPromoteTemplate* promotion = manager ? manager->GetPromoteTemplate(aTemplatePath) : nullptr;
    FName = promotion ? promotion->FName : std::string();
    FShownName = promotion ? promotion->FName : std::string(kEmptyTemplate);
    FHtml = PromoteTemplateMailHtml(aTemplatePath);
}

TPromotionMailing::~TPromotionMailing()
{
    RemoveQuietly(FMessageFile);
}

TPromotionMailing::TAdded TPromotionMailing::AddRecipient(const std::string& aName, const std::string& aAddress)
{
    const std::string address = Trimmed(aAddress);
    for (const TAddressItem& present : FRecipients)
        if (SameTextAscii(present.Address, address))
            return TAdded::kPresent;
    FRecipients.push_back({aName.empty() ? address : aName, address});
    RemoveQuietly(FMessageFile);
    FMessageFile.clear();
    return TAdded::kAdded;
}

TPromotionMailing::TAdded TPromotionMailing::AddTypedRecipient(const std::string& aText)
{
    const std::string text = Trimmed(aText);
    if (!IsValidEmail(text))
        return TAdded::kNotAnAddress;
    const std::size_t at = text.find('@');
    return AddRecipient(at == std::string::npos || at == 0 ? text : text.substr(0, at), text);
}

void TPromotionMailing::Collect()
{
    TRcAccount* sender = TAccountManager::AccountManager()->GetAccount(FTemplatePath.Get());
    if (!sender)
        throw Exception("推广模板的账户不存在");

    // The page goes in as the mail's HTML; the catalogue's picture files
    // it refers to become inline parts, and nothing else on the disk.
    TTempFileManager* temp = TTempFileManager::TempFileManager();
    const std::filesystem::path page = temp->MakeTempFileName("promotion_index.html", true);
    std::ofstream(page, std::ios::binary) << FHtml;
    auto raw = MakeRc<TRcMailRaw>();
    raw->SetIndexHtmlFileName(page);
    raw->IndexHtmlFileNameToBuilder(page.parent_path(), {ProductImageFolder()});
    RemoveQuietly(page);

    TGObject<GMimeMessage> message(g_mime_message_new(TRUE));
    GMimeObject* object = GMIME_OBJECT(message.get());
    std::vector<TAddressItem> from{{sender->Name(), sender->Email()}};
    NormalizeAddressList(from);
    std::vector<TAddressItem> to = FRecipients;
    NormalizeAddressList(to);
    SetAddressHeader(object, "From", from);
    SetAddressHeader(object, "Reply-To", from);
    if (!to.empty())
        SetAddressHeader(object, "To", to);
    SetEncodedHeader(object, "Subject", Trimmed(FName));
    SetEncodedHeader(object, "X-Has-Attach", "no");
    GDateTime* now = g_date_time_new_now_local();
    g_mime_message_set_date(message.get(), now);
    g_date_time_unref(now);
    const std::string address = sender->Email();
    const std::size_t at = address.rfind('@');
    gchar* id = g_mime_utils_generate_message_id(at == std::string::npos ? "quillmar.invalid" : address.c_str() + at + 1);
    g_mime_message_set_message_id(message.get(), id);
    g_free(id);
    raw->Builder().FillMessage(message.get());

    RemoveQuietly(FMessageFile);
    FMessageFile = temp->MakeTempFileName("promotion.eml", true);
    WriteMessageToFile(message.get(), FMessageFile);
}

TPromotionCheck TPromotionMailing::Check()
{
    TPromotionCheck check;
    if (FRecipients.empty()) {
        check.Kind = TPromotionCheck::kRefused;
        check.Key = "SendMailNoMailAddress";
        check.Text = Msg("SendMailNoMailAddress");
        return check;
    }
    for (const TAddressItem& recipient : FRecipients)
        if (recipient.Address.find('@') == std::string::npos) {
            check.Kind = TPromotionCheck::kRefused;
            check.Key = "WriteMailEffectiveMailAddress";
            check.Text = recipient.Address + Msg("WriteMailEffectiveMailAddress");
            check.Caption = Msg("MsgTitleError");
            return check;
        }
    Collect();
    TConfigManager* config = TConfigManager::ConfigManager();
    const int limit = config ? config->NorvelMailSizeLimit() : 0;
    std::error_code ec;
    const auto size = std::filesystem::file_size(FMessageFile, ec);
    if (limit > 0 && !ec && size > static_cast<std::uintmax_t>(limit) * 1048576u) {
        check.Kind = TPromotionCheck::kQuestion;
        check.Key = "MailSizeTooLargeMsg";
        std::string text = Msg("MailSizeTooLargeMsg");
        text.append("\r\n\r\n").append(Msg("MailSizeTooLargeOkCancelMsg"));
        check.Text = FormatText(text, {limit});
    }
    return check;
}

TRcResPathList* TPromotionMailing::Send()
{
    // Nobody to send to: no draft is left behind for a mailing that
    // cannot be split.
    if (FRecipients.empty()) {
        const std::string text = Msg("SendMailNoMailAddress");
        throw Exception(text.empty() ? std::string("SendMailNoMailAddress") : text);
    }
    if (FMessageFile.empty())
        Collect();
    TAccountMailManager* mails = TAccountMailManager::AccountMailManager();
    TRcResPath* drafts =
        TAccountFolderManager::AccountFolderManager()->GetStandardFolderResPath(FTemplatePath.Get(), aftDraft);
    TRcResPath* draft = mails->ImportMailFromFile(drafts, FMessageFile);
    if (!draft)
        throw Exception("推广邮件不能保存");
    // The split is one transaction: every copy queued and the draft gone,
    // or nothing queued and the draft kept.
    auto* queued = TRcResPathList::CreateAndAutoRelease();
    mails->QueueMassMailing(draft, queued);
    RemoveQuietly(FMessageFile);
    FMessageFile.clear();
    if (TServerDriver* driver = TServerDriver::ServerDriver())
        driver->PrioritySend(AccountResPathOf(FTemplatePath.Get()));
    return queued;
}
