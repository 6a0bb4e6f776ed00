// The requests to the maker's platform, made through the server driver
// against the fake maker's server (one for this program), their replies
// coming back through a delayed-runable queue drained here by hand.
#include "Business/Account/Account.h"
#include "Business/Data/ConfigManager.h"
#include "Business/Data/EncryDes.h"
#include "Business/Server/Norvel/PlatformRequests.h"
#include "Business/Server/ServerDriver.h"
#include "Runtime/AutoReleasePool.h"
#include "Runtime/DelayRunableQueue.h"
#include "Support/FakeServerEnvironment.h"
#include "Support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <stdexcept>
#include <thread>

#include <nlohmann/json.hpp>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

TFakeMakerServer* Server()
{
    return TFakeServerEnvironment::Server();
}

TServerDriver* Driver()
{
    return TServerDriver::ServerDriver();
}

const std::string kTavroServerError = "无法连接Quillmar服务器";
const std::string kAccountDisabled = "账户已停用";

// Far beyond any timeout these tests set: only a hang reaches it.
constexpr auto kPatience = 20s;

// Waits (without draining) until aCondition holds or patience runs out.
bool WaitFor(const std::function<bool()>& aCondition)
{
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (!aCondition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

// Drains aQueue, as the GUI thread would, until a reply has come.
std::optional<TPlatformReply> DrainForReply(TDelayRunableQueue& aQueue, const std::optional<TPlatformReply>& aReply)
{
    WaitFor([&] {
        aQueue.RunDelayRunables();
        return aReply.has_value();
    });
    return aReply;
}

std::vector<TFakeRequest> RequestsTo(const std::string& aPath)
{
    std::vector<TFakeRequest> found;
    for (auto& request : Server()->Requests())
        if (request.Path == aPath)
            found.push_back(std::move(request));
    return found;
}

class PlatformRequestsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Server()->Reset();
        fs::create_directories(FProgram / "skin");
        std::ofstream(FProgram / "skin" / "Message.cfg")
            << "[Language]\nTavroServerError=" << kTavroServerError << "\nAccountDisabled=" << kAccountDisabled << "\n";
        ::setenv("QMC2FOLDER", (FScratch.Path() / "data").c_str(), 1);
        UseUrl(Server()->BaseUrl());
        TServerDriver::BuildInstance();
        Driver()->SetPlatformHttpOptions(Fast());
    }
    void TearDown() override
    {
        if (FInitialized)
            Driver()->UnInit();
        TServerDriver::ReleaseInstance();
        TConfigManager::ReleaseInstance();
        ::unsetenv("QMC2FOLDER");
    }

    // The platform's address as configured; "" switches the service off.
    // Only while no request runs and the driver is not initialised.
    void UseUrl(const std::string& aUrl)
    {
        std::ofstream(FProgram / "QuillmarClient.cfg") << "[NorvelServer]\nUrl=" << aUrl << "\n";
        TConfigManager::ReleaseInstance();
        TConfigManager::BuildInstance(FProgram, TArguments{});
    }
    void Init()
    {
        Driver()->Init();
        FInitialized = true;
    }
    static THttpOptions Fast()
    {
        THttpOptions options;
        options.ConnectTimeoutMs = 2000;
        options.IdleTimeoutMs = 1000;
        options.TotalTimeoutMs = 1000;
        return options;
    }
    // Only a cancel ends a request early.
    static THttpOptions Slow()
    {
        THttpOptions options;
        options.IdleTimeoutMs = 60000;
        return options;
    }

    TRetainCountObjectAutoReleasePool FPool;
    TScratchFolder FScratch{"qm-platform"};
    fs::path FProgram = FScratch.Path() / "prog";
    bool FInitialized = false;
};

TAccountSettings SalesAccount()
{
    TAccountSettings account;
    account.FName = "外贸一部";
    account.FEmail = "sales@example.com";
    account.FSmtpHost = "smtp.example.com";
    account.FSmtpPort = 465;
    account.FSmtpUser = "not-sent";
    account.FSmtpPassword = "s3cret";
    account.FSmtpUseSsl = true;
    account.FPop3Host = "pop.example.com";
    account.FPop3Port = 110;
    account.FPop3UseSsl = false;
    return account;
}

