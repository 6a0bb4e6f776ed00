#include "Business/Data/ConfigManager.h"
#include "Business/Data/EncryDes.h"
#include "Business/Data/UserConfig.h"
#include "DataTestSupport.h"
#include "Runtime/AutoReleasePool.h"
#include "Runtime/Log.h"
#include "Support/ExpectMessage.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& aPath)
{
    std::ifstream in(aPath, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class ConfigManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(Program());
        ::setenv("QMC2FOLDER", Data().c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (FRoot.Path() / "config").c_str(), 1);
        TLog::Start(TLogSettings{TLogMode::File, lolInfo}, FRoot.Path() / "log");
    }
    void TearDown() override
    {
        TLog::Finish();
        ::unsetenv("QMC2FOLDER");
        ::unsetenv("XDG_CONFIG_HOME");
    }
    fs::path Program() const { return FRoot.Path() / "prog"; }
    fs::path Data() const { return FRoot.Path() / "data"; }
    void Write(const fs::path& aPath, const std::string& aText) const
    {
        fs::create_directories(aPath.parent_path());
        std::ofstream(aPath, std::ios::binary) << aText;
    }
    std::string LogText() const
    {
        std::string text;
        for (const auto& file : fs::directory_iterator(FRoot.Path() / "log"))
            text += ReadAll(file.path());
        return text;
    }
    std::unique_ptr<TConfigManager> Load() const { return std::make_unique<TConfigManager>(Program(), TArguments{}); }

    TScratchFolder FRoot;
    TRetainCountObjectAutoReleasePool FPool;
};

TEST_F(ConfigManagerTest, NoFilesAtAllGiveTheDefaults)
{
    auto config = Load();
    EXPECT_EQ(config->DataPath(), Data());
    EXPECT_TRUE(fs::is_directory(Data()));
    EXPECT_EQ(config->NorvelServerUrl(), "");
    EXPECT_EQ(config->TavroServerUrl(), "");
    EXPECT_EQ(config->ApplicationVersion(), "<none>");
    EXPECT_EQ(config->NorvelMailSizeLimit(), 5);
    EXPECT_EQ(config->QuillmarLanguage(), "ChineseSimp");
    EXPECT_EQ(config->MailEncoding(), "UTF-8");
    EXPECT_TRUE(config->StatusBarVisible());
    EXPECT_TRUE(config->EmailRemind());
    EXPECT_FALSE(config->DefaultRun());
    EXPECT_EQ(config->QuillmarSkinFile(), "mainframe_change_skin_button00");
    EXPECT_FALSE(config->DefaultAccountId());
    ASSERT_EQ(config->TranslateLanguageList()->Count(), 1);
    EXPECT_EQ(config->TranslateLanguageList()->First()->FName, "英文");
    EXPECT_EQ(config->TranslateLanguageList()->First()->FNorvelId, 2);
    EXPECT_EQ(config->CustomerLevelList(), (std::vector<std::string>{"普通", "重要"}));
    EXPECT_EQ(config->TemplateList(), (std::vector<std::string>{"1=信封", "2=内容", "3=签名"}));
    EXPECT_EQ(config->AccountInfoTemplateList()->Count(), 0);
    EXPECT_NE(LogText().find("配置文件不存在，使用默认值"), std::string::npos);

    // The installation id is made once and kept.
    ASSERT_EQ(config->QuillmarAppId().size(), 32u);
    EXPECT_NE(ReadAll(Data() / "QuillmarClient.cfg").find("QuillmarAppID=" + config->QuillmarAppId()), std::string::npos);
    EXPECT_EQ(Load()->QuillmarAppId(), config->QuillmarAppId());
}

TEST_F(ConfigManagerTest, LaterSourcesWinAndListSectionsReplaceWholeLists)
{
    Write(Program() / "QuillmarClient.cfg",
          "[NorvelServer]\nUrl=http://127.0.0.1:1/svc\nTavroServerUrl=http://t/\nMailSizeLimit=12\n"
          "[Application]\nVersion=4.0.0\n[CustomerLevel]\n甲=\n乙=\n");
    Write(Program() / "skin" / "Message.cfg", "[Language]\nMailPwoerName=Quillmar客户端V%s\nBtnOk=确定\nbtnok=second\n");
    Write(Program() / "TranslateLanguage.ini", "[TranslateLanguage]\n英文=2\n日文=3\n英文=9\n坏=\n也坏=x\n");
    Write(Program() / "Template.ini", "[Template]\n1=信封\n2=内容\n1=重复的\n");
    Write(Data() / "TranslateLanguage.ini", "[TranslateLanguage]\n法文=4\n");
    Write(Data() / "CustomerLevel.ini", "; no section here\n");
    auto config = Load();
    EXPECT_EQ(config->NorvelServerUrl(), "http://127.0.0.1:1/svc/");
    EXPECT_EQ(config->TavroServerUrl(), "http://t/");
    EXPECT_EQ(config->NorvelMailSizeLimit(), 12);
    EXPECT_EQ(config->MainFormTitle(), "Quillmar客户端V4.0.0");
    EXPECT_EQ(config->GetMsg("btnOK"), "确定");   // keys ignore case, the first wins
    EXPECT_EQ(config->GetMsg("Missing"), "");
    ASSERT_EQ(config->TranslateLanguageList()->Count(), 1);   // the data folder's list replaced it
    EXPECT_EQ(config->TranslateLanguageList()->First()->FName, "法文");
    EXPECT_EQ(config->CustomerLevelList(), (std::vector<std::string>{"甲", "乙"}));
    EXPECT_EQ(config->TemplateList(), (std::vector<std::string>{"1=信封", "2=内容"}));
    EXPECT_NE(LogText().find("模版ID值  1=重复的  重复"), std::string::npos) << LogText();
}

