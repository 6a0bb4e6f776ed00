#include "Business/AccountMail/SqliteDbMail.h"
#include "Business/Data/Databases.h"
#include "Business/Data/SqliteQuery.h"
#include "Runtime/AutoReleasePool.h"
#include "Support/ExpectMessage.h"
#include "Support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

class MailTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FScratch = std::make_unique<TScratchFolder>("qm-mail");
        FFolder = FScratch->Path();
        FDb = CreateAccountDatabase(FFolder / "Account.db");
    }
    void TearDown() override
    {
        FDb.reset();
        FScratch.reset();
    }
    TRcMail* Load(const std::string& aId)
    {
        return TRcMail::CreateAndAutoRelease(TRcResId::CreateAndAutoRelease(rtAccountMail, aId), FDb.get());
    }

    TRetainCountObjectAutoReleasePool FPool;
    fs::path FFolder;
    std::unique_ptr<TScratchFolder> FScratch;
    std::unique_ptr<TSQLiteDatabase> FDb;
};

TEST_F(MailTest, StoredCodesAsTheyLoad)
{
    struct TCase {
        const char* Values;   // SorceType, SendReciveState, QunFaFlag, SeenFlag, HasAttachmentFlag
        TMailSourceType Source;
        TMailSendReceiveState State;
        bool QunFa, Seen, Attachment;
    } cases[] = {
        {"0, 0, 'T', 1, 1", mrmNone, msarsNoneUser, true, true, true},
        {"1, 9, 'F', 0, 0", mrmTranslate, msarsSendOk, false, false, false},
        {"2, 10, 't', 2, 7", mrmReply, msarsSendCancel, false, true, true},
        {"3, 6, 'TRUE', -1, 0", mrmRelay, msarsPop3TransSource, false, true, false},
        {"4, 13, NULL, NULL, NULL", mrmNone, msarsNoneUser, false, false, false},
        {"0, 12, 'F', 0, 0", mrmNone, msarsMassHeld, false, false, false},
        {"0, 11, 'F', 0, 0", mrmNone, msarsSendInFlight, false, false, false},
        {"-1, -3, '', 0, 1", mrmNone, msarsNoneUser, false, false, true},
        {"NULL, NULL, 'T', 0, 0", mrmNone, msarsNoneUser, true, false, false},
        {"'x', 7, 'F', 0, 0", mrmNone, msarsSendToSmtp, false, false, false},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string id = "M" + std::to_string(n++);
        FDb->ExecSQL("insert into [Mail] ([Id], [SorceType], [SendReciveState], [QunFaFlag], [SeenFlag], "
                     "[HasAttachmentFlag]) values ('" + id + "', " + c.Values + ")");
        TRcMail* mail = Load(id);
        EXPECT_EQ(mail->FSourceType, c.Source) << c.Values;
        EXPECT_EQ(mail->FSendReceiveState, c.State) << c.Values;
        EXPECT_EQ(mail->FQunFaFlag, c.QunFa) << c.Values;
        EXPECT_EQ(mail->FSeenFlag, c.Seen) << c.Values;
        EXPECT_EQ(mail->FHasAttachmentFlag, c.Attachment) << c.Values;
        EXPECT_EQ(mail->SorceResId(), nullptr);
    }
    for (int code = 0; code <= 8; ++code) {
        const auto type = FolderTypeOfCode(code);
        EXPECT_EQ(type.has_value(), code >= 1 && code <= 7) << code;
        if (type) {
            EXPECT_EQ(FolderCodeOf(*type), code);
        }
    }
    EXPECT_EQ(FolderCodeOf(aftAll), std::nullopt);
}