// ---- every request, every outcome -------------------------------------------

enum TOutcome { oDefault, oFalseWithKey, oFalseWithText, oNotJson, oHttp500, oTimeout, oServiceOff, oCount };
constexpr const char* kOutcomeNames[oCount] = {"the fake's own reply", "false with a message key",
                                               "false with a plain text", "not JSON", "HTTP 500",
                                               "no reply in time", "service off"};

struct TSentField {
    std::string Name;
    std::string Wire;   // the value as it travels
    bool Encoded;       // percent-encoded and sent as 7bit
};

struct TExpected {
    bool Result;
    std::string Text;
};

struct TRequestCase {
    const char* Name;
    std::string Path;      // as the server sees it: no query
    bool TextResult;       // "result" compared with "0" rather than read as a Boolean
    // Starts the request; a fire-and-forget one gives an empty handle and
    // never calls aDone.
    std::function<TPlatformRequest(TDelayRunableQueue&, TPlatformDone)> Start;
    std::vector<TSentField> Fields;
    std::array<TExpected, oCount> Expected;   // unused for fire-and-forget
    bool FireAndForget = false;
};

TEST_F(PlatformRequestsTest, EveryRequestSendsItsFieldsAndReadsEachOutcome)
{
    const std::string appId = TConfigManager::ConfigManager()->QuillmarAppId();
    ASSERT_FALSE(appId.empty());
    const std::string off = TConfigManager::kServiceOff;
    const TExpected ok{true, ""};
    const TExpected tavro{false, kTavroServerError};
    const TExpected nameListFailed{false, kNameListSaveFailed};
    const TExpected reTranslationFailed{false, kReTranslationFailed};
    const TExpected unreachable{false, kReceiveModeUnreachable};

    const std::vector<TRequestCase> cases = {
        {"SaveMailInfoToTavro", "/mailOprAction!saveUserMailInfo.action", false,
         [](TDelayRunableQueue& aQueue, TPlatformDone aDone) {
             return Driver()->SaveMailInfoToTavro(SalesAccount(), aQueue, std::move(aDone));
         },
         {{"smtp_host", "smtp.example.com", false},
          {"smtp_username", "外贸一部", false},
          {"smtp_password", EncryDes("s3cret"), false},
          {"smtp_auth", "1", false},
          {"smtp_useremail", "sales@example.com", false},
          {"smtp_port", "465", false},
          {"smtp_use_ssl", "1", false},
          {"pop3_host", "pop.example.com", false},
          {"pop3_port", "110", false},
          {"pop3_use_ssl", "0", false},
          {"server_verify", "1", false}},
         {ok, {false, kAccountDisabled}, {false, "邮箱密码错误"}, tavro, tavro, tavro, {false, off}}},
        {"SaveNameListMailFilterToTavro", "/mailOprAction!setUserExtraInfo.action", true,
         [](TDelayRunableQueue& aQueue, TPlatformDone aDone) {
             return Driver()->SaveNameListMailFilterToTavro("sales+cn@example.com", "spam@example.com;ads@example.com",
                                                            R"("王 五" <wang@example.cn>,li@example.com)", "报价;询盘",
                                                            aQueue, std::move(aDone));
         },
         {{"email_user", "sales%2Bcn%40example.com", true},
          {"whitelist", "%22%E7%8E%8B%20%E4%BA%94%22%20%3Cwang%40example.cn%3E%2Cli%40example.com", true},
          {"blacklist", "spam%40example.com%3Bads%40example.com", true},
          {"keywords", "%E6%8A%A5%E4%BB%B7%3B%E8%AF%A2%E7%9B%98", true}},
         // The platform's words as they come: this reply names no key.
         {ok, {false, "AccountDisabled"}, {false, "邮箱密码错误"}, nameListFailed, nameListFailed, nameListFailed,
          {false, off}}},
        // The lists the row above saved come back as a JSON text.
        {"GetNameListMailFilterToTavro", "/mailOprAction!getUserExtraInfo.action", true,
         [](TDelayRunableQueue& aQueue, TPlatformDone aDone) {
             return Driver()->GetNameListMailFilterToTavro("sales+cn@example.com", aQueue, std::move(aDone));
         },
         {{"email_user", "sales%2Bcn%40example.com", true}},
         {ok, {false, kAccountDisabled}, {false, "邮箱密码错误"}, tavro, tavro, tavro, {false, off}}},
        {"SaveReceiveMailTypeToTavro", "/mailOprAction!setMailReceiveState.action", false,
         [](TDelayRunableQueue& aQueue, TPlatformDone aDone) {
             return Driver()->SaveReceiveMailTypeToTavro("mode@example.com", "1", aQueue, std::move(aDone));
         },
         {{"email_user", "mode@example.com", false}, {"isReceive", "1", false}},
         {ok, {false, kAccountDisabled}, {false, "邮箱密码错误"}, {false, kReceiveModeBadReply}, unreachable,
          unreachable, {false, off}}},
        {"SaveAppMessageToTavro", "/mailOprAction!setClientLoginInfo.action", false,
         [](TDelayRunableQueue&, TPlatformDone) {
             Driver()->SaveAppMessageToTavro(AppMessageEmailList({"a@example.com", "b@example.com"}));
             return TPlatformRequest();
         },
         {{"clientID", appId, false}, {"emailList", "a@example.com,b@example.com", false}, {"type", "1", false}},
         {},
         true},
        {"ReTranslation", "/mailOprAction!reTranslation.action", true,
         [](TDelayRunableQueue& aQueue, TPlatformDone aDone) {
             return Driver()->ReTranslation("sales@example.com", "UID 42/7", ReTranslationReason(4, "  译文不通顺  "),
                                            aQueue, std::move(aDone));
         },
         {{"mail_uid", "UID%2042%2F7", true},
          {"user_email", "sales%40example.com", true},
          {"retranslate_reason", "4%2C%20%20%E8%AF%91%E6%96%87%E4%B8%8D%E9%80%9A%E9%A1%BA", true}},
         {ok, {false, kAccountDisabled}, {false, "邮箱密码错误"}, reTranslationFailed, reTranslationFailed,
          reTranslationFailed, {false, off}}},
    };

    for (const auto& c : cases) {
        for (int outcome = 0; outcome < oCount; ++outcome) {
            SCOPED_TRACE(std::string(c.Name) + ": " + kOutcomeNames[outcome]);
            Server()->Reset();
            // Each request's own way of saying false.
            const auto falseReply = [&](const char* aInfo) {
                std::string body = R"({"result":)";
                body.append(c.TextResult ? R"("0")" : "false").append(R"(,"info":")").append(aInfo).append("\"}");
                return std::vector<TScriptedReply>{TScriptedReply::Text(body)};
            };
            switch (outcome) {
            case oFalseWithKey: Server()->Script(c.Path, falseReply("AccountDisabled")); break;
            case oFalseWithText: Server()->Script(c.Path, falseReply("邮箱密码错误")); break;
            case oNotJson: Server()->Script(c.Path, {TScriptedReply::Text("<html>502 Bad Gateway</html>")}); break;
            case oHttp500: Server()->Script(c.Path, {TScriptedReply::WithStatus(500)}); break;
            case oTimeout: Server()->Script(c.Path, {TScriptedReply::Delay(3000)}); break;
            case oServiceOff: UseUrl(""); break;
            }

            TDelayRunableQueue queue;
            std::optional<TPlatformReply> reply;
            TPlatformRequest request = c.Start(queue, [&](const TPlatformReply& aReply) { reply = aReply; });
            if (c.FireAndForget) {
                EXPECT_FALSE(request.Pending());
                ASSERT_TRUE(WaitFor([] { return Driver()->RunningPlatformRequests() == 0; }));
                queue.RunDelayRunables();
                EXPECT_FALSE(reply);
            } else {
                ASSERT_TRUE(DrainForReply(queue, reply));
                EXPECT_EQ(reply->Result, c.Expected[outcome].Result);
                EXPECT_EQ(reply->ErrorText, c.Expected[outcome].Text);
                EXPECT_FALSE(reply->Cancelled);
            }

            const auto requests = Server()->Requests();
            if (outcome == oServiceOff) {
                EXPECT_TRUE(requests.empty());
                UseUrl(Server()->BaseUrl());
                continue;
            }
            ASSERT_EQ(requests.size(), 1u);
            EXPECT_EQ(requests[0].Method, "POST");
            EXPECT_EQ(requests[0].Path, c.Path);
            EXPECT_TRUE(requests[0].Query.empty());
            if (outcome != oDefault)
                continue;
            // The fields, in order, each as it travels.
            ASSERT_EQ(requests[0].Parts.size(), c.Fields.size());
            for (std::size_t i = 0; i < c.Fields.size(); ++i) {
                const TFakePart& part = requests[0].Parts[i];
                SCOPED_TRACE(c.Fields[i].Name);
                EXPECT_EQ(part.Name, c.Fields[i].Name);
                EXPECT_EQ(part.Value, c.Fields[i].Wire);
                EXPECT_FALSE(part.FileName);
                std::string transferEncoding;
                for (const auto& [name, value] : part.Headers)
                    if (name == "Content-Transfer-Encoding")
                        transferEncoding = value;
                EXPECT_EQ(transferEncoding, c.Fields[i].Encoded ? "7bit" : "");
            }
            if (c.Path == "/mailOprAction!getUserExtraInfo.action") {
                const auto lists = nlohmann::json::parse(reply->Data);
                EXPECT_EQ(lists["whitelist"], R"("王 五" <wang@example.cn>,li@example.com)");
                EXPECT_EQ(lists["blacklist"], "spam@example.com;ads@example.com");
                EXPECT_EQ(lists["keywords"], "报价;询盘");
                EXPECT_EQ(lists["receiveforeign"], 0);
            }
        }
    }
}

