// When an address was registered with the maker's platform, asked of the
// fake server over real loopback HTTP.
#include "Business/Data/ConfigManager.h"
#include "Business/Data/EncryDes.h"
#include "Business/Http/HttpRequest.h"
#include "Runtime/AutoReleasePool.h"
#include "Runtime/RunableCancelList.h"
#include "FakeMakerServer.h"
#include "Support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const std::string kPath = "/mailOprAction!getUserRegistrTime.action";

class RegistrationTimeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        sServer = new TFakeMakerServer();
        sServer->Start();
    }
    static void TearDownTestSuite()
    {
        delete sServer;
        sServer = nullptr;
    }
    void SetUp() override
    {
        sServer->Reset();
        FScratch = std::make_unique<TScratchFolder>("qm-reg");
        FRoot = FScratch->Path();
        fs::create_directories(FRoot / "prog" / "skin");
        std::ofstream(FRoot / "prog" / "skin" / "Message.cfg")
            << "[Language]\nTavroServerError=无法连接服务器\nAccountNotExists=账户不存在\n";
        ::setenv("QMC2FOLDER", (FRoot / "data").c_str(), 1);
    }
    void TearDown() override
    {
        ::unsetenv("QMC2FOLDER");
        FScratch.reset();
    }
    std::unique_ptr<TConfigManager> Config(const std::string& aUrl)
    {
        std::ofstream(FRoot / "prog" / "QuillmarClient.cfg") << "[NorvelServer]\nUrl=" << aUrl << "\n";
        return std::make_unique<TConfigManager>(FRoot / "prog", TArguments{});
    }
    static THttpOptions Fast()
    {
        THttpOptions options;
        options.ConnectTimeoutMs = 1000;
        options.IdleTimeoutMs = 1000;
        return options;
    }

    static inline TFakeMakerServer* sServer = nullptr;
    TRetainCountObjectAutoReleasePool FPool;
    fs::path FRoot;
    std::unique_ptr<TScratchFolder> FScratch;
};

TEST_F(RegistrationTimeTest, RepliesAndFailures)
{
    auto config = Config(sServer->BaseUrl());
    struct TCase {
        const char* Name;
        std::vector<TScriptedReply> Script;
        const char* Error;   // "" when the time comes back
    } cases[] = {
        {"a date", {}, ""},
        {"not JSON", {TScriptedReply::Text("<html>oops</html>")}, "无法连接服务器"},
        {"false with a key", {TScriptedReply::Text(R"({"result":false,"info":"AccountNotExists"})")}, "账户不存在"},
        {"false with a text", {TScriptedReply::Text(R"({"result":"false","info":"邮箱未注册"})")}, "邮箱未注册"},
        {"a date that is none", {TScriptedReply::Text(R"({"result":true,"info":"yesterday"})")},
         "注册时间的格式不正确：yesterday"},
        {"HTTP 500", {TScriptedReply::WithStatus(500)}, "无法连接服务器"},
        {"a redirect to a file", {TScriptedReply::RedirectTo("file:///etc/passwd")}, "无法连接服务器"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        sServer->Reset();
        if (!c.Script.empty())
            sServer->Script(kPath, c.Script);
        std::string error;
        const TDateTime before = Now();
        const TDateTime time = config->GetEmailTavroREGDateTime("sales@example.com", "secret", error, nullptr, Fast());
        EXPECT_EQ(error, c.Error);
        if (*c.Error) {
            EXPECT_GE(time, before);   // the time of the call
        } else {
            EXPECT_EQ(FormatDateTimeIso(time), "2023-05-17 09:30:15.250");
            const auto requests = sServer->Requests();
            ASSERT_EQ(requests.size(), 1u);
            EXPECT_EQ(requests[0].Field("user_email"), "sales@example.com");
            EXPECT_EQ(requests[0].Field("user_password"), EncryDes("secret"));
        }
    }
}

TEST_F(RegistrationTimeTest, ServiceOffOrDown)
{
    std::string error;
    Config("")->GetEmailTavroREGDateTime("a@example.com", "p", error);
    EXPECT_EQ(error, TConfigManager::kServiceOff);
    EXPECT_TRUE(sServer->Requests().empty());

    TFakeMakerServer closed;
    const int port = closed.Start();
    closed.Stop();
    Config("http://127.0.0.1:" + std::to_string(port) + "/")
        ->GetEmailTavroREGDateTime("a@example.com", "p", error, nullptr, Fast());
    EXPECT_EQ(error, "无法连接服务器");
}

TEST_F(RegistrationTimeTest, CancelFromAnotherThreadEndsTheWait)
{
    auto config = Config(sServer->BaseUrl());
    sServer->Script(kPath, {TScriptedReply::Delay(20000)});
    TRunableCancelList cancelList;
    THttpOptions slow;   // only the cancel can end this one early
    slow.IdleTimeoutMs = 60000;
    std::thread canceller([&] {
        for (int i = 0; i < 500 && sServer->Requests().empty(); ++i)
            std::this_thread::sleep_for(10ms);
        std::this_thread::sleep_for(50ms);
        cancelList.Cancel();
    });
    std::string error;
    const auto start = std::chrono::steady_clock::now();
    config->GetEmailTavroREGDateTime("a@example.com", "p", error, &cancelList, slow);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    canceller.join();
    EXPECT_EQ(error, "无法连接服务器");
    EXPECT_LT(elapsed, 10s);
    EXPECT_EQ(cancelList.Count(), 0);
}

} // namespace
