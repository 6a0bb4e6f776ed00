// The maker's translation service: mail handed in for translation, and the
// list of translated mails each account collects and confirms.
//
//   POST /mailOprAction!sendMailInfo.action
//        multipart, every value percent-encoded UTF-8 sent as 7bit, in this
//        order: email_title, source_language, target_language, client_type,
//        user_email (the account), user_email (the From addresses),
//        to_email, cc_email, bcc_email, nassoneshow, message_id, mail_info
//        (the file server's reply for the uploaded raw message:
//        {"guId", "fileName", "fileSize"})
//        → {"result": 1, "info": "ok"}; a field missing, or a mail_info that
//          names no stored file: {"result": 0, "info": "TavroServerError"}.
//        Unless SetTranslateSubmitted(false), an accepted mail comes back
//        as its translation, waiting for the account (the first
//        user_email): the same message with kFakeTranslationPrefix in front
//        of its Subject value, as a new stored file, queued as {mail_id:
//        message_id, mailurl: its download address, mail_uid: a new id,
//        send_type: 1, sourceurl: "", source_language, translate_id: "",
//        title: email_title}.
//   POST /mailOprAction!receiveMailList.action
//        plain fields user_email, user_password (EncryDes of the POP3
//        password), start_time, end_time (empty)
//        → {"result": "1", "info": [the account's entries not yet
//          confirmed]}; a refused account: {"result": "0", "info": its key};
//          a field missing: {"result": "0", "info": "TavroServerError"}
//   POST /mailOprAction!receiveMailReceipt.action
//        plain fields mail_id, send_type → the first waiting entry with
//        both is confirmed (removed): {"result": "1", "info": ""}; none:
//        {"result": "0", "info": "没有这封邮件：<mail_id>"}
//   mailurl and sourceurl are downloads of the file server
//   (GET /fileServer?do=d&id=ID&realName=NAME).
//
// Tests run the server in-process and use Translation() directly; the
// demo and manual runs have an admin route:
//   POST /__admin/translation
//        {"account": "a@example.com",
//         "entries": [{"mail_id", "mailurl", "mail_uid", "send_type",
//                      "sourceurl", "source_language", "translate_id",
//                      "title", and optionally "mail" and "source": raw
//                      messages, stored, whose download addresses become
//                      mailurl and sourceurl; a missing mail_uid is made}],
//         "refuse": "KEY" (refuses the account with that key; "" accepts
//                   it again),
//         "translateSubmitted": true or false}   every member optional
//        → {"waiting": [the account's entries]}
//   GET  /__admin/translation?account=a@example.com  → the same
// Accounts are compared without regard to ASCII case.
#pragma once

#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

class TFakeMakerServer;

// Put in front of the Subject value of a submitted mail's translation.
inline constexpr const char* kFakeTranslationPrefix = "[Translated] ";

// One entry of an account's list, as the service sends it.
struct TFakeTranslationEntry {
    std::string MailId;         // "mail_id"
    std::string MailUrl;        // "mailurl"
    std::string MailUid;        // "mail_uid"
    int SendType = 0;           // "send_type"
    std::string SourceUrl;      // "sourceurl"
    int SourceLanguage = 0;     // "source_language"
    std::string TranslateId;    // "translate_id"
    std::string Title;          // "title"

    nlohmann::json ToJson() const;
};

class TFakeTranslationService {
public:
    explicit TFakeTranslationService(TFakeMakerServer& aServer) : FServer(aServer) {}

    // Adds an entry to aAccount's list as it is (odd ones included).
    void Queue(const std::string& aAccount, TFakeTranslationEntry aEntry);
    // aAccount's entries not yet confirmed, in order.
    std::vector<TFakeTranslationEntry> Waiting(const std::string& aAccount) const;
    // Puts a raw message into the file store; its download address.
    std::string StoreMail(const std::string& aMessage, const std::string& aName = "mail.eml");
    // Refuses aAccount's list with the message key aInfoKey; "" accepts
    // it again.
    void Refuse(const std::string& aAccount, const std::string& aInfoKey);
    // Whether an accepted submission comes back as a translation (default).
    void SetTranslateSubmitted(bool aOn);
    // Empties every list, accepts every account, translates submissions.
    void Reset();

    // The route handlers' work (TranslationRoutes.cpp).
    nlohmann::json Submit(const std::vector<std::pair<std::string, std::string>>& aFields);
    nlohmann::json List(const std::string& aAccount) const;
    nlohmann::json Confirm(const std::string& aMailId, int aSendType);

private:
    static std::string Key(const std::string& aAccount);

    TFakeMakerServer& FServer;
    mutable std::mutex FMutex;
    std::map<std::string, std::vector<TFakeTranslationEntry>> FWaiting;   // by Key(account)
    std::map<std::string, std::string> FRefused;                          // by Key(account): info key
    bool FTranslateSubmitted = true;
};

// The message with aPrefix in front of its Subject value (continuation
// lines and encoded words kept as they are); a message without a Subject
// gets one. Line ends follow the message's own.
std::string FakeMessageWithSubjectPrefix(const std::string& aMessage, const std::string& aPrefix);
