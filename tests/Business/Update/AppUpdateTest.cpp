// The update check: version texts and their order, the decision taken from
// the kept update information, the download from the update server (the
// fake maker's server) that never replaces good information with a
// failure, and what the updater is handed.
#include "Business/Data/ConfigManager.h"
#include "Business/Data/WholeFile.h"
#include "Business/Update/AppUpdateManager.h"
#include "Runtime/AutoReleasePool.h"
#include "Support/FakeServerEnvironment.h"
#include "Support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace fs = std::filesystem;

namespace {

struct TCompareCase {
    const char* A;
    const char* B;
    int Expected;
};

TEST(AppVersionTest, VersionsAreOrderedByBuildThenStage)
{
    const TCompareCase cases[] = {
        {"v4.0.0 Build 1203", "v4.0.0 Build 1203", 0},
        {"v4.0.0 Build 1203", "v3.9.9 Build 1204", -1},          // the build decides, not the numbers
        {"v4.0.0 Build 1204 - alpha", "v4.0.0 Build 1203", 1},
        {"v4.0.0 Build 1203 - rc2", "v4.0.0 Build 1203", -1},    // a release is newer than its rc
        {"v4.0.0 Build 1203 - bata", "v4.0.0 Build 1203 - alpha", 1},
        {"v4.0.0 Build 1203 - beta", "v4.0.0 Build 1203 - debug1", -1},   // "beta" is no known stage
        {"v4.0.0 Build 1203 - rc1", "v4.0.0 Build 1203 - product_rc7", 0},
        {"v4.0.0 Build 1203 - rc1", "v4.0.0 Build 1203 - rc9", 0},        // type numbers do not count
    };
    for (const TCompareCase& c : cases) {
        TVersionStruct a, b;
        ASSERT_TRUE(ParseVersion(c.A, a)) << c.A;
        ASSERT_TRUE(ParseVersion(c.B, b)) << c.B;
        EXPECT_EQ(CompareVersion(a, b), c.Expected) << c.A << " / " << c.B;
        EXPECT_EQ(CompareVersion(b, a), -c.Expected) << c.B << " / " << c.A;
    }

    TVersionStruct v;
    ASSERT_TRUE(ParseVersion("v4.0.0 Build 1203 - product_rc12", v));
    EXPECT_EQ(v.Builde, 1203);
    EXPECT_EQ(v.Typ, vtProductRc);
    EXPECT_EQ(v.TypNo, 12);
    ASSERT_TRUE(ParseVersion("v4x0y0 Build 7 - alpha3", v));   // any separator; alpha's number ignored
    EXPECT_EQ(v.Typ, vtAlpha);
    EXPECT_EQ(v.TypNo, 0);
    for (const char* bad : {"", "4.0.0 Build 1203", "v4.0.0 build 1203", "v4.0.0 Build 1203 -rc1",
                            "v4.0.0 Build 1203 - rc", "v4.0.0 Build 99999999999", "v4.0.0 Build 1203 - debug",
                            "v4.0.0 Build 1203 - rc99999999999", " v4.0.0 Build 1203", "v4.0.0 Build 1203 - rc1 "})
        EXPECT_FALSE(ParseVersion(bad, v)) << bad;
}

class AppUpdateTest : public ::testing::Test {
protected:
    void SetUp() override { UseServer(TFakeServerEnvironment::Server()->BaseUrl()); }
    void TearDown() override
    {
        TAppUpdateManager::ReleaseInstance();
        TConfigManager::ReleaseInstance();
        ::unsetenv("QMC2FOLDER");
        TFakeServerEnvironment::Server()->Reset();
    }
    // A program folder whose configuration names aUrl as the update server.
    void UseServer(const std::string& aUrl)
    {
        TAppUpdateManager::ReleaseInstance();
        TConfigManager::ReleaseInstance();
        const fs::path prog = FScratch.Path() / "prog";
        fs::create_directories(prog / "skin");
        fs::copy_file(fs::path(QUILLMAR_SKIN_DIR) / "Message.cfg", prog / "skin" / "Message.cfg",
                      fs::copy_options::overwrite_existing);
        std::ofstream(prog / "QuillmarClient.cfg") << "[NorvelServer]\nAppUpdateServerUrl=" << aUrl << "\n";
        ::setenv("QMC2FOLDER", (FScratch.Path() / "data").c_str(), 1);
        TConfigManager::BuildInstance(prog, TArguments{});
        TAppUpdateManager::BuildInstance();
        Manager()->DownloadOptions().ConnectTimeoutMs = 1000;
        Manager()->DownloadOptions().IdleTimeoutMs = 1000;
    }
    static TAppUpdateManager* Manager() { return TAppUpdateManager::AppUpdateManager(); }
    static fs::path InfoFile() { return TAppUpdateManager::UpdateFolder() / "info.json"; }
    static void KeepInfo(const std::string& aJson)
    {
        fs::create_directories(TAppUpdateManager::UpdateFolder());
        WriteWholeFile(InfoFile(), aJson);
    }
    static TVersionCheckResult Checked(const std::string& aRunning)
    {
        TVersionCheckResult result;
        result.OldFlag = result.ForceFlag = true;   // cleared by the check
        Manager()->CheckVersion(aRunning, result);
        return result;
    }

