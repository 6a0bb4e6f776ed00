#include "Multipart.h"

#include <algorithm>
#include <cctype>

namespace {

std::string_view Trim(std::string_view aText)
{
    while (!aText.empty() && (aText.front() == ' ' || aText.front() == '\t'))
        aText.remove_prefix(1);
    while (!aText.empty() && (aText.back() == ' ' || aText.back() == '\t'))
        aText.remove_suffix(1);
    return aText;
}

std::string Lower(std::string_view aText)
{
    std::string out(aText);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
    return out;
}

// Splits `value; a=b; c="d;e"` into its parameters, unquoting quoted values.
std::vector<std::pair<std::string, std::string>> HeaderParams(std::string_view aValue)
{
    std::vector<std::pair<std::string, std::string>> params;
    size_t pos = aValue.find(';');
    while (pos != std::string_view::npos) {
        ++pos;
        const size_t eq = aValue.find('=', pos);
        if (eq == std::string_view::npos)
            break;
        const std::string key = Lower(Trim(aValue.substr(pos, eq - pos)));
        size_t i = eq + 1;
        while (i < aValue.size() && aValue[i] == ' ')
            ++i;
        std::string value;
        if (i < aValue.size() && aValue[i] == '"') {
            for (++i; i < aValue.size() && aValue[i] != '"'; ++i) {
                if (aValue[i] == '\\' && i + 1 < aValue.size())
                    ++i;
                value += aValue[i];
            }
            pos = aValue.find(';', i);
        } else {
            pos = aValue.find(';', i);
            value = std::string(Trim(aValue.substr(i, pos == std::string_view::npos ? std::string_view::npos : pos - i)));
        }
        params.emplace_back(key, std::move(value));
    }
    return params;
}

} // namespace

std::optional<std::string> MultipartBoundary(std::string_view aContentType)
{
    if (Lower(Trim(aContentType.substr(0, aContentType.find(';')))) != "multipart/form-data")
        return std::nullopt;
    for (auto& [key, value] : HeaderParams(aContentType))
        if (key == "boundary" && !value.empty())
            return value;
    return std::nullopt;
}

bool ParseMultipart(std::string_view aBody, std::string_view aBoundary, std::vector<TFakePart>& aParts)
{
    const std::string delimiter = "--" + std::string(aBoundary);
    const std::string nextDelimiter = "\r\n" + delimiter;
    size_t pos = aBody.find(delimiter);
    if (pos == std::string_view::npos)
        return false;
    pos += delimiter.size();
    for (;;) {
        if (aBody.substr(pos, 2) == "--")
            return true;
        while (pos < aBody.size() && (aBody[pos] == ' ' || aBody[pos] == '\t'))
            ++pos;
        if (aBody.substr(pos, 2) != "\r\n")
            return false;
        pos += 2;

        TFakePart part;
        // Header lines up to the empty line.
        for (;;) {
            const size_t eol = aBody.find("\r\n", pos);
            if (eol == std::string_view::npos)
                return false;
            const std::string_view line = aBody.substr(pos, eol - pos);
            pos = eol + 2;
            if (line.empty())
                break;
            const size_t colon = line.find(':');
            if (colon == std::string_view::npos)
                return false;
            part.Headers.emplace_back(std::string(Trim(line.substr(0, colon))), std::string(Trim(line.substr(colon + 1))));
        }
        for (const auto& [name, value] : part.Headers) {
            const std::string key = Lower(name);
            if (key == "content-type") {
                part.ContentType = value;
            } else if (key == "content-disposition") {
                for (auto& [param, paramValue] : HeaderParams(value)) {
                    if (param == "name")
                        part.Name = paramValue;
                    else if (param == "filename")
                        part.FileName = paramValue;
                }
            }
        }

        const size_t end = aBody.find(nextDelimiter, pos);
        if (end == std::string_view::npos)
            return false;
        part.Value = std::string(aBody.substr(pos, end - pos));
        aParts.push_back(std::move(part));
        pos = end + nextDelimiter.size();
    }
}
