#include "BigAttachmentSendStep.h"

#include "BigAttachment.h"
#include "Business/AccountMail/AccountMailManager.h"
#include "Business/AccountMail/MailComplex.h"
#include "Business/Data/ConfigManager.h"
#include "Runtime/Errors.h"
#include "Runtime/RunableCancelList.h"

namespace {

std::string ConfiguredAddress()
{
    const TConfigManager* config = TConfigManager::ConfigManager();
    return config ? config->NorvelFileManagerServerUrl() : std::string();
}

std::string NoFileServerText(const TRcMailComplex* aComplex)
{
    std::string names;
    for (TRcMailComplexAttachmentFile* file : *aComplex->AttachmentFileList())
        if (file->Size() > kBigAttachmentSize)
            names.append(names.empty() ? "" : ", ").append(file->FRealFileName);
    const TConfigManager* config = TConfigManager::ConfigManager();
    return config ? config->FormatMsg("BigAttachmentNoFileServer", {names}) : "BigAttachmentNoFileServer " + names;
}

} // namespace

TRcSendMessageToSmtpRunable::TBigAttachmentStep BigAttachmentSendStep(std::function<std::string()> aServerAddress,
                                                                      THttpOptions aOptions)
{
    return [aServerAddress = std::move(aServerAddress), aOptions = std::move(aOptions)](
               TRcResPath* aMailResPath, TRcMailComplex* aComplex,
               const TRcSendMessageToSmtpRunable::TBigAttachmentRun& aRun) {
        if (!HasBigAttachment(aComplex))
            return false;
        const std::string address = aServerAddress ? aServerAddress() : ConfiguredAddress();
        if (address.empty()) {
            if (aRun.Status)
                aRun.Status(NoFileServerText(aComplex));
            return false;
        }
        TAccountMailManager* mails = TAccountMailManager::AccountMailManager();
        TRcMail* mail = mails ? mails->GetMail(aMailResPath) : nullptr;
        if (!mail)
            throw Exception("邮件不存在：" + aMailResPath->ToString());
        TRcRef<TRcMail> heldMail = TRcRef<TRcMail>::Retain(mail);
        auto uploader = MakeRc<TRcFileServerUploader>(aOptions);
        const TRunableCancelRegistration registration(aRun.Cancels, uploader.Get(),
                                                      aRun.NeedCancel && aRun.NeedCancel());
        return UploadBigAttachment(aMailResPath, mail, aComplex, *uploader, address, {aRun.Subject, aRun.Progress});
    };
}
