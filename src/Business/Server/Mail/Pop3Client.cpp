#include "Pop3Client.h"

#include "Runtime/Log.h"
#include "Runtime/ScopeGuard.h"
#include "Runtime/TextFormat.h"
#include "TransportErrors.h"

#include <cctype>
#include <charconv>
#include <cstring>
#include <functional>
#include <optional>
#include <set>

namespace {

// Headers are small; a server that sends more than this for TOP n 0 is
// broken or hostile.
constexpr size_t kMaxHeaderSize = 10485760;

// A server's line in an error message: short, and without control
// characters that would break a log line.
std::string Quoted(std::string_view aLine)
{
    constexpr size_t kShown = 80;
    std::string text = "\"";
    for (char c : aLine.substr(0, kShown))
        text += static_cast<unsigned char>(c) < 0x20 || c == 0x7f ? '?' : c;
    text += aLine.size() > kShown ? "...\"" : "\"";
    return text;
}

bool StartsWithNoCase(std::string_view aText, std::string_view aPrefix)
{
    if (aText.size() < aPrefix.size())
        return false;
    for (size_t i = 0; i < aPrefix.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(aText[i])) != aPrefix[i])
            return false;
    return true;
}

// A decimal number of digits only (no sign, no blanks) that fits aValue.
template <class I>
bool ParseDecimal(std::string_view aText, I& aValue)
{
    if (aText.empty() || aText.front() < '0' || aText.front() > '9')
        return false;
    const auto [end, error] = std::from_chars(aText.data(), aText.data() + aText.size(), aValue);
    return error == std::errc() && end == aText.data() + aText.size();
}

// The first aCount blank-separated words of aText.
std::vector<std::string_view> Words(std::string_view aText, size_t aCount)
{
    std::vector<std::string_view> words;
    while (words.size() < aCount) {
        const size_t start = aText.find_first_not_of(' ');
        if (start == std::string_view::npos)
            break;
        aText.remove_prefix(start);
        const size_t end = aText.find(' ');
        words.push_back(aText.substr(0, end));
        aText.remove_prefix(end == std::string_view::npos ? aText.size() : end);
    }
    return words;
}

} // namespace

TServerReply ParsePop3StatusLine(std::string_view aLine)
{
    std::string code;
    for (const char* status : {"+OK", "-ERR"}) {
        const size_t size = std::strlen(status);
        if (StartsWithNoCase(aLine, status) && (aLine.size() == size || aLine[size] == ' ')) {
            code = status;
            aLine.remove_prefix(size);
            break;
        }
    }
    if (code.empty())
        throw EMalformedReplyError("Not a POP3 reply: " + Quoted(aLine));
    const size_t text = aLine.find_first_not_of(' ');
    aLine.remove_prefix(text == std::string_view::npos ? aLine.size() : text);
    std::string extended;
    if (!aLine.empty() && aLine.front() == '[') {
        const size_t close = aLine.find(']');
        if (close != std::string_view::npos) {
            extended = aLine.substr(0, close + 1);
            aLine.remove_prefix(close + 1);
            const size_t rest = aLine.find_first_not_of(' ');
            aLine.remove_prefix(rest == std::string_view::npos ? aLine.size() : rest);
        }
    }
    return TServerReply::Pop3(std::move(code), std::move(extended), std::string(aLine));
}

TUidlEntry ParseUidlLine(std::string_view aLine)
{
    const size_t blank = aLine.find(' ');
    TUidlEntry entry;
    if (blank == std::string_view::npos || !ParseDecimal(aLine.substr(0, blank), entry.Number) || entry.Number <= 0)
        throw EMalformedReplyError("Malformed UIDL line " + Quoted(aLine));
    const std::string_view uid = aLine.substr(blank + 1);
    if (uid.empty())
        throw EMalformedReplyError("Malformed UIDL line " + Quoted(aLine));
    for (char c : uid)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            throw EMalformedReplyError("Malformed UIDL line " + Quoted(aLine));
    entry.Uid = uid;
    return entry;
}

