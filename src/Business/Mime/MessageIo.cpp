#include "MessageIo.h"

#include "GMimeLibrary.h"
#include "HeaderCoding.h"
#include "Runtime/Errors.h"
#include "Runtime/AsciiText.h"

#include <fcntl.h>
#include <memory>
#include <optional>
#include <string_view>

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

} // namespace

std::string DecodedContentOf(GMimeObject* aPart)
{
    TGObject<GMimeStream> memory(g_mime_stream_mem_new());
    if (GMIME_IS_PART(aPart)) {
        if (GMimeDataWrapper* content = g_mime_part_get_content(GMIME_PART(aPart)))
            g_mime_data_wrapper_write_to_stream(content, memory.get());
    } else if (GMIME_IS_MESSAGE_PART(aPart)) {
        if (GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(aPart)))
            WriteAttachedMessage(inner, memory.get());
    }
    GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(memory.get()));
    return std::string(reinterpret_cast<const char*>(bytes->data), bytes->len);
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

void WriteDecodedContentToFile(GMimeObject* aPart, const std::filesystem::path& aFile)
{
    TGObject<GMimeStream> file = CreateFileStream(aFile);
    ssize_t written = 0;
    if (GMIME_IS_PART(aPart)) {
        if (GMimeDataWrapper* content = g_mime_part_get_content(GMIME_PART(aPart)))
            written = g_mime_data_wrapper_write_to_stream(content, file.get());
    } else if (GMIME_IS_MESSAGE_PART(aPart)) {
        if (GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(aPart)))
            written = WriteAttachedMessage(inner, file.get());
    }
    if (written < 0 || g_mime_stream_flush(file.get()) != 0)
        throw Exception("不能写入文件 " + aFile.string());
}
