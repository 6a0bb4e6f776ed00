#include "SmtpClient.h"

#include "SmtpDataEncoder.h"
#include "TransportErrors.h"
#include "Runtime/Finally.h"
#include "Runtime/Log.h"
#include "Runtime/ScopeGuard.h"
#include "Runtime/TextFormat.h"

#include <glib.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <fstream>

namespace {

// The longest reply we read, in lines: EHLO answers with a line per
// extension, and no server has hundreds.
constexpr std::size_t kMaxReplyLines = 1000;

std::string Quoted(std::string_view aLine)
{
    constexpr std::size_t kShown = 80;
    std::string text = "\"";
    for (char c : aLine.substr(0, kShown))
        text += static_cast<unsigned char>(c) < 0x20 || c == 0x7f ? '?' : c;
    text += aLine.size() > kShown ? "...\"" : "\"";
    return text;
}

std::string Upper(std::string_view aText)
{
    std::string upper(aText);
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

// "5.7.8" at the start of aText: class 2, 4 or 5, then 1-3 and 1-3 digits.
std::size_t EnhancedCodeLength(std::string_view aText)
{
    if (aText.size() < 5 || (aText[0] != '2' && aText[0] != '4' && aText[0] != '5') || aText[1] != '.')
        return 0;
    std::size_t at = 2;
    for (int part = 0; part < 2; ++part) {
        const std::size_t start = at;
        while (at < aText.size() && at - start < 3 && std::isdigit(static_cast<unsigned char>(aText[at])))
            ++at;
        if (at == start)
            return 0;
        if (part == 0) {
            if (at >= aText.size() || aText[at] != '.')
                return 0;
            ++at;
        }
    }
    return at == aText.size() || aText[at] == ' ' ? at : 0;
}

std::string Base64(std::string_view aText)
{
    gchar* encoded = g_base64_encode(reinterpret_cast<const guchar*>(aText.data()), aText.size());
    std::string text = encoded ? encoded : "";
    g_free(encoded);
    return text;
}

// The name this host gives in EHLO: its own name when that is a plain
// host name, else a literal that every server takes.
std::string HeloName()
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) == 0 && name[0]) {
        bool plain = true;
        for (const char* p = name; *p; ++p)
            plain = plain && (std::isalnum(static_cast<unsigned char>(*p)) || *p == '-' || *p == '.');
        if (plain)
            return name;
    }
    return "[127.0.0.1]";
}

void CheckCommandText(std::string_view aText, const char* aWhat)
{
    if (aText.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
        throw ETransportError(std::string("The ") + aWhat + " contains a line break");
}

// An address goes between "<" and ">": one that holds either, or a blank,
// would end the path early and smuggle parameters into the command.
void CheckAddress(std::string_view aAddress, const char* aWhat)
{
    CheckCommandText(aAddress, aWhat);
    if (aAddress.find_first_of("<> \t") != std::string_view::npos)
        throw ETransportError(std::string("The ") + aWhat + " is not a plain address: " + std::string(aAddress));
}

} // namespace

