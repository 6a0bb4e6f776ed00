#include "ServerReply.h"

TServerReply::TServerReply(TReplyKind aKind, std::string aCode, int aNumericCode, std::string aExtendedCode,
                           std::vector<std::string> aLines)
    : FKind(aKind), FCode(std::move(aCode)), FNumericCode(aNumericCode), FExtendedCode(std::move(aExtendedCode)),
      FLines(std::move(aLines))
{
}

TServerReply TServerReply::Pop3(std::string aCode, std::string aExtendedCode, std::string aText)
{
    return TServerReply(rkPop3, std::move(aCode), 0, std::move(aExtendedCode), {std::move(aText)});
}

TServerReply TServerReply::Smtp(int aCode, std::string aEnhancedCode, std::vector<std::string> aLines)
{
    return TServerReply(rkSmtp, std::to_string(aCode), aCode, std::move(aEnhancedCode), std::move(aLines));
}

TServerReply TServerReply::Numeric(int aCode, std::vector<std::string> aLines)
{
    return TServerReply(rkNumeric, std::to_string(aCode), aCode, {}, std::move(aLines));
}

TServerReply TServerReply::Other(std::string aCode, std::vector<std::string> aLines)
{
    return TServerReply(rkOther, std::move(aCode), 0, {}, std::move(aLines));
}

std::string TServerReply::Text() const
{
    std::string text;
    for (size_t i = 0; i < FLines.size(); ++i) {
        if (i > 0)
            text += '\n';
        text += FLines[i];
    }
    return text;
}

bool TServerReply::IsSuccess() const
{
    switch (FKind) {
    case rkPop3: return FCode == "+OK";
    case rkSmtp:
    case rkNumeric: return FNumericCode < 400;
    case rkOther: break;
    }
    return false;
}

std::string TServerReply::FormattedText() const
{
    std::string head = FCode;
    if (!FExtendedCode.empty())
        head += ' ' + FExtendedCode;
    if (FLines.empty())
        return head;
    std::string text;
    for (size_t i = 0; i < FLines.size(); ++i) {
        if (i > 0)
            text += '\n';
        text += head;
        if (!FLines[i].empty())
            text += ' ' + FLines[i];
    }
    return text;
}

const char* TServerReply::ClassName() const
{
    switch (FKind) {
    case rkPop3: return "TPop3Reply";
    case rkSmtp: return "TSmtpReply";
    case rkNumeric: return "TNumericReply";
    case rkOther: break;
    }
    return "TServerReply";
}