// Replies the fake does not make by itself: "info" as an object, a result
// that reads as success in its own way, an unknown address.
TEST_F(PlatformRequestsTest, ReplyReadingsOfTheirOwn)
{
    const std::string names = "/mailOprAction!getUserExtraInfo.action";
    const std::string retranslate = "/mailOprAction!reTranslation.action";
    struct TCase {
        const char* Name;
        std::string Path;
        std::optional<std::string> Body;   // none: the fake's own reply
        bool Result;
        std::string Text;
        std::string Data;
    } cases[] = {
        {"lists as an object", names, R"({"result":"1","info":{"blacklist":"x@example.com"}})", true, "",
         R"({"blacklist":"x@example.com"})"},
        {"an address the platform does not know", names, std::nullopt, false, "", ""},
        {"a reply without a result", names, R"({"info":"{}"})", false, kTavroServerError, ""},
        // Anything but the text "0" succeeds, and the platform's words go
        // with it.
        {"re-translation accepted with a remark", retranslate, R"({"result":"2","info":"已在翻译队列中"})", true,
         "已在翻译队列中", ""},
        {"re-translation refused without a word", retranslate, R"({"result":0,"info":" "})", false, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Server()->Reset();
        if (c.Body)
            Server()->Script(c.Path, {TScriptedReply::Text(*c.Body)});
        TDelayRunableQueue queue;
        std::optional<TPlatformReply> reply;
        const auto done = [&](const TPlatformReply& aReply) { reply = aReply; };
        TPlatformRequest request = c.Path == names
                                       ? Driver()->GetNameListMailFilterToTavro("nobody@example.com", queue, done)
                                       : Driver()->ReTranslation("a@example.com", "uid", "1", queue, done);
        ASSERT_TRUE(DrainForReply(queue, reply));
        EXPECT_EQ(reply->Result, c.Result);
        EXPECT_EQ(reply->ErrorText, c.Text);
        EXPECT_EQ(reply->Data, c.Data);
    }
}

TEST(PlatformTextsTest, ReTranslationReasonAndAddressList)
{
    const struct {
        int Choice;
        const char* OwnText;
        const char* Reason;
    } reasons[] = {
        {1, "", "1"},
        {2, "ignored", "2"},
        {3, "", "3"},
        // The whole is trimmed: blanks leading the text stay.
        {4, "  译文不通顺 \t ", "4,  译文不通顺"},
        {4, "", "4,"},
        {4, " \r\n", "4,"},
    };
    for (const auto& r : reasons)
        EXPECT_EQ(ReTranslationReason(r.Choice, r.OwnText), r.Reason) << r.Choice << " '" << r.OwnText << "'";
    EXPECT_THROW(ReTranslationReason(0), std::invalid_argument);
    EXPECT_THROW(ReTranslationReason(5, "x"), std::invalid_argument);

    EXPECT_EQ(AppMessageEmailList({}), "");
    EXPECT_EQ(AppMessageEmailList({"a@example.com"}), "a@example.com");
    EXPECT_EQ(AppMessageEmailList({"a@example.com", "b@example.com"}), "a@example.com,b@example.com");
}

// ---- the way back through the queue ----------------------------------------

TEST_F(PlatformRequestsTest, TheReplyRunsOnlyWhenTheQueueIsDrained)
{
    TDelayRunableQueue queue;
    std::optional<TPlatformReply> reply;
    std::thread::id ranOn;
    TPlatformRequest request = Driver()->SaveMailInfoToTavro(SalesAccount(), queue, [&](const TPlatformReply& aReply) {
        reply = aReply;
        ranOn = std::this_thread::get_id();
    });
    EXPECT_TRUE(request.Pending());
    ASSERT_TRUE(WaitFor([&] { return queue.PendingCount() == 1; }));
    EXPECT_FALSE(reply);
    queue.RunDelayRunables();
    ASSERT_TRUE(reply);
    EXPECT_TRUE(reply->Result);
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    EXPECT_FALSE(request.Pending());
}

TEST_F(PlatformRequestsTest, ADroppedHandleNeverDelivers)
{
    const std::string path = "/mailOprAction!saveUserMailInfo.action";
    TDelayRunableQueue queue;
    int calls = 0;
    const auto done = [&](const TPlatformReply&) { ++calls; };

    // Dropped with its reply already waiting in the queue.
    {
        TPlatformRequest request = Driver()->SaveMailInfoToTavro(SalesAccount(), queue, done);
        ASSERT_TRUE(WaitFor([&] { return queue.PendingCount() == 1; }));
    }
    queue.RunDelayRunables();
    EXPECT_EQ(calls, 0);

    // Dropped while the platform is still thinking: cancelled, nothing
    // queued, its thread gone.
    Driver()->SetPlatformHttpOptions(Slow());
    Server()->Script(path, {TScriptedReply::Delay(20000)});
    {
        TPlatformRequest request = Driver()->SaveMailInfoToTavro(SalesAccount(), queue, done);
        ASSERT_TRUE(WaitFor([&] { return !RequestsTo(path).empty(); }));
        // Replaced by another request: the first is dropped the same way.
        request = Driver()->SaveMailInfoToTavro(SalesAccount(), queue, done);
    }
    ASSERT_TRUE(WaitFor([] { return Driver()->RunningPlatformRequests() == 0; }));
    queue.RunDelayRunables();
    EXPECT_EQ(queue.PendingCount(), 0u);
    EXPECT_EQ(calls, 0);
}

TEST_F(PlatformRequestsTest, CancelEndsADelayedRequestAndStillAnswers)
{
    const std::string path = "/mailOprAction!reTranslation.action";
    Driver()->SetPlatformHttpOptions(Slow());
    Server()->Script(path, {TScriptedReply::Delay(20000)});
    TDelayRunableQueue queue;
    std::optional<TPlatformReply> reply;
    TPlatformRequest request = Driver()->ReTranslation("a@example.com", "uid", "1", queue,
                                                       [&](const TPlatformReply& aReply) { reply = aReply; });
    ASSERT_TRUE(WaitFor([&] { return !RequestsTo(path).empty(); }));
    const auto start = std::chrono::steady_clock::now();
    request.Cancel();
    ASSERT_TRUE(DrainForReply(queue, reply));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);   // the reply was 20 s away
    EXPECT_TRUE(reply->Cancelled);
    EXPECT_FALSE(reply->Result);
    EXPECT_EQ(reply->ErrorText, kReTranslationFailed);
}

