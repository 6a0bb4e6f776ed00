// The HTTP module against the fake maker's server, over real loopback HTTP.
#include "Business/Http/HttpJsonReply.h"
#include "Business/Http/HttpRequest.h"
#include "Runtime/RcRef.h"
#include "Runtime/RunableCancelList.h"

#include "Support/FakeServerEnvironment.h"
#include "PlatformRoutes.h"
#include "Support/ScratchFolder.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

TFakeMakerServer* Server()
{
    return TFakeServerEnvironment::Server();
}

const std::string kRegistrationPath = "/mailOprAction!getUserRegistrTime.action";
const std::string kBytesPath = "/__test/bytes";

std::string Pattern(size_t aSize)
{
    std::string bytes(aSize, '\0');
    for (size_t i = 0; i < aSize; ++i)
        bytes[i] = static_cast<char>('a' + i % 26);
    return bytes;
}

std::string ReadFile(const std::filesystem::path& aPath)
{
    std::ifstream in(aPath, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class HttpRequestTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Server()->Reset();
        FScratchFolder = std::make_unique<TScratchFolder>("qm-http");
        FScratch = FScratchFolder->Path();
    }
    void TearDown() override
    {
        FScratchFolder.reset();
    }

    static std::string Url(const std::string& aPath) { return Server()->BaseUrl() + aPath.substr(1); }

    // Test timeouts: nothing waits for a default.
    static THttpOptions Fast()
    {
        THttpOptions options;
        options.ConnectTimeoutMs = 1000;
        options.IdleTimeoutMs = 5000;
        options.TotalTimeoutMs = 10000;
        return options;
    }

    static TRcRef<THttpRequest> Http(THttpOptions aOptions = Fast()) { return MakeRc<THttpRequest>(std::move(aOptions)); }

    std::filesystem::path FScratch;
    std::unique_ptr<TScratchFolder> FScratchFolder;
};

TEST_F(HttpRequestTest, FormPartsArriveInOrderWithTheirEncodings)
{
    const std::string fileContent = Pattern(300 * 1024);
    const auto file = FScratch / "raw.eml";
    std::ofstream(file, std::ios::binary) << fileContent;

    const std::vector<THttpField> fields = {
        THttpField::Plain("email_title", "报价 C++"),
        THttpField::Encoded("email_title", "报价 C++"),
        {"user_email", "a b", THttpFieldEncoding::UrlEncoded, false},
        {"client_type", "1", THttpFieldEncoding::Plain, true},
        THttpField::Encoded("user_email", "B <b@y.com>; c@z.com"),
        THttpField::Plain("empty", ""),
    };
    const std::vector<THttpFilePart> files = {
        {"file", file, "报价单 1.eml", "message/rfc822"},
        {"copy", file, "", ""},
    };
    int64_t lastDone = -1, lastTotal = -1;
    auto options = Fast();
    options.Progress = [&](int64_t aDone, int64_t aTotal) { lastDone = aDone, lastTotal = aTotal; };

    const auto result = Http(options)->PostForm(Url(kRegistrationPath), fields, files);
    ASSERT_TRUE(result.Ok) << result.Error;
    EXPECT_EQ(result.Status, 200);
    EXPECT_EQ(lastDone, lastTotal);
    EXPECT_GT(lastTotal, static_cast<int64_t>(2 * fileContent.size()));

    struct TExpected {
        std::string Name, Value, TransferEncoding;
        std::optional<std::string> FileName;
        std::string ContentType;
    };
    const std::vector<TExpected> expected = {
        {"email_title", "报价 C++", "", std::nullopt, ""},
        {"email_title", "%E6%8A%A5%E4%BB%B7%20C%2B%2B", "7bit", std::nullopt, ""},
        {"user_email", "a%20b", "", std::nullopt, ""},
        {"client_type", "1", "7bit", std::nullopt, ""},
        {"user_email", "B%20%3Cb%40y.com%3E%3B%20c%40z.com", "7bit", std::nullopt, ""},
        {"empty", "", "", std::nullopt, ""},
        {"file", fileContent, "", "报价单 1.eml", "message/rfc822"},
        {"copy", fileContent, "", "raw.eml", "application/octet-stream"},
    };
    const auto requests = Server()->Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].Method, "POST");
    EXPECT_EQ(requests[0].Path, kRegistrationPath);
    ASSERT_EQ(requests[0].Parts.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const auto& part = requests[0].Parts[i];
        SCOPED_TRACE("part " + std::to_string(i) + " " + expected[i].Name);
        EXPECT_EQ(part.Name, expected[i].Name);
        EXPECT_TRUE(part.Value == expected[i].Value) << "value of " << part.Value.size() << " bytes differs";
        EXPECT_EQ(part.FileName, expected[i].FileName);
        EXPECT_EQ(part.ContentType, expected[i].ContentType);
        std::string transferEncoding;
        for (const auto& [name, value] : part.Headers)
            if (name == "Content-Transfer-Encoding")
                transferEncoding = value;
        EXPECT_EQ(transferEncoding, expected[i].TransferEncoding);
    }
}

