#include "SmtpDataEncoder.h"

namespace {

// Longer than any field name: a "name" this long is no field name, and the
// line is passed on as it is.
constexpr std::size_t kMaxFieldName = 76;

bool SameNoCase(std::string_view aLeft, std::string_view aRight)
{
    if (aLeft.size() != aRight.size())
        return false;
    for (std::size_t i = 0; i < aLeft.size(); ++i) {
        char a = aLeft[i], b = aRight[i];
        if (a >= 'A' && a <= 'Z')
            a = static_cast<char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z')
            b = static_cast<char>(b - 'A' + 'a');
        if (a != b)
            return false;
    }
    return true;
}

std::string_view TrimmedName(std::string_view aName)
{
    while (!aName.empty() && (aName.back() == ' ' || aName.back() == '\t'))
        aName.remove_suffix(1);
    return aName;
}

} // namespace

void TSmtpDataEncoder::Put(std::string_view aData, std::string& aOut)
{
    aOut.reserve(aOut.size() + aData.size() + aData.size() / 64 + 8);
    for (char c : aData) {
        if (FPendingCr) {
            FPendingCr = false;
            EndLine(aOut);   // CR LF, or a bare CR
            if (c == '\n')
                continue;
        }
        if (c == '\r') {
            FPendingCr = true;
            continue;
        }
        if (c == '\n') {
            EndLine(aOut);
            continue;
        }
        PutChar(c, aOut);
    }
}

void TSmtpDataEncoder::PutChar(char aChar, std::string& aOut)
{
    if (FLineStart) {
        FLineStart = false;
        FLineEmpty = false;
        if (FInHeader) {
            if (aChar == ' ' || aChar == '\t') {
                // A folded line belongs to the field before it.
                if (!FSkipping)
                    aOut.push_back(aChar);
                return;
            }
            FSkipping = false;
            FDeciding = true;
            FName.clear();
        } else if (aChar == '.') {
            aOut.push_back('.');
        }
    }
    if (FDeciding) {
        if (aChar != ':' && FName.size() < kMaxFieldName) {
            FName.push_back(aChar);
            return;
        }
        DecideField(aOut);
    }
    if (!FSkipping)
        aOut.push_back(aChar);
}

void TSmtpDataEncoder::DecideField(std::string& aOut)
{
    FDeciding = false;
    const std::string_view name = TrimmedName(FName);
    FSkipping = SameNoCase(name, "bcc");
    if (SameNoCase(name, "x-mailer"))
        FHasMailer = true;
    if (!FSkipping) {
        // A header line that starts with "." (no field, but possible) is
        // doubled as any other line would be.
        if (!FName.empty() && FName.front() == '.')
            aOut.push_back('.');
        aOut += FName;
    }
    FName.clear();
}

void TSmtpDataEncoder::EndLine(std::string& aOut)
{
    if (FDeciding)
        DecideField(aOut);
    if (FInHeader && FLineStart) {
        // The empty line that ends the header block.
        EndHeader(aOut);
        aOut += "\r\n";
        FLineEmpty = true;
        return;
    }
    if (!(FInHeader && FSkipping))
        aOut += "\r\n";
    FLineStart = true;
    FLineEmpty = true;
}

void TSmtpDataEncoder::EndHeader(std::string& aOut)
{
    FInHeader = false;
    FSkipping = false;
    if (!FHasMailer) {
        aOut += "X-Mailer: ";
        aOut += kMailer;
        aOut += "\r\n";
        FHasMailer = true;
    }
}

void TSmtpDataEncoder::Finish(std::string& aOut)
{
    if (FPendingCr) {
        FPendingCr = false;
        EndLine(aOut);
    }
    if (FDeciding)
        DecideField(aOut);
    if (!FLineStart) {
        if (!(FInHeader && FSkipping))
            aOut += "\r\n";
        FLineStart = true;
    }
    if (FInHeader)
        EndHeader(aOut);   // a message of header fields only
}
