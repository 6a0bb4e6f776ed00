// The one-line summary a received mail shows in the list: the first 100
// characters (code points) of its body's text, trimmed, with every run of
// two whitespace characters taken out (left to right, two at a time).
#pragma once

#include <string>
#include <string_view>

inline constexpr std::size_t kMailSummaryLength = 100;

std::string MailSummaryOf(std::string_view aHtml);
// The same from text already taken out of the page.
std::string MailSummaryOfText(std::string_view aText);
