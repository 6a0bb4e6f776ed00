#include "FormatTransportError.h"

#include "Runtime/Log.h"
#include "Runtime/TypeName.h"
#include "TransportErrors.h"

#include <cstdlib>
#include <memory>
#include <typeinfo>
#include <vector>

namespace {

std::string ClassNameOf(const std::exception& aError)
{
    return DemangledName(typeid(aError));
}

// Lines as a text list sees them: CR LF, LF and CR each end a line; a
// break at the very end adds no empty line.
std::vector<std::string> SplitLines(std::string_view aText)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t i = 0; i < aText.size(); ++i) {
        if (aText[i] != '\r' && aText[i] != '\n')
            continue;
        lines.emplace_back(aText.substr(start, i - start));
        if (aText[i] == '\r' && i + 1 < aText.size() && aText[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < aText.size())
        lines.emplace_back(aText.substr(start));
    return lines;
}

struct TCodeText {
    std::string Code;
    bool Shown = false;
};

TCodeText SmtpCode(const TServerReply& aReply)
{
    TCodeText code{std::to_string(aReply.NumericCode()), aReply.NumericCode() > 0};
    if (!aReply.ExtendedCode().empty())
        code.Code += ' ' + aReply.ExtendedCode();
    return code;
}

TCodeText Pop3Code(const TServerReply& aReply)
{
    TCodeText code{aReply.Code(), false};
    if (code.Code == "-ERR" && !aReply.ExtendedCode().empty())
        code.Code += ' ' + aReply.ExtendedCode();
    code.Shown = !code.Code.empty();
    return code;
}

TCodeText ReplyCode(const TServerReply& aReply)
{
    switch (aReply.Kind()) {
    case rkSmtp: return SmtpCode(aReply);
    case rkPop3: return Pop3Code(aReply);
    case rkNumeric: return {aReply.Code(), aReply.NumericCode() > 0};
    case rkOther: break;
    }
    return {aReply.Code(), !aReply.Code().empty()};
}

} // namespace

std::string FormatTransportError(std::string_view aLogPrefix, const std::exception& aError,
                                 const TServerReply* aLastReply)
{
    TLog::O(lolWorn, "%s发生错误：Exception(%s : %s); LastCmdResult(%s: %s)",
            {aLogPrefix, ClassNameOf(aError), aError.what(), aLastReply ? aLastReply->ClassName() : "nil",
             aLastReply ? aLastReply->FormattedText() : std::string()});

    TCodeText code;
    std::string message;
    if (const auto* smtp = dynamic_cast<const ESmtpReplyError*>(&aError)) {
        code = SmtpCode(smtp->Reply());
        message = aError.what();
    } else if (const auto* pop3 = dynamic_cast<const EPop3ReplyError*>(&aError)) {
        code = Pop3Code(pop3->Reply());
        message = aError.what();
    } else if (dynamic_cast<const EReplyError*>(&aError) || !aLastReply || aLastReply->IsSuccess()) {
        message = aError.what();
    } else {
        code = ReplyCode(*aLastReply);
        message = aLastReply->Text();
    }

    const std::vector<std::string> lines = SplitLines(message);
    if (lines.empty())
        return code.Shown ? code.Code : std::string();
    if (lines.size() == 1)
        return code.Shown ? code.Code + ' ' + lines.front() : lines.front();
    std::string text = "\r\n";
    if (code.Shown)
        text += "  " + code.Code + "\r\n";
    for (const std::string& line : lines)
        text += "  " + line + "\r\n";
    return text;
}
