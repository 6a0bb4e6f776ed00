// A mail queued for sending as the write-mail screen leaves it: an HTML
// body and attachments made from the given files, in the given folder and
// send/receive state.
#pragma once

#include "Business/AccountMail/AccountMailManager.h"
#include "Business/AccountMail/MailComplex.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

inline TRcResPath* QueueWithAttachments(TRcResPath* aFolder, const std::filesystem::path& aScratch,
                                        const std::vector<std::pair<std::string, std::filesystem::path>>& aAttachments,
                                        TMailSendReceiveState aState = msarsSendToSmtp)
{
    TAccountMailManager* mails = TAccountMailManager::AccountMailManager();
    const std::filesystem::path eml = aScratch / "with-attachments.eml";
    std::ofstream(eml, std::ios::binary)
        << "From: Sender <sender@example.com>\r\nTo: buyer@example.com\r\nSubject: big files\r\n"
           "MIME-Version: 1.0\r\nContent-Type: text/html; charset=utf-8\r\n\r\n"
           "<html><body><p>The catalogue.</p></body></html>\r\n";
    TRcResPath* path = mails->ImportMailFromFile(aFolder, eml);
    TRcMailComplex* complex = mails->LoadMailComplex(path);
    for (const auto& [name, file] : aAttachments) {
        auto attachment = MakeRc<TRcMailComplexAttachmentFile>();
        attachment->FFileName = file;
        attachment->FRealFileName = name;
        complex->AttachmentFileList()->Add(attachment.Get());
    }
    complex->BuildRaw();
    TRcMail* mail = mails->GetMail(path);
    mails->UpdateMailByMailComplex(mail, complex);
    mails->SaveMailComplex(path, complex);
    mails->SaveMail(aFolder, mail);
    complex->RemoveWorkingFiles();
    mails->SetMailSendReceiveState(path, aState);
    return path;
}