    TRetainCountObjectAutoReleasePool FPool;
    TScratchFolder FScratch{"qm-update"};
};

struct TCheckCase {
    const char* Name;
    std::string Info;
    bool Old;
    bool Force;
};

std::string Element(const std::string& aVersion, bool aForce = false, const std::string& aSetup = "setup-1300.exe",
                    const std::string& aSha = {})
{
    std::string element = R"({"Version": ")" + aVersion + R"(", "ShortDescribe": "修正了发送", "SetupUrl": ")" +
                          aSetup + R"(", "ForceInstallFlag": )" + (aForce ? "true" : "false");
    if (!aSha.empty())
        element += R"(, "SHA256": ")" + aSha + "\"";
    return element + "}";
}

std::string List(std::initializer_list<std::string> aElements)
{
    std::string list = R"({"VersionList": [)";
    bool first = true;
    for (const std::string& element : aElements) {
        if (!first)
            list += ", ";
        list += element;
        first = false;
    }
    return list + "]}";
}

const std::string kRunning = "v4.0.0 Build 1203";
const std::string kSha = "0123456789ABCDEF0123456789abcdef0123456789abcdef0123456789ABCDEF";

TEST_F(AppUpdateTest, TheKeptInformationDecides)
{
    const TCheckCase cases[] = {
        {"a newer build, the running one listed after it: optional",
         List({Element("v4.0.1 Build 1300"), Element(kRunning)}), true, false},
        {"a newer rc of the same build is older than the release", List({Element("v4.0.0 Build 1203 - rc3")}),
         false, false},
        {"the same version: nothing", List({Element(kRunning)}), false, false},
        {"a newer version marked compulsory", List({Element("v4.0.1 Build 1300", true), Element(kRunning)}), true,
         true},
        {"a compulsory version between the newest and the running one",
         List({Element("v4.0.2 Build 1400"), Element("v4.0.1 Build 1300", true), Element(kRunning)}), true, true},
        {"a compulsory version older than the running one does not count",
         List({Element("v4.0.1 Build 1300"), Element("v3.0.0 Build 1000", true)}), true, false},
        {"older than every listed version: compulsory",
         List({Element("v4.0.2 Build 1400"), Element("v4.0.1 Build 1300")}), true, true},
        {"an unreadable version in the list is passed over",
         List({Element("v4.0.2 Build 1400"), Element("latest"), Element(kRunning)}), true, false},
        {"an empty version in the list withdraws the offer", List({Element("v4.0.2 Build 1400"), Element("")}),
         false, false},
        {"an unreadable newest version", List({Element("4.0.2")}), false, false},
        {"no setup package", List({Element("v4.0.2 Build 1400", false, "")}), false, false},
        {"an empty list", List({}), false, false},
        {"not JSON", "<html>Service Unavailable</html>", false, false},
        {"a setup path with a scheme", List({Element("v4.0.2 Build 1400", false, "http://elsewhere/x.exe")}), false,
         false},
        {"a setup path that climbs out", List({Element("v4.0.2 Build 1400", false, "a/../../x.exe")}), false,
         false},
        {"an absolute setup path", List({Element("v4.0.2 Build 1400", false, "/etc/x")}), false, false},
        {"a setup path with a backslash", List({Element("v4.0.2 Build 1400", false, "a\\\\..\\\\x")}), false,
         false},
        {"a checksum that is not 64 hex digits", List({Element("v4.0.2 Build 1400", false, "x.exe", "abc")}),
         false, false},
    };
    for (const TCheckCase& c : cases) {
        SCOPED_TRACE(c.Name);
        KeepInfo(c.Info);
        const TVersionCheckResult result = Checked(kRunning);
        EXPECT_EQ(result.OldFlag, c.Old);
        EXPECT_EQ(result.ForceFlag, c.Force);
    }

    KeepInfo(List({Element("v4.0.1 Build 1300", false, "2026/setup-1300.exe", kSha), Element(kRunning)}));
    const TVersionCheckResult result = Checked(kRunning);
    EXPECT_TRUE(result.OldFlag);
    EXPECT_EQ(result.Version, "v4.0.1 Build 1300");
    EXPECT_EQ(result.ShortDescribe, "修正了发送");
    EXPECT_EQ(result.SetupUrl, TFakeServerEnvironment::Server()->BaseUrl() + "Update/Install/2026/setup-1300.exe");
    EXPECT_EQ(result.SetupSha256, "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef");
    // An unreadable running version, or no update server: nothing.
    EXPECT_FALSE(Checked("4.0").OldFlag);
    UseServer("");
    EXPECT_FALSE(Checked(kRunning).OldFlag);
}