TEST_F(HttpRequestTest, AFormThatCannotBeSentIsRefusedBeforeSending)
{
    struct TCase {
        std::vector<THttpField> Fields;
        std::vector<THttpFilePart> Files;
        std::string Error;
    };
    const std::vector<TCase> cases = {
        {{{"subject", "报价", THttpFieldEncoding::Plain, true}}, {}, "Form field \"subject\" is not 7-bit text"},
        {{THttpField::Plain("a", "1")}, {{"file", FScratch / "missing.eml", "", ""}},
         "Cannot read the file of form part \"file\": " + (FScratch / "missing.eml").string()},
        {{}, {{"file", FScratch, "", ""}}, "Cannot read the file of form part \"file\": " + FScratch.string()},
    };
    for (const auto& c : cases) {
        const auto result = Http()->PostForm(Url(kRegistrationPath), c.Fields, c.Files);
        EXPECT_FALSE(result.Ok);
        EXPECT_EQ(result.Error, c.Error);
    }
    EXPECT_TRUE(Server()->Requests().empty());
}

TEST_F(HttpRequestTest, AnyStatusOutside2xxIsAFailureCarryingIt)
{
    struct TCase {
        int Status;
        bool Ok;
    };
    for (const auto& c : std::vector<TCase>{{500, false}, {404, false}, {304, false}, {204, true}, {299, true}}) {
        Server()->Script(kRegistrationPath, {TScriptedReply::WithStatus(c.Status)});
        const auto result = Http()->PostForm(Url(kRegistrationPath), {THttpField::Plain("user_email", "a@b.c")});
        EXPECT_EQ(result.Ok, c.Ok) << c.Status;
        EXPECT_EQ(result.Status, c.Status);
        EXPECT_EQ(result.Error, c.Ok ? "" : "HTTP " + std::to_string(c.Status));
        EXPECT_FALSE(result.Cancelled);
    }
}

TEST_F(HttpRequestTest, RedirectsAreFollowedOnlyToHttp)
{
    struct TCase {
        std::string Location;
        bool Ok;
        std::string Body;
        int CurlCode;
    };
    const std::vector<TCase> cases = {
        {kBytesPath + "?size=5", true, "abcde", CURLE_OK},
        {Server()->BaseUrl() + "__test/bytes?size=3", true, "abc", CURLE_OK},
        {"file:///etc/passwd", false, "", CURLE_UNSUPPORTED_PROTOCOL},
        {"ftp://127.0.0.1/etc/passwd", false, "", CURLE_UNSUPPORTED_PROTOCOL},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Location);
        Server()->Reset();
        Server()->Script(kRegistrationPath, {TScriptedReply::RedirectTo(c.Location)});
        const auto result = Http()->PostForm(Url(kRegistrationPath), {THttpField::Plain("user_email", "a@b.c")});
        EXPECT_EQ(result.Ok, c.Ok) << result.Error;
        EXPECT_EQ(result.CurlCode, c.CurlCode);
        EXPECT_EQ(result.Body, c.Body);
        if (c.Ok) {   // the POST was answered by a GET of the new place
            const auto requests = Server()->Requests();
            ASSERT_EQ(requests.size(), 2u);
            EXPECT_EQ(requests[1].Method, "GET");
            EXPECT_EQ(requests[1].Path, kBytesPath);
        } else {
            EXPECT_EQ(result.Status, 302);
            EXPECT_FALSE(result.Error.empty());
        }
    }
}

