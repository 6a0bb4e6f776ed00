#include "Business/Http/HttpText.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using TCases = std::vector<std::pair<std::string, std::string>>;

TEST(HttpTextTest, FormValuesArePercentEncodedAsUrlParameters)
{
    const TCases cases = {
        {"报价 C++", "%E6%8A%A5%E4%BB%B7%20C%2B%2B"},
        {"AZaz09-._~", "AZaz09-._~"},
        {"A <a@b.com>; c@d", "A%20%3Ca%40b.com%3E%3B%20c%40d"},
        {"100%/?&=#", "100%25%2F%3F%26%3D%23"},
        {"line\r\n\t", "line%0D%0A%09"},
        {"", ""},
    };
    for (const auto& [value, encoded] : cases)
        EXPECT_EQ(HttpUrlEncodeParam(value), encoded) << value;
}

TEST(HttpTextTest, WireUrlEscapesOnlyWhatLibcurlRefuses)
{
    const TCases cases = {
        {"http://h/mailOprAction!reTranslation.action ", "http://h/mailOprAction!reTranslation.action%20"},
        {"http://h/saveUserMailInfo.action?", "http://h/saveUserMailInfo.action?"},
        {"http://h/a%20b?x=1&y=%2B", "http://h/a%20b?x=1&y=%2B"},
        {"http://h/路", "http://h/%E8%B7%AF"},
    };
    for (const auto& [url, wire] : cases)
        EXPECT_EQ(HttpWireUrl(url), wire) << url;
}

TEST(HttpTextTest, LoggedUrlsLoseQueryFragmentAndCredentials)
{
    const TCases cases = {
        {"http://u:secret@h:8080/a.action?user_password=2AB#top", "http://h:8080/a.action"},
        {"https://h/path/file.json", "https://h/path/file.json"},
        {"http://h/p@x?q=1", "http://h/p@x"},
        {"http://user@h", "http://h"},
        {"h/a?b", "h/a"},
    };
    for (const auto& [url, logged] : cases)
        EXPECT_EQ(HttpUrlForLog(url), logged) << url;
}

} // namespace
