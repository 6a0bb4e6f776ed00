#include "MessageIo.h"

#include "AddressList.h"
#include "GMimeLibrary.h"
#include "HeaderCoding.h"
#include "Runtime/Errors.h"
#include "Runtime/AsciiText.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

TGObject<GMimeMessage> ParseMessage(std::string_view aBytes)
{
    EnsureGMimeInitialised();
    TGObject<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(aBytes.data(), aBytes.size()));
    TGObject<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    return TGObject<GMimeMessage>(g_mime_parser_construct_message(parser.get(), nullptr));
}

std::string SerialiseMessage(GMimeMessage* aMessage)
{
    EnsureGMimeInitialised();
    TGObject<GMimeStream> memory(g_mime_stream_mem_new());
    g_mime_object_write_to_stream(GMIME_OBJECT(aMessage), nullptr, memory.get());
    GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(memory.get()));
    return std::string(reinterpret_cast<const char*>(bytes->data), bytes->len);
}

namespace {

// Whether aBytes breaks its lines with CRLF; nothing when it has no line
// break.
std::optional<bool> CrlfIn(std::string_view aBytes)
{
    const std::size_t lf = aBytes.find('\n');
    if (lf == std::string_view::npos)
        return std::nullopt;
    return lf > 0 && aBytes[lf - 1] == '\r';
}

// The line ends a parsed object was written with, from the first line
// break found in its headers or in a leaf's content as it came.
std::optional<bool> WrittenWithCrlf(GMimeObject* aObject, int aDepth = 0)
{
    if (!aObject || aDepth > 32)
        return std::nullopt;
    if (GMimeHeaderList* headers = g_mime_object_get_header_list(aObject))
        for (int i = 0; i < g_mime_header_list_get_count(headers); ++i)
            if (const char* raw = g_mime_header_get_raw_value(g_mime_header_list_get_header_at(headers, i)))
                if (auto crlf = CrlfIn(raw))
                    return crlf;
    if (GMIME_IS_MESSAGE(aObject))
        return WrittenWithCrlf(g_mime_message_get_mime_part(GMIME_MESSAGE(aObject)), aDepth + 1);
    if (GMIME_IS_MESSAGE_PART(aObject))
        return WrittenWithCrlf(GMIME_OBJECT(g_mime_message_part_get_message(GMIME_MESSAGE_PART(aObject))), aDepth + 1);
    if (GMIME_IS_MULTIPART(aObject)) {
        GMimeMultipart* multipart = GMIME_MULTIPART(aObject);
        if (const char* prologue = g_mime_multipart_get_prologue(multipart))
            if (auto crlf = CrlfIn(prologue))
                return crlf;
        for (int i = 0; i < g_mime_multipart_get_count(multipart); ++i)
            if (auto crlf = WrittenWithCrlf(g_mime_multipart_get_part(multipart, i), aDepth + 1))
                return crlf;
        return std::nullopt;
    }
    if (!GMIME_IS_PART(aObject))
        return std::nullopt;
    GMimeDataWrapper* content = g_mime_part_get_content(GMIME_PART(aObject));
    GMimeStream* stream = content ? g_mime_data_wrapper_get_stream(content) : nullptr;
    if (!stream || g_mime_stream_reset(stream) != 0)
        return std::nullopt;
    char buffer[4096];
    const ssize_t n = g_mime_stream_read(stream, buffer, sizeof buffer);
    g_mime_stream_reset(stream);
    return n > 0 ? CrlfIn(std::string_view(buffer, static_cast<std::size_t>(n))) : std::nullopt;
}

// An attached message goes out with the line ends it came with (mail on
// the wire has CRLF; GMime's default would write LF).
ssize_t WriteAttachedMessage(GMimeMessage* aMessage, GMimeStream* aStream)
{
    std::unique_ptr<GMimeFormatOptions, decltype(&g_mime_format_options_free)> options(g_mime_format_options_new(),
                                                                                      &g_mime_format_options_free);
    g_mime_format_options_set_newline_format(options.get(), WrittenWithCrlf(GMIME_OBJECT(aMessage)).value_or(true)
                                                                ? GMIME_NEWLINE_FORMAT_DOS
                                                                : GMIME_NEWLINE_FORMAT_UNIX);
    return g_mime_object_write_to_stream(GMIME_OBJECT(aMessage), options.get(), aStream);
}

bool IsLineBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

// A line of a stream as a scan saw it: where it starts, the line break
// before it, its first bytes and whether every later byte is a blank.
struct TLine {
    gint64 Offset = 0;
    gint64 BreakBefore = 0;   // 0 (the first line), 1 (LF) or 2 (CRLF)
    std::string Head;         // its LF not included, its CR included
    std::size_t Length = 0;
    bool RestBlank = true;
};

// The first line of aSource from aFrom (a line start) on for which
// aWanted is true; the stream is read in blocks, so a large part never
// sits in memory.
template <class TWanted>
std::optional<TLine> FindLine(GMimeStream* aSource, gint64 aFrom, std::size_t aHeadSize, const TWanted& aWanted)
{
    TGObject<GMimeStream> rest(g_mime_stream_substream(aSource, aFrom, -1));
    if (!rest)
        return std::nullopt;
    std::vector<char> block(64 * 1024);
    TLine line;
    line.Offset = aFrom;
    char last = '\0';
    for (gint64 read = aFrom;;) {
        const ssize_t n = g_mime_stream_read(rest.get(), block.data(), block.size());
        if (n <= 0)
            break;
        const char* const data = block.data();
        for (std::size_t at = 0; at < static_cast<std::size_t>(n);) {
            const auto* lf = static_cast<const char*>(std::memchr(data + at, '\n', static_cast<std::size_t>(n) - at));
            const std::size_t stop = lf ? static_cast<std::size_t>(lf - data) : static_cast<std::size_t>(n);
            const std::size_t kept = std::min(stop - at, aHeadSize - line.Head.size());
            line.Head.append(data + at, kept);
            if (line.RestBlank)
                line.RestBlank = std::all_of(data + at + kept, data + stop, IsLineBlank);
            line.Length += stop - at;
            if (stop > at)
                last = data[stop - 1];
            if (!lf)
                break;
            if (aWanted(line))
                return line;
            const gint64 lineBreak = line.Length > 0 && last == '\r' ? 2 : 1;
            line = TLine();
            line.Offset = read + static_cast<gint64>(stop) + 1;
            line.BreakBefore = lineBreak;
            last = '\0';
            at = stop + 1;
        }
        read += n;
    }
    if (line.Length > 0 && aWanted(line))   // a last line without a break
        return line;
    return std::nullopt;
}

// A boundary line as GMime's parser knows one: "--" and a boundary,
// perhaps "--" after it, then only blanks.
bool IsBoundaryLine(const TLine& aLine, const TEnclosingBoundaries& aBoundaries)
{
    if (!aLine.RestBlank || aLine.Head.rfind("--", 0) != 0)
        return false;
    for (const std::string& boundary : aBoundaries) {
        if (aLine.Head.size() < boundary.size() + 2 || aLine.Head.compare(2, boundary.size(), boundary) != 0)
            continue;
        std::string_view rest = std::string_view(aLine.Head).substr(boundary.size() + 2);
        if (rest.rfind("--", 0) == 0)
            rest.remove_prefix(2);
        if (std::all_of(rest.begin(), rest.end(), IsLineBlank))
            return true;
    }
    return false;
}

// The stream a parsed object's leaves were read from, and the span of
// their contents in it; GMime keeps each leaf's content as a part of the
// stream it parsed when that stream can seek.
struct TLeafSpan {
    GMimeStream* Source = nullptr;
    gint64 Begin = -1;
    gint64 End = -1;
    bool Agree = true;   // every leaf lies in the one source
};

void SpanOfLeaves(GMimeObject* aObject, TLeafSpan& aSpan, int aDepth = 0)
{
    if (!aObject || aDepth > 64) {
        aSpan.Agree = aSpan.Agree && aObject == nullptr;
        return;
    }
    if (GMIME_IS_MULTIPART(aObject)) {
        for (int i = 0; i < g_mime_multipart_get_count(GMIME_MULTIPART(aObject)); ++i)
            SpanOfLeaves(g_mime_multipart_get_part(GMIME_MULTIPART(aObject), i), aSpan, aDepth + 1);
        return;
    }
    if (GMIME_IS_MESSAGE_PART(aObject)) {
        if (GMimeMessage* message = g_mime_message_part_get_message(GMIME_MESSAGE_PART(aObject)))
            SpanOfLeaves(g_mime_message_get_mime_part(message), aSpan, aDepth + 1);
        return;
    }
    GMimeDataWrapper* content = GMIME_IS_PART(aObject) ? g_mime_part_get_content(GMIME_PART(aObject)) : nullptr;
    GMimeStream* stream = content ? g_mime_data_wrapper_get_stream(content) : nullptr;
    if (!stream || !stream->super_stream || stream->bound_start < 0 || stream->bound_end < stream->bound_start ||
        (aSpan.Source && aSpan.Source != stream->super_stream)) {
        aSpan.Agree = false;
        return;
    }
    aSpan.Source = stream->super_stream;
    aSpan.Begin = aSpan.Begin < 0 ? stream->bound_start : std::min(aSpan.Begin, stream->bound_start);
    aSpan.End = std::max(aSpan.End, stream->bound_end);
}

gint64 FirstHeaderOffset(GMimeObject* aObject)
{
    GMimeHeaderList* headers = g_mime_object_get_header_list(aObject);
    return headers && g_mime_header_list_get_count(headers) > 0
               ? g_mime_header_get_offset(g_mime_header_list_get_header_at(headers, 0))
               : -1;
}

// Where an attached message lies in the bytes it was parsed from: from
// the end of its part's headers to the first boundary line around it (the
// line break before that line belongs to the boundary), or to the end of
// the bytes when no boundary is around it. Nothing when GMime kept no
// such bytes (a message built in memory) or when they disagree with what
// it parsed.
struct TWrittenRange {
    GMimeStream* Source = nullptr;
    gint64 Begin = 0;
    gint64 End = -1;   // -1: to the end
};

std::optional<TWrittenRange> WrittenRangeOf(GMimeMessagePart* aPart, const TEnclosingBoundaries& aAround)
{
    GMimeMessage* inner = g_mime_message_part_get_message(aPart);
    if (!inner)
        return std::nullopt;
    TLeafSpan leaves;
    SpanOfLeaves(g_mime_message_get_mime_part(inner), leaves);
    if (!leaves.Source || !leaves.Agree)
        return std::nullopt;
    TWrittenRange range{leaves.Source};
    const gint64 innerHeaders = FirstHeaderOffset(GMIME_OBJECT(inner));
    if (const gint64 partHeaders = FirstHeaderOffset(GMIME_OBJECT(aPart)); partHeaders >= 0) {
        const auto blank = FindLine(range.Source, partHeaders, 1, [](const TLine& aLine) {
            return aLine.Length == 0 || (aLine.Length == 1 && aLine.Head == "\r");
        });
        if (!blank)
            return std::nullopt;
        range.Begin = blank->Offset + static_cast<gint64>(blank->Length) + 1;
    } else if (innerHeaders >= 0) {
        range.Begin = innerHeaders;   // the part came without headers of its own
    } else {
        return std::nullopt;
    }
    if ((innerHeaders >= 0 && innerHeaders < range.Begin) || leaves.Begin < range.Begin)
        return std::nullopt;
    if (aAround.empty())
        return range;
    std::size_t longest = 0;
    for (const std::string& boundary : aAround)
        longest = std::max(longest, boundary.size());
    const auto boundary = FindLine(range.Source, range.Begin, longest + 4,
                                   [&](const TLine& aLine) { return IsBoundaryLine(aLine, aAround); });
    if (!boundary)
        return range;   // a multipart that never ends runs to the end
    if (leaves.End > boundary->Offset)
        return std::nullopt;
    range.End = std::max(range.Begin, boundary->Offset - boundary->BreakBefore);
    return range;
}

// A part's content as the receiver gets it, written to aStream: a leaf's
// content decoded; an attached message as it was in the mail when its
// place is known and GMime kept the bytes, else as GMime writes it.
ssize_t WriteContent(GMimeObject* aPart, const TEnclosingBoundaries* aAround, GMimeStream* aStream)
{
    if (GMIME_IS_PART(aPart)) {
        GMimeDataWrapper* content = g_mime_part_get_content(GMIME_PART(aPart));
        return content ? g_mime_data_wrapper_write_to_stream(content, aStream) : 0;
    }
    if (!GMIME_IS_MESSAGE_PART(aPart))
        return 0;
    GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(aPart));
    if (!inner)
        return 0;
    if (aAround)
        if (const auto range = WrittenRangeOf(GMIME_MESSAGE_PART(aPart), *aAround)) {
            TGObject<GMimeStream> written(g_mime_stream_substream(range->Source, range->Begin, range->End));
            return written ? g_mime_stream_write_to_stream(written.get(), aStream) : -1;
        }
    return WriteAttachedMessage(inner, aStream);
}

