#include "AccountMailManager.h"

#include "AccountMailTarget.h"
#include "MailComplex.h"
#include "MailConversationHooks.h"
#include "Business/Data/SqliteDatabase.h"
#include "Business/Mime/ComposeHeaders.h"
#include "Business/Mime/MessageIo.h"
#include "Runtime/Errors.h"
#include "Runtime/FileSync.h"

#include <gmime/gmime.h>

using namespace mailstore;

namespace {

std::string Lower(std::string aText)
{
    for (char& c : aText)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return aText;
}

// The domain the Message-IDs name: the sender's, else a neutral one.
std::string MessageIdDomain(GMimeMessage* aHeader)
{
    for (const TAddressItem& item : ParseAddressList(HeaderText(GMIME_OBJECT(aHeader), "From"))) {
        const std::size_t at = item.Address.rfind('@');
        if (at != std::string::npos && at + 1 < item.Address.size())
            return item.Address.substr(at + 1);
    }
    return "quillmar.invalid";
}

} // namespace

void TAccountMailManager::QueueMassMailing(TRcResPath* aDraftResPath, TRcResPathList* aQueued,
                                           TMailSendReceiveState aState)
{
    if (!IsMailPath(aDraftResPath))
        throw EInvalidPointer();
    const auto draftFolder = MailFolderOf(aDraftResPath->ParentPath());
    const auto sendingFolder = draftFolder ? MailFolderOf(StandardFolder(aDraftResPath, aftSending)) : std::nullopt;
    if (!draftFolder || !sendingFolder)
        throw Exception("账户数据库没有打开");
    TRcMail* draft = GetMail(aDraftResPath);
    TRcMailComplex* complex = LoadMailComplex(aDraftResPath);
    if (!draft || !complex)
        throw Exception("邮件的文件不存在：" + aDraftResPath->ToString());
    TRcRef<TRcMailComplex> heldComplex = TRcRef<TRcMailComplex>::Retain(complex);
    TRcRef<TRcMail> heldDraft = TRcRef<TRcMail>::Retain(draft);
    GMimeMessage* header = complex->MessageHeader();

    std::vector<TAddressItem> recipients;
    std::set<std::string> seen;
    for (const char* field : {"To", "Cc", "Bcc"})
        for (TAddressItem& item : ParseAddressList(HeaderText(GMIME_OBJECT(header), field)))
            if (!item.Address.empty() && seen.insert(Lower(item.Address)).second)
                recipients.push_back(std::move(item));
    if (recipients.empty())
        throw Exception("群发邮件没有收件人");
    const std::string domain = MessageIdDomain(header);

    // Every copy's files first, outside any transaction: its own header
    // file, the draft's other parts shared through links.
    std::vector<TReceivedMail> copies;
    std::vector<std::filesystem::path> headerFiles;
    const auto removeHeaderFiles = [&]() noexcept {
        std::error_code ec;
        for (const auto& file : headerFiles)
            std::filesystem::remove(file, ec);
    };
    try {
        for (const TAddressItem& recipient : recipients) {
            SetAddressHeader(GMIME_OBJECT(header), "To", {recipient});
            g_mime_object_remove_header(GMIME_OBJECT(header), "Cc");
            g_mime_object_remove_header(GMIME_OBJECT(header), "Bcc");
            gchar* id = g_mime_utils_generate_message_id(domain.c_str());
            g_mime_message_set_message_id(header, id);
            g_free(id);
            // A header file of its own: the stored copies may share the
            // other parts, never a file that changes.
            complex->MsgHeader()->FFileName = TRcMailComplex::GetTempFileName("mass.msgh");
            headerFiles.push_back(complex->MsgHeader()->FFileName);

            TRcRef<TRcMail> copy = CreateMail();
            UpdateMailByMailComplex(copy.Get(), complex);
            copy->FSourceLanguage = draft->FSourceLanguage;
            copy->FTargetLanguage = draft->FTargetLanguage;
            copy->FSourceType = draft->FSourceType;
            copy->FQunFaFlag = false;
            copy->FSendReceiveState = aState;
            copy->FDate = draft->FDate;
            TReceivedMail entry{copy, TStoredComplexFiles(sendingFolder->Account.MailsPath(), *complex,
                                                          TStoredComplexFiles::TMode::LinkAndSyncLater),
                                {}};
            copies.push_back(std::move(entry));
        }
        for (TReceivedMail& entry : copies)
            entry.Files.Sync();
        SyncFolder(sendingFolder->Account.MailsPath());

        TSQLiteDatabase& db = *sendingFolder->Account;
        const std::string draftId = aDraftResPath->Last()->Id();
        TTransaction::Run(db, [&] {
            // The draft must still be where it was: sent or moved meanwhile,
            // it is not queued a second time.
            if (TSqliteDbMail::FolderCodeOfId(db, draftId) != draftFolder->Code)
                throw EMailChangedMeanwhile(draft->ToString());
            for (TReceivedMail& entry : copies) {
                entry.Files.WriteRows(db, entry.Mail->ResId()->Id());
                TSqliteDbMail::Save(db, *entry.Mail, sendingFolder->Code);
            }
            TSqliteDbMail::SetFolderCode(db, draftId, kRemovedCode);
            TSqliteDbMail::MarkComplexDeleted(db, draftId);
        });
    } catch (...) {
        removeHeaderFiles();
        complex->RemoveWorkingFiles();
        throw;   // the copies' files go with their entries
    }
    removeHeaderFiles();   // the stored copies keep their own links
    complex->RemoveWorkingFiles();
    TRcResPath* sendingPath = StandardFolder(aDraftResPath, aftSending);
    for (TReceivedMail& entry : copies) {
        entry.Files.Keep();
        if (aQueued)
            aQueued->Add(sendingPath->Append(entry.Mail->ResId()));
    }
    Swallowed("DeleteMailComplex", [&] {
        TSqliteDbMail::DeleteMailComplex(*sendingFolder->Account, sendingFolder->Account.MailsPath());
    });
    for (TReceivedMail& entry : copies)
        MailKeptForConversations(sendingPath->Append(entry.Mail->ResId()), entry.Mail.Get());
    MailGoneForConversations(aDraftResPath);
    FObservable->NotifyChanged(aDraftResPath->ParentPath());
    FObservable->NotifyChanged(sendingPath);
}
