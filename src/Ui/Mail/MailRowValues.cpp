#include "MailRowValues.h"

#include "Business/AccountMail/AccountMailManager.h"
#include "Business/Mime/AddressList.h"

std::string ShownAddress(const std::string& aList, std::string* aTip)
{
    const auto items = ParseAddressList(aList);
    if (aTip)
        *aTip = items.empty() ? std::string() : items.front().Address;
    if (items.empty())
        return aList;
    const TAddressItem& first = items.front();
    if (!first.Name.empty())
        return first.Name;
    const std::size_t at = first.Address.find('@');
    if (at != std::string::npos && at > 0)
        return first.Address.substr(0, at);
    return first.Address.empty() ? aList : first.Address;
}

std::string LanguageImage(int aLanguage)
{
    switch (aLanguage) {
    case 2: return "English_language";
    case 3: return "Japanese_langguage";
    case 4: return "French_language";
    case 6: return "Russian_language";
    case 11: return "Spanish_language";
    case 13: return "Arabic_language";
    default: return {};
    }
}

TMailRowValues LoadMailRowValues(TRcResPath* aMailResPath)
{
    TMailRowValues values;
    TAccountMailManager* mails = TAccountMailManager::AccountMailManager();
    TRcMail* mail = mails && aMailResPath ? mails->GetMail(aMailResPath) : nullptr;
    if (!mail)
        return values;
    values.Loaded = true;
    values.From = ShownAddress(mail->FFrom, &values.FromTip);
    values.To = ShownAddress(mail->FTo, &values.ToTip);
    values.Subject = mail->FSubject;
    values.ReadedFlag = mail->FSeenFlag;
    values.HasAttachmentFlag = mail->FHasAttachmentFlag;
    values.SourceLanguage = mail->FSourceLanguage;
    values.TargetLanguage = mail->FTargetLanguage;
    values.NorvelUid = mail->FNorvelUid;
    values.Date = mail->FDate;
    values.ReTranslation = mail->FReTranslation;
    values.SecretaryFlag = mail->FSecretaryFlag;
    values.SecretaryMemo = mail->FSecretaryMemo;
    values.InFlight = mail->FSendReceiveState == msarsSendInFlight;
    return values;
}