// A redirect never takes a form (and the password field in it) to another
// site, nor anything from https to plain http.
TEST_F(HttpRequestTest, RedirectsKeepFormsAtHomeAndNeverLeaveHttps)
{
    struct TRule {
        const char* From;
        const char* To;
        bool WithBody;
        bool Followed;
    } rules[] = {
        {"https://a.example/x", "https://a.example/y", true, true},
        {"https://a.example/x", "/y?z", true, true},
        {"https://a.example/x", "https://A.EXAMPLE:443/y", true, true},
        {"https://a.example/x", "https://b.example/y", true, false},
        {"https://a.example/x", "https://a.example:8443/y", true, false},
        {"http://a.example/x", "https://a.example/y", true, false},
        {"https://a.example/x", "http://a.example/y", true, false},
        {"https://a.example/x", "http://a.example/y", false, false},
        {"https://a.example/x", "https://b.example/y", false, true},
        {"http://a.example/x", "http://b.example/y", false, true},
        // libcurl follows a Location with blanks in it (it encodes them),
        // so they are judged like any other.
        {"https://a.example/x", "http://a.example/a b", false, false},
        {"http://a.example/x", "http://b.example/a b", true, false},
        {"http://a.example/x", "/a b", true, true},
        // What cannot be read cannot be judged.
        {"https://a.example/x", "https://[a.example/y", false, false},
        {"https://a.example/x", "https://a.example:99999/y", true, false},
    };
    for (const auto& rule : rules)
        EXPECT_EQ(!HttpRedirectRefusal(rule.From, rule.To, rule.WithBody), rule.Followed)
            << rule.From << " -> " << rule.To << (rule.WithBody ? " with a body" : "");

    // End to end: redirects to another loopback port. libcurl follows a
    // Location on any 3xx, and re-sends the body on every one but 301-303.
    TFakeMakerServer other;
    other.Start();
    const struct {
        int Status;
        std::string Location;
    } redirects[] = {
        {302, other.BaseUrl() + "__test/bytes?size=3"},
        {307, other.BaseUrl() + "__test/bytes?size=3"},
        {308, other.BaseUrl() + "__test/bytes?size=3"},
        {300, other.BaseUrl() + "__test/bytes?size=3"},
        {399, other.BaseUrl() + "__test/bytes?size=3"},
        {307, other.BaseUrl() + "__test/bytes?size=3&pad=a b"},
    };
    for (const auto& r : redirects) {
        SCOPED_TRACE(std::to_string(r.Status) + " " + r.Location);
        Server()->Reset();
        other.Reset();
        TScriptedReply redirect = TScriptedReply::RedirectTo(r.Location);
        redirect.Status = r.Status;
        Server()->Script(kRegistrationPath, {redirect});
        const auto result =
            Http()->PostForm(Url(kRegistrationPath), {THttpField::Plain("user_password", "secret")});
        EXPECT_FALSE(result.Ok);
        EXPECT_EQ(result.Status, r.Status);
        EXPECT_EQ(result.Error.rfind("Redirect of a form to another site refused", 0), 0u) << result.Error;
        EXPECT_TRUE(other.Requests().empty());
    }
    // A plain GET may go there.
    Server()->Reset();
    Server()->Script(kBytesPath, {TScriptedReply::RedirectTo(other.BaseUrl() + "__test/bytes?size=3")});
    const auto get = Http()->Get(Url(kBytesPath));
    EXPECT_TRUE(get.Ok) << get.Error;
    EXPECT_EQ(get.Body, "abc");

    // Within the site a 307 still re-sends the form.
    Server()->Reset();
    TScriptedReply home = TScriptedReply::RedirectTo(kBytesPath + "?size=3");
    home.Status = 307;
    Server()->Script(kRegistrationPath, {home});
    const auto resent = Http()->PostForm(Url(kRegistrationPath), {THttpField::Plain("user_password", "secret")});
    EXPECT_TRUE(resent.Ok) << resent.Error;
    EXPECT_EQ(resent.Body, "abc");
    const auto requests = Server()->Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].Method, "POST");
    EXPECT_EQ(requests[1].Path, kBytesPath);
    EXPECT_EQ(requests[1].Field("user_password"), "secret");
}