TEST_F(MailTest, EveryColumnRoundTripsAndTheReceiptMarkStays)
{
    auto* mail = TRcMail::CreateAndAutoRelease(TRcResId::CreateAndAutoRelease(rtAccountMail, "ROUND"), nullptr);
    EXPECT_EQ(mail->ToString(), "<id: ROUND>");
    mail->SetSorceResId(TRcResId::CreateAndAutoRelease(rtAccountMail, "SOURCE"));
    mail->FSourceType = mrmRelay;
    mail->FSeenFlag = true;
    mail->FSourceLanguage = 9997;
    mail->FTargetLanguage = -1;
    mail->FSendReceiveState = msarsSendToNorvel;
    mail->FUid = "UIDL-1";
    mail->FMessageId = "<a@b>";
    mail->FSubject = "报价 \"quoted\"";
    mail->FFrom = "\"张三\" <zhang@example.com>";
    mail->FTo = "a@example.com, b@example.com";
    mail->FDate = 46000.5;
    mail->FHasAttachmentFlag = true;
    mail->FSize = 5'000'000'000;
    mail->FNorvelUid = "N1";
    mail->FQunFaFlag = true;
    mail->FReferences = true;
    mail->FReceiptSend = true;
    mail->FMailSummary = "摘要";
    mail->FReTranslation = true;
    mail->FUserSecretary = true;
    mail->FSecretaryer = "sec@example.com";
    mail->FSecretaryFlag = 3;
    mail->FSecretaryedType = -1;
    mail->FSecretaryMemo = "";
    TSqliteDbMail::Save(*FDb, *mail, 5);

    TRcMail* loaded = Load("ROUND");
    EXPECT_EQ(loaded->ToString(), "报价 \"quoted\"");
    ASSERT_NE(loaded->SorceResId(), nullptr);
    EXPECT_EQ(loaded->SorceResId()->Id(), "SOURCE");
    EXPECT_EQ(loaded->FSourceType, mrmRelay);
    EXPECT_TRUE(loaded->FSeenFlag);
    EXPECT_EQ(loaded->FSourceLanguage, 9997);
    EXPECT_EQ(loaded->FTargetLanguage, -1);
    EXPECT_EQ(loaded->FSendReceiveState, msarsSendToNorvel);
    EXPECT_EQ(loaded->FUid, "UIDL-1");
    EXPECT_EQ(loaded->FMessageId, "<a@b>");
    EXPECT_EQ(loaded->FFrom, mail->FFrom);
    EXPECT_EQ(loaded->FTo, mail->FTo);
    EXPECT_EQ(loaded->FDate, 46000.5);
    EXPECT_TRUE(loaded->FHasAttachmentFlag);
    EXPECT_EQ(loaded->FSize, 5'000'000'000);
    EXPECT_EQ(loaded->FNorvelUid, "N1");
    EXPECT_TRUE(loaded->FQunFaFlag);
    EXPECT_TRUE(loaded->FReferences);
    EXPECT_TRUE(loaded->FReceiptSend);
    EXPECT_EQ(loaded->FMailSummary, "摘要");
    EXPECT_TRUE(loaded->FReTranslation);
    EXPECT_TRUE(loaded->FUserSecretary);
    EXPECT_EQ(loaded->FSecretaryer, "sec@example.com");
    EXPECT_EQ(loaded->FSecretaryFlag, 3);
    EXPECT_EQ(loaded->FSecretaryedType, -1);
    EXPECT_EQ(FDb->GetTableValue("select [Type] from [Mail] where [Id] = 'ROUND'"), 5);
    EXPECT_EQ(FDb->GetTableValue("select count(*) from [Mail] where [SecretaryMemo] = ''"), 1);   // '' not NULL
}

TEST_F(MailTest, IdsAreValuesNeverSql)
{
    FDb->ExecSQL("insert into [Mail] ([Id], [Subject]) values ('plain', 'the plain one')");
    for (const char* id : {"a\"b", "Id", "\" or \"\"=\"", "'; drop table Mail; --"}) {
        TRcMail* missing = Load(id);
        EXPECT_EQ(missing->FSubject, "") << id;
        auto* mail = TRcMail::CreateAndAutoRelease(TRcResId::CreateAndAutoRelease(rtAccountMail, id), nullptr);
        mail->FSubject = std::string("subject of ") + id;
        TSqliteDbMail::Save(*FDb, *mail, 2);
        EXPECT_EQ(Load(id)->FSubject, std::string("subject of ") + id);
    }
    EXPECT_EQ(Load("plain")->FSubject, "the plain one");
    ExpectMessage([] { TRcMail::CreateAndAutoRelease(nullptr, nullptr); }, "账户邮件资源ID为空");
}

TEST_F(MailTest, TheFiveSortOrders)
{
    // id, subject, size, seen, date; folder 2 except the last
    FDb->ExecSQL("insert into [Mail] ([Id], [Type], [Subject], [Size], [SeenFlag], [Date]) values "
                 "('A', 2, 'b', 30, 1, 3.0), ('B', 2, 'a', 10, 0, 1.0), ('C', 2, 'a', 20, 1, 2.0), "
                 "('D', 2, 'c', 10, 0, 4.0), ('X', 3, 'a', 1, 0, 9.0)");
    auto order = [&](TGetMailsOpertionSortMode aMode) {
        std::string ids;
        for (const auto& row : TSqliteDbMail::ListFolder(*FDb, 2, aMode))
            ids += row.Id;
        return ids;
    };
    EXPECT_EQ(order(gmosmDefault), "DACB");
    EXPECT_EQ(order(gmosmSubject), "CBAD");
    EXPECT_EQ(order(gmosmSize), "DBCA");
    EXPECT_EQ(order(gmosmReadedFlag), "DBAC");
    EXPECT_EQ(order(gmosmNoReadedFlag), "ACDB");
}

TEST_F(MailTest, SeenHeaders)
{
    EXPECT_EQ(TSqliteDbMail::LoadHeader(*FDb, "u1"), std::nullopt);
    TSqliteDbMail::SaveHeader(*FDb, {"u1", 46000.25, "a@example.com", "你好"});
    TSqliteDbMail::SaveHeader(*FDb, {"u1", 46001, "b@example.com", "again"});
    const auto header = TSqliteDbMail::LoadHeader(*FDb, "u1");
    ASSERT_TRUE(header);
    EXPECT_EQ(header->FromAddress, "b@example.com");
    EXPECT_EQ(header->Data, 46001);
    EXPECT_EQ(FDb->GetTableValue("select count(*) from [MailHeader]"), 1);
}

} // namespace
