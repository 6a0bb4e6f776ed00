#include "AddressList.h"

#include "GMimeLibrary.h"
#include "GMimePtr.h"
#include "Runtime/AsciiText.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <gmime/gmime.h>
#include <memory>
#include <pcre2.h>

namespace {

void Collect(InternetAddressList* aList, std::vector<TAddressItem>& aItems)
{
    const int count = internet_address_list_length(aList);
    for (int i = 0; i < count; ++i) {
        InternetAddress* address = internet_address_list_get_address(aList, i);
        if (INTERNET_ADDRESS_IS_GROUP(address)) {
            Collect(internet_address_group_get_members(INTERNET_ADDRESS_GROUP(address)), aItems);
            continue;
        }
        const char* name = internet_address_get_name(address);
        const char* mailbox = internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(address));
        aItems.push_back({name ? name : "", mailbox ? mailbox : ""});
    }
}

struct TPattern {
    pcre2_code* Code = nullptr;
    TPattern()
    {
        int error = 0;
        PCRE2_SIZE offset = 0;
        static const char kPattern[] = "\\w+([-+.']\\w+)*@\\w+([-.]\\w+)*\\.\\w+([-.]\\w+)*";
        Code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(kPattern), PCRE2_ZERO_TERMINATED, 0, &error, &offset, nullptr);
    }
    ~TPattern() { pcre2_code_free(Code); }
};

} // namespace

std::vector<TAddressItem> ParseAddressList(std::string_view aText)
{
    EnsureGMimeInitialised();
    std::vector<TAddressItem> items;
    const std::string text(aText);
    TGObject<InternetAddressList> list(internet_address_list_parse(nullptr, text.c_str()));
    if (list)
        Collect(list.get(), items);
    return items;
}

void NormalizeAddressList(std::vector<TAddressItem>& aItems)
{
    for (TAddressItem& item : aItems) {
        if (Trimmed(item.Name).empty())
            item.Name = item.Address.substr(0, item.Address.find('@'));
        const std::string address = Trimmed(item.Address);
        for (unsigned char c : address) {
            if (c > 127) {
                item.Name = address;
                item.Address.clear();
                break;
            }
        }
    }
}

std::string_view StripTrailingFullWidthSeparator(std::string_view aText)
{
    for (std::string_view separator : {std::string_view("，"), std::string_view("；")})
        if (aText.ends_with(separator))
            return aText.substr(0, aText.size() - separator.size());
    return aText;
}

bool IsValidEmail(std::string_view aText)
{
    static const TPattern pattern;
    if (!pattern.Code)
        return false;
    std::unique_ptr<pcre2_match_data, void (*)(pcre2_match_data*)> match(
        pcre2_match_data_create_from_pattern(pattern.Code, nullptr), pcre2_match_data_free);
    return pcre2_match(pattern.Code, reinterpret_cast<PCRE2_SPTR>(aText.data()), aText.size(), 0, 0, match.get(),
                       nullptr) >= 0;
}
