// The types of stored objects, as resource identifiers carry them.
#pragma once

#include <cstdint>
#include <string_view>

enum TResType : uint8_t {
    rtAccount = 0,
    rtAccountMailFolder = 1,
    rtAccountMail = 2,
    rtAccountAddressBookFolder = 3,
    rtAccountAddressBookGroup = 4,
    rtAccountAddressBook = 5,
    rtTemplateFolder = 6,
    rtTemplate = 7,
    rtLetterFolder = 8,
    rtLetter = 9,
    rtBlackNameList = 10,
    rtWhiteNameList = 11,
    rtFilter = 12,
    rtSigin = 13,
    rtSecretary = 14,
    rtConversation = 15,
    rtConversationItems = 16,
    rtProductGroup = 17,
    rtProduct = 18,
    rtProductImage = 19,
    rtPromoteTemplateFolder = 20,
    rtPromoteTemplate = 21,
    rtPromoteTemplateItem = 22,
    rtPromoteTemplateItemImage = 23,
};

inline constexpr int kResTypeCount = 24;

// The identifier's text form: "Account", "AccMail", …; empty for the
// types that have none.
std::string_view ResTypeShortText(TResType aType);

// The type's name in path-check messages ("账户", "账户邮件", …).
// aInPromotePath: a promotion template at position 3 of a promotion path.
std::string_view ResTypeCheckName(TResType aType, bool aInPromotePath = false);
