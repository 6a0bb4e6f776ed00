// TSmtpDataEncoder: a stored message turned, piece by piece, into what goes
// after SMTP's DATA: every line end CR LF (a bare LF or CR becomes one), a
// leading "." doubled, the Bcc field (with its folded lines) left out of
// the header block — the blind recipients are in the envelope, never in
// what the others receive — and an X-Mailer field added when the header
// has none. The terminating "." line is the client's.
//
// It keeps only a field name's worth of state, so a message of any size
// streams through it.
#pragma once

#include <string>
#include <string_view>

class TSmtpDataEncoder {
public:
    static constexpr const char* kMailer = "Norvel Quillmar 2";

    // Appends the encoded form of aData to aOut.
    void Put(std::string_view aData, std::string& aOut);
    // Ends the message: a last line without its line end gets one.
    void Finish(std::string& aOut);

private:
    void PutChar(char aChar, std::string& aOut);
    void EndLine(std::string& aOut);
    // The header field name gathered so far is complete (aChar ended it,
    // or the line ended): decides whether the field is shown.
    void DecideField(std::string& aOut);
    void EndHeader(std::string& aOut);

    bool FInHeader = true;
    bool FLineStart = true;
    bool FLineEmpty = true;
    bool FPendingCr = false;
    bool FSkipping = false;      // inside a Bcc field
    bool FDeciding = false;      // gathering a field name at a line start
    bool FHasMailer = false;
    std::string FName;           // the field name gathered, as written
};
