// Sending a promotion: the page of a promotion template as the body of a
// new mail from the template's account, one copy per recipient, queued for
// SMTP and the account's send scheduled at once. What the promotion
// sending screen drives: it shows the template name, adds the recipients
// (typed or picked from the address book), asks Check and shows what it
// says, then calls Send. No user interface here: checks come back as the
// message key and the text to show.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "Business/Mime/AddressList.h"
#include "Business/Resource/ResPath.h"
#include "Runtime/RcRef.h"

struct TPromotionCheck {
    enum TKind {
        kOk,         // nothing to say: send
        kRefused,    // shown, and nothing is sent
        kQuestion,   // OK/Cancel: send only on OK
    };
    TKind Kind = kOk;
    std::string Key;       // the message key ("" when Ok)
    std::string Text;      // the text to show
    std::string Caption;   // empty: the screen's usual caption
};

class TPromotionMailing {
public:
    static constexpr const char* kEmptyTemplate = "模板为空";
    static constexpr const char* kBadAddress = "请输入正确的邮箱地址！";
    static constexpr const char* kCaption = "提示";

    enum class TAdded { kAdded, kPresent, kNotAnAddress };

    // The template of the path, its page generated; a path naming no
    // template gives an empty page (and the name "模板为空").
    explicit TPromotionMailing(TRcResPath* aTemplatePath);
    ~TPromotionMailing();
    TPromotionMailing(const TPromotionMailing&) = delete;
    TPromotionMailing& operator=(const TPromotionMailing&) = delete;

    const std::string& ShownName() const { return FShownName; }
    const std::string& Html() const { return FHtml; }

    // A picked contact; one whose address is present already (letter case
    // aside) is not added again.
    TAdded AddRecipient(const std::string& aName, const std::string& aAddress);
    // A typed address: must pass the mail address check; its name is what
    // comes before "@".
    TAdded AddTypedRecipient(const std::string& aText);
    const std::vector<TAddressItem>& Recipients() const { return FRecipients; }

    // Builds the mail as it would be sent and checks it, in order: someone
    // to send to, every recipient an address, the size within the
    // configured limit (a question).
    TPromotionCheck Check();
    // Queues one copy per recipient (all or none, in one transaction), and
    // schedules the account's send; the copies' paths. Builds the mail
    // when Check has not.
    TRcResPathList* Send();   // autoreleased

private:
    void Collect();

    TRcRef<TRcResPath> FTemplatePath;
    std::string FName;        // the template's name, "" without template
    std::string FShownName;
    std::string FHtml;
    std::vector<TAddressItem> FRecipients;
    std::filesystem::path FMessageFile;   // the collected mail, in the run folder
};