TEST_F(HttpRequestTest, RedirectLimit)
{
    struct TCase {
        int MaxRedirects, Redirects;
        bool Ok;
    };
    for (const auto& c : std::vector<TCase>{{2, 2, true}, {2, 3, false}, {0, 1, false}}) {
        Server()->Reset();
        Server()->Script(kBytesPath, std::vector<TScriptedReply>(c.Redirects, TScriptedReply::RedirectTo(kBytesPath + "?size=2")));
        auto options = Fast();
        options.MaxRedirects = c.MaxRedirects;
        const auto result = Http(options)->Get(Url(kBytesPath) + "?size=2");
        EXPECT_EQ(result.Ok, c.Ok) << c.MaxRedirects << " " << c.Redirects;
        EXPECT_EQ(result.CurlCode, c.Ok ? CURLE_OK : CURLE_TOO_MANY_REDIRECTS);
        EXPECT_EQ(result.Body, c.Ok ? "ab" : "");
    }
}

TEST_F(HttpRequestTest, ServerDownIsATransportError)
{
    // A port that was free a moment ago and has no listener now.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length), 0);
    ::close(fd);

    const auto url = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/x";
    const auto start = std::chrono::steady_clock::now();
    const auto result = Http()->PostForm(url, {THttpField::Plain("user_email", "a@b.c")});
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_FALSE(result.Ok);
    EXPECT_FALSE(result.Cancelled);
    EXPECT_EQ(result.Status, 0);
    EXPECT_EQ(result.CurlCode, CURLE_COULDNT_CONNECT);
    EXPECT_FALSE(result.Error.empty());
}

TEST_F(HttpRequestTest, TimeoutsEndASilentServer)
{
    struct TCase {
        long TotalMs, IdleMs;
    };
    for (const auto& c : std::vector<TCase>{{300, 0}, {0, 1000}}) {
        Server()->Script(kRegistrationPath, {TScriptedReply::Delay(4000)});
        auto options = Fast();
        options.TotalTimeoutMs = c.TotalMs;
        options.IdleTimeoutMs = c.IdleMs;
        const auto result = Http(options)->PostForm(Url(kRegistrationPath), {THttpField::Plain("user_email", "a@b.c")});
        EXPECT_FALSE(result.Ok);
        EXPECT_FALSE(result.Cancelled);
        EXPECT_EQ(result.CurlCode, CURLE_OPERATION_TIMEDOUT) << result.Error;
    }
}

TEST_F(HttpRequestTest, CancelFromAnotherThreadEndsAWaitingRequest)
{
    Server()->Script(kRegistrationPath, {TScriptedReply::Delay(20000)});
    auto options = Fast();
    options.IdleTimeoutMs = 0;
    options.TotalTimeoutMs = 0;
    const auto http = Http(options);
    TRunableCancelList cancelList;
    cancelList.Register(http.Get());

    THttpResult result;
    std::thread worker([&] { result = http->PostForm(Url(kRegistrationPath), {THttpField::Plain("user_email", "a@b.c")}); });
    for (int i = 0; i < 500 && Server()->Requests().empty(); ++i)   // the server holds the request now
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const auto cancelled = std::chrono::steady_clock::now();
    cancelList.Cancel();
    worker.join();
    EXPECT_LT(std::chrono::steady_clock::now() - cancelled, std::chrono::seconds(5));
    cancelList.UnRegister(http.Get());

    EXPECT_TRUE(result.Cancelled);
    EXPECT_FALSE(result.Ok);
    EXPECT_EQ(result.Error, THttpRequest::kCancelledError);

    // A cancelled object stays cancelled: the next request is not sent.
    const auto again = http->Get(Url(kBytesPath) + "?size=1");
    EXPECT_TRUE(again.Cancelled);
    EXPECT_EQ(Server()->Requests().size(), 1u);
}