TPop3Client::TPop3Client(TTransportSettings aSettings) : FTransport(std::move(aSettings)) {}

TPop3Client::~TPop3Client() = default;

const TServerReply& TPop3Client::ReadStatus()
{
    const std::string line = FTransport.ReadLine();
    TLog::O(lolDebug, "POP3 < %s", {line});
    {
        // A reply we cannot read: whatever follows cannot be matched to a
        // command any more.
        const TOnFailure closeOnError([this]() noexcept { FTransport.Close(); });
        FLastReply = ParsePop3StatusLine(line);
    }
    return *FLastReply;
}

const TServerReply& TPop3Client::SendCmd(std::string_view aCommand, std::string_view aLogged)
{
    TLog::O(lolDebug, "POP3 > %s", {aLogged.empty() ? aCommand : aLogged});
    FLastCommand = aCommand.substr(0, aCommand.find(' '));
    FTransport.WriteLine(aCommand);
    return ReadStatus();
}

const TServerReply& TPop3Client::Command(std::string_view aCommand, std::string_view aLogged)
{
    const TServerReply& reply = SendCmd(aCommand, aLogged);
    if (!reply.IsSuccess())
        throw EPop3ReplyError(reply);
    return reply;
}

void TPop3Client::RaiseExceptionForLastCmdResult() const
{
    if (!FLastReply)
        throw EReplyError("No reply from the POP3 server");
    throw EPop3ReplyError(*FLastReply);
}

