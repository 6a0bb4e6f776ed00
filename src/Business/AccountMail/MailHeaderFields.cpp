#include "MailHeaderFields.h"

#include <ctime>

#include "Business/Mime/MessageIo.h"
#include "Runtime/AsciiText.h"

namespace {

std::string QuotedName(const std::string& aName)
{
    if (aName.find_first_of(",;<>\"@()[]:\\") == std::string::npos)
        return aName;
    std::string quoted = "\"";
    for (char c : aName) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted + '"';
}

} // namespace

std::string AddressListText(const std::vector<TAddressItem>& aItems)
{
    std::string text;
    for (const auto& item : aItems) {
        if (item.Name.empty() && item.Address.empty())
            continue;
        if (!text.empty())
            text += ", ";
        if (item.Name.empty())
            text += item.Address;
        else if (item.Address.empty())
            text += QuotedName(item.Name);
        else
            text += QuotedName(item.Name) + " <" + item.Address + ">";
    }
    return text;
}

TMailHeaderFields MailHeaderFieldsOf(GMimeMessage* aMessage)
{
    TMailHeaderFields fields;
    if (!aMessage)
        return fields;
    auto* object = GMIME_OBJECT(aMessage);
    if (const char* id = g_mime_message_get_message_id(aMessage))
        fields.MessageId = id;
    fields.From = AddressListText(ParseAddressList(HeaderText(object, "From")));
    std::vector<TAddressItem> recipients;
    for (const char* name : {"To", "Cc", "Bcc"}) {
        auto items = ParseAddressList(HeaderText(object, name));
        recipients.insert(recipients.end(), items.begin(), items.end());
    }
    fields.To = AddressListText(recipients);
    fields.Subject = Trimmed(HeaderText(object, "Subject"));
    if (GDateTime* date = g_mime_message_get_date(aMessage)) {
        const std::time_t seconds = g_date_time_to_unix(date);
        std::tm local{};
        if (localtime_r(&seconds, &local)) {
            fields.HasDate = true;
            fields.Date = EncodeDateTime({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                                          local.tm_min, local.tm_sec, 0});
        }
    }
    return fields;
}