std::string ContentOf(GMimeObject* aPart, const TEnclosingBoundaries* aAround)
{
    TGObject<GMimeStream> memory(g_mime_stream_mem_new());
    WriteContent(aPart, aAround, memory.get());
    GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(memory.get()));
    return std::string(reinterpret_cast<const char*>(bytes->data), bytes->len);
}

} // namespace

std::string DecodedContentOf(GMimeObject* aPart, const TEnclosingBoundaries& aAround)
{
    return ContentOf(aPart, &aAround);
}

std::string DecodedContentOf(GMimeObject* aPart)
{
    return ContentOf(aPart, nullptr);
}

std::string HeaderText(GMimeObject* aObject, const char* aName)
{
    if (!aObject)
        return {};
    GMimeHeader* header = g_mime_header_list_get_header(g_mime_object_get_header_list(aObject), aName);
    if (!header)
        return {};
    const char* raw = g_mime_header_get_raw_value(header);
    return Trimmed(DecodeHeaderText(raw ? raw : ""), " \t");
}

std::vector<std::string> HeaderAddresses(GMimeObject* aObject, const char* aName)
{
    std::vector<std::string> addresses;
    for (const TAddressItem& item : ParseAddressList(HeaderText(aObject, aName)))
        if (!item.Address.empty())
            addresses.push_back(item.Address);
    return addresses;
}

