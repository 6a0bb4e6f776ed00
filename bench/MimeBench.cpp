// Messages per second: taking a message apart beside the same parse with
// bare GMime, and building and writing an outgoing mail.
#include "Business/Mime/GMimeLibrary.h"
#include "Business/Mime/HeaderCoding.h"
#include "Business/Mime/MessageBuilder.h"
#include "Business/Mime/MessageIo.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

// A typical business mail: HTML with an inline picture and a 100 KB
// attachment, as a webmail writes it.
const std::string& SampleMessage()
{
    static const std::string message = [] {
        TIdMessageBuilderHtmlEx builder;
        builder.PlainText = builder.HtmlViewerNeededMsg;
        builder.HtmlCharSet = "utf-8";
        builder.HtmlContentTransfer = "base64";
        for (int i = 0; i < 40; ++i)
            builder.Html += "<p>尊敬的客户，您好！感谢您对我们不锈钢产品的关注，附件是最新报价。Line " + std::to_string(i) + "</p>";
        TIdMessageBuilderAttachment picture;
        picture.Data = std::make_shared<const std::string>(20000, 'p');
        picture.ContentType = "image/png";
        picture.ContentID = "qmc_0123456789ABCDEF0123456789ABCDEF";
        builder.HtmlFiles.push_back(picture);
        TIdMessageBuilderAttachment offer;
        offer.Data = std::make_shared<const std::string>(100000, 'x');
        offer.FileName = "报价单.pdf";
        offer.ContentType = "application/pdf";
        builder.Attachments.push_back(offer);
        TGObject<GMimeMessage> built(g_mime_message_new(TRUE));
        builder.FillMessage(built.get());
        return SerialiseMessage(built.get());
    }();
    return message;
}

void Walk(GMimeObject* aObject, std::size_t& aBytes)
{
    if (GMIME_IS_MULTIPART(aObject)) {
        for (int i = 0; i < g_mime_multipart_get_count(GMIME_MULTIPART(aObject)); ++i)
            Walk(g_mime_multipart_get_part(GMIME_MULTIPART(aObject), i), aBytes);
    } else if (aObject) {
        aBytes += DecodedContentOf(aObject).size();
    }
}

void BM_ParseBareGMime(benchmark::State& state)
{
    EnsureGMimeInitialised();
    const std::string& bytes = SampleMessage();
    for (auto _ : state) {
        TGObject<GMimeMessage> message = ParseMessage(bytes);
        std::size_t decoded = 0;
        Walk(g_mime_message_get_mime_part(message.get()), decoded);
        benchmark::DoNotOptimize(decoded);
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_ParseBareGMime);

void BM_ParseAndTakeApart(benchmark::State& state)
{
    const std::string& bytes = SampleMessage();
    for (auto _ : state) {
        TGObject<GMimeMessage> message = ParseMessage(bytes);
        TIdMessageBuilderHtmlEx parts;
        parts.InitByIdMessage(message.get());
        benchmark::DoNotOptimize(parts.Html.size());
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_ParseAndTakeApart);

void BM_BuildAndWrite(benchmark::State& state)
{
    const std::string& sample = SampleMessage();
    TIdMessageBuilderHtmlEx builder;
    builder.InitByIdMessage(ParseMessage(sample).get());
    builder.HtmlCharSet = "utf-8";
    builder.HtmlContentTransfer = "base64";
    for (auto _ : state) {
        TGObject<GMimeMessage> message(g_mime_message_new(TRUE));
        builder.FillMessage(message.get());
        benchmark::DoNotOptimize(SerialiseMessage(message.get()).size());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BuildAndWrite);

} // namespace

namespace {

// A subject of many adjacent B-encoded words of one charset, as a
// forwarded message's inner Subject can carry (no server limit applies to
// a header inside a body).
void BM_DecodeAdjacentEncodedWords(benchmark::State& aState)
{
    std::string subject;
    for (int64_t i = 0; i < aState.range(0); ++i)
        subject += "=?UTF-8?B?5L2g?= ";
    for (auto _ : aState)
        benchmark::DoNotOptimize(DecodeHeaderText(subject));
    aState.SetItemsProcessed(aState.iterations() * aState.range(0));
}
BENCHMARK(BM_DecodeAdjacentEncodedWords)->Arg(1000)->Arg(16000)->Arg(64000)->Unit(benchmark::kMillisecond);

// Words that open but never close.
void BM_DecodeUnclosedEncodedWords(benchmark::State& aState)
{
    std::string subject;
    for (int64_t i = 0; i < aState.range(0); ++i)
        subject += "=?UTF-8?B?5L2g";
    for (auto _ : aState)
        benchmark::DoNotOptimize(DecodeHeaderText(subject));
    aState.SetItemsProcessed(aState.iterations() * aState.range(0));
}
BENCHMARK(BM_DecodeUnclosedEncodedWords)->Arg(16000)->Arg(64000)->Unit(benchmark::kMillisecond);

// The same run of words as the Subject of a forwarded message, taken apart
// as a whole mail: GMime's parse, and the inner Subject decoded to name
// the attachment.
void BM_TakeApartForwardedManyWords(benchmark::State& aState)
{
    std::string subject;
    for (int64_t i = 0; i < aState.range(0); ++i)
        subject += "=?UTF-8?B?5L2g?= ";
    const std::string mail = "From: boss@example.com\r\nSubject: Fw\r\nMIME-Version: 1.0\r\n"
                             "Content-Type: multipart/mixed; boundary=\"f\"\r\n\r\n"
                             "--f\r\nContent-Type: text/plain\r\n\r\nSee below.\r\n"
                             "--f\r\nContent-Type: message/rfc822\r\n\r\nFrom: a@example.com\r\nSubject: " +
                             subject + "\r\n\r\nInner body.\r\n--f--\r\n";
    for (auto _ : aState) {
        TGObject<GMimeMessage> message = ParseMessage(mail);
        TIdMessageBuilderHtmlEx parts;
        parts.InitByIdMessage(message.get());
        benchmark::DoNotOptimize(parts.Attachments.size());
    }
    aState.SetItemsProcessed(aState.iterations() * aState.range(0));
}
BENCHMARK(BM_TakeApartForwardedManyWords)->Arg(16000)->Arg(64000)->Unit(benchmark::kMillisecond);

} // namespace