TEST_F(PlatformRequestsTest, UnInitEndsARequestInFlightAndDeliversNothing)
{
    const std::string path = "/mailOprAction!getUserExtraInfo.action";
    Init();
    Driver()->SetPlatformHttpOptions(Slow());
    Server()->Script(path, {TScriptedReply::Delay(20000)});
    TDelayRunableQueue queue;
    int calls = 0;
    TPlatformRequest request =
        Driver()->GetNameListMailFilterToTavro("a@example.com", queue, [&](const TPlatformReply&) { ++calls; });
    ASSERT_TRUE(WaitFor([&] { return !RequestsTo(path).empty(); }));

    const auto start = std::chrono::steady_clock::now();
    Driver()->UnInit();
    FInitialized = false;
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    EXPECT_EQ(Driver()->RunningPlatformRequests(), 0u);
    queue.RunDelayRunables();
    EXPECT_EQ(calls, 0);

    // Nothing new starts once the driver is shut down.
    Server()->Reset();
    TPlatformRequest late =
        Driver()->GetNameListMailFilterToTavro("a@example.com", queue, [&](const TPlatformReply&) { ++calls; });
    EXPECT_FALSE(late.Pending());
    queue.RunDelayRunables();
    EXPECT_EQ(calls, 0);
    EXPECT_TRUE(Server()->Requests().empty());
}

