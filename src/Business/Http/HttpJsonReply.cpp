#include "HttpJsonReply.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

namespace {

std::string_view Trim(std::string_view aText)
{
    const auto isBlank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (!aText.empty() && isBlank(aText.front()))
        aText.remove_prefix(1);
    while (!aText.empty() && isBlank(aText.back()))
        aText.remove_suffix(1);
    return aText;
}

std::optional<int64_t> ParseInteger(std::string_view aText)
{
    aText = Trim(aText);
    if (!aText.empty() && aText.front() == '+')
        aText.remove_prefix(1);
    int64_t value = 0;
    const auto [end, ec] = std::from_chars(aText.data(), aText.data() + aText.size(), value);
    if (aText.empty() || ec != std::errc() || end != aText.data() + aText.size())
        return std::nullopt;
    return value;
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

// Never throws, even for text members that are not valid UTF-8.
std::string Dump(const nlohmann::json& aValue)
{
    return aValue.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

} // namespace

THttpJsonReply THttpJsonReply::Parse(std::string_view aBody)
{
    THttpJsonReply reply;
    auto json = nlohmann::json::parse(aBody, nullptr, /*allow_exceptions=*/false);
    if (json.is_object()) {
        reply.FJson = std::move(json);
        reply.FIsJson = true;
    }
    return reply;
}

const nlohmann::json* THttpJsonReply::Member(const char* aName) const
{
    if (!FIsJson)
        return nullptr;
    const auto it = FJson.find(aName);
    if (it == FJson.end() || it->is_null())
        return nullptr;
    return &*it;
}

bool THttpJsonReply::HasResult() const
{
    return Member("result") != nullptr;
}

bool THttpJsonReply::ResultBool() const
{
    const auto* result = Member("result");
    if (!result)
        return false;
    if (result->is_string()) {
        const auto& text = result->get_ref<const std::string&>();
        if (EqualsNoCase(Trim(text), "true"))
            return true;
        const auto number = ParseInteger(text);
        return number && *number != 0;
    }
    const auto number = ResultInt();
    return number && *number != 0;
}

std::optional<int64_t> THttpJsonReply::ResultInt() const
{
    const auto* result = Member("result");
    if (!result)
        return std::nullopt;
    if (result->is_boolean())
        return result->get<bool>() ? 1 : 0;
    if (result->is_number_integer())
        return result->is_number_unsigned() ? static_cast<int64_t>(result->get<uint64_t>()) : result->get<int64_t>();
    if (result->is_number_float()) {
        const double value = result->get<double>();
        if (std::trunc(value) == value && std::fabs(value) < 9.0e18)
            return static_cast<int64_t>(value);
        return std::nullopt;
    }
    if (result->is_string())
        return ParseInteger(result->get_ref<const std::string&>());
    return std::nullopt;
}

std::string THttpJsonReply::ResultText() const
{
    const auto* result = Member("result");
    if (!result)
        return {};
    return result->is_string() ? result->get<std::string>() : Dump(*result);
}

std::string THttpJsonReply::InfoText() const
{
    const auto* info = Member("info");
    if (!info)
        return {};
    return info->is_string() ? info->get<std::string>() : Dump(*info);
}

std::optional<nlohmann::json> THttpJsonReply::InfoJson() const
{
    const auto* info = Member("info");
    if (!info)
        return std::nullopt;
    if (info->is_structured())
        return *info;
    if (info->is_string()) {
        auto inner = nlohmann::json::parse(info->get_ref<const std::string&>(), nullptr, false);
        if (inner.is_structured())
            return inner;
    }
    return std::nullopt;
}
