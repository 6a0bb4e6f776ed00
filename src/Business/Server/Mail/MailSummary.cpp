#include "MailSummary.h"

#include "Business/Html/BodyText.h"

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

bool IsTrimmed(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}

} // namespace

std::string MailSummaryOfText(std::string_view aText)
{
    while (!aText.empty() && IsTrimmed(aText.front()))
        aText.remove_prefix(1);
    while (!aText.empty() && IsTrimmed(aText.back()))
        aText.remove_suffix(1);
    std::string summary;
    summary.reserve(aText.size());
    for (std::size_t i = 0; i < aText.size(); ++i) {
        if (!IsBlank(aText[i])) {
            summary.push_back(aText[i]);
            continue;
        }
        while (i + 1 < aText.size() && IsBlank(aText[i + 1]))
            ++i;
        summary.push_back(' ');
    }
    return summary;
}

std::string MailSummaryOf(std::string_view aHtml)
{
    return MailSummaryOfText(HtmlBodyText(aHtml, kMailSummaryLength));
}