// ---- the account record's receive mode ---------------------------------------

class TTestAccount : public TRcAccount {
public:
    explicit TTestAccount(const std::string& aId) : TRcAccount(aId) {}
};

TEST_F(PlatformRequestsTest, ASetReceiveModeIsReportedWhileTheDriverRuns)
{
    const std::string path = "/mailOprAction!setMailReceiveState.action";
    auto account = MakeRc<TTestAccount>("0123456789ABCDEF0123456789ABCDEF");
    account->SetEmail("report@example.com");
    Init();

    account->SetReceiveMailType(rmmAll);
    ASSERT_TRUE(WaitFor([&] { return RequestsTo(path).size() == 1; }));
    account->SetReceiveMailType(rmmForeign);
    ASSERT_TRUE(WaitFor([&] { return RequestsTo(path).size() == 2; }));
    const auto sent = RequestsTo(path);
    EXPECT_EQ(sent[0].Field("email_user"), "report@example.com");
    EXPECT_EQ(sent[0].Field("isReceive"), "0");
    EXPECT_EQ(sent[1].Field("isReceive"), "1");
    ASSERT_TRUE(WaitFor([] { return Driver()->RunningPlatformRequests() == 0; }));

    // The platform keeps the last mode with the address's lists.
    TDelayRunableQueue queue;
    std::optional<TPlatformReply> reply;
    TPlatformRequest request = Driver()->GetNameListMailFilterToTavro(
        "report@example.com", queue, [&](const TPlatformReply& aReply) { reply = aReply; });
    ASSERT_TRUE(DrainForReply(queue, reply));
    ASSERT_TRUE(reply->Result);
    EXPECT_EQ(nlohmann::json::parse(reply->Data)["receiveforeign"], 1);

    // A failure is only logged: the setter never sees it.
    Server()->Script(path, {TScriptedReply::WithStatus(500)});
    EXPECT_NO_THROW(account->SetReceiveMailType(rmmAll));
    ASSERT_TRUE(WaitFor([&] { return RequestsTo(path).size() == 3; }));

    // Once the driver is shut down, nothing is reported.
    Driver()->UnInit();
    FInitialized = false;
    Server()->Reset();
    account->SetReceiveMailType(rmmForeign);
    EXPECT_TRUE(Server()->Requests().empty());
}

} // namespace