void TPop3Client::Connect(const std::string& aUser, const std::string& aPassword)
{
    // A line break would end the command early and let the rest run as a
    // command of its own.
    for (const std::string* text : {&aUser, &aPassword})
        if (text->find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
            throw ETransportError("The POP3 user name or password contains a line break");
    FLastReply.reset();
    FLastCommand.clear();
    const TOnFailure closeOnError([this]() noexcept { FTransport.Close(); });
    FTransport.Connect();
    if (!ReadStatus().IsSuccess())
        throw EPop3ReplyError(*FLastReply);
    if (FTransport.Settings().TlsMode == tlsmStartTls) {
        Command("STLS");
        FTransport.StartTls();
    }
    Command("USER " + aUser);
    Command("PASS " + aPassword, "PASS ****");
}

void TPop3Client::ReadTextLines(const std::function<void(std::string&&)>& aLine)
{
    const TTransportSettings& settings = FTransport.Settings();
    // Mid-listing: the rest of it would be read as replies.
    const TOnFailure closeOnError([this]() noexcept { FTransport.Close(); });
    size_t lines = 0, bytes = 0;
    for (;;) {
        std::string line = FTransport.ReadLine();
        if (line == ".")
            return;
        if (!line.empty() && line.front() == '.')
            line.erase(0, 1);
        bytes += line.size() + 2;
        if (++lines > settings.MaxReplyLines)
            throw EMalformedReplyError(FormatText("Reply from %s longer than %u lines",
                                                  {FTransport.PeerName(), settings.MaxReplyLines}));
        if (bytes > settings.MaxReplyBytes)
            throw EMalformedReplyError(FormatText("Reply from %s longer than %u bytes",
                                                  {FTransport.PeerName(), settings.MaxReplyBytes}));
        aLine(std::move(line));
    }
}

std::vector<TUidlEntry> TPop3Client::Uidl()
{
    Command("UIDL");
    // Each line is judged as it comes; a broken one is remembered and the
    // answer read to its end, so it costs this command only, not the
    // session.
    std::vector<TUidlEntry> entries;
    std::set<int> numbers;
    std::optional<std::string> broken;
    ReadTextLines([&](std::string&& aLine) {
        if (broken)
            return;
        try {
            entries.push_back(ParseUidlLine(aLine));
            if (!numbers.insert(entries.back().Number).second)
                broken = FormatText("UIDL lists message %d twice", {entries.back().Number});
        } catch (const EMalformedReplyError& e) {
            broken = e.what();
        }
    });
    if (broken)
        throw EMalformedReplyError(*broken);
    return entries;
}

void TPop3Client::ReadDotTerminated(const TDataSink& aSink)
{
    // Where the reader stands: at the start of a line, inside one, after a
    // dot that opened a line, or after such a dot and a CR.
    enum class TAt { LineStart, InLine, Dot, DotCr };
    TAt at = TAt::LineStart;
    // Mid-message: the rest of it would be read as replies.
    const TOnFailure closeOnError([this]() noexcept { FTransport.Close(); });
    for (bool done = false; !done;) {
        const std::string_view data = FTransport.Peek();
        size_t from = 0;   // [from, i) is message data not yet handed on
        size_t i = 0;
        while (i < data.size() && !done) {
            switch (at) {
            case TAt::LineStart:
                if (data[i] == '.') {
                    if (i > from)
                        aSink(data.substr(from, i - from));
                    from = ++i;   // the dot is never data
                    at = TAt::Dot;
                } else {
                    at = TAt::InLine;
                }
                break;
            case TAt::InLine: {
                const void* lf = std::memchr(data.data() + i, '\n', data.size() - i);
                if (lf) {
                    i = static_cast<size_t>(static_cast<const char*>(lf) - data.data()) + 1;
                    at = TAt::LineStart;
                } else {
                    i = data.size();
                }
                break;
            }
            case TAt::Dot:
                if (data[i] == '\n') {
                    done = true;   // "." and a bare LF: the end, too
                } else if (data[i] == '\r') {
                    from = ++i;    // held back: it may end the message
                    at = TAt::DotCr;
                } else {
                    at = TAt::InLine;
                }
                break;
            case TAt::DotCr:
                if (data[i] == '\n') {
                    done = true;
                } else {
                    aSink("\r");
                    at = TAt::InLine;
                }
                break;
            }
        }
        if (done) {
            FTransport.Consume(i + 1);
        } else {
            if (i > from)
                aSink(data.substr(from, i - from));
            FTransport.Consume(i);
        }
    }
}

void TPop3Client::Top(int aNumber, int aLines, const TDataSink& aSink)
{
    Command(FormatText("TOP %d %d", {aNumber, aLines}));
    ReadDotTerminated(aSink);
}

std::string TPop3Client::RetrieveHeader(int aNumber)
{
    std::string header;
    Top(aNumber, 0, [&](std::string_view aData) {
        if (header.size() + aData.size() > kMaxHeaderSize)
            throw EMalformedReplyError(FormatText("Header of message %d is longer than %u bytes",
                                                  {aNumber, kMaxHeaderSize}));
        header.append(aData);
    });
    return header;
}

int64_t TPop3Client::RetrieveMsgSize(int aNumber)
{
    const TServerReply& reply = SendCmd(FormatText("LIST %d", {aNumber}));
    if (!reply.IsSuccess())
        return -1;
    const std::string text = reply.Text();
    const std::vector<std::string_view> words = Words(text, 2);
    int number = 0;
    int64_t size = 0;
    if (words.size() < 2 || !ParseDecimal(words[0], number) || number != aNumber || !ParseDecimal(words[1], size))
        throw EMalformedReplyError("Malformed LIST reply " + Quoted(text));
    return size;
}

void TPop3Client::Retrieve(int aNumber, const TDataSink& aSink)
{
    Command(FormatText("RETR %d", {aNumber}));
    ReadDotTerminated(aSink);
}

TPop3Stat TPop3Client::Stat()
{
    const std::string text = Command("STAT").Text();
    const std::vector<std::string_view> words = Words(text, 2);
    TPop3Stat stat;
    if (words.size() < 2 || !ParseDecimal(words[0], stat.Count) || !ParseDecimal(words[1], stat.Size))
        throw EMalformedReplyError("Malformed STAT reply " + Quoted(text));
    return stat;
}

void TPop3Client::Disconnect() noexcept
{
    if (FTransport.Connected() && !FTransport.Cancelled()) {
        try {
            SendCmd("QUIT");
        } catch (const std::exception& e) {
            TLog::O(lolDebug, "POP3 QUIT failed: %s", {e.what()});
        } catch (...) {
        }
    }
    FTransport.Close();
}
