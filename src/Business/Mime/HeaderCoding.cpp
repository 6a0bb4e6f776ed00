#include "HeaderCoding.h"

#include "Charset.h"
#include "Runtime/AsciiText.h"
#include "Runtime/Hex.h"

#include <algorithm>
#include <cctype>
#include <glib.h>
#include <memory>

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool NeedsEncoding(std::string_view aText)
{
    for (unsigned char c : aText)
        if (c > 126)
            return true;
    return aText.find("=?") != std::string_view::npos;
}

std::string Base64(std::string_view aBytes)
{
    std::unique_ptr<gchar, void (*)(gpointer)> encoded(
        g_base64_encode(reinterpret_cast<const guchar*>(aBytes.data()), aBytes.size()), g_free);
    return encoded.get();
}

std::string Unbase64(std::string_view aText)
{
    // Lenient: characters outside the alphabet are skipped.
    std::string clean;
    for (char c : aText)
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '/')
            clean += c;
    while (clean.size() % 4)
        clean += '=';
    gsize length = 0;
    std::unique_ptr<guchar, void (*)(gpointer)> decoded(g_base64_decode(clean.c_str(), &length), g_free);
    return std::string(reinterpret_cast<const char*>(decoded.get()), length);
}

std::string Unquote(std::string_view aText)
{
    std::string out;
    for (std::size_t i = 0; i < aText.size(); ++i) {
        if (aText[i] == '_') {
            out += ' ';
        } else if (aText[i] == '=' && i + 2 < aText.size() && HexDigitValue(aText[i + 1]) >= 0 &&
                   HexDigitValue(aText[i + 2]) >= 0) {
            out += static_cast<char>(HexDigitValue(aText[i + 1]) * 16 + HexDigitValue(aText[i + 2]));
            i += 2;
        } else {
            out += aText[i];
        }
    }
    return out;
}

struct TPiece {
    bool Encoded = false;
    std::string Charset;
    std::string Encoding;
    std::string Data;
};

// "=?charset?enc?data?=" at aAt; false when there is no whole word.
bool ParseWord(std::string_view aText, std::size_t aAt, TPiece& aPiece, std::size_t& aEnd)
{
    const std::size_t q1 = aText.find('?', aAt + 2);
    if (q1 == std::string_view::npos)
        return false;
    const std::size_t q2 = aText.find('?', q1 + 1);
    if (q2 == std::string_view::npos || q2 != q1 + 2)
        return false;
    const std::size_t close = aText.find("?=", q2 + 1);
    if (close == std::string_view::npos) {
        aEnd = std::string_view::npos;   // no later word can end either
        return false;
    }
    aPiece.Encoded = true;
    aPiece.Charset = std::string(aText.substr(aAt + 2, q1 - aAt - 2));
    // RFC 2231 language suffix: charset*lang.
    if (auto star = aPiece.Charset.find('*'); star != std::string::npos)
        aPiece.Charset.resize(star);
    aPiece.Encoding = std::string(aText.substr(q1 + 1, 1));
    aPiece.Data = std::string(aText.substr(q2 + 1, close - q2 - 1));
    aEnd = close + 2;
    return true;
}

} // namespace

std::string SanitizeHeaderText(std::string_view aText)
{
    std::string out;
    out.reserve(aText.size());
    for (char c : aText) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\t')
            out += ' ';
        else if (u >= 0x20 && u != 0x7F)
            out += c;
    }
    return out;
}

std::string EncodeHeaderText(std::string_view aText)
{
    const std::string text = SanitizeHeaderText(aText);
    if (!NeedsEncoding(text))
        return text;
    // 45 bytes make 60 base64 characters: with "=?utf-8?B?" and "?=" the
    // word stays under 75.
    std::string out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = std::min(start + 45, text.size());
        while (end < text.size() && end > start && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
            --end;
        if (end == start)   // not UTF-8 at all: cut anywhere rather than loop
            end = std::min(start + 45, text.size());
        if (!out.empty())
            out += "\n ";
        out += "=?utf-8?B?" + Base64(std::string_view(text).substr(start, end - start)) + "?=";
        start = end;
    }
    return out;
}

std::string EncodeAddressList(const std::vector<TAddressItem>& aItems)
{
    std::string out;
    for (const auto& item : aItems) {
        if (!out.empty())
            out += ", ";
        const std::string name = SanitizeHeaderText(item.Name);
        const std::string address = SanitizeHeaderText(item.Address);
        if (name.empty()) {
            out += address;
            continue;
        }
        if (NeedsEncoding(name)) {
            out += EncodeHeaderText(name);
        } else if (name.find_first_of("()<>[]:;@\\,.\"") != std::string::npos) {
            out += '"';
            for (char c : name) {
                if (c == '"' || c == '\\')
                    out += '\\';
                out += c;
            }
            out += '"';
        } else {
            out += name;
        }
        out += " <" + address + ">";
    }
    return out;
}

std::string DecodeHeaderText(std::string_view aRaw)
{
    // One pass over the text, cut into encoded words and the plain text
    // around them. Blanks between two encoded words are not text;
    // consecutive words of one charset and encoding are joined before
    // converting, so a character split across two words decodes whole. B
    // words are decoded as they come and their bytes appended; Q words are
    // joined as written and decoded once. Only the run of words being
    // joined is held, never a list of all the words: a header of many
    // thousand words costs no more than its length.
    std::string out;
    TPiece run;   // the encoded words being joined; Encoded false when none
    bool afterWord = false;
    const auto flushRun = [&] {
        if (!run.Encoded)
            return;
        out += ToUtf8(SameTextAscii(run.Encoding, "B") ? run.Data : Unquote(run.Data), run.Charset);
        run = TPiece();
    };
    const auto plainText = [&](const std::string& aPlain) {
        flushRun();
        std::string text;
        for (char c : aPlain)
            if (c != '\r' && c != '\n')
                text += c;
        out += RawHeaderToUtf8(text);
    };
    std::string plain;
    std::size_t at = 0;
    while (at < aRaw.size()) {
        const std::size_t word = aRaw.find("=?", at);
        TPiece encoded;
        std::size_t end = 0;
        if (word == std::string_view::npos) {
            plain += aRaw.substr(at);
            break;
        }
        if (!ParseWord(aRaw, word, encoded, end)) {
            if (end == std::string_view::npos) {
                plain += aRaw.substr(at);
                break;
            }
            plain += aRaw.substr(at, word + 2 - at);
            at = word + 2;
            continue;
        }
        plain += aRaw.substr(at, word - at);
        at = end;
        if (!plain.empty() && !(afterWord && std::all_of(plain.begin(), plain.end(), IsBlank)))
            plainText(plain);
        plain.clear();
        afterWord = true;
        if (SameTextAscii(encoded.Encoding, "B"))
            encoded.Data = Unbase64(encoded.Data);
        if (run.Encoded && SameTextAscii(run.Charset, encoded.Charset) && SameTextAscii(run.Encoding, encoded.Encoding)) {
            run.Data += encoded.Data;
            continue;
        }
        flushRun();
        run = std::move(encoded);
    }
    if (!plain.empty())
        plainText(plain);
    flushRun();
    return out;
}
