#include "AppVersion.h"

#include <charconv>
#include <memory>
#include <string_view>

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

namespace {

// Compiled once; the dots are any character, as the pattern was always
// written. The type word may hold "_": "product_rc" is one of the stages.
struct TVersionPattern {
    pcre2_code* Code = nullptr;
    TVersionPattern()
    {
        int error = 0;
        PCRE2_SIZE offset = 0;
        static const char kPattern[] = "^v(\\d+).(\\d+).(\\d+) Build (\\d+)(?:| - ([A-Za-z_]+)(\\d*))$";
        Code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(kPattern), PCRE2_ZERO_TERMINATED, 0, &error, &offset,
                             nullptr);
    }
    ~TVersionPattern() { pcre2_code_free(Code); }
    TVersionPattern(const TVersionPattern&) = delete;
    TVersionPattern& operator=(const TVersionPattern&) = delete;
};

bool ToInt32(std::string_view aDigits, int32_t& aValue)
{
    if (aDigits.empty())
        return false;
    const auto [end, error] = std::from_chars(aDigits.data(), aDigits.data() + aDigits.size(), aValue);
    return error == std::errc() && end == aDigits.data() + aDigits.size();
}

TVersionType TypeOf(std::string_view aWord)
{
    if (aWord.empty())
        return vtRelease;
    if (aWord == "debug")
        return vtDebug;
    if (aWord == "alpha")
        return vtAlpha;
    if (aWord == "bata")
        return vtBata;
    if (aWord == "rc")
        return vtRc;
    if (aWord == "product_rc")
        return vtProductRc;
    return vtUnknown;
}

int RankOf(TVersionType aType)
{
    switch (aType) {
    case vtDebug:
        return 1;
    case vtAlpha:
        return 2;
    case vtBata:
        return 3;
    case vtRc:
    case vtProductRc:
        return 4;
    case vtRelease:
        return 5;
    case vtUnknown:
        break;
    }
    return 0;
}

} // namespace

bool ParseVersion(const std::string& aText, TVersionStruct& aVersion)
{
    static const TVersionPattern pattern;
    if (aText.empty() || !pattern.Code)
        return false;
    std::unique_ptr<pcre2_match_data, void (*)(pcre2_match_data*)> match(
        pcre2_match_data_create_from_pattern(pattern.Code, nullptr), pcre2_match_data_free);
    const int groups = pcre2_match(pattern.Code, reinterpret_cast<PCRE2_SPTR>(aText.data()), aText.size(), 0, 0,
                                   match.get(), nullptr);
    if (groups < 5)
        return false;
    const PCRE2_SIZE* offsets = pcre2_get_ovector_pointer(match.get());
    const auto group = [&](int aIndex) -> std::string_view {
        if (aIndex >= groups || offsets[2 * aIndex] == PCRE2_UNSET)
            return {};
        return std::string_view(aText).substr(offsets[2 * aIndex], offsets[2 * aIndex + 1] - offsets[2 * aIndex]);
    };
    TVersionStruct version;
    if (!ToInt32(group(4), version.Builde))
        return false;
    version.Version = aText;
    version.Typ = TypeOf(group(5));
    if (version.Typ == vtDebug || version.Typ == vtRc || version.Typ == vtProductRc)
        if (!ToInt32(group(6), version.TypNo))
            return false;
    aVersion = version;
    return true;
}

int CompareVersion(const TVersionStruct& A, const TVersionStruct& B)
{
    if (&A == &B)
        return 0;
    if (A.Builde != B.Builde)
        return A.Builde < B.Builde ? -1 : 1;
    if (A.Typ == B.Typ)
        return 0;
    const int a = RankOf(A.Typ);
    const int b = RankOf(B.Typ);
    return a == b ? 0 : (a < b ? -1 : 1);
}
