#include "MessageIo.h"

#include "GMimeLibrary.h"
#include "HeaderCoding.h"
#include "Runtime/Errors.h"
#include "Runtime/AsciiText.h"

#include <fcntl.h>

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

std::string DecodedContentOf(GMimeObject* aPart)
{
    TGObject<GMimeStream> memory(g_mime_stream_mem_new());
    if (GMIME_IS_PART(aPart)) {
        if (GMimeDataWrapper* content = g_mime_part_get_content(GMIME_PART(aPart)))
            g_mime_data_wrapper_write_to_stream(content, memory.get());
    } else if (GMIME_IS_MESSAGE_PART(aPart)) {
        if (GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(aPart)))
            g_mime_object_write_to_stream(GMIME_OBJECT(inner), nullptr, memory.get());
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
            written = g_mime_object_write_to_stream(GMIME_OBJECT(inner), nullptr, file.get());
    }
    if (written < 0 || g_mime_stream_flush(file.get()) != 0)
        throw Exception("不能写入文件 " + aFile.string());
}