TEST_F(HttpRequestTest, RepliesInMemoryAreBounded)
{
    struct TCase {
        size_t Limit;
        bool Ok;
    };
    for (const auto& c : std::vector<TCase>{{1000, true}, {999, false}}) {
        auto options = Fast();
        options.MaxBodyBytes = c.Limit;
        const auto result = Http(options)->Get(Url(kBytesPath) + "?size=1000");
        EXPECT_EQ(result.Ok, c.Ok);
        EXPECT_EQ(result.Error, c.Ok ? "" : "Reply larger than 999 bytes");
        EXPECT_EQ(result.Body, c.Ok ? Pattern(1000) : "");
    }
}

TEST_F(HttpRequestTest, GetToFileStreamsToDisk)
{
    constexpr size_t kSize = 3 * 1024 * 1024;
    const auto file = FScratch / "download.bin";
    std::ofstream(file) << "old content that must go";
    auto options = Fast();
    options.MaxBodyBytes = 1024;   // the memory bound does not apply to the file
    int64_t lastDone = -1;
    options.Progress = [&](int64_t aDone, int64_t) { lastDone = aDone; };

    const auto result = Http(options)->GetToFile(Url(kBytesPath) + "?size=" + std::to_string(kSize), file);
    ASSERT_TRUE(result.Ok) << result.Error;
    EXPECT_TRUE(result.Body.empty());
    EXPECT_EQ(lastDone, static_cast<int64_t>(kSize));
    EXPECT_TRUE(ReadFile(file) == Pattern(kSize));
    EXPECT_EQ(std::filesystem::status(file).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

    // A failure leaves no file behind, only the start of the error page in memory.
    Server()->Script(kBytesPath, {TScriptedReply::Text(Pattern(5000), 500)});
    const auto failed = Http(options)->GetToFile(Url(kBytesPath) + "?size=10", file);
    EXPECT_FALSE(failed.Ok);
    EXPECT_EQ(failed.Status, 500);
    EXPECT_EQ(failed.Body, Pattern(1024));
    EXPECT_FALSE(std::filesystem::exists(file));

    options.MaxFileBytes = kSize - 1;
    const auto tooLarge = Http(options)->GetToFile(Url(kBytesPath) + "?size=" + std::to_string(kSize), file);
    EXPECT_FALSE(tooLarge.Ok);
    EXPECT_EQ(tooLarge.Error, "Download larger than " + std::to_string(kSize - 1) + " bytes");
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(HttpRequestTest, ScriptedPlatformRepliesThroughTheAdminRoutes)
{
    const auto admin = Http();
    const auto script = nlohmann::json{
        {"path", kRegistrationPath},
        {"replies", {{{"body", "<html>busy</html>"}}, {{"json", {{"result", false}, {"info", "TavroServerError"}}}}}}};
    const auto scripted = admin->Post(Url("/__admin/script"), script.dump(), "application/json");
    ASSERT_TRUE(scripted.Ok) << scripted.Error << scripted.Body;

    std::vector<THttpJsonReply> replies;
    for (int i = 0; i < 3; ++i) {
        const auto result = Http()->PostForm(Url(kRegistrationPath), {THttpField::Plain("user_email", "a@b.c"),
                                                                      THttpField::Plain("user_password", "2ABCD")});
        EXPECT_TRUE(result.Ok) << result.Error;
        replies.push_back(THttpJsonReply::Parse(result.Body));
    }
    EXPECT_FALSE(replies[0].IsJson());
    EXPECT_FALSE(replies[1].ResultBool());
    EXPECT_EQ(replies[1].InfoText(), "TavroServerError");
    EXPECT_TRUE(replies[2].ResultBool());
    EXPECT_EQ(replies[2].InfoText(), kFakeRegistrationTime);

    const auto recorded = admin->Get(Url("/__admin/requests"));
    ASSERT_TRUE(recorded.Ok) << recorded.Error;
    const auto list = nlohmann::json::parse(recorded.Body);
    ASSERT_EQ(list.size(), 3u);   // the admin requests themselves are not recorded
    EXPECT_EQ(list[2]["path"], kRegistrationPath);
    EXPECT_EQ(list[2]["parts"][1]["name"], "user_password");
    EXPECT_EQ(list[2]["parts"][1]["value"], "2ABCD");

    const auto refused = admin->Post(Url("/__admin/script"), R"({"path":"/x","replies":[{"colour":1}]})", "application/json");
    EXPECT_EQ(refused.Status, 400);
}

} // namespace