namespace {

TGObject<GMimeStream> CreateFileStream(const std::filesystem::path& aFile)
{
    GError* error = nullptr;
    TGObject<GMimeStream> file(
        g_mime_stream_fs_open(aFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600, &error));
    if (!file) {
        const std::string message = error ? error->message : "";
        g_clear_error(&error);
        throw Exception("不能写入文件 " + aFile.string() + ": " + message);
    }
    return file;
}

} // namespace

void WriteMessageToFile(GMimeMessage* aMessage, const std::filesystem::path& aFile)
{
    EnsureGMimeInitialised();
    TGObject<GMimeStream> file = CreateFileStream(aFile);
    if (g_mime_object_write_to_stream(GMIME_OBJECT(aMessage), nullptr, file.get()) < 0 ||
        g_mime_stream_flush(file.get()) != 0)
        throw Exception("不能写入文件 " + aFile.string());
}

void WriteDecodedContentToFile(GMimeObject* aPart, const std::filesystem::path& aFile,
                               const TEnclosingBoundaries& aAround)
{
    TGObject<GMimeStream> file = CreateFileStream(aFile);
    const ssize_t written = WriteContent(aPart, &aAround, file.get());
    if (written < 0 || g_mime_stream_flush(file.get()) != 0)
        throw Exception("不能写入文件 " + aFile.string());
}