TEST_F(ConfigManagerTest, TranslationLanguageNames)
{
    Write(Program() / "TranslateLanguage.ini", "[TranslateLanguage]\n英文=2\n日文=3\n英文=9\n坏=\n");
    Write(Program() / "skin" / "Message.cfg",
          "[Language]\nNoTranslation=不翻译\nChineseSimp=简体中文\nUnknownLanguages=未知语言\nNonsupport=不支持\n");
    auto config = Load();
    auto* list = config->TranslateLanguageList();
    EXPECT_EQ(list->Count(), 2);
    EXPECT_EQ(list->IndexOfName("日文"), 1);
    EXPECT_EQ(list->IndexOfId(9), -1);
    auto text = [&](const std::string& aKey) { return config->GetMsg(aKey); };
    const std::pair<int, const char*> cases[] = {
        {-1, "不翻译"}, {1, "简体中文"}, {9997, "未知语言"}, {3, "日文"}, {13, "不支持"}};
    for (const auto& [id, name] : cases)
        EXPECT_EQ(list->NameFromNorvelId(id, text), name) << id;
}

TEST_F(ConfigManagerTest, ServerPresets)
{
    Write(Program() / "AccountInfoTemplate.ini",
          "[AccountInfoTemplate]\nQQ.com=\nexample.cn=\nnosection.org=\nqq.com=\n"
          "[AccountInfoTemplate.qq.com]\nPop3=pop.qq.com\nPop3UseSsl=1\nSmtpUseSsl=1\nUserNameMode=namedomain\n"
          "[AccountInfoTemplate.example.cn]\nPop3Port=1110\n");
    auto config = Load();
    auto* presets = config->AccountInfoTemplateList();
    ASSERT_EQ(presets->Count(), 2);
    const int qq = presets->IndexOfDomain("QQ.COM");
    ASSERT_GE(qq, 0);
    const auto* ssl = presets->GetItem(qq);
    EXPECT_EQ(ssl->FDomain, "qq.com");
    EXPECT_EQ(ssl->FPop3, "pop.qq.com");
    EXPECT_EQ(ssl->FPop3Port, 995);
    EXPECT_EQ(ssl->FSmtp, "smtp.qq.com");
    EXPECT_EQ(ssl->FSmtpPort, 465);
    EXPECT_EQ(ssl->FUserNameMode, unmNameDomain);
    const auto* plain = presets->GetItem(presets->IndexOfDomain("example.cn"));
    EXPECT_EQ(plain->FPop3, "pop3.example.cn");
    EXPECT_EQ(plain->FPop3Port, 1110);
    EXPECT_EQ(plain->FSmtpPort, 25);
    EXPECT_EQ(plain->FUserNameMode, unmName);
    EXPECT_EQ(presets->IndexOfDomain("nosection.org"), -1);
}

TEST_F(ConfigManagerTest, UnreadableFilesGiveDefaultsAndAWarning)
{
    Write(Program() / "QuillmarClient.cfg", std::string("\x00\x01\x02\xff\xfe\x00garbage", 14));
    Write(Program() / "skin" / "Message.cfg", "");
    auto config = Load();
    EXPECT_EQ(config->ApplicationVersion(), "<none>");
    const std::string log = LogText();
    for (const char* file : {"prog/QuillmarClient.cfg", "prog/skin/Message.cfg"})
        EXPECT_NE(log.find("配置文件是空的或者编码不对，使用默认值：" + (FRoot.Path() / file).string()), std::string::npos) << log;
}

