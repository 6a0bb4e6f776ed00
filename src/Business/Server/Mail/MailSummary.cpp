#include "MailSummary.h"

#include "Business/Html/BodyText.h"
#include "Runtime/AsciiText.h"

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

} // namespace

std::string MailSummaryOfText(std::string_view aText)
{
    const std::size_t first = aText.find_first_not_of(kControlsAndSpace);
    aText = first == std::string_view::npos
                ? std::string_view()
                : aText.substr(first, aText.find_last_not_of(kControlsAndSpace) - first + 1);
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
