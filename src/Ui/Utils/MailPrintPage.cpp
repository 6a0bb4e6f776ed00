#include "MailPrintPage.h"

#include "Business/AccountMail/MailComplex.h"
#include "Business/AccountMail/MailHeaderFields.h"
#include "Business/Mime/AddressList.h"
#include "Business/Mime/ComposeHeaders.h"
#include "Business/Mime/GMimePtr.h"

#include <cstdio>

namespace {

std::string JoinAddresses(GMimeMessage* aMessage, GMimeAddressType aType)
{
    std::string text;
    InternetAddressList* list = aMessage ? g_mime_message_get_addresses(aMessage, aType) : nullptr;
    if (!list)
        return text;
    TGString raw(internet_address_list_to_string(list, nullptr, FALSE));
    for (const TAddressItem& item : ParseAddressList(raw ? raw.get() : "")) {
        if (!text.empty())
            text += ", ";
        if (item.Name.empty())
            text += item.Address;
        else if (item.Address.empty())
            text += item.Name;
        else
            text += item.Name + " <" + item.Address + ">";
    }
    return text;
}

std::string TwoDigits(int aValue)
{
    char text[8];
    std::snprintf(text, sizeof text, "%02d", aValue);
    return text;
}

} // namespace

TMailPrintFields MailPrintFieldsOf(TRcMailComplex* aMailComplex)
{
    TMailPrintFields fields;
    if (!aMailComplex)
        return fields;
    GMimeMessage* header = aMailComplex->MessageHeader();
    fields.Subject = aMailComplex->Subject();
    fields.Senders = JoinAddresses(header, GMIME_ADDRESS_TYPE_FROM);
    fields.Recipients = JoinAddresses(header, GMIME_ADDRESS_TYPE_TO);
    const TMailHeaderFields parsed = MailHeaderFieldsOf(header);
    if (parsed.HasDate) {
        const TDateTimeParts parts = DecodeDateTime(parsed.Date);
        fields.Date = std::to_string(parts.Year) + "-" + TwoDigits(parts.Month) + "-" + TwoDigits(parts.Day);
        fields.Time = TwoDigits(parts.Hour) + ":" + TwoDigits(parts.Minute) + ":" + TwoDigits(parts.Second);
    }
    return fields;
}

std::string MakeMailPrintPage(const TMailPrintFields& aFields, const std::string& aBodyHtml)
{
    auto line = [](const char* aLabel, const std::string& aValue) {
        return std::string("<div class=\"qm-print-line\"><b>") + aLabel + "</b>&nbsp;" + EscapeHtml(aValue) + "</div>\n";
    };
    std::string page =
        "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + EscapeHtml(aFields.Subject) +
        "</title>\n<style>\n"
        ".qm-print-head{font-family:\"WenQuanYi Micro Hei\",sans-serif;font-size:13px;color:#1d1d1d;"
        "line-height:1.7;margin:0 0 8px 0}\n"
        ".qm-print-head hr{border:none;border-top:1px solid #9ab3cf;margin:6px 0}\n"
        "</style></head><body>\n<div class=\"qm-print-head\"><hr>\n";
    page += line("主题：", aFields.Subject);
    page += line("发件人：", aFields.Senders);
    page += line("收件人：", aFields.Recipients);
    page += line("发送时间：", aFields.Date + (aFields.Date.empty() ? "" : "\xC2\xA0") + aFields.Time);
    page += "<hr></div>\n<div class=\"qm-print-body\">\n";
    page += aBodyHtml;
    page += "\n</div></body></html>\n";
    return page;
}