TEST_F(ConfigManagerTest, MessageTextsAreDataNotFormats)
{
    Write(Program() / "skin" / "Message.cfg", "[Language]\nGood=共有%d封邮件\nStray=100% 完成 %s %n\n");
    auto config = Load();
    EXPECT_EQ(config->FormatMsg("Good", {3}), "共有3封邮件");
    EXPECT_EQ(config->FormatMsg("Stray", {7}), "100% 完成 %s %n 7");
    EXPECT_EQ(config->FormatMsg("Good", {"text"}), "共有%d封邮件 text");
}

TEST_F(ConfigManagerTest, SettersWriteThroughAndSurviveAReload)
{
    struct TObserver : TRcObject, IConfigObserver {
        int Changed = 0;
        void OnContentChanged(TRcResId*) override {}
        void OnChanged() override { ++Changed; }
    };
    auto observer = MakeRc<TObserver>();
    {
        auto config = Load();
        config->RegisterObserver(observer.Get());
        config->SetStatusBarVisible(false);
        config->SetMailPreviewVisible(false);
        config->SetQuillmarSkinFile("skin07");
        config->SetDefaultAccountId(TRcResId::CreateAndAutoRelease(rtAccount, "0123456789ABCDEF0123456789ABCDEF"));
        // Before any account exists: the row still lands.
        config->SetMailEncoding("GB2312");
        config->SetDefaultRun(true);
        config->SetEmailRemind(false);
        EXPECT_EQ(observer->Changed, 2);
        config->UnregisterObserver(observer.Get());
    }
    auto config = Load();
    EXPECT_FALSE(config->StatusBarVisible());
    EXPECT_FALSE(config->MailPreviewVisible());
    EXPECT_EQ(config->QuillmarSkinFile(), "skin07");
    ASSERT_TRUE(config->DefaultAccountId());
    EXPECT_EQ(config->DefaultAccountId()->Id(), "0123456789ABCDEF0123456789ABCDEF");
    EXPECT_EQ(config->MailEncoding(), "GB2312");
    EXPECT_TRUE(config->DefaultRun());
    EXPECT_FALSE(config->EmailRemind());
    // The first setting saved made Accounts.db whole, Account table included.
    auto accounts = TSQLiteDatabase(Data() / "Accounts" / "Accounts.db");
    EXPECT_TRUE(accounts.TableExists("Account"));
    EXPECT_EQ(accounts.GetTableValue("select count(*) from UserConfig"), 3);
    TSQLiteUniTable row(accounts, "select [Value] from UserConfig where [Key] = 'DefaultRun'");
    EXPECT_EQ(row.FieldAsString(0), "-1");
}

TEST_F(ConfigManagerTest, UserConfigRows)
{
    EXPECT_EQ(TSqliteDbUserConfig::Load(Data(), "MailEncoding"), nullptr);   // no file yet
    TSqliteDbUserConfig::Save(Data(), MakeRc<TRcUserConfig>("MailEncoding", "GB2312").Get());
    TSqliteDbUserConfig::Save(Data(), MakeRc<TRcUserConfig>("MailEncoding", "UTF-8").Get());
    TSqliteDbUserConfig::Save(Data(), MakeRc<TRcUserConfig>("Number", "-1").Get());
    ASSERT_NE(TSqliteDbUserConfig::Load(Data(), "MailEncoding"), nullptr);
    EXPECT_EQ(TSqliteDbUserConfig::Load(Data(), "MailEncoding")->FValue, "UTF-8");
    EXPECT_EQ(TSqliteDbUserConfig::Load(Data(), "Number")->FValue, "-1");
    EXPECT_EQ(TSqliteDbUserConfig::Load(Data(), "Never"), nullptr);
    TSQLiteDatabase db(Data() / "Accounts" / "Accounts.db");
    EXPECT_EQ(db.GetTableValue("select count(*) from UserConfig where [Key] = 'MailEncoding'"), 1);
}

TEST_F(ConfigManagerTest, StartingWithTheDesktop)
{
    auto config = Load();
    config->UpdateRegEditRun(true);
    const fs::path file = FRoot.Path() / "config" / "autostart" / "quillmar.desktop";
    const std::string entry = ReadAll(file);
    EXPECT_NE(entry.find("[Desktop Entry]\nType=Application\n"), std::string::npos);
    EXPECT_NE(entry.find("Exec=\""), std::string::npos);
    config->UpdateRegEditRun(false);
    EXPECT_FALSE(fs::exists(file));
    config->UpdateRegEditRun(false);   // nothing there: nothing to do
}

TEST(EncryDesTest, Vectors)
{
    // Computed with an independent DES.
    EXPECT_EQ(EncryDes(""), "20F215B015D3D81D6");
    EXPECT_EQ(EncryDes("abc"), "2BFE101867EF85552");
    EXPECT_EQ(EncryDes("password"), "2347E5FBFBAFB86100F215B015D3D81D6");
    ExpectMessage([] { EncryDes(std::string("abc\0", 4)); }, "Error: the last char is NULL char.");
}

} // namespace