TServerReply ParseSmtpReply(const std::vector<std::string>& aLines)
{
    if (aLines.empty())
        throw EMalformedReplyError("Empty SMTP reply");
    int code = 0;
    std::string enhanced;
    std::vector<std::string> texts;
    for (std::size_t i = 0; i < aLines.size(); ++i) {
        const std::string& line = aLines[i];
        const bool last = i + 1 == aLines.size();
        if (line.size() < 3 || !std::isdigit(static_cast<unsigned char>(line[0])) ||
            !std::isdigit(static_cast<unsigned char>(line[1])) || !std::isdigit(static_cast<unsigned char>(line[2])) ||
            (line.size() > 3 && line[3] != (last ? ' ' : '-')) || (line.size() == 3 && !last))
            throw EMalformedReplyError("Malformed SMTP reply line " + Quoted(line));
        const int lineCode = (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
        if (lineCode < 200 || lineCode > 599 || (i > 0 && lineCode != code))
            throw EMalformedReplyError("Malformed SMTP reply line " + Quoted(line));
        code = lineCode;
        std::string_view text = line.size() > 4 ? std::string_view(line).substr(4) : std::string_view();
        if (const std::size_t length = EnhancedCodeLength(text); length > 0 && text[0] == line[0]) {
            if (enhanced.empty())
                enhanced = text.substr(0, length);
            text.remove_prefix(std::min(length + 1, text.size()));
        }
        texts.emplace_back(text);
    }
    return TServerReply::Smtp(code, enhanced, std::move(texts));
}

TSmtpClient::TSmtpClient(TTransportSettings aSettings, std::chrono::milliseconds aFinalReplyTimeout)
    : FSettings(aSettings), FTransport(std::move(aSettings)), FFinalReplyTimeout(aFinalReplyTimeout)
{
}

TSmtpClient::~TSmtpClient() = default;

bool TSmtpClient::HasExtension(std::string_view aName) const
{
    return FExtensions.count(Upper(aName)) > 0;
}

const TServerReply& TSmtpClient::ReadReply()
{
    // A reply we cannot read: whatever follows cannot be matched to a
    // command any more.
    const TOnFailure closeOnError([this]() noexcept { FTransport.Close(); });
    std::vector<std::string> lines;
    for (;;) {
        lines.push_back(FTransport.ReadLine());
        TLog::O(lolDebug, "SMTP < %s", {lines.back()});
        const std::string& line = lines.back();
        if (line.size() <= 3 || line[3] != '-')
            break;
        if (lines.size() >= kMaxReplyLines)
            throw EMalformedReplyError(
                FormatText("Reply from %s longer than %u lines", {FTransport.PeerName(), kMaxReplyLines}));
    }
    FLastReply = ParseSmtpReply(lines);
    return *FLastReply;
}

const TServerReply& TSmtpClient::SendCmd(std::string_view aCommand, std::string_view aLogged)
{
    TLog::O(lolDebug, "SMTP > %s", {aLogged.empty() ? aCommand : aLogged});
    // The lines that answer AUTH's challenges belong to AUTH.
    if (!FAuthenticating)
        FLastCommand = aCommand.substr(0, aCommand.find(' '));
    FTransport.WriteLine(aCommand);
    return ReadReply();
}

const TServerReply& TSmtpClient::Command(std::string_view aCommand, int aExpected, std::string_view aLogged)
{
    const TServerReply& reply = SendCmd(aCommand, aLogged);
    const bool expected = aExpected < 10 ? reply.NumericCode() / 100 == aExpected : reply.NumericCode() == aExpected;
    if (!expected)
        throw ESmtpReplyError(reply);
    return reply;
}

void TSmtpClient::Ehlo()
{
    FExtensions.clear();
    FAuthMechanisms.clear();
    const std::string name = HeloName();
    const TServerReply& reply = SendCmd("EHLO " + name);
    if (reply.NumericCode() / 100 != 2) {
        // An old server: no extensions at all.
        Command("HELO " + name, 2);
        return;
    }
    for (std::size_t i = 1; i < reply.Lines().size(); ++i) {
        const std::string line = Upper(reply.Lines()[i]);
        const std::size_t blank = line.find_first_of(" =");
        const std::string keyword = line.substr(0, blank);
        FExtensions.insert(keyword);
        if (keyword == "AUTH" && blank != std::string::npos)
            // Appended piece by piece: GCC 12 reports a false -Wrestrict
            // for " " + text + " " at -O2.
            FAuthMechanisms.append(1, ' ').append(line, blank + 1).append(1, ' ');
    }
}

void TSmtpClient::Connect(const std::string& aUser, const std::string& aPassword)
{
    CheckCommandText(aUser, "SMTP user name");
    CheckCommandText(aPassword, "SMTP password");
    FLastReply.reset();
    FLastCommand.clear();
    const TOnFailure closeOnError([this]() noexcept { FTransport.Close(); });
    FTransport.Connect();
    if (ReadReply().NumericCode() != 220)
        throw ESmtpReplyError(*FLastReply);
    Ehlo();
    if (FSettings.TlsMode == tlsmStartTls) {
        Command("STARTTLS", 220);
        FTransport.StartTls();
        Ehlo();   // what the server offers may change once the line is secure
    }
    if (!aUser.empty())
        Authenticate(aUser, aPassword);
}

void TSmtpClient::Authenticate(const std::string& aUser, const std::string& aPassword)
{
    FLastCommand = "AUTH";
    FAuthenticating = true;
    const TFinally done([this]() noexcept { FAuthenticating = false; });
    const bool login = FAuthMechanisms.find(" LOGIN ") != std::string::npos;
    const bool plain = FAuthMechanisms.find(" PLAIN ") != std::string::npos;
    if (login || !plain) {
        // LOGIN also where the server names no method: the one most
        // servers that ask for a login take.
        Command("AUTH LOGIN", 334);
        Command(Base64(aUser), 334, "****");
        Command(Base64(aPassword), 235, "****");
        return;
    }
    std::string credentials;
    credentials.push_back('\0');
    credentials += aUser;
    credentials.push_back('\0');
    credentials += aPassword;
    Command("AUTH PLAIN " + Base64(credentials), 235, "AUTH PLAIN ****");
}

void TSmtpClient::Reset() noexcept
{
    try {
        if (FTransport.Connected())
            SendCmd("RSET");
    } catch (const std::exception& e) {
        TLog::O(lolWorn, "SMTP RSET：%s", {e.what()});
    }
}

std::vector<TSmtpRefusal> TSmtpClient::Send(const std::string& aFrom, const std::vector<std::string>& aRecipients,
                                            const std::filesystem::path& aRawFile, const TProgress& aProgress)
{
    CheckAddress(aFrom, "sender's address");
    std::vector<std::string> recipients;
    for (const std::string& recipient : aRecipients) {
        CheckAddress(recipient, "recipient's address");
        if (!recipient.empty() && std::find(recipients.begin(), recipients.end(), recipient) == recipients.end())
            recipients.push_back(recipient);
    }
    if (recipients.empty())
        throw ETransportError("The mail has no recipient");

    const std::string mailFrom = "MAIL FROM:<" + aFrom + ">";
    std::vector<TSmtpRefusal> refused;
    std::optional<TServerReply> lastRefusal;
    if (HasExtension("PIPELINING")) {
        // The whole envelope in one write, the replies read in order.
        std::string envelope = mailFrom + "\r\n";
        for (const std::string& recipient : recipients)
            envelope += "RCPT TO:<" + recipient + ">\r\n";
        TLog::O(lolDebug, "SMTP > %s（%u 个收件人，连续发送）", {mailFrom, recipients.size()});
        FTransport.Write(envelope);
        const TServerReply from = ReadReply();
        for (const std::string& recipient : recipients) {
            const TServerReply& reply = ReadReply();
            if (reply.NumericCode() / 100 != 2)
                refused.push_back({recipient, reply});
        }
        if (from.NumericCode() / 100 != 2) {
            Reset();
            throw ESmtpReplyError(from);
        }
    } else {
        try {
            Command(mailFrom, 2);
        } catch (const ESmtpReplyError&) {
            Reset();
            throw;
        }
        for (const std::string& recipient : recipients) {
            const TServerReply& reply = SendCmd("RCPT TO:<" + recipient + ">");
            if (reply.NumericCode() / 100 != 2)
                refused.push_back({recipient, reply});
        }
    }
    if (refused.size() == recipients.size()) {
        const TServerReply reply = refused.back().Reply;
        Reset();
        throw ESmtpReplyError(reply);
    }
    try {
        Command("DATA", 354);
    } catch (const ESmtpReplyError&) {
        Reset();
        throw;
    }
    SendData(aRawFile, aProgress);
    return refused;
}

void TSmtpClient::SendData(const std::filesystem::path& aRawFile, const TProgress& aProgress)
{
    {
        // Half a message sent: the connection cannot be used again.
        const TOnFailure closeOnError([this]() noexcept { FTransport.Close(); });
        std::ifstream in(aRawFile, std::ios::binary);
        if (!in)
            throw Exception("不能读取邮件文件 " + aRawFile.string());
        TSmtpDataEncoder encoder;
        std::string chunk(65536, '\0');
        std::string out;
        int64_t sent = 0;
        while (in) {
            in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
            const auto count = static_cast<std::size_t>(in.gcount());
            if (count == 0)
                break;
            out.clear();
            encoder.Put(std::string_view(chunk.data(), count), out);
            FTransport.Write(out);
            sent += static_cast<int64_t>(count);
            if (aProgress.Sent)
                aProgress.Sent(sent);
        }
        if (in.bad())
            throw Exception("不能读取邮件文件 " + aRawFile.string());
        out.clear();
        encoder.Finish(out);
        FTransport.Write(out);
        if (aProgress.BeforeFinalDot)
            aProgress.BeforeFinalDot();
        TLog::O(lolDebug, "SMTP > .", "");
        FTransport.WriteLine(".");
    }
    const auto idle = FSettings.IdleTimeout;
    FTransport.SetIdleTimeout(std::max(idle, FFinalReplyTimeout));
    const TOnFailure restore([this, idle]() noexcept { FTransport.SetIdleTimeout(idle); });
    const TServerReply& reply = ReadReply();
    FTransport.SetIdleTimeout(idle);
    if (reply.NumericCode() / 100 != 2)
        throw ESmtpReplyError(reply);
}

void TSmtpClient::Disconnect() noexcept
{
    try {
        if (FTransport.Connected() && !FTransport.Cancelled())
            SendCmd("QUIT");
    } catch (const std::exception& e) {
        TLog::O(lolDebug, "SMTP QUIT：%s", {e.what()});
    }
    FTransport.Close();
}
