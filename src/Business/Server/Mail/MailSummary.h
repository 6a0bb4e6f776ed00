// The one-line summary a received mail shows in the list: the first 100
// characters (code points) of its body's text, trimmed, every run of
// whitespace (line ends, tabs, doubled blanks) made one blank. (Taking
// doubled whitespace out altogether would glue the words on either side.)
#pragma once

#include <string>
#include <string_view>

inline constexpr std::size_t kMailSummaryLength = 100;

std::string MailSummaryOf(std::string_view aHtml);
// The same from text already taken out of the page.
std::string MailSummaryOfText(std::string_view aText);
