// The fake translation service speaks the service's protocol: what other
// tests build on (a submitted mail comes back as its translation, lists,
// receipts, refusals, downloads broken half-way).
#include "Business/Http/HttpJsonReply.h"
#include "Business/Http/HttpRequest.h"
#include "Business/Http/HttpText.h"
#include "Runtime/AutoReleasePool.h"
#include "Runtime/RcRef.h"
#include "Support/FakeServerEnvironment.h"
#include "Support/ScratchFolder.h"
#include "TranslationRoutes.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

TFakeMakerServer* Server()
{
    return TFakeServerEnvironment::Server();
}

THttpOptions Fast()
{
    THttpOptions options;
    options.ConnectTimeoutMs = 2000;
    options.IdleTimeoutMs = 2000;
    return options;
}

std::string ReadAll(const fs::path& aPath)
{
    std::ifstream in(aPath, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class FakeTranslationServiceTest : public ::testing::Test {
protected:
    void SetUp() override { Server()->Reset(); }

    THttpJsonReply Post(const std::string& aAction, const std::vector<THttpField>& aFields)
    {
        const std::string url = Server()->BaseUrl() + "mailOprAction!" + aAction + ".action";
        const THttpResult result = FHttp->PostForm(url, aFields);
        EXPECT_TRUE(result.Ok) << result.Error;
        return THttpJsonReply::Parse(result.Body);
    }
    THttpJsonReply List(const std::string& aAccount)
    {
        return Post("receiveMailList", {THttpField::Plain("user_email", aAccount),
                                        THttpField::Plain("user_password", "2ABCDEF"),
                                        THttpField::Plain("start_time", ""), THttpField::Plain("end_time", "")});
    }
    THttpJsonReply Receipt(const std::string& aMailId, int aSendType)
    {
        return Post("receiveMailReceipt", {THttpField::Plain("mail_id", aMailId),
                                           THttpField::Plain("send_type", std::to_string(aSendType))});
    }

    TRetainCountObjectAutoReleasePool FPool;
    TScratchFolder FScratch{"qm-fake-translation"};
    TRcRef<THttpRequest> FHttp = MakeRc<THttpRequest>(Fast());
};

TEST_F(FakeTranslationServiceTest, ASubmittedMailComesBackTranslatedUntilConfirmed)
{
    const std::string message = "From: a@example.com\r\nTo: b@example.com\r\n"
                                "subject:  =?UTF-8?B?5oql5Lu3?=\r\n =?UTF-8?B?5Y2V?=\r\n\r\nBody\r\n";
    const fs::path raw = FScratch.Path() / "raw.eml";
    std::ofstream(raw, std::ios::binary) << message;
    const THttpResult upload = FHttp->PostForm(Server()->BaseUrl() + "fileServer",
                                               {THttpField::Plain("folder", "./dev/")}, {{"file", raw, "eml.eml", ""}});
    ASSERT_TRUE(upload.Ok) << upload.Error;
    const std::string id(32, 'A');
    const THttpJsonReply accepted = Post(
        "sendMailInfo",
        {THttpField::Encoded("email_title", "报价 单"), THttpField::Encoded("source_language", "1"),
         THttpField::Encoded("target_language", "2"), THttpField::Encoded("client_type", "1"),
         THttpField::Encoded("user_email", "Sales@Example.com"), THttpField::Encoded("user_email", "a@example.com"),
         THttpField::Encoded("to_email", "b@example.com"), THttpField::Encoded("cc_email", ""),
         THttpField::Encoded("bcc_email", ""), THttpField::Encoded("nassoneshow", "0"),
         THttpField::Encoded("message_id", id), THttpField::Encoded("mail_info", upload.Body)});
    EXPECT_EQ(accepted.ResultInt(), 1);

    const THttpJsonReply list = List("sales@example.com");
    EXPECT_EQ(list.ResultText(), "1");
    const auto entries = list.InfoJson();
    ASSERT_TRUE(entries && entries->is_array() && entries->size() == 1u) << list.InfoText();
    const auto& entry = (*entries)[0];
    EXPECT_EQ(entry["mail_id"], id);
    EXPECT_EQ(entry["send_type"], 1);
    EXPECT_EQ(entry["source_language"], 1);
    EXPECT_EQ(entry["title"], "报价 单");
    EXPECT_EQ(entry["sourceurl"], "");
    EXPECT_EQ(entry["translate_id"], "");
    EXPECT_EQ(entry["mail_uid"].get<std::string>().size(), 32u);

    // The same message, the prefix in front of the (folded, encoded) value.
    const fs::path back = FScratch.Path() / "back.eml";
    const THttpResult download = FHttp->GetToFile(entry["mailurl"].get<std::string>(), back);
    ASSERT_TRUE(download.Ok) << download.Error;
    EXPECT_EQ(ReadAll(back), "From: a@example.com\r\nTo: b@example.com\r\n"
                             "subject: [Translated] =?UTF-8?B?5oql5Lu3?=\r\n =?UTF-8?B?5Y2V?=\r\n\r\nBody\r\n");

    // Confirmed once; a second receipt names nothing.
    EXPECT_EQ(Receipt(id, 0).ResultText(), "0");
    EXPECT_EQ(Receipt(id, 1).ResultText(), "1");
    const THttpJsonReply again = Receipt(id, 1);
    EXPECT_EQ(again.ResultText(), "0");
    EXPECT_FALSE(again.InfoText().empty());
    EXPECT_EQ(List("sales@example.com").InfoJson(), nlohmann::json::array());
}

TEST_F(FakeTranslationServiceTest, RefusalsSwitchesAndBrokenDownloads)
{
    Server()->Translation().Refuse("a@example.com", "TavroServerError");
    THttpJsonReply refused = List("A@example.com");
    EXPECT_EQ(refused.ResultText(), "0");
    EXPECT_EQ(refused.InfoText(), "TavroServerError");
    Server()->Translation().Refuse("a@example.com", "");
    EXPECT_EQ(List("a@example.com").ResultText(), "1");

    // The admin route queues mails given as text.
    const THttpResult admin = FHttp->Post(
        Server()->BaseUrl() + "__admin/translation",
        R"({"account": "b@example.com", "entries": [{"mail_id": "m1", "send_type": 0, "mail": "Subject: x\r\n\r\nx",
            "source": "Subject: y\r\n\r\ny", "translate_id": "null"}]})",
        "application/json");
    ASSERT_TRUE(admin.Ok) << admin.Error << admin.Body;
    const auto waiting = Server()->Translation().Waiting("b@example.com");
    ASSERT_EQ(waiting.size(), 1u);
    EXPECT_EQ(waiting[0].TranslateId, "null");
    EXPECT_EQ(waiting[0].MailUid.size(), 32u);
    EXPECT_TRUE(FHttp->GetToFile(waiting[0].SourceUrl, FScratch.Path() / "source.eml").Ok);
    EXPECT_EQ(ReadAll(FScratch.Path() / "source.eml"), "Subject: y\r\n\r\ny");

    // A form that is not percent-encoded is refused.
    EXPECT_EQ(Post("sendMailInfo", {THttpField::Plain("email_title", "报价")}).ResultInt(), 0);

    // A dropped reply breaks the download half-way.
    const std::string url = Server()->Translation().StoreMail(std::string(100000, 'x'));
    Server()->Script("/fileServer", {TScriptedReply::Dropped(1000)});
    const THttpResult broken = FHttp->GetToFile(url, FScratch.Path() / "broken.eml");
    EXPECT_FALSE(broken.Ok);
    EXPECT_FALSE(fs::exists(FScratch.Path() / "broken.eml"));
    EXPECT_TRUE(FHttp->GetToFile(url, FScratch.Path() / "whole.eml").Ok);
    EXPECT_EQ(fs::file_size(FScratch.Path() / "whole.eml"), 100000u);
}

} // namespace