TEST_F(AppUpdateTest, ADownloadNeverReplacesGoodInformationWithAFailure)
{
    TFakeMakerServer* server = TFakeServerEnvironment::Server();
    const std::string good = List({Element("v4.0.1 Build 1300")});
    server->Script("/Update/info.json", {TScriptedReply::Text(good)});
    Manager()->DownLoadUpdateInfoFile();
    ASSERT_TRUE(Manager()->LocalUpdateInfoFileExist());
    EXPECT_EQ(ReadWholeFile(InfoFile()), good);

    for (const TScriptedReply& reply :
         {TScriptedReply::WithStatus(500), TScriptedReply::Text("<html>maintenance</html>"),
          TScriptedReply::Text(R"({"VersionList": 3})"), TScriptedReply::Text("", 404), TScriptedReply::Delay(3000),
          TScriptedReply::RedirectTo(server->BaseUrl() + "elsewhere")}) {
        server->Script("/Update/info.json", {reply});
        Manager()->DownLoadUpdateInfoFile();
        EXPECT_EQ(ReadWholeFile(InfoFile()), good);
    }
    EXPECT_TRUE(Checked(kRunning).OldFlag);
    EXPECT_EQ(server->Requests().size(), 7u);

    // Nothing published: a 404, and still the kept copy.
    Manager()->DownLoadUpdateInfoFile();
    EXPECT_EQ(ReadWholeFile(InfoFile()), good);

    // With no update server nothing is asked at all.
    server->Reset();
    UseServer("  ");
    Manager()->DownLoadUpdateInfoFile();
    EXPECT_TRUE(server->Requests().empty());
}

TEST_F(AppUpdateTest, TheUpdaterIsHandedASCII)
{
    TVersionCheckResult result;
    result.SetupUrl = "http://update.example.com/Update/Install/setup.exe";
    result.ShortDescribe = "修正了\"发送\"";
    const nlohmann::json handOver = nlohmann::json::parse(UpgradeHandOverJson(result, "/data/Update/Install"));
    const std::string text = UpgradeHandOverJson(result, "/data/Update/Install");
    for (char c : text)
        EXPECT_LT(static_cast<unsigned char>(c), 0x80);
    EXPECT_NE(text.find("\\u4fee\\u6b63"), std::string::npos) << text;
    EXPECT_LT(text.find("\"Url\""), text.find("\"SavePath\""));
    EXPECT_LT(text.find("\"ShortDescribe\""), text.find("\"DoExec\""));
    EXPECT_EQ(handOver["ShortDescribe"], result.ShortDescribe);
    EXPECT_EQ(handOver["SavePath"], "/data/Update/Install");
    EXPECT_EQ(handOver["DoExec"], true);
}

} // namespace
